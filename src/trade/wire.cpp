#include "trade/wire.h"

#include <array>
#include <string>

#include "platform/text.h"
#include "world/items.h"

namespace trade {

// ---------------------------------------------------------------------------------
// Text

std::optional<std::string> ToCp936Strict(std::string_view utf8) { return plat::Utf8ToCp936(utf8); }

std::string ToCp936Lossy(std::string_view utf8) {
  if (auto bytes = plat::Utf8ToCp936(utf8)) return *bytes;
  return plat::Utf8ToGbk(utf8);
}

std::string FromCp936(std::string_view bytes) { return plat::Cp936ToUtf8(bytes); }

// ---------------------------------------------------------------------------------
// Framing

bool Framer::Feed(std::string_view bytes, std::vector<std::string>& out) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t star = bytes.find(kTerminator, start);
    if (star == std::string_view::npos) break;
    buffer_.append(bytes.substr(start, star - start));
    out.push_back(std::move(buffer_));
    buffer_.clear();
    start = star + 1;
  }
  const std::string_view rest = bytes.substr(start);
  if (buffer_.size() + rest.size() > kMaxPending) {
    buffer_.clear();
    return false;
  }
  buffer_.append(rest);
  return true;
}

// ---------------------------------------------------------------------------------
// Frames

namespace {

int SlotDigit(char c) { return c >= '1' && c <= '9' ? c - '0' : 0; }

bool HasControl(std::string_view s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

Frame ParseFrame(std::string_view text) {
  Frame f;
  if (text.size() < 2) return f;
  const std::string_view tag = text.substr(0, 2);
  if (tag == "OK") {
    f.tag = Tag::Greeting;
    f.payload = std::string(text.substr(2));
    return f;
  }
  if (tag == "SY" || tag == "JY" || tag == "WC") {
    if (text.size() < 3 || SlotDigit(text[2]) == 0) return f;
    f.tag = tag == "SY" ? Tag::Chat : tag == "JY" ? Tag::Confirm : Tag::Offer;
    f.slot = SlotDigit(text[2]);
    f.payload = std::string(text.substr(3));
    return f;
  }
  if (tag == "YZ") {
    if (text.size() == 3 && SlotDigit(text[2]) != 0) {
      f.tag = Tag::Ack;
      f.slot = SlotDigit(text[2]);
    }
    return f;
  }
  if (text == "OVER") f.tag = Tag::Over;
  return f;
}

std::string QueuedFrameText(std::string_view message, int slot) {
  std::string s(message.substr(0, 2));
  s += static_cast<char>('0' + slot);
  s += message.substr(2);
  s += kTerminator;
  return s;
}

bool ValidPeerName(std::string_view name) {
  const long n = plat::Len(name);
  return n >= 1 && n <= kMaxPeerNameChars && !HasControl(name);
}

// ---------------------------------------------------------------------------------
// The item

namespace {

struct NumberField {
  const char* name;
  int width;
  std::int32_t ItemRecord::*member;  // nullptr: Type2, one character
};

// The fields after the name, in the order of the wire.
constexpr std::array<NumberField, 29> kFields = {{
    {"Type", 2, &ItemRecord::Type},       {"Type2", 1, nullptr},
    {"DcSpeed", 1, &ItemRecord::DcSpeed}, {"Nb", 1, &ItemRecord::Nb},
    {"Acc", 1, &ItemRecord::Acc},         {"Weight", 2, &ItemRecord::Weight},
    {"MaBi", 2, &ItemRecord::MaBi},       {"XiHP", 2, &ItemRecord::XiHP},
    {"Luck", 2, &ItemRecord::Luck},       {"zd", 2, &ItemRecord::zd},
    {"dzlevel", 2, &ItemRecord::dzlevel}, {"SP", 2, &ItemRecord::SP},
    {"JP", 2, &ItemRecord::JP},           {"Pic1", 3, &ItemRecord::Pic1},
    {"Pic2", 3, &ItemRecord::Pic2},       {"Hp", 3, &ItemRecord::Hp},
    {"Mp", 3, &ItemRecord::Mp},           {"Dc", 3, &ItemRecord::Dc},
    {"DcMax", 3, &ItemRecord::DcMax},     {"Mc", 3, &ItemRecord::Mc},
    {"McMax", 3, &ItemRecord::McMax},     {"Df", 3, &ItemRecord::Df},
    {"DfMax", 3, &ItemRecord::DfMax},     {"Mf", 3, &ItemRecord::Mf},
    {"MfMax", 3, &ItemRecord::MfMax},     {"NdDc", 3, &ItemRecord::NdDc},
    {"NdMc", 3, &ItemRecord::NdMc},       {"NdLevel", 3, &ItemRecord::NdLevel},
    {"Money", 5, &ItemRecord::Money},
}};
constexpr NumberField kEx{"Ex", 5, &ItemRecord::Ex};

constexpr std::int32_t Limit(int width) {
  std::int32_t v = 1;
  for (int i = 0; i < width; ++i) v *= 10;
  return v - 1;
}

std::string ZeroPadded(std::int32_t v, int width) {
  std::string s = std::to_string(v);
  if (s.size() < static_cast<std::size_t>(width))
    s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s;
}

// One character that can go on the wire as it is: not '*', no control, in CP936.
bool WireCharacter(std::string_view c) {
  return plat::Len(c) == 1 && c != "*" && !HasControl(c) && ToCp936Strict(c).has_value();
}

std::string Quoted(const std::string& name) { return "「" + name + "」"; }

}  // namespace

OfferText EncodeOffer(int k, const ItemRecord& item) {
  OfferText out;
  if (k < 1 || k > kOfferSlots) {
    out.refusal = "■ 交换栏位置无效 不能交易 ■";
    return out;
  }
  const long nameChars = plat::Len(item.Name);
  bool nameOk = nameChars >= 1 && nameChars <= kMaxNameChars && plat::Trim(item.Name) == item.Name;
  if (nameOk) {
    for (const std::string& c : plat::Chars(item.Name)) nameOk = nameOk && WireCharacter(c);
  }
  if (!nameOk) {
    out.refusal = "■ 道具名称" + Quoted(item.Name) + "不能用于交易 ■";
    return out;
  }
  // An empty Type2 goes out as a blank, the way the item table reads an empty one.
  const std::string type2 = item.Type2.empty() ? std::string(" ") : item.Type2;
  if (!WireCharacter(type2)) {
    out.refusal = "■ 道具" + Quoted(item.Name) + "的类别无效 不能交易 ■";
    return out;
  }
  if (item.Money == -1) {
    out.refusal = "■ 道具" + Quoted(item.Name) + "不能出售 不能交易 ■";
    return out;
  }
  std::string s = "1";
  s += ZeroPadded(k, 2);
  s += plat::Spaces(kMaxNameChars - nameChars);
  s += item.Name;
  auto add = [&](const NumberField& f) {
    if (f.member == nullptr) {
      s += type2;
      return true;
    }
    const std::int32_t v = item.*f.member;
    if (v < 0 || v > Limit(f.width)) {
      out.refusal = "■ 道具" + Quoted(item.Name) + "的" + f.name + "超出交易范围 不能交易 ■";
      return false;
    }
    s += ZeroPadded(v, f.width);
    return true;
  };
  for (const NumberField& f : kFields) {
    if (!add(f)) return out;
  }
  if (!add(kEx)) return out;
  out.payload = std::move(s);
  return out;
}

std::string EncodeWithdrawal(int k) {
  std::string s = "0";
  s += ZeroPadded(k, 2);
  return s;
}

namespace {

// The number in the characters [at, at + width) when all of them are ASCII digits.
std::optional<std::int32_t> Digits(const std::vector<std::string>& chars, std::size_t at, int width) {
  std::int32_t v = 0;
  for (int i = 0; i < width; ++i) {
    const std::string& c = chars[at + static_cast<std::size_t>(i)];
    if (c.size() != 1 || c[0] < '0' || c[0] > '9') return std::nullopt;
    v = v * 10 + (c[0] - '0');
  }
  return v;
}

int OfferSlot(const std::vector<std::string>& chars) {
  if (chars.size() < 3) return 0;
  const auto k = Digits(chars, 1, 2);
  return k && *k >= 1 && *k <= kOfferSlots ? *k : 0;
}

}  // namespace

PeerOfferChange DecodeOffer(std::string_view payload, const ItemLookup& table) {
  PeerOfferChange out;
  const std::vector<std::string> chars = plat::Chars(payload);
  if (!chars.empty() && chars[0] == "0") {
    if (chars.size() == 3 && OfferSlot(chars) != 0) {
      out.kind = PeerOfferChange::Kind::Withdraw;
      out.slot = OfferSlot(chars);
    }
    return out;
  }
  out.kind = PeerOfferChange::Kind::Invalid;
  out.slot = OfferSlot(chars);
  const std::string where =
      out.slot == 0 ? std::string("对方") : "对方交换栏第" + std::to_string(out.slot) + "格";
  out.line = "■ " + where + "的道具数据无效 ■";
  if (out.slot == 0 || chars.size() != static_cast<std::size_t>(kOfferChars) || chars[0] != "1") return out;

  ItemRecord item;
  std::string name;
  for (std::size_t i = 3; i < 13; ++i) name += chars[i];
  item.Name = plat::Trim(name);
  if (item.Name.empty() || HasControl(item.Name)) return out;
  std::size_t at = 13;
  auto read = [&](const NumberField& f) {
    if (f.member == nullptr) {
      item.Type2 = chars[at++];
      return !HasControl(item.Type2);
    }
    const auto v = Digits(chars, at, f.width);
    at += static_cast<std::size_t>(f.width);
    if (!v) return false;
    item.*f.member = *v;
    return true;
  };
  for (const NumberField& f : kFields) {
    if (!read(f)) return out;
  }
  if (!read(kEx)) return out;

  if (item.dzlevel > 0) {
    out.line = "■ " + where + "的道具" + Quoted(item.Name) + "是锻造后的装备 无效 ■";
    return out;
  }
  ItemRecord row;
  if (!table || !table(item.Name, row)) {
    out.line = "■ " + where + "的道具" + Quoted(item.Name) + "不存在 无效 ■";
    return out;
  }
  const std::string rowType2 = row.Type2.empty() ? std::string(" ") : row.Type2;
  if (row.Type != item.Type || rowType2 != item.Type2 || row.Pic1 != item.Pic1 || row.Pic2 != item.Pic2) {
    out.line = "■ " + where + "的道具" + Quoted(item.Name) + "与道具表不符 无效 ■";
    return out;
  }
  out.kind = PeerOfferChange::Kind::Item;
  out.item = std::move(item);
  out.line.clear();
  return out;
}

ItemLookup GameItemTable() {
  return [](const std::string& name, ItemRecord& row) { return ReadItemTableRow(name, row); };
}

}  // namespace trade
