// The sample game folder as the game reads it: its databases, their tables and columns,
// the content the rules name, and the builder that makes it.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/db.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tools/builder_process.h"
#include "world/file_marker.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using Row = std::map<std::string, plat::db::Value>;  // keys in lower case

const std::vector<std::string> kItemColumns = {
    "Name", "Type", "Type2", "Pic1", "Pic2", "Hp", "Mp", "Dc", "DcMax", "DcSpeed", "Mc", "McMax", "Df", "DfMax",
    "Mf", "MfMax", "Nb", "XiHP", "MaBi", "zd", "Luck", "Acc", "Weight", "Money", "NdDc", "NdLevel", "NdMc"};
const std::vector<std::string> kNpcColumns = {"NpcCode", "map", "Inf"};
const std::vector<std::string> kMonsterColumns = {
    "MonName", "Pic", "Wav", "Hp", "Dc", "DcMax", "Df", "DfMax", "mf", "MfMax", "Nb", "Ex", "Eye", "Type",
    "ActType", "XiHP", "MaBi", "zd", "DcSpeed", "StepSpeed", "DcSleep", "R", "G", "B", "A", "Event", "Items"};

std::vector<std::string> Save1Columns() {
  std::vector<std::string> c = {"ID", "ZhiYe", "MainMap", "SubMap", "X", "Y", "GoMain", "GoSub", "GoX", "GoY",
                                "HP", "HpMax", "Mp", "MpMax", "Dc", "DcMax", "Mc", "McMax", "Df", "DfMax", "Mf",
                                "MfMax", "Nb", "Acc", "DcSpeed", "XiHP", "MaBi", "zd", "Luck", "Heavy", "Level",
                                "Ex", "LevelPoint", "SpPoint", "Direction", "Money", "Bank", "NowMc", "Date",
                                "MapS", "SP"};
  for (int i = 1; i <= 40; ++i) c.push_back("Et" + std::to_string(i));
  for (int i = 1; i <= 20; ++i) c.push_back("M" + std::to_string(i));
  return c;
}
const std::vector<std::string> kSave2Columns = {
    "ID", "No", "Type", "Type2", "Pic1", "Pic2", "Name", "Hp", "Mp", "Dc", "DcMax", "DcSpeed", "Mc", "McMax",
    "Df", "DfMax", "mf", "mfMax", "Nb", "xihp", "mabi", "zd", "dzlevel", "luck", "Acc", "Weight", "Money",
    "NdDc", "NdMc", "NdLevel", "JP", "SP", "Ex"};

const std::vector<std::string> kSetPrefixes = {"剧毒", "魔血", "圣战", "法神", "狂战", "圣尊",
                                               "魔神", "死神", "皇族", "精忠", "魔术"};

// The bundles and what each unpacks into (six pieces).
const std::vector<std::pair<std::string, std::string>> kBundles = {
    {"金创药小包", "金创药小"}, {"金创药中包", "金创药中"}, {"金创药大包", "金创药大"},
    {"超级金创药", "强效金创药"}, {"魔法药小包", "魔法药小"}, {"魔法药中包", "魔法药中"},
    {"魔法药大包", "魔法药大"}, {"超级魔法药", "强效魔法药"}, {"绝强金创药包", "绝强金创药"},
    {"绝强魔法药包", "绝强魔法药"}, {"天仙玉露包", "天仙玉露"}, {"回城卷包", "回城卷"}};
// Usable items recognised by name: Type 0.
const std::vector<std::string> kUsableByName = {"回城卷", "解毒药", "隐身药水", "祝福油", "战神油", "蜘蛛油",
                                                "蝙蝠之灵", "鸡之灵", "恶蛆之灵", "骷髅之灵", "卫士之灵",
                                                "教主之灵", "血魔之灵"};
// Potions named by monster drops, corpse alchemy and bundles: Type 1 or 2.
const std::vector<std::string> kPotions = {
    "金创药小", "金创药中", "金创药大", "魔法药小", "魔法药中", "魔法药大", "强效金创药", "强效魔法药",
    "绝强金创药", "绝强魔法药", "神水", "酒花玉露", "凝神玉露", "天仙玉露", "热血之源", "自然之源",
    "热血震怒", "自然震怒"};
// Further names: the forge's ore, the cheat panel's first items, the item description's example.
const std::vector<std::string> kOtherNames = {"铁矿石", "普通盾牌", "黄铜头盔", "绝强金创药包", "柴刀", "布衣", "蟾酥"};
// The cheat panel's summon list begins with these kinds.
const std::vector<std::string> kCheatMonsters = {"鸡", "烈火鸡", "爆烈鸡", "羊"};
// Story flags whose kinds show a story text when they die.
const std::vector<long> kStoryEvents = {30, 33, 38, 39};

fs::path Built(std::string_view gamePath) { return plat::ResolvePathIn(testsupport::GameDir(), gamePath); }

std::vector<std::uint8_t> Bytes(const fs::path& file) {
  auto b = plat::ReadAllBytes(file);
  return b ? *b : std::vector<std::uint8_t>{};
}

bool StartsWithMarker(const std::vector<std::uint8_t>& b) {
  if (b.size() < 20) return false;
  for (std::size_t i = 0; i < 20; ++i) {
    if (b[i] != i + 1) return false;
  }
  return true;
}

bool StartsWithSqlite(const std::vector<std::uint8_t>& b, std::size_t offset) {
  static const std::string kMagic("SQLite format 3\0", 16);
  return b.size() >= offset + kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), b.begin() + offset);
}

// A database of the built folder, opened on a copy in a temporary folder; a marked file
// loses its marker on the copy only.
class Copied {
 public:
  Copied(const fs::path& file, bool marked) {
    copy_ = dir_.path() / file.filename();
    EXPECT_TRUE(plat::CopyFileTo(file, copy_, true)) << file;
    if (marked) {
      EXPECT_TRUE(::HasFileHeader(Bytes(copy_))) << file << " has no marker";
      EXPECT_TRUE(::StripFileHeader(copy_));
    }
    db_.Open("Data Source=" + copy_.string() + ";");
  }
  plat::db::Connection& Db() { return db_; }

 private:
  TempDir dir_;
  fs::path copy_;
  plat::db::Connection db_;
};

std::vector<Row> ReadRows(plat::db::Connection& db, const std::string& table) {
  plat::db::Recordset rs;
  rs.Open("Select * from " + table, db);
  std::vector<Row> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    Row r;
    for (const std::string& c : rs.Columns()) r[plat::LCase(c)] = rs.Field(c);
    rows.push_back(std::move(r));
  }
  rs.Close();
  return rows;
}

long N(const Row& r, const std::string& column) { return r.at(plat::LCase(column)).AsLong(); }
std::string T(const Row& r, const std::string& column) { return r.at(plat::LCase(column)).AsText(); }

std::set<std::string> LowerSet(const std::vector<std::string>& names) {
  std::set<std::string> s;
  for (const std::string& n : names) s.insert(plat::LCase(n));
  return s;
}

std::map<std::string, Row> Items() {
  Copied db(Built("date/Mon/74.dat"), false);
  std::map<std::string, Row> items;
  for (Row& r : ReadRows(db.Db(), "Item")) items[T(r, "Name")] = r;
  return items;
}

std::vector<Row> Monsters(int level) {
  Copied db(Built("date/rpg/21.dat"), true);
  return ReadRows(db.Db(), "Mon" + std::to_string(level));
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsGold(const std::string& name) {
  if (name.rfind("金币", 0) != 0 || name.size() == std::string("金币").size()) return false;
  return std::all_of(name.begin() + std::string("金币").size(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Drop {
  long chance;
  std::string name;
};

// Reads a drop list exactly as the game start does: "N/name" entries, each followed by
// one blank. Any other form is a failure.
::testing::AssertionResult ParseDrops(const std::string& text, std::vector<Drop>& out) {
  out.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t blank = text.find(' ', pos);
    if (blank == std::string::npos) return ::testing::AssertionFailure() << "last entry without its blank: " << text;
    std::string entry = text.substr(pos, blank - pos);
    std::size_t slash = entry.find('/');
    if (entry.empty() || slash == std::string::npos || slash == 0 || slash + 1 == entry.size()) {
      return ::testing::AssertionFailure() << "entry \"" << entry << "\" is not N/name in: " << text;
    }
    std::string chance = entry.substr(0, slash);
    if (!std::all_of(chance.begin(), chance.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return ::testing::AssertionFailure() << "chance \"" << chance << "\" is not a whole number";
    }
    out.push_back(Drop{std::stol(chance), entry.substr(slash + 1)});
    pos = blank + 1;
  }
  if (out.size() > 30) return ::testing::AssertionFailure() << out.size() << " entries (30 at most)";
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- the built folder

TEST(GameFolder, MarkerStandsOnlyBeforeTheSaveTemplateAndTheMonsterDatabase) {
  for (const char* marked : {"date/Sk.dat", "date/rpg/21.dat"}) {
    auto b = Bytes(Built(marked));
    EXPECT_TRUE(StartsWithMarker(b)) << marked;
    EXPECT_TRUE(StartsWithSqlite(b, 20)) << marked;
  }
  for (const char* plain : {"date/Mon/74.dat", "date/Mon/75.dat"}) {
    auto b = Bytes(Built(plain));
    EXPECT_FALSE(::HasFileHeader(b)) << plain;
    EXPECT_TRUE(StartsWithSqlite(b, 0)) << plain;
  }
  // The game writes "Date\Mon\74.dat" and "date\Mon\74.dat"; one spelling per folder.
  EXPECT_TRUE(fs::is_directory(testsupport::GameDir() / "date"));
  EXPECT_FALSE(fs::exists(testsupport::GameDir() / "Date"));
  EXPECT_TRUE(fs::is_directory(testsupport::GameDir() / "date" / "Mon"));
  EXPECT_TRUE(fs::is_directory(testsupport::GameDir() / "date" / "rpg"));
}

TEST(GameFolder, TablesCarryTheGameColumnNames) {
  {
    Copied db(Built("date/Mon/74.dat"), false);
    EXPECT_EQ(LowerSet(db.Db().ColumnsOf("Item")), LowerSet(kItemColumns));
  }
  {
    Copied db(Built("date/Mon/75.dat"), false);
    EXPECT_EQ(LowerSet(db.Db().ColumnsOf("NPC")), LowerSet(kNpcColumns));
  }
  {
    Copied db(Built("date/rpg/21.dat"), true);
    for (const char* t : {"Mon1", "Mon2", "Mon3"}) EXPECT_EQ(LowerSet(db.Db().ColumnsOf(t)), LowerSet(kMonsterColumns)) << t;
  }
  {
    Copied db(Built("date/Sk.dat"), true);
    EXPECT_EQ(LowerSet(db.Db().ColumnsOf("Save1")), LowerSet(Save1Columns()));
    EXPECT_EQ(LowerSet(db.Db().ColumnsOf("Save2")), LowerSet(kSave2Columns));
  }
}

TEST(GameFolder, SaveTemplateHasNoRows) {
  Copied db(Built("date/Sk.dat"), true);
  EXPECT_EQ(db.Db().Scalar("SELECT count(*) FROM Save1").AsInt(), 0);
  EXPECT_EQ(db.Db().Scalar("SELECT count(*) FROM Save2").AsInt(), 0);
}

TEST(GameFolder, EveryItemNameTheRulesUseExists) {
  auto items = Items();
  for (const auto& [bundle, content] : kBundles) {
    ASSERT_TRUE(items.count(bundle)) << bundle;
    EXPECT_EQ(N(items[bundle], "Type"), 0) << bundle;
    ASSERT_TRUE(items.count(content)) << content << " (in " << bundle << ")";
  }
  for (const std::string& name : kUsableByName) {
    ASSERT_TRUE(items.count(name)) << name;
    EXPECT_EQ(N(items[name], "Type"), 0) << name;
  }
  for (const std::string& name : kPotions) {
    ASSERT_TRUE(items.count(name)) << name;
    long type = N(items[name], "Type");
    EXPECT_TRUE(type == 1 || type == 2) << name << " is of Type " << type;
    EXPECT_GT(N(items[name], "Hp") + N(items[name], "Mp"), 0) << name;
  }
  for (const std::string& name : kOtherNames) EXPECT_TRUE(items.count(name)) << name;
  EXPECT_EQ(N(items["蟾酥"], "Type"), 1);  // only pool potions cure poison by name
  EXPECT_EQ(N(items["柴刀"], "Type"), 20);
  EXPECT_NE(N(items["铁矿石"], "Type"), 20);
  // A new character wears 布衣 as creation writes it; the table must build the same item.
  const Row& cloth = items["布衣"];
  EXPECT_EQ(N(cloth, "Type"), 12);
  EXPECT_EQ(T(cloth, "Type2"), "衣");
  EXPECT_EQ(N(cloth, "Pic1"), 32);
  EXPECT_EQ(N(cloth, "Pic2"), 1);
  EXPECT_EQ(N(cloth, "DfMax"), 1);
  EXPECT_EQ(N(cloth, "Weight"), 3);
  EXPECT_EQ(N(cloth, "Money"), 65);
}

TEST(GameFolder, EveryItemTypeTheRulesBranchOnIsPresent) {
  std::set<long> types;
  for (const auto& [name, r] : Items()) types.insert(N(r, "Type"));
  for (long t : {0, 1, 2, 10, 11, 12, 13, 14, 15, 20, 21, 99}) EXPECT_TRUE(types.count(t)) << "Type " << t;
}

TEST(GameFolder, EverySetPrefixHasACompleteSet) {
  auto items = Items();
  for (const std::string& prefix : kSetPrefixes) {
    std::set<long> types;
    for (const auto& [name, r] : items) {
      if (name.rfind(prefix, 0) == 0) types.insert(N(r, "Type"));
    }
    for (long t : {10, 11, 13, 14}) EXPECT_TRUE(types.count(t)) << prefix << " has no item of Type " << t;
  }
}

TEST(GameFolder, ItemIconsAndLooksAreUsable) {
  std::set<long> icons;
  bool manaShield = false, lightningWeapon = false;
  for (const auto& [name, r] : Items()) {
    long icon = N(r, "Pic1"), look = N(r, "Pic2"), type = N(r, "Type");
    EXPECT_GE(icon, 6) << name << ": icons 1-5 are the gold piles, 0 is no picture";
    EXPECT_TRUE(icons.insert(icon).second) << name << ": icon " << icon << " twice";
    if (icon == 438) manaShield = manaShield || type == 14;
    if (type == 20) {
      EXPECT_GE(look, 1) << name;
      lightningWeapon = lightningWeapon || look == 47;
    }
    if (type == 12) {
      EXPECT_TRUE(look >= 1 && look < 100 && look != 21) << name << ": body look " << look;
    }
    EXPECT_EQ(plat::Len(T(r, "Type2")), 1) << name;
    EXPECT_LE(N(r, "Dc"), N(r, "DcMax")) << name;
    EXPECT_LE(N(r, "Mc"), N(r, "McMax")) << name;
  }
  EXPECT_TRUE(manaShield) << "no ring with icon 438 (magic points absorb blows)";
  EXPECT_TRUE(lightningWeapon) << "no weapon with look 47 (lightning at every swing)";
}

TEST(GameFolder, ItemNamesCanBeNamedByScriptsAndLookups) {
  for (const auto& [name, r] : Items()) {
    EXPECT_EQ(name.find_first_of(" '@/\t"), std::string::npos) << name;
    EXPECT_EQ(plat::UCase(name), name) << name << ": scripts are upper-cased";
    EXPECT_NE(name[0], '?') << name;
    EXPECT_NE(name.rfind("金币", 0), 0u) << name;
  }
}

TEST(GameFolder, EachDifficultyHoldsEveryKindOfMonsterTheRulesNeed) {
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE("Mon" + std::to_string(level));
    auto kinds = Monsters(level);
    ASSERT_GE(kinds.size(), 83u);
    EXPECT_EQ(N(kinds[82], "Pic"), 83) << "kind 83 is the spirit companion's look";
    bool melee = false, ranged = false, undead = false;
    std::set<long> events;
    std::set<std::string> names;
    // Potion drop bands (1-80, 81-150, 151-200, above 200) and alchemy bands
    // (below 100, 100-300, 301-500, above 500).
    const std::vector<std::pair<long, long>> bands = {{1, 80},    {81, 150},  {151, 200}, {201, 1L << 30},
                                                      {1, 99},    {100, 300}, {301, 500}, {501, 1L << 30}};
    std::vector<bool> bandSeen(bands.size(), false);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      const Row& k = kinds[i];
      if (i == 82) continue;
      const std::string name = T(k, "MonName");
      names.insert(name);
      (N(k, "ActType") == 0 ? melee : ranged) = true;
      undead = undead || EndsWith(name, "尸");
      events.insert(N(k, "Event"));
      for (std::size_t b = 0; b < bands.size(); ++b) {
        if (N(k, "Hp") >= bands[b].first && N(k, "Hp") <= bands[b].second) bandSeen[b] = true;
      }
    }
    EXPECT_TRUE(melee);
    EXPECT_TRUE(ranged);
    EXPECT_TRUE(undead);
    for (long e : kStoryEvents) EXPECT_TRUE(events.count(e)) << "no kind with story flag " << e;
    for (std::size_t b = 0; b < bands.size(); ++b) {
      EXPECT_TRUE(bandSeen[b]) << "no kind with Hp " << bands[b].first << ".." << bands[b].second;
    }
    for (const std::string& n : kCheatMonsters) EXPECT_TRUE(names.count(n)) << n;
  }
}

TEST(GameFolder, MonsterFieldsStayWithinWhatTheRulesAccept) {
  const std::set<long> rangedEffects = {3, 4, 5, 6, 7, 9};
  for (int level = 1; level <= 3; ++level) {
    for (const Row& k : Monsters(level)) {
      std::string where = "Mon" + std::to_string(level) + " " + T(k, "MonName");
      long pic = N(k, "Pic");
      EXPECT_TRUE(pic >= 1 && pic <= 119 && pic != 74 && pic != 75) << where << ": Pic " << pic;
      EXPECT_GE(N(k, "DcSpeed"), 1) << where;
      EXPECT_GE(N(k, "StepSpeed"), 1) << where;
      EXPECT_TRUE(N(k, "Event") >= 0 && N(k, "Event") <= 40) << where;
      for (const char* c : {"R", "G", "B", "A"}) EXPECT_TRUE(N(k, c) >= 0 && N(k, c) <= 255) << where << " " << c;
      EXPECT_TRUE(N(k, "Type") >= 0 && N(k, "Type") <= 3) << where << ": death effect";
      long act = N(k, "ActType");
      EXPECT_TRUE(act == 0 || rangedEffects.count(act)) << where << ": ActType " << act;
      EXPECT_LE(N(k, "Dc"), N(k, "DcMax")) << where;
      EXPECT_LE(N(k, "Df"), N(k, "DfMax")) << where;
      EXPECT_LE(N(k, "mf"), N(k, "MfMax")) << where;
      EXPECT_GE(N(k, "Hp"), 1) << where;
      EXPECT_FALSE(T(k, "Wav").empty()) << where;
      EXPECT_EQ(plat::UCase(T(k, "MonName")), T(k, "MonName")) << where << ": scripts are upper-cased";
    }
  }
}

TEST(GameFolder, HarderDifficultiesHaveTheSameKindsWithStrongerNumbers) {
  auto easy = Monsters(1), hard = Monsters(2), hardest = Monsters(3);
  ASSERT_EQ(easy.size(), hard.size());
  ASSERT_EQ(easy.size(), hardest.size());
  for (std::size_t i = 0; i < easy.size(); ++i) {
    EXPECT_EQ(T(easy[i], "MonName"), T(hard[i], "MonName")) << "row " << i + 1;
    EXPECT_EQ(T(easy[i], "MonName"), T(hardest[i], "MonName")) << "row " << i + 1;
    EXPECT_EQ(N(easy[i], "Event"), N(hardest[i], "Event")) << "row " << i + 1;
    EXPECT_LE(N(easy[i], "Hp"), N(hard[i], "Hp")) << T(easy[i], "MonName");
    EXPECT_LE(N(hard[i], "Hp"), N(hardest[i], "Hp")) << T(easy[i], "MonName");
    EXPECT_LE(N(easy[i], "DcMax"), N(hardest[i], "DcMax")) << T(easy[i], "MonName");
  }
}

TEST(GameFolder, DropListsHaveTheStoredFormAndNameRealItems) {
  auto items = Items();
  bool gold = false, storyStone = false;
  for (int level = 1; level <= 3; ++level) {
    for (const Row& k : Monsters(level)) {
      std::vector<Drop> drops;
      ASSERT_TRUE(ParseDrops(T(k, "Items"), drops)) << "Mon" << level << " " << T(k, "MonName");
      for (const Drop& d : drops) {
        EXPECT_TRUE(items.count(d.name) || IsGold(d.name)) << T(k, "MonName") << " drops unknown \"" << d.name << "\"";
        gold = gold || IsGold(d.name);
        if (T(k, "MonName") == "牛魔王" && d.name == "镇墓玉石" && d.chance <= 1) storyStone = true;
      }
    }
  }
  EXPECT_TRUE(gold);
  EXPECT_TRUE(storyStone) << "牛魔王 must always leave the 镇墓玉石 its story line names";
  EXPECT_EQ(N(items["镇墓玉石"], "Type"), 99);
}

TEST(GameFolder, DropListParserRejectsWhatTheGameCannotRead) {
  std::vector<Drop> d;
  EXPECT_TRUE(ParseDrops("", d));
  EXPECT_TRUE(d.empty());
  EXPECT_TRUE(ParseDrops("5/回城卷 20/金币50 ", d));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[1].chance, 20);
  EXPECT_EQ(d[1].name, "金币50");
  EXPECT_FALSE(ParseDrops("5/回城卷", d));        // the last entry has no blank
  EXPECT_FALSE(ParseDrops("5/回城卷  6/神水 ", d));  // two blanks make an empty entry
  EXPECT_FALSE(ParseDrops("回城卷 ", d));
  EXPECT_FALSE(ParseDrops("x/回城卷 ", d));
}

// ---------------------------------------------------------------- NPC scripts

const std::set<std::string> kCommandWords = {
    "#IF",      "#B1",      "#B2",         "#B3",    "#B4",      "#B5",      "#B6",       "#BUY",
    "#MOB",     "#MONCK",   "#UNNPC",      "#ITEMCK", "#CHANGE", "#KILLNPC", "#KILLMONALL", "#WLEVELUP",
    "#KILLMON", "#GIVE",    "#TAKE",       "#GOTO",  "#ELSE",    "#ENDIF",   "#ENDBUY",   "#MC5",
    "#WUP",     "#SELL",    "#BANK",       "#MOVE",  "#OVER",    "#GAMESTOP", "#GAMESTART", "#GAMEEND",
    "#BACKCITY", "#GOMAP",  "#END",        "#LABEL"};

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> w = plat::Split(line, " ");
  if (!w.empty()) w.erase(w.begin());
  return w;
}

// Checks a script the way the interpreter will meet it: upper-cased, split at CR LF.
void CheckScript(const std::string& code, const std::string& inf, const std::map<std::string, Row>& items,
                 const std::set<std::string>& monsters) {
  SCOPED_TRACE(code);
  for (std::size_t i = 0; i < inf.size(); ++i) {
    if (inf[i] == '\n') {
      EXPECT_TRUE(i > 0 && inf[i - 1] == '\r') << "a line end without CR";
    }
    if (inf[i] == '\r') {
      EXPECT_TRUE(i + 1 < inf.size() && inf[i + 1] == '\n') << "a CR without LF";
    }
  }
  std::vector<std::string> lines;
  for (const std::string& piece : plat::Split(plat::UCase(inf), "\r\n")) {
    if (!piece.empty() && piece[0] != ';') lines.push_back(piece);
  }
  ASSERT_FALSE(lines.empty());
  ASSERT_LE(lines.size(), 999u);
  std::set<std::string> labels;
  for (const std::string& l : lines) {
    if (l.rfind("#LABEL ", 0) == 0) labels.insert(l.substr(7));
  }
  auto labelExists = [&](const std::string& label) { return label == "OVER" || labels.count(label) > 0; };
  bool inShop = false;
  for (const std::string& l : lines) {
    if (l[0] != '#') {
      if (inShop) {
        EXPECT_TRUE(items.count(l)) << "the shop offers unknown \"" << l << "\"";
      }
      continue;
    }
    std::string word = l.substr(0, l.find(' '));
    EXPECT_TRUE(kCommandWords.count(word)) << "unknown command " << l;
    std::vector<std::string> args = Words(l);
    if (word.size() == 3 && word[1] == 'B' && word[2] >= '1' && word[2] <= '6') {
      ASSERT_FALSE(args.empty()) << l;
      std::string label = args.size() >= 2 ? args[1] : args[0];
      EXPECT_TRUE(labelExists(label)) << l << ": no label " << label;
    } else if (word == "#GOTO") {
      ASSERT_FALSE(args.empty()) << l;
      EXPECT_TRUE(labelExists(args[0])) << l;
    } else if (word == "#BUY") {
      inShop = true;
    } else if (word == "#ENDBUY") {
      inShop = false;
    } else if (word == "#GIVE" || word == "#TAKE" || word == "#ITEMCK") {
      ASSERT_FALSE(args.empty()) << l;
      EXPECT_TRUE(args[0] == "金币" || items.count(args[0])) << l;
    } else if (word == "#MOB" || word == "#MONCK") {
      ASSERT_FALSE(args.empty()) << l;
      EXPECT_TRUE(monsters.count(args[0])) << l;
    }
  }
  EXPECT_FALSE(inShop) << "#BUY without #ENDBUY";
}

TEST(GameFolder, NpcScriptsOfTheFirstTownAreComplete) {
  auto items = Items();
  std::set<std::string> monsters;
  for (const Row& k : Monsters(1)) monsters.insert(T(k, "MonName"));
  Copied db(Built("date/Mon/75.dat"), false);
  auto rows = ReadRows(db.Db(), "NPC");
  std::set<std::string> onTown;
  for (const Row& r : rows) {
    EXPECT_EQ(T(r, "NpcCode").rfind("N", 0), 0u) << T(r, "NpcCode");
    if (T(r, "map") == "无名村") onTown.insert(T(r, "NpcCode"));
    CheckScript(T(r, "NpcCode"), T(r, "Inf"), items, monsters);
  }
  EXPECT_GE(onTown.size(), 1u);
  // The lookup the game makes for a clicked NPC.
  plat::db::Recordset rs;
  rs.Open("Select * from NPC where NpcCode=?1 and map=?2", db.Db(), {"N村长", "无名村"});
  ASSERT_FALSE(rs.Eof());
  EXPECT_NE(plat::UCase(rs.Field("Inf").AsText()).find(" OVER\r\n"), std::string::npos) << "no choice that ends the talk";
}

TEST(GameFolder, ScriptCheckCatchesBrokenScripts) {
  std::map<std::string, Row> items = {{"回城卷", Row{}}};
  std::set<std::string> monsters = {"鸡"};
  ::testing::TestPartResultArray failures;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    CheckScript("N甲", "你好\r\n#B1 走 NOWHERE\r\n#END", items, monsters);   // missing label
    CheckScript("N乙", "#BUY\r\n木剑\r\n#ENDBUY", items, monsters);           // unknown shop item
    CheckScript("N丙", "你好\n#OVER", items, monsters);                        // LF line end
    CheckScript("N丁", "#GIVEX 回城卷 1", items, monsters);                    // unknown command
  }
  EXPECT_EQ(failures.size(), 4);
  ::testing::TestPartResultArray none;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &none);
    CheckScript("N戊", "你好\r\n#B1 走 A\r\n#B2 留 over\r\n#END\r\n#LABEL a\r\n#GIVE 回城卷 1\r\n#MOB 鸡 5 5\r\n#OVER",
                items, monsters);
  }
  EXPECT_EQ(none.size(), 0);
}

TEST(GameFolder, PlayerFilesArePresent) {
  auto config = Bytes(Built("Config.cfg"));
  std::string text(config.begin(), config.end());
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  auto fields = plat::Split(text.substr(0, text.size() - 2), ",");
  ASSERT_EQ(fields.size(), 8u) << text;
  for (const std::string& f : fields) EXPECT_TRUE(f == "0" || f == "1") << text;
  auto memory = Bytes(Built("DisplayMemory.cfg"));
  std::string m(memory.begin(), memory.end());
  ASSERT_FALSE(m.empty());
  EXPECT_TRUE(m[0] >= '0' && m[0] <= '9') << m;
  EXPECT_TRUE(fs::is_directory(Built("Save")));
}

// ---------------------------------------------------------------- the builder

struct RunResult {
  int code = -1;
  std::string errors;
};

RunResult RunBuilder(const std::vector<std::string>& args, const fs::path& scratch) {
  const fs::path log = scratch / "builder.log";
  RunResult result;
  result.code = buildertest::RunBuilderProcess(args, log);
  if (result.code == -1) ADD_FAILURE() << "the builder could not be run";
  auto b = Bytes(log);
  result.errors.assign(b.begin(), b.end());
  return result;
}

const std::vector<std::string> kDatabases = {"date/Mon/74.dat", "date/Mon/75.dat", "date/rpg/21.dat", "date/Sk.dat"};

std::map<std::string, std::vector<std::uint8_t>> Snapshot(const fs::path& game) {
  std::map<std::string, std::vector<std::uint8_t>> s;
  for (const std::string& d : kDatabases) s[d] = Bytes(plat::ResolvePathIn(game, d));
  return s;
}

std::vector<std::string> LeftoverFiles(const fs::path& game) {
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(game)) {
    std::string n = e.path().filename().string();
    if (n.find(".building") != std::string::npos || n.find("-journal") != std::string::npos) left.push_back(n);
  }
  return left;
}

void CopyData(const fs::path& to) {
  fs::copy(testsupport::DataDir(), to, fs::copy_options::recursive);
}

void ReplaceInFile(const fs::path& file, const std::string& from, const std::string& to) {
  auto b = Bytes(file);
  std::string text(b.begin(), b.end());
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << file;
  text.replace(at, from.size(), to);
  ASSERT_TRUE(plat::WriteAllBytes(file, std::vector<std::uint8_t>(text.begin(), text.end())));
}

TEST(Builder, SecondRunKeepsThePlayersFilesAndRebuildsTheDatabases) {
  TempDir tmp;
  const fs::path game = tmp / "game";
  RunResult first = RunBuilder({testsupport::DataDir().string(), game.string()}, tmp.path());
  ASSERT_EQ(first.code, 0) << first.errors;
  for (const std::string& d : kDatabases) EXPECT_TRUE(fs::is_regular_file(plat::ResolvePathIn(game, d))) << d;

  const std::string save = "a saved character";
  ASSERT_TRUE(plat::WriteAllBytes(game / "Save" / fs::u8path("测试.kzs"), {save.begin(), save.end()}));
  const std::string options = "0,1,1,1,0,1,1,1\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(game / "Config.cfg", {options.begin(), options.end()}));
  const std::string memory = "2\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(game / "DisplayMemory.cfg", {memory.begin(), memory.end()}));
  const std::string junk = "not a database";
  ASSERT_TRUE(plat::WriteAllBytes(game / "date" / "Mon" / "74.dat", {junk.begin(), junk.end()}));

  RunResult second = RunBuilder({testsupport::DataDir().string(), game.string()}, tmp.path());
  ASSERT_EQ(second.code, 0) << second.errors;
  EXPECT_EQ(Bytes(game / "Save" / fs::u8path("测试.kzs")), std::vector<std::uint8_t>(save.begin(), save.end()));
  EXPECT_EQ(Bytes(game / "Config.cfg"), std::vector<std::uint8_t>(options.begin(), options.end()));
  EXPECT_EQ(Bytes(game / "DisplayMemory.cfg"), std::vector<std::uint8_t>(memory.begin(), memory.end()));
  EXPECT_TRUE(StartsWithSqlite(Bytes(game / "date" / "Mon" / "74.dat"), 0)) << "the item database was not rebuilt";
  EXPECT_TRUE(StartsWithMarker(Bytes(game / "date" / "rpg" / "21.dat"))) << "marked twice or not at all";
  EXPECT_TRUE(StartsWithSqlite(Bytes(game / "date" / "rpg" / "21.dat"), 20));
  EXPECT_TRUE(LeftoverFiles(game).empty());
}

TEST(Builder, WritesIntoTheFolderSpellingAlreadyThere) {
  TempDir tmp;
  const fs::path game = tmp / "game";
  ASSERT_TRUE(plat::MakeFolder(game / "Date" / "MON"));
  ASSERT_TRUE(plat::MakeFolder(game / "save"));
  RunResult run = RunBuilder({testsupport::DataDir().string(), game.string()}, tmp.path());
  ASSERT_EQ(run.code, 0) << run.errors;
  EXPECT_TRUE(fs::is_regular_file(game / "Date" / "MON" / "74.dat"));
  EXPECT_FALSE(fs::exists(game / "date"));
  EXPECT_FALSE(fs::exists(game / "Save"));
}

TEST(Builder, BadSourcesLeaveEveryDatabaseAsItWas) {
  struct Breakage {
    std::string file, from, to, named;
  };
  const std::vector<Breakage> breakages = {
      {"tables/mon2.tsv", "/回城卷 ", "/无此物品 ", "mon2.tsv"},            // a drop that is no item
      {"tables/mon3.tsv", "\t鸡\t", "\t鸡\t\t", "mon3.tsv"},                // one field too many
      {"tables/mon1.tsv", "鸡\t1\t", "鸡\t74\t", "mon1.tsv"},              // a sprite set taken by a database
      {"tables/items.tsv", "金创药小\t1\t", "金创药小\tx\t", "items.tsv"},  // a number that is not one
      {"npc/npcs.tsv", "wuming_smith.txt", "missing.txt", "missing.txt"},   // a script that is not there
  };
  TempDir tmp;
  const fs::path game = tmp / "game";
  ASSERT_EQ(RunBuilder({testsupport::DataDir().string(), game.string()}, tmp.path()).code, 0);
  const auto before = Snapshot(game);
  for (std::size_t i = 0; i < breakages.size(); ++i) {
    const Breakage& b = breakages[i];
    SCOPED_TRACE(b.file + ": " + b.to);
    const fs::path data = tmp / ("data" + std::to_string(i));
    CopyData(data);
    ReplaceInFile(data / b.file, b.from, b.to);
    RunResult run = RunBuilder({data.string(), game.string()}, tmp.path());
    EXPECT_EQ(run.code, 1) << run.errors;
    EXPECT_NE(run.errors.find(b.named), std::string::npos) << run.errors;
    EXPECT_TRUE(Snapshot(game) == before);
    EXPECT_TRUE(LeftoverFiles(game).empty());
  }
}

TEST(Builder, RefusesWrongArguments) {
  TempDir tmp;
  EXPECT_EQ(RunBuilder({}, tmp.path()).code, 2);
  EXPECT_EQ(RunBuilder({(tmp / "no-such-data").string(), (tmp / "game").string()}, tmp.path()).code, 2);
  EXPECT_FALSE(fs::exists(tmp / "game"));
}

}  // namespace
