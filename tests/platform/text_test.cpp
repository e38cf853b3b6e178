#include "platform/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace plat;

TEST(TextChars, ChineseCountsAsCharacters) {
  const std::string s = "战士abc";
  EXPECT_EQ(Len(s), 5);
  EXPECT_EQ(Left(s, 1), "战");
  EXPECT_EQ(Left(s, 3), "战士a");
  EXPECT_EQ(Right(s, 4), "士abc");
  EXPECT_EQ(Mid(s, 2, 2), "士a");
  EXPECT_EQ(Mid(s, 2), "士abc");
  auto chars = Chars(s);
  ASSERT_EQ(chars.size(), 5u);
  EXPECT_EQ(chars[0], "战");
  EXPECT_EQ(chars[1], "士");
  EXPECT_EQ(chars[4], "c");
}

TEST(TextChars, OutOfRangeArgumentsGiveWhatExists) {
  const std::string s = "战士abc";
  EXPECT_EQ(Mid(s, 6), "");
  EXPECT_EQ(Mid(s, 100, 3), "");
  EXPECT_EQ(Mid(s, 4, 100), "bc");
  EXPECT_EQ(Mid(s, 0, 1), "战");
  EXPECT_EQ(Mid(s, 2, 0), "");
  EXPECT_EQ(Left(s, 0), "");
  EXPECT_EQ(Left(s, -3), "");
  EXPECT_EQ(Left(s, 99), s);
  EXPECT_EQ(Right(s, 99), s);
  EXPECT_EQ(Right(s, 0), "");
  EXPECT_EQ(Len(""), 0);
  EXPECT_TRUE(Chars("").empty());
}

TEST(TextChars, BrokenUtf8NeverSplitsOrLosesBytes) {
  // A cut-off Chinese character and a stray continuation byte count one per byte.
  const std::string s = std::string("a") + "\xE6\x88" + "b" + "\x80";
  EXPECT_EQ(Len(s), 5);
  std::string joined;
  for (const auto& c : Chars(s)) joined += c;
  EXPECT_EQ(joined, s);
  EXPECT_EQ(Left("\xE6\x88", 5), "\xE6\x88");
}

TEST(TextBlanks, TrimSpacesAndWidths) {
  EXPECT_EQ(Trim("  战 士  "), "战 士");
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Spaces(3), "   ");
  EXPECT_EQ(Spaces(-1), "");
  EXPECT_EQ(FixedWidth("战士", 4), "战士  ");
  EXPECT_EQ(FixedWidth("战士abc", 3), "战士a");
  EXPECT_EQ(FixedWidth("abc", 0), "");
}

TEST(TextCase, AsciiOnly) {
  EXPECT_EQ(UCase("abc战Z"), "ABC战Z");
  EXPECT_EQ(LCase("ABC战z"), "abc战z");
  EXPECT_TRUE(EqualsNoCase("Date", "dATE"));
  EXPECT_TRUE(EqualsNoCase("战士", "战士"));
  EXPECT_FALSE(EqualsNoCase("Date", "Dates"));
  EXPECT_FALSE(EqualsNoCase("a", "b"));
}

TEST(TextVal, ClassicNumberReading) {
  EXPECT_DOUBLE_EQ(Val("  12abc"), 12);
  EXPECT_DOUBLE_EQ(Val("1 2"), 12);
  EXPECT_DOUBLE_EQ(Val("-3.5e2"), -350);
  EXPECT_DOUBLE_EQ(Val("&H1F"), 31);
  EXPECT_DOUBLE_EQ(Val("&h1f"), 31);
  EXPECT_DOUBLE_EQ(Val("&O17"), 15);
  EXPECT_DOUBLE_EQ(Val(""), 0);
  EXPECT_DOUBLE_EQ(Val("abc"), 0);
  EXPECT_DOUBLE_EQ(Val(".5"), 0.5);
  EXPECT_DOUBLE_EQ(Val("+7"), 7);
  EXPECT_DOUBLE_EQ(Val("- 7"), -7);
  EXPECT_DOUBLE_EQ(Val("\t\n 42"), 42);
  EXPECT_DOUBLE_EQ(Val("3.14.15"), 3.14);
  EXPECT_DOUBLE_EQ(Val("12,5"), 12);
  EXPECT_DOUBLE_EQ(Val("1e"), 1);
  EXPECT_DOUBLE_EQ(Val("2E+3x"), 2000);
  EXPECT_DOUBLE_EQ(Val("25e-1"), 2.5);
  EXPECT_DOUBLE_EQ(Val("--5"), 0);
  EXPECT_DOUBLE_EQ(Val("战士12"), 0);
}

TEST(TextVal, HexWrapsLikeTheClassicIntegerTypes) {
  EXPECT_DOUBLE_EQ(Val("&HFFFF"), -1);
  EXPECT_DOUBLE_EQ(Val("&H8000"), -32768);
  EXPECT_DOUBLE_EQ(Val("&H10000"), 65536);
  EXPECT_DOUBLE_EQ(Val("&HFFFFFFFF"), -1);
  EXPECT_DOUBLE_EQ(Val("&H"), 0);
  // A view ends where it ends: the digits after it are not read.
  EXPECT_DOUBLE_EQ(Val(std::string_view("&H1F9").substr(0, 4)), 31);
  EXPECT_DOUBLE_EQ(Val(std::string_view("&O177").substr(0, 4)), 15);
}

TEST(TextVal, ExtremeInputStaysFinite) {
  EXPECT_DOUBLE_EQ(Val("1e999999999999"), std::numeric_limits<double>::max());
  EXPECT_DOUBLE_EQ(Val("-1e400"), -std::numeric_limits<double>::max());
  EXPECT_DOUBLE_EQ(Val("1e-400"), 0);
  EXPECT_DOUBLE_EQ(Val("0e999999"), 0);
  EXPECT_DOUBLE_EQ(Val(std::string(400, '0') + "7"), 7);
  EXPECT_GT(Val("&H" + std::string(40, 'F')), 1e40);
}

TEST(TextStrictNumber, WholeItemsWithBlanksAroundAreNumbers) {
  EXPECT_EQ(StrictNumber("12"), 12.0);
  EXPECT_EQ(StrictNumber("  -7 "), -7.0);
  EXPECT_EQ(StrictNumber("+3"), 3.0);
  EXPECT_EQ(StrictNumber("-2.5"), -2.5);
  EXPECT_EQ(StrictNumber(".5"), 0.5);
  EXPECT_EQ(StrictNumber("5."), 5.0);
  EXPECT_EQ(StrictNumber("007"), 7.0);
  EXPECT_EQ(StrictNumber("1.5e3"), 1500.0);
  EXPECT_EQ(StrictNumber("25E-1"), 2.5);
  EXPECT_EQ(StrictNumber(" 1e+2 "), 100.0);
}

TEST(TextStrictNumber, AnythingElseIsNoNumber) {
  for (const char* bad : {"", "   ", "abc", "12abc", "2 3", "1,2", ".", "-", "+", "+-1", "--1", "1.2.3", "1e",
                          "1e+", "e5", ".e1", "1e2.5", "\"2\"", "&H10", "0x10", "1d2", "\t5", "5\r", "１２"}) {
    EXPECT_FALSE(StrictNumber(bad).has_value()) << "\"" << bad << "\"";
  }
}

TEST(TextStrictNumber, NarrowerFormsRefuseFractionOrExponent) {
  EXPECT_EQ(StrictNumber(" -12 ", NumberForm::Whole), -12.0);
  for (const char* bad : {"1.5", "1.", ".5", "1e2", "1E0"}) {
    EXPECT_FALSE(StrictNumber(bad, NumberForm::Whole).has_value()) << bad;
  }
  EXPECT_EQ(StrictNumber("2.5", NumberForm::Fraction), 2.5);
  EXPECT_EQ(StrictNumber(".5", NumberForm::Fraction), 0.5);
  EXPECT_EQ(StrictNumber("5.", NumberForm::Fraction), 5.0);
  for (const char* bad : {"1e2", "2.5E1", "1e"}) {
    EXPECT_FALSE(StrictNumber(bad, NumberForm::Fraction).has_value()) << bad;
  }
}

TEST(TextStrictNumber, ExtremeValuesStayFinite) {
  const double max = std::numeric_limits<double>::max();
  EXPECT_EQ(StrictNumber("1e400"), max);
  EXPECT_EQ(StrictNumber("-1e400"), -max);
  EXPECT_EQ(StrictNumber("1e-400"), 0.0);
  EXPECT_EQ(StrictNumber(std::string(400, '9'), NumberForm::Whole), max);
  EXPECT_EQ(StrictNumber(std::string(400, '0') + "7", NumberForm::Whole), 7.0);
}

TEST(TextRound, HalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
  EXPECT_EQ(RoundHalfEven(7), 7);
}

TEST(TextRound, LargeValuesClampToThe32BitRange) {
  EXPECT_EQ(RoundHalfEven(1e300), 2147483647L);
  EXPECT_EQ(RoundHalfEven(-1e300), -2147483648L);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), 2147483647L);
  EXPECT_EQ(RoundHalfEven(-std::numeric_limits<double>::infinity()), -2147483648L);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(RoundHalfEven(2147483646.5), 2147483646L);
  EXPECT_EQ(RoundHalfEven(2147483646.7), 2147483647L);
  EXPECT_EQ(RoundHalfEven(-2147483647.5), -2147483648L);
}

TEST(TextStr, NoLeadingBlank) {
  EXPECT_EQ(Str(0), "0");
  EXPECT_EQ(Str(42), "42");
  EXPECT_EQ(Str(-7), "-7");
}

TEST(TextGbk, ByteLengthCountsTwoPerChineseCharacter) {
  EXPECT_EQ(GbkByteLength("战士"), 4);
  EXPECT_EQ(GbkByteLength("ab战"), 4);
  EXPECT_EQ(GbkByteLength(""), 0);
  EXPECT_EQ(GbkByteLength("abc"), 3);
}

TEST(TextGbk, RoundTripOfChineseText) {
  const std::string text = "屠龙刀,战士 Lv12：攻击+5";
  std::string gbk = Utf8ToGbk(text);
  // "战" in GBK is D5 BD.
  EXPECT_EQ(Utf8ToGbk("战"), "\xD5\xBD");
  EXPECT_EQ(static_cast<long>(gbk.size()), GbkByteLength(text));
  EXPECT_EQ(GbkToUtf8(gbk), text);
  EXPECT_EQ(GbkToUtf8("\xD5\xBD\xCA\xBF"), "战士");
}

TEST(TextGbk, UnconvertibleCharactersBecomeQuestionMarks) {
  // An emoji has no GBK code; broken UTF-8 has no meaning.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");
  EXPECT_EQ(Utf8ToGbk("战\xE6\x88"), "\xD5\xBD??");  // one mark per broken byte, as Len counts them
  // A lone lead byte at the end, and an invalid byte in the middle.
  EXPECT_EQ(GbkToUtf8("ab\xD5"), "ab?");
  EXPECT_EQ(GbkToUtf8("a\xFF" "b"), "a?b");
}

TEST(TextSplit, EveryOccurrenceSplits) {
  EXPECT_EQ(Split("a,,b", ","), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(Split("战士@@道士", "@@"), (std::vector<std::string>{"战士", "道士"}));
  EXPECT_EQ(Split("abc", ","), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(Split("a,", ","), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(Split("", ","), (std::vector<std::string>{""}));
  EXPECT_EQ(Split("a,b", ""), (std::vector<std::string>{"a,b"}));
}

}  // namespace
