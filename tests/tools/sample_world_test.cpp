// The maps of the sample game folder: the builder's part writer against the game's
// loader, the checks on part sources, and the whole shipped world as the game meets it
// (every map and part loads at every difficulty, every NPC has its script, every script
// is made of known commands and names that exist, every portal and teleport lands on
// a cell one can stand on, every way a monster fights is met on the monster grounds at
// every difficulty, the world can be walked from the first town, scenery is
// drawn so that it neither vanishes on screen nor covers a figure in front of it, and
// every way through a dialogue ends with its lines read and its box closed on a
// teleport).
#include "art_sprites.h"
#include "maps.h"
#include "text_table.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/map_loader.h"
#include "graphics/scene_fixture.h"
#include "graphics/resources.h"
#include "platform/archive.h"
#include "platform/db.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "script/script.h"
#include "support/test_support.h"
#include "ui/cheat_panel.h"
#include "ui/game_start.h"
#include "ui/skills_panel.h"
#include "window/form1.h"
#include "world/file_marker.h"
#include "world/part_change.h"
#include "world/save_create.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// ---------------------------------------------------------------------------------
// A fresh game on a temporary program folder.

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    savedCwd_ = fs::current_path();
    plat::SetProgramFolder(dir.path());
    fs::current_path(dir.path());
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
  }
  void TearDown() override {
    if (HasFailure()) {
      for (const auto& d : dialogs.dialogs.shown) ADD_FAILURE() << "dialog shown: " << d.text;
    }
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    fs::current_path(savedCwd_);
    plat::SetProgramFolder(savedFolder_);
  }

  void AddKind(const std::string& name, int hp) {
    MonsterKind k;
    k.MonName = name;
    k.Hp = hp;
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
  }

  TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;

 private:
  fs::path savedFolder_, savedCwd_;
};

void WriteText(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  ASSERT_TRUE(plat::WriteAllBytes(p, std::vector<std::uint8_t>(s.begin(), s.end())));
}

std::string ReadText(const fs::path& p) {
  auto b = plat::ReadAllBytes(p);
  return b ? std::string(b->begin(), b->end()) : std::string();
}

// ---------------------------------------------------------------------------------
// The writer against the loader

const char* kRoundTripSource = R"(; a small test part
name 试炼场
legend . 1 - -
legend # 18 10003 0
legend ~ 7 10015 0-
legend a 3 - M鸡
legend b 3 - M无名怪
legend s 9 - 2
rows
#####
#.a.#
#~sb#
#.a.#

; the rest
cell 3 1 5 20001 1
cell 2 4 = = =
npc 4 2 村长 5 12
hiddennpc 2 2 小翠 1 7
spawn 4 4 羊
portal 3 4 1 2 40 199
script
#IF ET1 = 1
 带空格开头的一句, 还有逗号
; a comment line of the script

#MOB 鸡 2 2
)";

TEST_F(WorldTest, WhatTheBuilderWritesTheLoaderReadsBack) {
  AddKind("鸡", 10);
  AddKind("羊", 25);
  const tools::MapPartSource part = tools::ParseMapPartSource(kRoundTripSource, "0301.txt", 3, 1);
  ASSERT_EQ(part.width, 5);
  ASSERT_EQ(part.height, 4);
  tools::MapSource map{3, {part}};
  tools::WriteMapArchive(dir.path() / "Ham.dll", {map});
  WriteText(dir.path() / "map" / "3.Mxx", "1\r\n");

  LoadMap(3);

  EXPECT_TRUE(dialogs.dialogs.shown.empty());
  EXPECT_EQ(G.PartNames[1], "试炼场");
  EXPECT_EQ(G.PartWidths[1], 5);
  EXPECT_EQ(G.PartHeights[1], 4);
  int spawns = 0;
  for (int x = 1; x <= 5; ++x) {
    for (int y = 1; y <= 4; ++y) {
      SCOPED_TRACE(testing::Message() << "(" << x << ", " << y << ")");
      const auto& c = part.Cell(x, y);
      EXPECT_EQ(CellField(1, x, y, 1), c[1]);
      EXPECT_EQ(CellField(1, x, y, 2), c[2]);
      EXPECT_EQ(CellField(1, x, y, 4), c[4]);
      const bool spawn = !c[3].empty() && c[3][0] == 'M';
      EXPECT_EQ(CellField(1, x, y, 3), spawn ? "" : c[3]);
      std::string expected;
      if (c[3] == "0" || c[3] == "0-" || (!c[3].empty() && c[3][0] == 'N')) expected = "1";
      if (spawn && c[3] != "M无名怪") expected = "M000" + std::to_string(++spawns);
      EXPECT_EQ(PartGridText(1, x, y), expected);
    }
  }
  EXPECT_EQ(spawns, 3);
  EXPECT_EQ(CellField(1, 4, 2, 3), "N村长5012");
  EXPECT_EQ(CellField(1, 2, 2, 3), "*N小翠1007");
  EXPECT_EQ(CellField(1, 3, 4, 4), "010200400199");
  EXPECT_EQ(CellField(1, 3, 1, 2), "20001");
  EXPECT_EQ(CellField(1, 3, 1, 3), "1");
  EXPECT_EQ(CellField(1, 3, 3, 3), "2");
  EXPECT_EQ(CellField(1, 2, 3, 3), "0-");
  // Spawns in reading order (x outer): (3, 2) and (3, 4) are chickens, (4, 4) a sheep.
  EXPECT_EQ(G.MonsterSpawns[1][1].X, 3);
  EXPECT_EQ(G.MonsterSpawns[1][1].Y, 2);
  EXPECT_EQ(G.MonsterSpawns[1][2].Y, 4);
  EXPECT_EQ(G.MonsterSpawns[1][3].X, 4);
  EXPECT_EQ(G.MonsterSpawns[1][3].Kind, 2);
  EXPECT_EQ(G.MonsterSpawns[1][3].HP, 25);
  // Every script line comes back whole, commas, blanks and empty lines included.
  EXPECT_EQ(G.PartScripts[1],
            "#IF ET1 = 1\r\n 带空格开头的一句, 还有逗号\r\n; a comment line of the script\r\n\r\n#MOB 鸡 2 2\r\n");
}

TEST(MapSources, RefuseWhatTheGameCouldNotLoad) {
  const std::string head = "name 某地\nlegend . 1 - -\nrows\n...\n...\n\n";
  const std::vector<std::pair<const char*, std::string>> bad = {
      {"no name", "legend . 1 - -\nrows\n..\n"},
      {"no rows", "name 某地\n"},
      {"rows of different length", "name 某地\nlegend . 1 - -\nrows\n...\n..\n"},
      {"a character without legend", "name 某地\nlegend . 1 - -\nrows\n.x.\n"},
      {"wider than 200", "name 某地\nlegend . 1 - -\nrows\n" + std::string(201, '.') + "\n"},
      {"a cell outside", head + "cell 4 1 1 - -\n"},
      {"a cell at row 0", head + "cell 1 0 1 - -\n"},
      {"an NPC picture 0", head + "npc 1 1 甲 1 0\n"},
      {"an NPC picture 54", head + "npc 1 1 甲 1 54\n"},
      {"an NPC pose of two digits", head + "npc 1 1 甲 11 5\n"},
      {"a portal to part 31", head + "portal 1 1 1 31 5 5\n"},
      {"a portal to cell 201", head + "portal 1 1 1 2 201 5\n"},
      {"floor 0", "name 某地\nlegend . 0 - -\nrows\n.\n"},
      {"floor not a number", "name 某地\nlegend . x - -\nrows\n.\n"},
      {"floor 221", "name 某地\nlegend . 221 - -\nrows\n.\n"},
      {"object set 5", "name 某地\nlegend . 1 50001 -\nrows\n.\n"},
      {"object picture 0", "name 某地\nlegend . 1 10000 -\nrows\n.\n"},
      {"object too short", "name 某地\nlegend . 1 1003 -\nrows\n.\n"},
      {"a spawn without a monster", "name 某地\nlegend . 1 - M\nrows\n.\n"},
      {"a quote in the script", head + "script\n说\"话\n"},
      {"an unknown line", head + "tree 1 1\n"},
      {"a word missing", head + "spawn 1 1\n"},
      {"an object no picture has", head + "object 1 1 19999\n"},
      {"an object that is a piece", head + "object 1 1 10017\n"},
      {"an object reaching beyond the part", head + "object 1 1 10002\n"},
      {"an object over an NPC", head + "npc 1 2 甲 1 1\nobject 1 1 30011\n"},
      {"more than 999 script lines", head + "script\n" + [] {
         std::string s;
         for (int i = 0; i < 1000; ++i) s += "#END\n";
         return s;
       }()},
  };
  for (const auto& [what, text] : bad) {
    SCOPED_TRACE(what);
    EXPECT_THROW(tools::ParseMapPartSource(text, "x.txt", 1, 1), tools::SourceError);
  }
  // The same with every fault mended reads fine; 999 script lines are fine.
  std::string ok = head + "npc 1 1 甲 9 53\nportal 3 2 1 30 200 200\nscript\n";
  for (int i = 0; i < 999; ++i) ok += "#END\n";
  const auto p = tools::ParseMapPartSource(ok, "x.txt", 1, 1);
  EXPECT_EQ(p.script.size(), 999u);
  EXPECT_EQ(p.Cell(1, 1)[3], "N甲9053");
  EXPECT_EQ(p.Cell(3, 2)[4], "013002000200");
}

TEST(MapSources, AnObjectIsPlacedPieceByPiece) {
  // A pine (one cell wide, three high, standing on its bottom cell) in the blocked left
  // column, a cobweb (two high, standing nowhere) beside it, a bush (one cell) below.
  const auto p = tools::ParseMapPartSource(
      "name 某地\nlegend . 1 - -\nlegend # 1 - 0\nrows\n#..\n#..\n#..\n#..\n\n"
      "object 1 1 10002\nobject 2 1 30011\nobject 2 4 10003\n",
      "x.txt", 1, 1);
  auto piece = [](int set, int n, int col, int row) {
    const tools::SceneryPicture* s = tools::FindSceneryPiece(set, n, col, row);
    return s ? std::to_string(set) + std::string(4 - std::to_string(s->number).size(), '0') + std::to_string(s->number)
             : std::string("none");
  };
  const std::vector<std::tuple<int, int, std::string, std::string>> cells = {
      {1, 1, piece(1, 2, 0, 0), "0"},  {1, 2, piece(1, 2, 0, 1), "0"}, {1, 3, piece(1, 2, 0, 2), "0-"},
      {1, 4, "", "0"},                 {2, 1, piece(3, 11, 0, 0), ""}, {2, 2, piece(3, 11, 0, 1), "1"},
      {2, 3, "", ""},                  {2, 4, "10003", "0-"},
  };
  for (const auto& [x, y, object, kind] : cells) {
    SCOPED_TRACE(testing::Message() << "(" << x << ", " << y << ")");
    EXPECT_EQ(p.Cell(x, y)[2], object);
    EXPECT_EQ(p.Cell(x, y)[3], kind);
  }
}

TEST(MapSources, PartsOfAMapRunFromOneWithoutAGap) {
  TempDir d;
  const std::string part = "name 某地\nlegend . 1 - -\nrows\n.\n";
  WriteText(d.path() / "0101.txt", part);
  WriteText(d.path() / "0103.txt", part);
  WriteText(d.path() / "notes.md", "not a part");
  EXPECT_THROW(tools::ReadMapSources(d.path()), tools::SourceError);
  WriteText(d.path() / "0102.txt", part);
  WriteText(d.path() / "0501.txt", part);
  const auto maps = tools::ReadMapSources(d.path());
  ASSERT_EQ(maps.size(), 2u);
  EXPECT_EQ(maps[0].number, 1);
  EXPECT_EQ(maps[0].parts.size(), 3u);
  EXPECT_EQ(maps[1].number, 5);
  fs::remove(d.path() / "0501.txt");
  WriteText(d.path() / "0502.txt", part);  // a map without its part 1
  EXPECT_THROW(tools::ReadMapSources(d.path()), tools::SourceError);
}

TEST(MapBuilder, WritesTheArchiveCountsCopiesAndMinimapsTheSameEveryTime) {
  TempDir data, game;
  WriteText(data.path() / "maps" / "0101.txt", "name 甲\nlegend . 1 - -\nlegend N 7 - 0\nrows\n.N.\n...\n");
  WriteText(data.path() / "maps" / "0102.txt", "name 乙\nlegend . 5 - -\nrows\n..\nportal 2 1 1 1 1 1\n");
  WriteText(data.path() / "maps" / "0201.txt", "name 丙\nlegend . 9 - -\nrows\n.\n");
  fs::create_directories(game.path() / "Map");  // the folder as an older build spelled it
  tools::BuildMaps(data.path(), game.path());
  EXPECT_FALSE(fs::exists(game.path() / "map"));
  const fs::path mapDir = game.path() / "Map";
  EXPECT_EQ(ReadText(mapDir / "1.Mxx"), "2\r\n");
  EXPECT_EQ(ReadText(mapDir / "2.Mxx"), "1\r\n");
  for (const char* stem : {"0101", "0102", "0201"}) {
    SCOPED_TRACE(stem);
    const fs::path copy = mapDir / (std::string(stem) + ".map");
    ASSERT_TRUE(fs::exists(copy));
    // The copy is what the archive holds.
    const fs::path out = game.path() / "x";
    fs::create_directories(out);
    ASSERT_EQ(plat::ExtractMember(game.path() / "Ham.dll", std::string(stem) + ".map", out), plat::ExtractResult::Ok);
    EXPECT_EQ(ReadText(out / (std::string(stem) + ".map")), ReadText(copy));
  }
  // Minimaps: 5 x 5 pixels a cell, the blocked cell darker than the floor around it.
  SDL_Surface* s = SDL_LoadBMP((mapDir / "0101.dat").c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 15);
  EXPECT_EQ(s->h, 10);
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
  SDL_FreeSurface(s);
  ASSERT_NE(rgb, nullptr);
  auto px = [&](int x, int y) {
    const auto* p = static_cast<const Uint8*>(rgb->pixels) + y * rgb->pitch + x * 3;
    return int(p[0]) + p[1] + p[2];
  };
  EXPECT_LT(px(7, 2), px(2, 2));
  SDL_FreeSurface(rgb);
  // A second build gives the same bytes.
  const std::string first = ReadText(game.path() / "Ham.dll");
  const std::string firstMini = ReadText(mapDir / "0102.dat");
  tools::BuildMaps(data.path(), game.path());
  EXPECT_EQ(ReadText(game.path() / "Ham.dll"), first);
  EXPECT_EQ(ReadText(mapDir / "0102.dat"), firstMini);
  // A bad source leaves what was built as it was.
  WriteText(data.path() / "maps" / "0202.txt", "name 丁\nrows\n");
  EXPECT_THROW(tools::BuildMaps(data.path(), game.path()), tools::SourceError);
  EXPECT_EQ(ReadText(game.path() / "Ham.dll"), first);
}

// ---------------------------------------------------------------------------------
// The shipped world

// The commands of the script language in the order the interpreter tests them.
const std::vector<std::string> kCommands = {
    "#IF",    "#B1",   "#B2",       "#B3",      "#B4",   "#B5",    "#B6",        "#BUY",       "#MOB",
    "#MONCK", "#UNNPC", "#ITEMCK",  "#CHANGE",  "#KILLNPC", "#KILLMONALL", "#WLEVELUP", "#KILLMON", "#GIVE",
    "#TAKE",  "#GOTO", "#ELSE",     "#ENDIF",   "#ENDBUY", "#MC5",   "#WUP",       "#SELL",      "#BANK",
    "#MOVE",  "#OVER", "#GAMESTOP", "#GAMESTART", "#GAMEEND", "#BACKCITY", "#GOMAP", "#END"};

const std::set<std::string> kReadableValues = [] {
  std::set<std::string> s = {"RND", "HP", "HPMAX", "MP",  "MPMAX", "DC",   "DCMAX", "MC",  "MCMAX",
                             "DF",  "DFMAX", "DCSPEED", "NB", "ACC", "LEVEL", "GAMELEVEL", "HEAVY", "MONEY",
                             "MAPS", "VIP", "RPGIM", "RPGFZ"};
  for (int i = 1; i <= 40; ++i) s.insert("ET" + std::to_string(i));
  return s;
}();

const std::set<std::string> kChangeableValues = [] {
  std::set<std::string> s = {"SPPOINT", "SXPOINT", "EX",  "HP",    "HPMAX", "MP",   "MPMAX", "DC",    "DCMAX",
                             "MC",      "MCMAX",   "DF",  "DFMAX", "MF",    "MFMAX", "DCSPEED", "NB", "ACC",
                             "XIHP",    "MABI",    "MBSP", "LEVEL", "BBLEVEL", "HEAVY", "MONEY"};
  for (int i = 1; i <= 40; ++i) s.insert("ET" + std::to_string(i));
  return s;
}();

struct NpcRow {
  std::string code, map, inf;
};

struct CellRef {
  int map = 0, part = 0, x = 0, y = 0;
  auto operator<=>(const CellRef&) const = default;
};

// The built sample folder, copied (the loader writes into "map"), with its tables read.
class SampleWorldTest : public WorldTest {
 public:
  void SetUp() override {
    WorldTest::SetUp();
    const fs::path src = testsupport::GameDir();
    for (const char* f : {"Ham.dll", "date/Mon/74.dat", "date/Mon/75.dat", "date/rpg/21.dat"}) {
      const fs::path from = plat::ResolvePathIn(src, f);
      ASSERT_TRUE(fs::exists(from)) << from;
      fs::create_directories((dir.path() / f).parent_path());
      fs::copy_file(from, dir.path() / f);
    }
    fs::copy(plat::ResolvePathIn(src, "map"), dir.path() / "map");
    ASSERT_TRUE(StripFileHeader(dir.path() / "date/rpg/21.dat"));
    G.NpcConnStr = DataConnectionString("\\Date\\Mon\\75.dat");
    G.ItemConnStr = DataConnectionString("\\Date\\Mon\\74.dat");
    G.NpcDbPath = plat::ResolvePath("\\Date\\Mon\\75.dat");
    G.ItemDbPath = plat::ResolvePath("\\Date\\Mon\\74.dat");

    plat::db::Connection items;
    items.Open(G.ItemConnStr);
    plat::db::Recordset rs;
    for (rs.Open("select * from Item", items); !rs.Eof(); rs.MoveNext()) itemNames.insert(rs["Name"].AsText());
    rs.Close();
    items.Close();
    plat::db::Connection npcs;
    npcs.Open(G.NpcConnStr);
    for (rs.Open("select * from NPC", npcs); !rs.Eof(); rs.MoveNext())
      npcRows.push_back({rs["NpcCode"].AsText(), rs["map"].AsText(), rs["Inf"].AsText()});
    rs.Close();
    npcs.Close();

    sources = tools::ReadMapSources(testsupport::DataDir() / "maps");
    for (const auto& m : sources)
      for (const auto& p : m.parts) partsByName[p.name].push_back({m.number, p.part, 0, 0});
  }

  // The kinds of difficulty `level`, as the game start fills them.
  void LoadKinds(int level) {
    G.MonsterKinds.assign(1, MonsterKind{});
    plat::db::Connection mon;
    mon.Open("Data Source=" + (dir.path() / "date/rpg/21.dat").string());
    plat::db::Recordset rs;
    for (rs.Open("select * from Mon" + std::to_string(level), mon); !rs.Eof(); rs.MoveNext()) {
      MonsterKind k;
      k.MonName = rs["MonName"].AsText();
      k.Hp = static_cast<std::int32_t>(rs["Hp"].AsInt());
      k.Pic = static_cast<std::int32_t>(rs["Pic"].AsInt());
      G.MonsterKinds.push_back(k);
    }
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
  }
  std::set<std::string> MonsterNames(int level) {
    LoadKinds(level);
    std::set<std::string> names;
    for (std::size_t k = 1; k < G.MonsterKinds.size(); ++k) names.insert(G.MonsterKinds[k].MonName);
    return names;
  }

  const tools::MapPartSource* Part(int map, int part) const {
    for (const auto& m : sources)
      if (m.number == map && part >= 1 && part <= static_cast<int>(m.parts.size()))
        return &m.parts[static_cast<std::size_t>(part - 1)];
    return nullptr;
  }
  // Where one can stand: inside the part, not blocked ("0", "0-", an NPC), no portal.
  // A spawn cell counts: its monster can be beaten.
  static bool Standable(const tools::MapPartSource& p, int x, int y) {
    if (x < 1 || y < 1 || x > p.width || y > p.height) return false;
    const auto& c = p.Cell(x, y);
    if (c[3] == "0" || c[3] == "0-" || (!c[3].empty() && c[3][0] == 'N')) return false;
    return c[4].empty();
  }
  static bool Walkable(const tools::MapPartSource& p, int x, int y) {
    if (x < 1 || y < 1 || x > p.width || y > p.height) return false;
    const auto& c = p.Cell(x, y);
    return !(c[3] == "0" || c[3] == "0-" || (!c[3].empty() && c[3][0] == 'N'));
  }
  static bool IsNpc(const std::string& kind) { return (!kind.empty() && kind[0] == 'N') || kind.rfind("*N", 0) == 0; }

  // Talks to an NPC of the built world where it stands, then takes the choice `label`
  // ("" for the opening only).
  void Talk(const std::string& code, const std::string& partName, const std::string& label) {
    const CellRef where = partsByName.at(partName)[0];
    LoadMap(where.map);
    ChangeMap(where.part);
    TalkToNpc(code);
    if (!label.empty()) ScriptGotoLabel(label);
  }

  std::set<std::string> itemNames;
  std::vector<NpcRow> npcRows;
  std::vector<tools::MapSource> sources;
  std::map<std::string, std::vector<CellRef>> partsByName;
};

TEST_F(SampleWorldTest, TheBuiltFolderHoldsTheSourcesAsTheyStand) {
  ASSERT_GE(sources.size(), 2u);
  std::size_t parts = 0;
  for (const auto& m : sources) {
    EXPECT_EQ(ReadText(dir.path() / "map" / MapIndexFileName(m.number)), std::to_string(m.parts.size()) + "\r\n");
    for (const auto& p : m.parts) {
      ++parts;
      EXPECT_EQ(ReadText(dir.path() / "map" / MapPartFileName(m.number, p.part)), tools::MapPartFileText(p))
          << p.file << ": the game folder was built from other sources";
      EXPECT_TRUE(fs::exists(dir.path() / "map" / MinimapFileName(m.number, p.part)));
    }
  }
  EXPECT_GE(parts, 5u);
  // Part names are unique: NPC scripts are found by part name.
  for (const auto& [name, where] : partsByName) EXPECT_EQ(where.size(), 1u) << name;
}

TEST_F(SampleWorldTest, EveryMapAndPartLoadsAtEveryDifficultyWithAllItsSpawns) {
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE(testing::Message() << "difficulty " << level);
    LoadKinds(level);
    for (const auto& m : sources) {
      LoadMap(m.number);
      for (const auto& p : m.parts) {
        SCOPED_TRACE(p.file);
        const auto n = static_cast<std::size_t>(p.part);
        EXPECT_EQ(G.PartNames[n], p.name);
        EXPECT_EQ(G.PartWidths[n], p.width);
        int spawns = 0;
        for (const auto& c : p.cells) spawns += (!c[3].empty() && c[3][0] == 'M') ? 1 : 0;
        G.ViewX = G.ViewY = 0;
        ChangeMap(p.part);
        EXPECT_EQ(G.MonsterCount >= spawns, true) << "a spawn names a monster this difficulty lacks";
        int placed = 0;
        for (int i = 1; i <= spawns; ++i) placed += G.MonsterSpawns[n][static_cast<std::size_t>(i)].Kind > 0 ? 1 : 0;
        EXPECT_EQ(placed, spawns);
      }
    }
  }
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

// What a kind does to the one who fights it, read from its fields as the monster rules
// read them, and which potions its death may add by its hit points.
struct MonsterTrait {
  const char* what;
  bool (*has)(const MonsterKind&);
};
const MonsterTrait kMonsterTraits[] = {
    {"melee strikes", [](const MonsterKind& k) { return k.ActType == 0; }},
    {"ranged strikes", [](const MonsterKind& k) { return k.ActType > 0; }},
    {"poison", [](const MonsterKind& k) { return k.zd > 0; }},
    {"life steal", [](const MonsterKind& k) { return k.XiHP > 0; }},
    {"paralysis", [](const MonsterKind& k) { return k.MaBi > 0; }},
    {"small potions (Hp 1..80)", [](const MonsterKind& k) { return k.Hp >= 1 && k.Hp <= 80; }},
    {"middle potions (Hp 81..150)", [](const MonsterKind& k) { return k.Hp >= 81 && k.Hp <= 150; }},
    {"no potions (Hp 151..200)", [](const MonsterKind& k) { return k.Hp >= 151 && k.Hp <= 200; }},
    {"large potions (Hp above 200)", [](const MonsterKind& k) { return k.Hp > 200; }},
    {"a story line at its death",
     [](const MonsterKind& k) { return k.Event == 30 || k.Event == 33 || k.Event == 38 || k.Event == 39; }},
};

TEST_F(SampleWorldTest, EveryWayAMonsterFightsIsMetOnTheMonsterGroundsAtEveryDifficulty) {
  // A kill sets its kind's flag to exactly 1: no kind may set the difficulty lock, the
  // intro mark, or a flag a script counts up through the steps of a quest.
  std::set<int> flagsOfOthers = {19, 20};
  auto changedFlags = [&](const std::string& script) {
    for (const auto& l : plat::Split(plat::UCase(script), "\r\n"))
      if (l.rfind("#CHANGE ET", 0) == 0) flagsOfOthers.insert(std::atoi(l.c_str() + 10));
  };
  for (const auto& r : npcRows) changedFlags(r.inf);
  for (const auto& m : sources)
    for (const auto& p : m.parts)
      for (const auto& l : p.script) changedFlags(l);

  // The game's own reader, on the built folder's marked database.
  G.MonConnStr = "Data Source=" + plat::ResolvePathIn(testsupport::GameDir(), "date/rpg/21.dat").string();
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE(testing::Message() << "difficulty " << level);
    ASSERT_TRUE(ui::ReadMonsterKinds(level));
    for (std::size_t k = 1; k < G.MonsterKinds.size(); ++k)
      EXPECT_FALSE(flagsOfOthers.count(G.MonsterKinds[k].Event))
          << G.MonsterKinds[k].MonName << " sets flag " << G.MonsterKinds[k].Event;
    std::vector<const MonsterKind*> met;
    for (const auto& m : sources) {
      for (const auto& p : m.parts) {
        for (const auto& c : p.cells) {
          if (c[3].empty() || c[3][0] != 'M') continue;
          auto k = std::find_if(G.MonsterKinds.begin() + 1, G.MonsterKinds.end(),
                                [&](const MonsterKind& kind) { return kind.MonName == c[3].substr(1); });
          ASSERT_NE(k, G.MonsterKinds.end()) << p.file << ": " << c[3];
          met.push_back(&*k);
        }
      }
    }
    for (const MonsterTrait& t : kMonsterTraits)
      EXPECT_TRUE(std::any_of(met.begin(), met.end(), [&](const MonsterKind* k) { return t.has(*k); }))
          << "no monster ground has a kind with " << t.what;
  }
}

TEST_F(SampleWorldTest, NewCharactersStartInTheFirstTown) {
  const auto* town = Part(1, 1);
  ASSERT_NE(town, nullptr);
  EXPECT_EQ(town->name, "无名村");
  EXPECT_TRUE(Standable(*town, 13, 13));
  // The town's services are there.
  std::set<std::string> commands;
  for (const auto& r : npcRows) {
    if (r.map != "无名村") continue;
    for (const auto& l : plat::Split(plat::UCase(r.inf), "\r\n")) commands.insert(l.substr(0, l.find(' ')));
  }
  for (const char* c : {"#BUY", "#SELL", "#BANK", "#WUP", "#MOVE", "#ITEMCK", "#GIVE", "#TAKE", "#MOB", "#UNNPC",
                        "#KILLNPC", "#GOMAP"})
    EXPECT_TRUE(commands.count(c)) << c;
}

TEST_F(SampleWorldTest, EveryNpcCellHasAScriptForItsPartAndEveryScriptItsNpc) {
  std::set<std::pair<std::string, std::string>> rows, cells;
  for (const auto& r : npcRows) EXPECT_TRUE(rows.insert({r.code, r.map}).second) << r.code << " twice on " << r.map;
  for (const auto& m : sources) {
    for (const auto& p : m.parts) {
      for (int x = 1; x <= p.width; ++x) {
        for (int y = 1; y <= p.height; ++y) {
          std::string kind = p.Cell(x, y)[3];
          if (!IsNpc(kind)) continue;
          if (kind[0] == '*') kind.erase(0, 1);
          SCOPED_TRACE(p.file + ": " + kind);
          // "N", the name, one pose digit, a three-digit picture 1..53.
          ASSERT_GE(plat::Len(kind), 6);
          const std::string pic = plat::Right(kind, 3);
          const std::string pose = plat::Mid(kind, plat::Len(kind) - 3, 1);
          EXPECT_TRUE(pose == "1" || pose == "5" || pose == "9") << pose;
          const int n = std::stoi(pic);
          EXPECT_GE(n, 1);
          EXPECT_LE(n, 53);
          const std::string code = plat::Left(kind, plat::Len(kind) - 4);
          cells.insert({code, p.name});
          EXPECT_TRUE(rows.count({code, p.name})) << "no script for " << code << " on " << p.name;
        }
      }
    }
  }
  for (const auto& r : rows) EXPECT_TRUE(cells.count(r)) << r.first << " has a script on " << r.second << " but no cell";
}

// One script line by line: known commands with sound arguments, names that exist,
// teleports onto cells one can stand on, NPC and monster commands on the right cells.
class ScriptChecker {
 public:
  ScriptChecker(SampleWorldTest& t, const std::set<std::string>& items, const std::array<std::set<std::string>, 4>& mons)
      : t_(t), items_(items), mons_(mons) {}

  std::set<std::string> used;

  void Check(const std::string& what, const std::string& text, const tools::MapPartSource& part, bool partScript) {
    SCOPED_TRACE(what);
    std::vector<std::string> lines;
    for (const std::string& piece : plat::Split(plat::UCase(text), "\r\n"))
      for (const std::string& l : plat::Split(piece, "@"))
        if (!l.empty() && l[0] != ';') lines.push_back(l);
    ASSERT_LE(lines.size(), 999u);
    std::set<std::string> labels;
    for (const auto& l : lines)
      if (l.rfind("#LABEL ", 0) == 0) labels.insert(l.substr(7));
    bool shop = false;
    for (const std::string& l : lines) {
      SCOPED_TRACE(l);
      if (l[0] != '#') {
        EXPECT_FALSE(partScript) << "a part script runs silently: no dialogue";
        if (shop) {
          EXPECT_TRUE(items_.count(l)) << "the shop offers an unknown item";
        }
        continue;
      }
      const std::vector<std::string> w = plat::Split(l, " ");
      const std::string& key = w[0];
      if (key == "#LABEL") {
        EXPECT_EQ(w.size(), 2u);
        EXPECT_FALSE(partScript);
        continue;
      }
      // The keyword as the interpreter finds it by prefix must be the word written.
      std::string found;
      for (const auto& k : kCommands)
        if (l.compare(0, k.size(), k) == 0) {
          found = k;
          break;
        }
      ASSERT_EQ(found, key) << "not a command of the language";
      used.insert(key);
      const std::size_t args = w.size() - 1;
      auto label = [&](const std::string& name) { EXPECT_TRUE(name == "OVER" || labels.count(name)) << "no label " << name; };
      auto number = [&](const std::string& s) {
        EXPECT_TRUE(!s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-'; }))
            << "\"" << s << "\" is no number";
        return s.empty() ? 0 : std::atoi(s.c_str());
      };
      auto op = [&](const std::string& s) { EXPECT_TRUE(s == ">" || s == "<" || s == "=") << s; };
      auto monster = [&](const std::string& s) {
        for (int level = 1; level <= 3; ++level) EXPECT_TRUE(mons_[static_cast<std::size_t>(level)].count(s)) << s << " in Mon" << level;
      };
      auto item = [&](const std::string& s) { EXPECT_TRUE(s == "金币" || items_.count(s)) << "no item " << s; };
      if (key == "#IF") {
        ASSERT_EQ(args, 3u);
        EXPECT_TRUE(kReadableValues.count(w[1])) << w[1];
        op(w[2]);
        number(w[3]);
      } else if (key.size() == 3 && key[1] == 'B' && key[2] >= '1' && key[2] <= '6') {
        ASSERT_EQ(args, 2u) << "a choice is a one-word caption and a label";
        EXPECT_FALSE(partScript);
        label(w[2]);
      } else if (key == "#GOTO") {
        ASSERT_EQ(args, 1u);
        EXPECT_FALSE(partScript) << "a part script cannot jump";
        label(w[1]);
      } else if (key == "#BUY") {
        shop = true;
      } else if (key == "#ENDBUY") {
        shop = false;
      } else if (key == "#ITEMCK") {
        ASSERT_EQ(args, 3u);
        item(w[1]);
        op(w[2]);
        number(w[3]);
      } else if (key == "#MONCK") {
        ASSERT_EQ(args, 3u);
        monster(w[1]);
        op(w[2]);
        number(w[3]);
      } else if (key == "#GIVE" || key == "#TAKE") {
        ASSERT_EQ(args, 2u);
        item(w[1]);
        EXPECT_GE(number(w[2]), 1);
      } else if (key == "#CHANGE") {
        ASSERT_EQ(args, 3u);
        EXPECT_TRUE(kChangeableValues.count(w[1])) << w[1];
        EXPECT_TRUE(w[2] == "=" || w[2] == "+" || w[2] == "-") << w[2];
        number(w[3]);
      } else if (key == "#MOB") {
        ASSERT_EQ(args, 3u);
        monster(w[1]);
        const int x = number(w[2]), y = number(w[3]);
        EXPECT_TRUE(SampleWorldTest::Standable(part, x, y) && part.Cell(x, y)[3].empty()) << "the monster needs a free cell";
      } else if (key == "#KILLNPC" || key == "#UNNPC") {
        ASSERT_EQ(args, 2u);
        const int x = number(w[1]), y = number(w[2]);
        ASSERT_TRUE(x >= 1 && y >= 1 && x <= part.width && y <= part.height);
        EXPECT_TRUE(SampleWorldTest::IsNpc(part.Cell(x, y)[3])) << "no NPC on " << x << ", " << y << " of " << part.name;
      } else if (key == "#KILLMON") {
        ASSERT_EQ(args, 2u);
        const int x = number(w[1]), y = number(w[2]);
        ASSERT_TRUE(x >= 1 && y >= 1 && x <= part.width && y <= part.height);
        EXPECT_EQ(part.Cell(x, y)[3].rfind("M", 0), 0u) << "no spawn on " << x << ", " << y;
      } else if (key == "#MOVE") {
        ASSERT_EQ(args, 3u);
        ASSERT_EQ(plat::Len(w[1]), 4);
        const int x = number(w[2]), y = number(w[3]);
        const tools::MapPartSource* target =
            w[1].rfind("ME", 0) == 0 ? &part : t_.Part(std::atoi(w[1].substr(0, 2).c_str()), std::atoi(w[1].substr(2, 2).c_str()));
        ASSERT_NE(target, nullptr) << "no such map part";
        EXPECT_TRUE(SampleWorldTest::Standable(*target, x, y)) << "lands on " << x << ", " << y << " of " << target->name;
      } else {
        EXPECT_EQ(args, 0u) << "takes no arguments";
      }
    }
    EXPECT_FALSE(shop) << "#BUY without #ENDBUY";
  }

 private:
  SampleWorldTest& t_;
  const std::set<std::string>& items_;
  const std::array<std::set<std::string>, 4>& mons_;
};

TEST_F(SampleWorldTest, EveryScriptIsMadeOfKnownCommandsAndNamesThatExistAndEveryCommandIsUsed) {
  std::array<std::set<std::string>, 4> mons;
  for (int level = 1; level <= 3; ++level) mons[static_cast<std::size_t>(level)] = MonsterNames(level);
  ScriptChecker check(*this, itemNames, mons);
  for (const auto& r : npcRows) {
    auto it = partsByName.find(r.map);
    ASSERT_NE(it, partsByName.end()) << r.code << " stands on " << r.map << ", which no map has";
    check.Check(r.code + " on " + r.map, r.inf, *Part(it->second[0].map, it->second[0].part), false);
  }
  for (const auto& m : sources) {
    for (const auto& p : m.parts) {
      std::string text;
      for (const auto& l : p.script) text += l + "\r\n";
      check.Check(p.file, text, p, true);
      // Every spawn names a monster of every difficulty.
      for (const auto& c : p.cells) {
        if (c[3].empty() || c[3][0] != 'M') continue;
        for (int level = 1; level <= 3; ++level)
          EXPECT_TRUE(mons[static_cast<std::size_t>(level)].count(c[3].substr(1))) << p.file << ": " << c[3];
      }
    }
  }
  for (const auto& k : kCommands) EXPECT_TRUE(check.used.count(k)) << k << " is used nowhere";
  EXPECT_EQ(check.used.size(), kCommands.size());
}

TEST_F(SampleWorldTest, EveryPortalLandsOnACellOneCanStandOnAndTheWorldCanBeWalked) {
  // Portals first.
  for (const auto& m : sources) {
    for (const auto& p : m.parts) {
      for (int x = 1; x <= p.width; ++x) {
        for (int y = 1; y <= p.height; ++y) {
          const std::string& portal = p.Cell(x, y)[4];
          if (portal.empty()) continue;
          SCOPED_TRACE(testing::Message() << p.file << " (" << x << ", " << y << ") " << portal);
          ASSERT_EQ(portal.size(), 12u);
          EXPECT_TRUE(Walkable(p, x, y)) << "a portal nobody can step on";
          const auto* target = Part(std::stoi(portal.substr(0, 2)), std::stoi(portal.substr(2, 2)));
          ASSERT_NE(target, nullptr);
          EXPECT_TRUE(Standable(*target, std::stoi(portal.substr(4, 4)), std::stoi(portal.substr(8, 4))));
        }
      }
    }
  }
  // Then a walk from the start cell: every part is reached on foot, and every NPC has a
  // cell beside it that is.
  std::set<CellRef> seen;
  std::deque<CellRef> todo{{1, 1, 13, 13}};
  seen.insert(todo.front());
  while (!todo.empty()) {
    const CellRef c = todo.front();
    todo.pop_front();
    const auto& p = *Part(c.map, c.part);
    const std::string& portal = p.Cell(c.x, c.y)[4];
    std::vector<CellRef> next;
    if (!portal.empty()) {
      next.push_back({std::stoi(portal.substr(0, 2)), std::stoi(portal.substr(2, 2)), std::stoi(portal.substr(4, 4)),
                      std::stoi(portal.substr(8, 4))});
    } else {
      for (const auto& d : kDirectionOffsets)
        if (Walkable(p, c.x + d.dx, c.y + d.dy)) next.push_back({c.map, c.part, c.x + d.dx, c.y + d.dy});
    }
    for (const auto& n : next)
      if (seen.insert(n).second) todo.push_back(n);
  }
  std::set<std::pair<int, int>> partsReached;
  for (const auto& c : seen) partsReached.insert({c.map, c.part});
  for (const auto& m : sources) {
    for (const auto& p : m.parts) {
      EXPECT_TRUE(partsReached.count({m.number, p.part})) << p.file << " cannot be reached on foot";
      for (int x = 1; x <= p.width; ++x) {
        for (int y = 1; y <= p.height; ++y) {
          if (!IsNpc(p.Cell(x, y)[3])) continue;
          bool reachable = false;
          for (const auto& d : kDirectionOffsets) reachable = reachable || seen.count({m.number, p.part, x + d.dx, y + d.dy});
          EXPECT_TRUE(reachable) << p.file << ": nobody can walk up to " << p.Cell(x, y)[3];
        }
      }
    }
  }
}

TEST_F(SampleWorldTest, EveryTeleportOfTheCheatPanelLandsOnACellOneCanStandOn) {
  for (const auto& d : ui::CheatDestinations()) {
    SCOPED_TRACE(std::string(d.label));
    const auto* target = Part(d.map, d.part);
    ASSERT_NE(target, nullptr) << "no part " << d.part << " of map " << d.map;
    EXPECT_TRUE(Standable(*target, d.x, d.y));
    EXPECT_TRUE(ui::CheatDestinationPresent(d.map, d.part)) << "not in the built folder";
  }
}

// Each teleport of the cheat panel leads to a town or to a monster ground; each town
// of the progress table among them records, when entered, how far the player came.
TEST_F(SampleWorldTest, EveryTeleportLeadsToATownThatCountsOrAMonsterGround) {
  const std::map<std::string, int> progress = {{"镇安村", 1}, {"齐扬城", 2}, {"神秘家园", 3},
                                               {"小渔村", 4}, {"新月村", 5}, {"山谷村庄", 6}};
  LoadKinds(1);
  std::set<std::string> townsEntered;
  for (const auto& d : ui::CheatDestinations()) {
    SCOPED_TRACE(std::string(d.label));
    const auto* target = Part(d.map, d.part);
    ASSERT_NE(target, nullptr);
    int spawns = 0;
    for (const auto& c : target->cells) spawns += (!c[3].empty() && c[3][0] == 'M') ? 1 : 0;
    const auto town = progress.find(target->name);
    const bool startVillage = d.map == 1 && d.part == 1;
    if (town == progress.end() && !startVillage) {
      EXPECT_GE(spawns, 3) << target->name << " is an empty field";
      continue;
    }
    EXPECT_EQ(spawns, 0) << target->name << " is a town";
    G.Player.MapS = 0;
    G.GoMain = G.GoSub = G.GoX = G.GoY = 0;
    ScriptMove(d.line);
    EXPECT_EQ(G.Player.MapS, startVillage ? 0 : town->second);
    if (startVillage) continue;
    townsEntered.insert(town->first);
    EXPECT_EQ(std::make_tuple(G.GoMain, G.GoSub, G.GoX, G.GoY), std::make_tuple(d.map, d.part, d.x, d.y))
        << "the town is not the return point";
  }
  EXPECT_EQ(townsEntered.size(), progress.size());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

// The 道长 takes his fee only from one who does not know the corpse spell yet.
TEST_F(SampleWorldTest, TheTaoistTakesHisFeeOnlyOnce) {
  struct Step {
    std::int32_t money, moneyAfter;
    const char* spellAfter;
  };
  const Step steps[] = {{999, 999, "??0"}, {2500, 1500, "??1"}, {1500, 1500, "??1"}, {5000, 5000, "??1"}};
  LoadKinds(1);
  G.Player = PlayerRecord{};
  G.Player.M[5] = "??0";
  G.Et.fill(0);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.money);
    G.Player.Money = s.money;
    Talk("N道长", "齐扬城", "LEARN");
    EXPECT_EQ(G.Player.Money, s.moneyAfter);
    EXPECT_EQ(G.Player.M[5], s.spellAfter);
    EXPECT_TRUE(ui::Form1.Pspt->Visible);
    EXPECT_FALSE(ui::Form1.LSay->Caption.empty());
  }
}

TEST_F(SampleWorldTest, FloorsAndObjectsNamePicturesTheGameFolderHas) {
  const fs::path src = testsupport::GameDir();
  auto records = [&](const std::string& pack) -> long {
    const fs::path index = plat::ResolvePathIn(src, pack + ".Mxx");
    auto len = plat::FileLength(index);
    return len ? static_cast<long>(*len / 11) : -1;
  };
  const long floors = records("date/floor");
  for (const auto& m : sources) {
    for (const auto& p : m.parts) {
      for (const auto& c : p.cells) {
        if (!c[1].empty()) {
          EXPECT_LE(std::stol(c[1]), floors) << p.file << ": floor " << c[1];
        }
        if (!c[2].empty()) {
          const long n = std::stol(c[2].substr(1));
          EXPECT_LE(n, records("date/fj/" + c[2].substr(0, 1))) << p.file << ": object " << c[2];
        }
      }
    }
  }
}

// The real interpreter on every NPC script: the opening and every section behind a
// choice run without ending the program, and a teleport puts the player on a free cell.
TEST_F(SampleWorldTest, EveryNpcScriptRunsOnTheInterpreter) {
  LoadKinds(1);
  for (const auto& r : npcRows) {
    SCOPED_TRACE(r.code + " on " + r.map);
    const CellRef where = partsByName.at(r.map)[0];
    // The opening, then every labelled section with its text.
    std::vector<std::pair<std::string, std::string>> sections = {{"", ""}};
    const std::string text = plat::UCase(r.inf);
    for (const auto& l : plat::Split(text, "\r\n")) {
      if (l.rfind("#LABEL ", 0) == 0) {
        sections.push_back({l.substr(7), ""});
      } else {
        sections.back().second += l + "\r\n";
      }
    }
    for (const auto& [label, section] : sections) {
      // The ending closes the program: that section is left out here.
      if (section.find("#GAMEEND") != std::string::npos) continue;
      SCOPED_TRACE(label.empty() ? std::string("opening") : label);
      // A rich, strong character who has done nothing yet, beside the NPC.
      G.Player = PlayerRecord{};
      G.Player.Level = 40;
      G.Player.Money = 100000;
      G.Player.HP = G.Player.HpMax = 500;
      G.Player.Heavy = 1000;
      G.Et.fill(0);
      G.GoMain = 1;
      G.GoSub = 1;
      G.GoX = G.GoY = 13;
      LoadMap(where.map);
      G.ViewX = 13 - 8;
      G.ViewY = 13 - 8;
      ChangeMap(where.part);
      ui::Form1.Pspt->Visible = false;
      ASSERT_NO_THROW(TalkToNpc(r.code));
      EXPECT_TRUE(ui::Form1.Pspt->Visible);
      if (label.empty()) {
        EXPECT_FALSE(ui::Form1.LSay->Caption.empty()) << "the NPC says nothing";
        continue;
      }
      const auto mapBefore = std::make_pair(G.MainMap, G.SubMap);
      const auto viewBefore = std::make_pair(G.ViewX, G.ViewY);
      ASSERT_NO_THROW(ScriptGotoLabel(label));
      if (mapBefore != std::make_pair(G.MainMap, G.SubMap) || viewBefore != std::make_pair(G.ViewX, G.ViewY)) {
        EXPECT_FALSE(GridBlocked(PlayerCellX(), PlayerCellY())) << "moved onto a blocked cell";
        EXPECT_FALSE(ui::Form1.Pspt->Visible) << "a teleport leaves the dialogue open";
      }
      if (!ui::Form1.Pspt->Visible) {
        EXPECT_EQ(ui::Form1.LSay->Caption, "") << "the box closed on a line nobody could read";
      }
    }
  }
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

// The hermit of the start village gives a new character of each class, once, the points
// to learn every skill its panel shows, each prerequisite raised as far as the next
// skill needs (the corpse spell comes from the 道长 instead).
TEST_F(SampleWorldTest, TheHermitGivesEachClassThePointsForAllItsSkillsOnce) {
  LoadKinds(1);
  fs::copy_file(plat::ResolvePathIn(testsupport::GameDir(), "date/Sk.dat"), dir.path() / "date" / "Sk.dat");
  for (const char* zhiYe : {"战士", "道士", "法师"}) {
    SCOPED_TRACE(zhiYe);
    const std::string name = std::string("新") + zhiYe;
    ASSERT_TRUE(CreateSaveGame(name, zhiYe, false));
    ASSERT_TRUE(LoadSaveGame(name));
    ui::ArrangeSkillPanel(zhiYe);
    ASSERT_EQ(G.Player.SpPoint, 1);
    Talk("N云游仙人", "无名村", "GIFT");
    EXPECT_GT(G.Player.SpPoint, 1);
    auto shown = [](int k) { return ui::Form1.McI(k)->Visible && !ui::SkillAt(k)->needsItself; };
    int learned = 0;
    for (int k = 1; k <= 15; ++k) {
      if (!shown(k)) continue;
      int target = 1;
      for (int j = k + 1; j <= 15; ++j)
        if (shown(j) && ui::SkillAt(j)->needs == k) target = 2;
      while (ui::SkillLevelDigit(G.Player.M[static_cast<std::size_t>(k)]) < target) {
        ASSERT_TRUE(ui::CanRaiseSkill(k))
            << ui::SkillAt(k)->name << " with " << G.Player.SpPoint << " points";
        ui::McI_MouseDown(k, 1);
        ui::Lsply_Click();
      }
      ++learned;
    }
    EXPECT_GE(learned, 6);
    EXPECT_GE(G.Player.SpPoint, 0);
    // Asked again, by the opening or by the old choice, the hermit gives nothing.
    const std::int32_t left = G.Player.SpPoint;
    Talk("N云游仙人", "无名村", "");
    EXPECT_EQ(ui::Form1.Lb(1)->Caption, "告辞");
    Talk("N云游仙人", "无名村", "GIFT");
    EXPECT_EQ(G.Player.SpPoint, left);
  }
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

// Every way through every section of every NPC script (the opening and each label),
// each condition taken both ways, as the interpreter runs it: a line written is read
// only if the box is still open when the run stops, and a teleport closes the box.
class DialogueWalk {
 public:
  DialogueWalk(const std::string& npc, const std::string& inf) : npc_(npc) {
    for (const std::string& piece : plat::Split(plat::UCase(inf), "\r\n"))
      for (const std::string& l : plat::Split(piece, "@"))
        if (!l.empty() && l[0] != ';') lines_.push_back(l);
  }

  std::set<std::string> Faults() {
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (i == 0 || lines_[i].rfind("#LABEL ", 0) == 0) Explore(i, {});
    return faults_;
  }

 private:
  struct State {
    int ifState = 0;
    bool open = true, wrote = false, teleported = false;
    std::size_t met = 0;  // conditions met so far
  };
  enum class Stop { Ran, Stopped, Unknown };

  void Explore(std::size_t start, std::vector<bool> taken) {
    State st;
    const std::string where = npc_ + " from line " + std::to_string(start + 1) + " \"" + lines_[start] + "\"";
    const Stop stop = Run(start, taken, st, where, 0);
    if (stop == Stop::Unknown) {
      taken.push_back(true);
      Explore(start, taken);
      taken.back() = false;
      Explore(start, taken);
      return;
    }
    if (stop == Stop::Stopped && st.open && st.teleported) Fault(where, taken, "a teleport leaves the dialogue open");
    if (!st.open && st.wrote) Fault(where, taken, "a line is written into a closed box");
  }

  void Fault(const std::string& where, const std::vector<bool>& taken, const std::string& what) {
    std::string way;
    for (bool b : taken) way += b ? 'y' : 'n';
    faults_.insert(where + " (conditions " + (way.empty() ? "-" : way) + "): " + what);
  }

  // The box closes: what was written and not yet read is lost.
  void Close(State& st, const std::string& where, const std::vector<bool>& taken, const std::string& how) {
    if (st.open && st.wrote) Fault(where, taken, "a line is only shown after " + how + " closed the box");
    st.open = false;
    st.wrote = false;
  }

  Stop Run(std::size_t start, const std::vector<bool>& taken, State& st, const std::string& where, int depth) {
    st.ifState = 0;
    st.open = true;
    st.wrote = false;
    for (std::size_t i = start; i < lines_.size(); ++i) {
      const std::string& l = lines_[i];
      auto word = [&](const char* k) { return l.rfind(k, 0) == 0; };
      if (l[0] != '#') {
        if (st.ifState == 0) st.wrote = true;
        continue;
      }
      const bool cond = word("#IF") || word("#ITEMCK") || word("#MONCK");
      if (word("#IF") || (cond && st.ifState == 0)) {
        if (st.met >= taken.size()) return Stop::Unknown;
        if (!taken[st.met++]) st.ifState = 1;
        continue;
      }
      if (word("#ELSE")) {
        --st.ifState;
        continue;
      }
      if (word("#ENDIF")) {
        st.ifState = 0;
        continue;
      }
      if (st.ifState != 0) continue;
      if (word("#GOTO")) {
        const std::string label = l.substr(l.find(' ') + 1);
        st.ifState = 0;
        if (label == "OVER") {
          Close(st, where, taken, "#GOTO OVER");
          continue;
        }
        const auto at = std::find(lines_.begin(), lines_.end(), "#LABEL " + label);
        if (at == lines_.end() || depth >= 4) continue;
        const Stop inner = Run(static_cast<std::size_t>(at - lines_.begin()), taken, st, where, depth + 1);
        if (inner == Stop::Unknown) return inner;
        continue;
      }
      if (word("#MOVE")) {
        Close(st, where, taken, "#MOVE");
        st.teleported = true;
        return Stop::Stopped;
      }
      if (word("#BACKCITY")) {
        st.teleported = true;
        return Stop::Stopped;
      }
      if (word("#OVER")) {
        Close(st, where, taken, "#OVER");
        return Stop::Stopped;
      }
      if (word("#END") || word("#GAMESTOP") || word("#GAMESTART") || word("#GAMEEND")) return Stop::Stopped;
    }
    return Stop::Ran;
  }

  std::string npc_;
  std::vector<std::string> lines_;
  std::set<std::string> faults_;
};

TEST_F(SampleWorldTest, EveryWayThroughADialogueIsReadAndATeleportClosesIt) {
  std::set<std::string> faults;
  for (const auto& r : npcRows) faults.merge(DialogueWalk(r.code + " on " + r.map, r.inf).Faults());
  for (const auto& f : faults) ADD_FAILURE() << f;
  // The walk finds both faults in small scripts of their own.
  EXPECT_EQ(DialogueWalk("甲", "你好\r\n#B1 回城 HOME\r\n#END\r\n#LABEL HOME\r\n#BACKCITY").Faults().size(), 1u);
  EXPECT_EQ(DialogueWalk("乙", "#MONCK 狼 > 0\r\n还有狼\r\n#END\r\n#ENDIF\r\n去吧\r\n#OVER").Faults().size(), 1u);
  EXPECT_EQ(DialogueWalk("丙", "你好\r\n#B1 回城 HOME\r\n#END\r\n#LABEL HOME\r\n#GOTO OVER\r\n#BACKCITY").Faults().size(), 0u);
}

// ---------------------------------------------------------------------------------
// The scenery as the scene draws it

enum class ScenePass { Ground, Figures, Over, None };

// The pass a cell's kind draws its object in.
ScenePass PassOfKind(const std::string& kind) {
  if (kind == "1" || kind == "0-") return ScenePass::Ground;
  if (kind == "2") return ScenePass::Figures;
  if (kind == "0" || kind.empty() || kind[0] == '-') return ScenePass::Over;
  return ScenePass::None;
}

class SceneryDrawing : public scenetest::SceneTest {
 protected:
  // How many rows (or columns) beyond the first one on screen the pass of `kind` still
  // draws an object from, on the real scene with the draw range at its narrowest (first
  // row and column 0, no scroll): a one-cell object is moved up (or left) until it is no
  // longer drawn.
  int Margin(const std::string& kind, bool rows) {
    int margin = -1;
    for (int k = 0; k <= 4; ++k) {
      MakePart(30, 30);
      const int x = MapX(rows ? 3 : -k), y = MapY(rows ? -k : 3);
      SetCellField(1, x, y, 2, "10003");
      SetCellField(1, x, y, 3, kind);
      Frame();
      SetCellField(1, x, y, 2, "");
      SetCellField(1, x, y, 3, "");
      if (rec.FindSprite(FjTexture(1, 3)) < 0) break;
      margin = k;
    }
    return margin;
  }
};

TEST_F(SceneryDrawing, NoObjectVanishesOnScreenNorCoversAFigureInFrontOfIt) {
  struct Margins {
    int rows, cols;
  };
  std::map<ScenePass, Margins> margins;
  for (const char* kind : {"1", "2", "0"}) margins[PassOfKind(kind)] = {Margin(kind, true), Margin(kind, false)};
  // The figures' pass reaches further than the others: figures walk in from beyond the view.
  ASSERT_GT(margins[ScenePass::Figures].rows, margins[ScenePass::Over].rows);

  std::vector<std::string> vanish, cover;
  for (const auto& m : tools::ReadMapSources(testsupport::DataDir() / "maps")) {
    for (const auto& p : m.parts) {
      for (int x = 1; x <= p.width; ++x) {
        for (int y = 1; y <= p.height; ++y) {
          const auto& c = p.Cell(x, y);
          const ScenePass pass = PassOfKind(c[3]);
          if (c[2].empty() || pass == ScenePass::None) continue;
          const std::string where = p.file + " (" + std::to_string(x) + ", " + std::to_string(y) + ") " + c[2];
          const int set = c[2][0] - '0', n = std::stoi(c[2].substr(1));
          const tools::SceneryPicture* pic = tools::FindScenery(set, n);
          ASSERT_NE(pic, nullptr) << where;
          // The picture as the game folder holds it.
          const scenetest::Picture real = scenetest::PackPicture("\\date\\fj\\" + std::to_string(set), n);
          ASSERT_EQ(real.w, pic->width) << where;
          ASSERT_EQ(real.h, pic->height) << where;
          const int rows = (real.h + 31) / 32, cols = (real.w + 47) / 48;
          const Margins& margin = margins[pass];
          if (rows - 1 > margin.rows || cols - 1 > margin.cols) {
            vanish.push_back(where + ": " + std::to_string(real.w) + " x " + std::to_string(real.h) +
                             " vanishes while its lower or right part is on screen");
          }
          if (pass != ScenePass::Over || pic->overhang) continue;
          // Drawn over the figures: one standing just south of the picture, outside the
          // object it belongs to, has its head under it.
          const tools::SceneryPicture* whole = pic->pieceOf ? tools::FindScenery(set, pic->pieceOf) : pic;
          if (pic->pieceOf != 0 && pic->pieceRow + 1 < whole->Rows()) continue;
          for (int i = 0; i < cols; ++i) {
            if (SampleWorldTest::Walkable(p, x + i, y + rows)) {
              cover.push_back(where + ": drawn over the head of a figure on (" + std::to_string(x + i) + ", " +
                              std::to_string(y + rows) + ")");
            }
          }
        }
      }
    }
  }
  auto report = [](const std::vector<std::string>& faults) {
    for (std::size_t i = 0; i < std::min<std::size_t>(faults.size(), 12); ++i) ADD_FAILURE() << faults[i];
    return faults.size();
  };
  EXPECT_EQ(report(vanish), 0u) << "objects that vanish while on screen";
  EXPECT_EQ(report(cover), 0u) << "objects over the figures in front of them";
}

}  // namespace

// Every skill the game runs finds its pictures and its sound in the built folder: the
// frames 1, 2, ... of its picture set under date/mgc/<set>/ (with two offsets a frame
// when the set has an offsets file), and the sound it plays under Sound/.
TEST(SampleWorld, EverySkillFindsItsPicturesAndItsSound) {
  namespace fsys = std::filesystem;
  const struct {
    int set;
    const char* sound;  // empty: the skill plays none
  } cases[] = {
      {2, "斩空.wav"},  {3, ""},           {4, ""},          {5, "炼尸咒.wav"}, {7, "精神盾.wav"},   {8, "HP恢复.Wav"},
      {10, "寒风.Wav"}, {11, "雷电2.wav"}, {12, "怒石.wav"}, {13, "旋风.wav"},  {15, "地狱火焰.wav"},
  };
  const fsys::path game = testsupport::GameDir();
  for (const auto& c : cases) {
    SCOPED_TRACE("set " + std::to_string(c.set));
    const fsys::path folder = plat::ResolvePathIn(game, "date/mgc/" + std::to_string(c.set));
    ASSERT_TRUE(fsys::is_directory(folder)) << folder;
    int frames = 0;
    std::string ext;
    for (const auto& e : fsys::directory_iterator(folder)) {
      if (e.path().stem() == "1") ext = e.path().extension().string();
    }
    ASSERT_FALSE(ext.empty()) << "no first frame in " << folder;
    while (fsys::is_regular_file(folder / (std::to_string(frames + 1) + ext))) ++frames;
    EXPECT_GE(frames, 2) << folder;
    for (int i = 1; i <= frames; ++i) EXPECT_GT(fsys::file_size(folder / (std::to_string(i) + ext)), 0u);
    const fsys::path xy = folder / "xy.txt";
    if (fsys::exists(xy)) {
      std::ifstream in(xy);
      int numbers = 0;
      for (std::string line; std::getline(in, line);) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        for (double v; fields >> v;) ++numbers;
      }
      EXPECT_GE(numbers, 2 * frames) << "two offsets a frame in " << xy;
    }
    if (*c.sound != '\0') {
      const fsys::path sound = plat::ResolvePathIn(game, std::string("Sound/") + c.sound);
      EXPECT_TRUE(fsys::is_regular_file(sound)) << sound;
    }
  }
}
