// Text helpers. All game text is UTF-8; the game counts characters, not bytes,
// so every width, left, mid and length goes through these helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Number of characters (UTF-8 code points) in s.
long Len(std::string_view s);
// First n characters (all of s when n >= Len; empty when n <= 0).
std::string Left(std::string_view s, long n);
// Last n characters.
std::string Right(std::string_view s, long n);
// From character `start` (1-based) on, at most n characters; n < 0 means to the end.
std::string Mid(std::string_view s, long start, long n = -1);
// The characters of s, one string each.
std::vector<std::string> Chars(std::string_view s);

// Blanks (ASCII spaces) removed at the ends.
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
// n spaces; empty when n <= 0.
std::string Spaces(long n);
// ASCII letters only; other characters are kept as they are.
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Case-insensitive (ASCII) comparison.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Fixed-width text: cut to `width` characters or filled up with trailing spaces.
std::string FixedWidth(std::string_view s, long width);

// Reads a number the way the classic Val does: leading blanks skipped, an optional
// sign, digits with an optional fraction and exponent, blanks inside the number
// ignored, "&H"/"&O" prefixes for hex and octal; stops at the first character that
// cannot continue the number; no number gives 0. "&H" values of up to four digits are
// 16-bit and up to eight digits 32-bit signed ("&HFFFF" is -1). Overflow gives the largest
// double (with its sign), underflow 0.
double Val(std::string_view s);
// What a strict number item may hold besides an optional sign and digits.
enum class NumberForm {
  Whole,     // digits only: "12", "-7"
  Fraction,  // digits with an optional fraction: "2.5", ".5", "5."
  Full,      // a fraction and then an optional exponent: "1.5e3", "2E-1"
};
// The value of a text item that must be a number as a whole: blanks (spaces) around it
// are allowed, nothing else. Nothing for any other text, so "12abc", "1 2", "." or ""
// are not numbers. A huge value gives the largest double, as Val does.
std::optional<double> StrictNumber(std::string_view item, NumberForm form = NumberForm::Full);
// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// Values beyond the 32-bit range are clamped to it; NaN gives 0.
long RoundHalfEven(double v);
// Decimal text of a whole number without leading blank.
std::string Str(long v);

// Byte length of the text in the Chinese system code page (GBK): ASCII 1 byte,
// every other character 2 bytes.
long GbkByteLength(std::string_view utf8);
// Conversion to and from GBK (for bytes that leave the program in the system code page).
// Characters that cannot be converted become '?'.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
// The trade wire's code page, CP936 (GBK with the euro sign at 0x80), strict for what we
// send: nothing when the text holds a character CP936 cannot encode (or is not valid
// UTF-8), so the caller can refuse it instead of sending a changed text.
std::optional<std::string> Utf8ToCp936(std::string_view utf8);
// Bytes from the peer, decoded as far as they can be: every byte sequence that is not a
// CP936 character becomes U+FFFD, one per stray byte and one per unassigned double-byte
// pair (a lead byte followed by a valid trail byte). Never fails; ASCII bytes after a
// broken lead byte, "*" included, are kept.
std::string Cp936ToUtf8(std::string_view cp936);

// Splits at every occurrence of sep (which must not be empty); "a,,b" gives three items.
std::vector<std::string> Split(std::string_view s, std::string_view sep);

}  // namespace plat
