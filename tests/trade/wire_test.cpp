#include "trade/wire.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "trade/fake_network.h"

namespace {

using trade::PeerOfferChange;
using tradetest::Cloth;
using tradetest::TableOf;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

const char* kGoldenChars =
    "WC1103        布衣12X00005000000000000000170020000000000000000000020020000010000000010005000000*";
const char* kGoldenHex =
    "5743313130332020202020202020b2bcd2c23132583030303035303030303030303030303030303030313730303230303030"
    "3030303030303030303030303030303032303032303030303031303030303030303031303030353030303030302a";

TEST(TradeWire, GoldenVectorBothWays) {
  const trade::OfferText t = trade::EncodeOffer(3, Cloth());
  ASSERT_TRUE(t.payload) << t.refusal;
  const std::string frame = trade::QueuedFrameText("WC" + *t.payload, 1);
  EXPECT_EQ(frame, kGoldenChars);
  EXPECT_EQ(plat::Len(frame), 94);
  const auto bytes = trade::ToCp936Strict(frame);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 96u);
  EXPECT_EQ(Hex(*bytes), kGoldenHex);

  // Back: the bytes, framed and decoded, give the same item in offer slot 3.
  trade::Framer framer;
  std::vector<std::string> frames;
  ASSERT_TRUE(framer.Feed(*bytes, frames));
  ASSERT_EQ(frames.size(), 1u);
  const trade::Frame f = trade::ParseFrame(trade::FromCp936(frames[0]));
  EXPECT_EQ(f.tag, trade::Tag::Offer);
  EXPECT_EQ(f.slot, 1);
  const PeerOfferChange c = trade::DecodeOffer(f.payload, TableOf({Cloth()}));
  ASSERT_EQ(c.kind, PeerOfferChange::Kind::Item) << c.line;
  EXPECT_EQ(c.slot, 3);
  EXPECT_EQ(c.item, Cloth());
}

TEST(TradeWire, RandomValidItemsRoundTrip) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  const std::vector<std::string> letters = {"a", "Z", "7", "剑", "布", "衣", "龙", "·", "?", " "};
  auto pick = [&](int hi) {
    return static_cast<std::int32_t>(std::uniform_int_distribution<int>(0, hi)(rng));
  };
  for (int n = 0; n < 500; ++n) {
    ItemRecord r;
    const int len = 1 + pick(9);
    for (int i = 0; i < len; ++i) r.Name += letters[static_cast<std::size_t>(pick(8))];  // no blank
    r.Type2 = letters[static_cast<std::size_t>(pick(9))];
    r.Type = pick(99);
    for (auto m : {&ItemRecord::DcSpeed, &ItemRecord::Nb, &ItemRecord::Acc}) r.*m = pick(9);
    for (auto m : {&ItemRecord::Weight, &ItemRecord::MaBi, &ItemRecord::XiHP, &ItemRecord::Luck,
                   &ItemRecord::zd, &ItemRecord::SP, &ItemRecord::JP}) {
      r.*m = pick(99);
    }
    for (auto m :
         {&ItemRecord::Pic1, &ItemRecord::Pic2, &ItemRecord::Hp, &ItemRecord::Mp, &ItemRecord::Dc,
          &ItemRecord::DcMax, &ItemRecord::Mc, &ItemRecord::McMax, &ItemRecord::Df, &ItemRecord::DfMax,
          &ItemRecord::Mf, &ItemRecord::MfMax, &ItemRecord::NdDc, &ItemRecord::NdMc, &ItemRecord::NdLevel}) {
      r.*m = pick(999);
    }
    r.Money = pick(99999);
    r.Ex = pick(99999);
    const int k = 1 + pick(9);
    const trade::OfferText t = trade::EncodeOffer(k, r);
    ASSERT_TRUE(t.payload) << r.Name << " " << t.refusal;
    ASSERT_EQ(plat::Len(*t.payload), 90);
    const PeerOfferChange c = trade::DecodeOffer(*t.payload, TableOf({r}));
    ASSERT_EQ(c.kind, PeerOfferChange::Kind::Item) << *t.payload << " " << c.line;
    EXPECT_EQ(c.slot, k);
    EXPECT_EQ(c.item, r) << *t.payload;
  }
}

TEST(TradeWire, SenderRefusesWhatDoesNotFit) {
  struct Case {
    const char* what;
    std::function<void(ItemRecord&)> change;
    bool fits;
  };
  std::vector<Case> cases = {
      {"Type 99", [](ItemRecord& r) { r.Type = 99; }, true},
      {"Type 100", [](ItemRecord& r) { r.Type = 100; }, false},
      {"DcSpeed 9", [](ItemRecord& r) { r.DcSpeed = 9; }, true},
      {"DcSpeed 10", [](ItemRecord& r) { r.DcSpeed = 10; }, false},
      {"Acc 10", [](ItemRecord& r) { r.Acc = 10; }, false},
      {"Nb -1", [](ItemRecord& r) { r.Nb = -1; }, false},
      {"JP 99", [](ItemRecord& r) { r.JP = 99; }, true},
      {"JP 100", [](ItemRecord& r) { r.JP = 100; }, false},
      {"Weight -3", [](ItemRecord& r) { r.Weight = -3; }, false},
      {"Pic1 999", [](ItemRecord& r) { r.Pic1 = 999; }, true},
      {"Pic1 1000", [](ItemRecord& r) { r.Pic1 = 1000; }, false},
      {"NdLevel 1000", [](ItemRecord& r) { r.NdLevel = 1000; }, false},
      {"Hp -1", [](ItemRecord& r) { r.Hp = -1; }, false},
      {"Money 99999", [](ItemRecord& r) { r.Money = 99999; }, true},
      {"Money 100000", [](ItemRecord& r) { r.Money = 100000; }, false},
      {"Money -1 (not sellable)", [](ItemRecord& r) { r.Money = -1; }, false},
      {"Ex 99999", [](ItemRecord& r) { r.Ex = 99999; }, true},
      {"Ex 100000", [](ItemRecord& r) { r.Ex = 100000; }, false},
      {"Ex -5", [](ItemRecord& r) { r.Ex = -5; }, false},
      {"name of 10", [](ItemRecord& r) { r.Name = "一二三四五六七八九十"; }, true},
      {"name of 11", [](ItemRecord& r) { r.Name = "一二三四五六七八九十一"; }, false},
      {"empty name", [](ItemRecord& r) { r.Name = ""; }, false},
      {"star in name", [](ItemRecord& r) { r.Name = "布*衣"; }, false},
      {"outside CP936", [](ItemRecord& r) { r.Name = "布\xF0\x9F\x98\x80"; }, false},
      {"blank at the end", [](ItemRecord& r) { r.Name = "布衣 "; }, false},
      {"control character", [](ItemRecord& r) { r.Name = "布\t衣"; }, false},
      {"Type2 star", [](ItemRecord& r) { r.Type2 = "*"; }, false},
      {"Type2 of two", [](ItemRecord& r) { r.Type2 = "XY"; }, false},
  };
  // Every three-digit field at its maximum and one past it.
  for (auto m : {&ItemRecord::Mp, &ItemRecord::Dc, &ItemRecord::DcMax, &ItemRecord::Mc, &ItemRecord::McMax,
                 &ItemRecord::Df, &ItemRecord::DfMax, &ItemRecord::Mf, &ItemRecord::MfMax, &ItemRecord::NdDc,
                 &ItemRecord::NdMc, &ItemRecord::Pic2}) {
    cases.push_back({"3-digit 999", [m](ItemRecord& r) { r.*m = 999; }, true});
    cases.push_back({"3-digit 1000", [m](ItemRecord& r) { r.*m = 1000; }, false});
  }
  for (auto m : {&ItemRecord::MaBi, &ItemRecord::XiHP, &ItemRecord::Luck, &ItemRecord::zd,
                 &ItemRecord::dzlevel, &ItemRecord::SP}) {
    cases.push_back({"2-digit 99", [m](ItemRecord& r) { r.*m = 99; }, true});
    cases.push_back({"2-digit 100", [m](ItemRecord& r) { r.*m = 100; }, false});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ItemRecord r = Cloth();
    c.change(r);
    const trade::OfferText t = trade::EncodeOffer(4, r);
    EXPECT_EQ(t.payload.has_value(), c.fits);
    if (t.payload) {
      EXPECT_EQ(plat::Len(*t.payload), 90);
    } else {
      EXPECT_FALSE(t.refusal.empty());
      EXPECT_EQ(t.refusal.rfind("■", 0), 0u) << t.refusal;
    }
  }
  EXPECT_FALSE(trade::EncodeOffer(0, Cloth()).payload);
  EXPECT_FALSE(trade::EncodeOffer(11, Cloth()).payload);
  EXPECT_EQ(trade::EncodeWithdrawal(7), "007");
  EXPECT_EQ(trade::EncodeWithdrawal(10), "010");
}

TEST(TradeWire, ReceiverChecksEveryOffer) {
  const std::string good = *trade::EncodeOffer(3, Cloth()).payload;
  auto with = [&](std::size_t pos, const std::string& c) {  // character pos (1-based) replaced
    std::vector<std::string> chars = plat::Chars(good);
    chars[pos - 1] = c;
    std::string s;
    for (auto& x : chars) s += x;
    return s;
  };
  ItemRecord forged = Cloth();
  forged.dzlevel = 1;
  const std::string forgedText = *trade::EncodeOffer(3, forged).payload;
  ItemRecord other = Cloth();
  other.Name = "铁剑";
  struct Case {
    const char* what;
    std::string payload;
    PeerOfferChange::Kind kind;
    int slot;
  };
  using K = PeerOfferChange::Kind;
  const std::vector<Case> cases = {
      {"good", good, K::Item, 3},
      {"89 characters", good.substr(0, good.size() - 1), K::Invalid, 3},
      {"91 characters", good + "0", K::Invalid, 3},
      {"not '1' first", with(1, "2"), K::Invalid, 3},
      {"slot 00", with(3, "0"), K::Invalid, 0},
      {"slot 11", with(2, "1").replace(2, 1, "1"), K::Invalid, 0},
      {"letter in Type", with(14, "A"), K::Invalid, 3},
      {"blank in Money", with(84, " "), K::Invalid, 3},
      {"sign in Ex", with(86, "-"), K::Invalid, 3},
      {"full-width digit", with(50, "１"), K::Invalid, 3},
      {"blank name", with(12, " ").replace(12, 3, " "), K::Invalid, 3},
      {"forged", forgedText, K::Invalid, 3},
      {"unknown name", *trade::EncodeOffer(3, other).payload, K::Invalid, 3},
      {"other Type", with(15, "3"), K::Invalid, 3},
      {"other Type2", with(16, "Y"), K::Invalid, 3},
      {"other Pic1", with(38, "8"), K::Invalid, 3},
      {"other Pic2", with(41, "3"), K::Invalid, 3},
      {"withdraw 01", "001", K::Withdraw, 1},
      {"withdraw 10", "010", K::Withdraw, 10},
      {"withdraw 00", "000", K::Ignored, 0},
      {"withdraw 11", "011", K::Ignored, 0},
      {"withdraw short", "01", K::Ignored, 0},
      {"withdraw long", "0010", K::Ignored, 0},
      {"withdraw letter", "0a1", K::Ignored, 0},
      {"empty", "", K::Invalid, 0},
  };
  const auto table = TableOf({Cloth()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PeerOfferChange r = trade::DecodeOffer(c.payload, table);
    EXPECT_EQ(r.kind, c.kind) << c.payload;
    EXPECT_EQ(r.slot, c.slot);
    if (r.kind == K::Invalid) {
      EXPECT_FALSE(r.line.empty());
    }
  }
}

TEST(TradeWire, FramesReadTheirTagsStrictly) {
  using trade::Tag;
  struct Case {
    std::string text;
    Tag tag;
    int slot;
    std::string payload;
  };
  const std::vector<Case> cases = {
      {"OK张三", Tag::Greeting, 0, "张三"},
      {"OK", Tag::Greeting, 0, ""},
      {"SY1你好", Tag::Chat, 1, "你好"},
      {"SY9", Tag::Chat, 9, ""},
      {"SY0x", Tag::Ignored, 0, ""},
      {"SYax", Tag::Ignored, 0, ""},
      {"SY", Tag::Ignored, 0, ""},
      {"JY21", Tag::Confirm, 2, "1"},
      {"WC3001", Tag::Offer, 3, "001"},
      {"WC:001", Tag::Ignored, 0, ""},
      {"YZ4", Tag::Ack, 4, ""},
      {"YZ0", Tag::Ignored, 0, ""},
      {"YZ", Tag::Ignored, 0, ""},
      {"YZ45", Tag::Ignored, 0, ""},
      {"OVER", Tag::Over, 0, ""},
      {"OVERX", Tag::Ignored, 0, ""},
      {"OV", Tag::Ignored, 0, ""},
      {"", Tag::Ignored, 0, ""},
      {"X", Tag::Ignored, 0, ""},
      {"ok名", Tag::Ignored, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const trade::Frame f = trade::ParseFrame(c.text);
    EXPECT_EQ(f.tag, c.tag);
    EXPECT_EQ(f.slot, c.slot);
    if (c.tag != Tag::Ignored) {
      EXPECT_EQ(f.payload, c.payload);
    }
  }
  EXPECT_TRUE(trade::ValidPeerName("张三丰a"));
  EXPECT_FALSE(trade::ValidPeerName("张三丰ab"));
  EXPECT_FALSE(trade::ValidPeerName(""));
  EXPECT_FALSE(trade::ValidPeerName("a\rb"));
}

TEST(TradeWire, EveryChunkingGivesTheSameFrames) {
  std::vector<std::string> texts = {kGoldenChars, "OK布衣侠*", "SY1你好，朋友*", "YZ1*",
                                    "JY21*",      "WC3004*",   "SY2＊星号＊*",   "OVER*",
                                    "*",          "SY3a*",     "YZ9*",           "SY4果然是好东西！*"};
  while (texts.size() < 20)
    texts.push_back("SY" + std::to_string(texts.size() % 9 + 1) + "第" + std::to_string(texts.size()) +
                    "行*");
  std::string stream;
  std::vector<std::string> expected;
  for (const std::string& t : texts) {
    const auto b = trade::ToCp936Strict(t);
    ASSERT_TRUE(b) << t;
    stream += *b;
    expected.push_back(b->substr(0, b->size() - 1));
  }
  auto feed = [&](const std::vector<std::size_t>& cuts) {
    trade::Framer f;
    std::vector<std::string> got;
    std::size_t at = 0;
    for (std::size_t c : cuts) {
      EXPECT_TRUE(f.Feed(std::string_view(stream).substr(at, c - at), got));
      at = c;
    }
    EXPECT_TRUE(f.Feed(std::string_view(stream).substr(at), got));
    EXPECT_EQ(f.Pending(), 0u);
    return got;
  };
  EXPECT_EQ(feed({}), expected);  // all at once
  std::vector<std::size_t> everyByte;
  for (std::size_t i = 1; i < stream.size(); ++i) everyByte.push_back(i);
  EXPECT_EQ(feed(everyByte), expected);
  // Every single cut, which includes every cut inside a double-byte character.
  for (std::size_t i = 1; i < stream.size(); ++i) ASSERT_EQ(feed({i}), expected) << "cut at " << i;
  std::mt19937 rng(20261207);
  for (int n = 0; n < 200; ++n) {
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < stream.size(); ++i) {
      if (rng() % 7 == 0) cuts.push_back(i);
    }
    ASSERT_EQ(feed(cuts), expected);
  }
  std::vector<std::string> decoded;
  for (const auto& e : expected) decoded.push_back(trade::FromCp936(e) + "*");
  EXPECT_EQ(decoded, texts);
}

TEST(TradeWire, FramerCapsWhatWaitsWithoutTerminator) {
  trade::Framer f;
  std::vector<std::string> got;
  EXPECT_TRUE(f.Feed(std::string(trade::Framer::kMaxPending, 'a'), got));
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(f.Feed("b", got));
  EXPECT_LE(f.Pending(), trade::Framer::kMaxPending);
  trade::Framer g;
  EXPECT_TRUE(g.Feed(std::string(trade::Framer::kMaxPending, 'a') + "*rest", got));
  EXPECT_EQ(got.size(), 1u);
  EXPECT_EQ(g.Pending(), 4u);
}

}  // namespace
