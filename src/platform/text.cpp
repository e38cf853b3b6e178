#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace plat {

namespace {

bool IsCont(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte length of the character starting at s[i]. A broken sequence counts as one
// character per byte, so every byte belongs to exactly one character.
std::size_t CharLen(std::string_view s, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t need;
  if (c < 0x80) {
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    need = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 3;
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 4;
  } else {
    return 1;
  }
  if (i + need > s.size()) return 1;
  for (std::size_t k = 1; k < need; ++k) {
    if (!IsCont(static_cast<unsigned char>(s[i + k]))) return 1;
  }
  return need;
}

// Byte offset after the first n characters (s.size() when s is shorter).
std::size_t OffsetOfChar(std::string_view s, long n) {
  std::size_t i = 0;
  while (n > 0 && i < s.size()) {
    i += CharLen(s, i);
    --n;
  }
  return i;
}

bool IsAsciiSpace(char c) { return c == ' '; }

char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Characters the classic Val skips wherever they stand.
bool IsValBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Converts between two encodings. A character that cannot be converted (bad input, or
// no such character in the target) becomes `replacement`, or fails the whole conversion
// when `replacement` is null. `inCharLen` gives the byte length of the input character at
// an offset (for skipping).
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   std::size_t (*inCharLen)(std::string_view, std::size_t),
                                   const char* replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter: keep ASCII, mark everything else.
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
      std::size_t len = inCharLen(in, i);
      if (static_cast<unsigned char>(in[i]) < 0x80) {
        out += in[i];
      } else if (replacement) {
        out += replacement;
      } else {
        return std::nullopt;
      }
      i += len;
    }
    return out;
  }
  std::string out;
  std::string buf(in.size() * 2 + 16, '\0');
  std::size_t pos = 0;
  while (pos < in.size()) {
    char* inPtr = const_cast<char*>(in.data() + pos);
    std::size_t inLeft = in.size() - pos;
    char* outPtr = buf.data();
    std::size_t outLeft = buf.size();
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    int err = errno;
    out.append(buf.data(), buf.size() - outLeft);
    pos = in.size() - inLeft;
    if (r != static_cast<std::size_t>(-1)) break;
    if (err == E2BIG) continue;
    // EILSEQ (no such character or bad input) or EINVAL (cut-off sequence at the end).
    if (!replacement) {
      iconv_close(cd);
      return std::nullopt;
    }
    out += replacement;
    if (pos < in.size()) pos += inCharLen(in, pos);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
  }
  // Flush any pending shift sequence.
  char* outPtr = buf.data();
  std::size_t outLeft = buf.size();
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
    out.append(buf.data(), buf.size() - outLeft);
  }
  iconv_close(cd);
  return out;
}

// Byte length of a GBK character: a lead byte 0x81..0xFE with a valid trail byte makes two.
std::size_t GbkCharLen(std::string_view s, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c >= 0x81 && c <= 0xFE && i + 1 < s.size()) {
    unsigned char t = static_cast<unsigned char>(s[i + 1]);
    if (t >= 0x40 && t <= 0xFE && t != 0x7F) return 2;
  }
  return 1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "&H..." and "&O..." (or "&" and octal digits). Up to four digits the value is a
// 16-bit integer, up to eight a 32-bit one, both with the sign of their top bit.
double ValRadix(std::string_view s, std::size_t i, int radix) {
  std::uint64_t value = 0;
  int digits = 0;
  bool big = false;
  double bigValue = 0;
  for (; i < s.size(); ++i) {
    if (IsValBlank(s[i])) continue;
    int d = HexDigit(s[i]);
    if (d < 0 || d >= radix) break;
    ++digits;
    if (!big && value > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
      big = true;
      bigValue = static_cast<double>(value);
    }
    if (big) {
      bigValue = bigValue * radix + d;
    } else {
      value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    }
  }
  if (big) return bigValue;
  if (value <= 0xFFFF && (radix == 16 ? digits <= 4 : digits <= 6)) {
    return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
  }
  if (value <= 0xFFFFFFFFu) {
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
  }
  return static_cast<double>(value);
}

}  // namespace

long Len(std::string_view s) {
  long n = 0;
  for (std::size_t i = 0; i < s.size(); i += CharLen(s, i)) ++n;
  return n;
}

std::string Left(std::string_view s, long n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, OffsetOfChar(s, n)));
}

std::string Right(std::string_view s, long n) {
  if (n <= 0) return {};
  long len = Len(s);
  if (n >= len) return std::string(s);
  return std::string(s.substr(OffsetOfChar(s, len - n)));
}

std::string Mid(std::string_view s, long start, long n) {
  if (start < 1) start = 1;
  std::size_t from = OffsetOfChar(s, start - 1);
  if (from >= s.size() || n == 0) return {};
  std::string_view rest = s.substr(from);
  if (n < 0) return std::string(rest);
  return std::string(rest.substr(0, OffsetOfChar(rest, n)));
}

std::vector<std::string> Chars(std::string_view s) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = CharLen(s, i);
    out.emplace_back(s.substr(i, len));
    i += len;
  }
  return out;
}

std::string LTrim(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsAsciiSpace(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsAsciiSpace(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

std::string Spaces(long n) { return n <= 0 ? std::string() : std::string(static_cast<std::size_t>(n), ' '); }

std::string UCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToUpper(c);
  return out;
}

std::string LCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToLower(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
}

std::string FixedWidth(std::string_view s, long width) {
  if (width <= 0) return {};
  std::string out = Left(s, width);
  long len = Len(out);
  if (len < width) out += Spaces(width - len);
  return out;
}

double Val(std::string_view s) {
  std::size_t i = 0;
  auto skipBlanks = [&]() {
    while (i < s.size() && IsValBlank(s[i])) ++i;
  };
  skipBlanks();
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
    skipBlanks();
  }
  if (i < s.size() && s[i] == '&') {
    std::size_t j = i + 1;
    while (j < s.size() && IsValBlank(s[j])) ++j;
    double v = 0;
    if (j < s.size() && (s[j] == 'H' || s[j] == 'h')) {
      v = ValRadix(s, j + 1, 16);
    } else if (j < s.size() && (s[j] == 'O' || s[j] == 'o')) {
      v = ValRadix(s, j + 1, 8);
    } else if (j < s.size() && s[j] >= '0' && s[j] <= '7') {
      v = ValRadix(s, j, 8);
    }
    return negative ? -v : v;
  }

  // Gather the digits without blanks, then let from_chars (locale-free) convert them.
  std::string intDigits, fracDigits, expDigits;
  bool expNegative = false;
  for (; i < s.size(); ++i) {
    if (IsValBlank(s[i])) continue;
    if (s[i] >= '0' && s[i] <= '9') {
      intDigits += s[i];
    } else {
      break;
    }
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size(); ++i) {
      if (IsValBlank(s[i])) continue;
      if (s[i] >= '0' && s[i] <= '9') {
        fracDigits += s[i];
      } else {
        break;
      }
    }
  }
  if (intDigits.empty() && fracDigits.empty()) return 0.0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    while (j < s.size() && IsValBlank(s[j])) ++j;
    bool expNeg = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      expNeg = s[j] == '-';
      ++j;
    }
    for (; j < s.size(); ++j) {
      if (IsValBlank(s[j])) continue;
      if (s[j] >= '0' && s[j] <= '9') {
        expDigits += s[j];
      } else {
        break;
      }
    }
    if (!expDigits.empty()) expNegative = expNeg;
  }

  // Leading zeros of the exponent say nothing; a very long exponent is simply huge.
  std::size_t nz = expDigits.find_first_not_of('0');
  expDigits = nz == std::string::npos ? std::string() : expDigits.substr(nz);
  std::string text = (intDigits.empty() ? std::string("0") : intDigits);
  if (!fracDigits.empty()) text += "." + fracDigits;
  if (!expDigits.empty()) {
    if (expDigits.size() > 6) expDigits = "999999";
    text += (expNegative ? "e-" : "e") + expDigits;
  }
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too small gives 0, too large the largest number.
    std::size_t firstNonZero = (intDigits + fracDigits).find_first_not_of('0');
    bool allZero = firstNonZero == std::string::npos;
    v = (allZero || expNegative) ? 0.0 : std::numeric_limits<double>::max();
  } else if (res.ec != std::errc()) {
    v = 0.0;
  }
  return negative ? -v : v;
}

std::optional<double> StrictNumber(std::string_view item, NumberForm form) {
  const std::string t = Trim(item);
  auto isDigit = [&](std::size_t k) { return k < t.size() && t[k] >= '0' && t[k] <= '9'; };
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (isDigit(i)) ++i, ++digits;
  if (form != NumberForm::Whole && i < t.size() && t[i] == '.') {
    ++i;
    while (isDigit(i)) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (form == NumberForm::Full && i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (isDigit(i)) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  const double v = Val(t);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

long RoundHalfEven(double v) {
  if (std::isnan(v)) return 0;
  constexpr double kMax = 2147483647.0;
  constexpr double kMin = -2147483648.0;
  if (v >= kMax) return 2147483647L;
  if (v <= kMin) return -2147483647L - 1;
  double f = std::floor(v);
  double diff = v - f;
  long base = static_cast<long>(f);
  if (diff > 0.5) return base + 1;
  if (diff < 0.5) return base;
  return (base % 2 == 0) ? base : base + 1;
}

std::string Str(long v) { return std::to_string(v); }

long GbkByteLength(std::string_view utf8) {
  long n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    n += static_cast<unsigned char>(utf8[i]) < 0x80 ? 1 : 2;
    i += CharLen(utf8, i);
  }
  return n;
}

std::string Utf8ToGbk(std::string_view utf8) { return *Convert("GBK", "UTF-8", utf8, &CharLen, "?"); }

std::string GbkToUtf8(std::string_view gbk) { return *Convert("UTF-8", "GBK", gbk, &GbkCharLen, "?"); }

std::optional<std::string> Utf8ToCp936(std::string_view utf8) {
  return Convert("CP936", "UTF-8", utf8, &CharLen, nullptr);
}

std::string Cp936ToUtf8(std::string_view cp936) {
  return *Convert("UTF-8", "CP936", cp936, &GbkCharLen, "\xEF\xBF\xBD");
}

std::vector<std::string> Split(std::string_view s, std::string_view sep) {
  std::vector<std::string> out;
  if (sep.empty()) {
    out.emplace_back(s);
    return out;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t at = s.find(sep, start);
    if (at == std::string_view::npos) {
      out.emplace_back(s.substr(start));
      break;
    }
    out.emplace_back(s.substr(start, at - start));
    start = at + sep.size();
  }
  return out;
}

}  // namespace plat
