// "#MOVE" and "#GOMAP", and the recall to the return point.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/game_state.h"
#include "script/script.h"
#include "script/script_fixture.h"
#include "world/item_use.h"

namespace {

using scripttest::Lines;
using scripttest::ScriptTest;

class MoveTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    // Map 1 is loaded with two parts; the player stands on part 1.
    G.MainMap = 1;
    SetPartSize(1, 60, 60);
    SetPartSize(2, 60, 60);
    G.PartNames[1] = "镇安村";
    G.PartNames[2] = "野猪洞";
    G.SubMap = 1;
    G.ViewX = 5;
    G.ViewY = 5;
  }

  // Writes map `map` with one 3 x 3 part named `name` (with a part script) into the
  // program folder: the part count file and the archive the map loader reads.
  void WriteMap(int map, const std::string& name, const std::string& script) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "map");
    std::ofstream(dir / "map" / (std::to_string(map) + ".Mxx")) << "1\r\n";
    std::string part = "\"" + name + "\",3,3\r\n";
    for (int i = 0; i < 9; ++i) part += "\"\",\"\",\"\",\"\"\r\n";
    part += script;
    int err = 0;
    zip_t* z = zip_open((dir / "Ham.dll").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    zip_source_t* src = zip_source_buffer(z, part.data(), part.size(), 0)  /* read at zip_close */;
    ASSERT_NE(src, nullptr);
    const std::string member = (map < 10 ? "0" : "") + std::to_string(map) + "01.map";
    ASSERT_GE(zip_file_add(z, member.c_str(), src, ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(z), 0);
  }
};

TEST_F(MoveTest, MeMovesOnTheCurrentPartWithoutEnteringItAgain) {
  G.PartScripts[1] = Lines({"#CHANGE ET1 = 1"});
  SetGridMonster(10, 10, 1);
  ScriptMove("#move ME00 20 30");
  EXPECT_EQ(G.ViewX, 12);
  EXPECT_EQ(G.ViewY, 22);
  EXPECT_EQ(G.SubMap, 1);
  EXPECT_EQ(G.Et[1], 0);  // no part script
  EXPECT_EQ(GridMonster(10, 10), 1);
  EXPECT_EQ(W().Iminimap->Left, (2 - 12) * 75);
  EXPECT_EQ(W().Iminimap->Top, (2 - 22) * 75);
  EXPECT_EQ(ScreenEffects(), std::vector<std::string>{"10@8,8:0"});
}

TEST_F(MoveTest, AMoveOnTheLoadedMapEntersThePartAfresh) {
  G.PartScripts[2] = Lines({"#CHANGE ET3 = 7", "WELCOME TO THE CAVE"});
  W().Psys2->Visible = true;
  ScriptMove("#move 0102 20 30");
  EXPECT_EQ(G.ViewX, 12);
  EXPECT_EQ(G.ViewY, 22);
  EXPECT_EQ(G.SubMap, 2);
  EXPECT_EQ(G.MainMap, 1);
  EXPECT_EQ(G.Et[3], 7);  // the part script ran
  EXPECT_FALSE(W().Psys2->Visible);
  EXPECT_FALSE(W().Pspt->Visible);  // silently

  // Entering the same part again re-creates its monsters.
  G.MonsterSpawns[2][1].X = 4;
  G.MonsterSpawns[2][1].Y = 4;
  G.MonsterSpawns[2][1].HP = 50;
  SetPartGridCode(2, 4, 4, kGridMonsterBase + 1);
  ScriptMove("#MOVE 0102 20 30");
  EXPECT_EQ(GridMonster(4, 4), 1);
  EXPECT_EQ(G.Monsters[1].HP, 50);
  EXPECT_EQ(G.MonsterCount, 1);
}

TEST_F(MoveTest, APartScriptThatTeleportsIntoItsOwnPartStopsInsteadOfRecursingForEver) {
  // Each entry runs the part script, which enters the part again: the chain of nested
  // runs is cut off at a fixed depth and the game goes on with the player in place.
  G.PartScripts[2] = Lines({"#CHANGE MONEY + 1", "#MOVE 0102 20 30"});
  ScriptMove("#move 0102 20 30");
  EXPECT_EQ(G.SubMap, 2);
  EXPECT_EQ(G.ViewX, 12);
  EXPECT_EQ(G.ViewY, 22);
  EXPECT_EQ(G.ScriptNesting, 0);  // every nested run has ended
  EXPECT_GT(G.Player.Money, 10);
  EXPECT_LE(G.Player.Money, 256);
}

TEST_F(MoveTest, AMoveToAnotherMapLoadsItFirst) {
  WriteMap(3, "新月村", Lines({"#CHANGE ET4 = 9"}));
  ScriptMove("#move 0301 2 3");
  EXPECT_EQ(G.MainMap, 3);
  EXPECT_EQ(G.SubMap, 1);
  EXPECT_EQ(G.PartNames[1], "新月村");
  EXPECT_EQ(G.ViewX, -6);
  EXPECT_EQ(G.ViewY, -5);
  EXPECT_EQ(G.Et[4], 9);
  EXPECT_EQ(ScreenEffects(), std::vector<std::string>{"10@8,8:0"});
}

TEST_F(MoveTest, FractionsAreRoundedDown) {
  ScriptMove("#move ME00 20.9 30.5");
  EXPECT_EQ(G.ViewX, 12);
  EXPECT_EQ(G.ViewY, 22);
}

TEST_F(MoveTest, APartOutsideOneToThirtyChangesNothing) {
  for (const char* line : {"#move 0100 20 30", "#move 0131 20 30", "#move 01XX 20 30", "#move 01-1 20 30", "#move"}) {
    ScriptMove(line);
    EXPECT_EQ(G.ViewX, 5) << line;
    EXPECT_EQ(G.SubMap, 1) << line;
  }
  EXPECT_TRUE(ScreenEffects().empty());
}

TEST_F(MoveTest, TheRecallBuildsItsLineFromTheReturnPoint) {
  G.SubMap = 2;
  G.GoMain = 1;
  G.GoSub = 1;
  G.GoX = 13;
  G.GoY = 13;
  RecallToReturnPoint();
  EXPECT_EQ(G.SubMap, 1);
  EXPECT_EQ(G.ViewX, 5);
  EXPECT_EQ(G.ViewY, 5);
  EXPECT_EQ(ScreenEffects(), std::vector<std::string>{"10@8,8:0"});
}

TEST_F(MoveTest, GoMapKeepsThePlayersPlaceAndRaisesTownProgress) {
  G.ViewX = 30;
  G.ViewY = 40;
  G.PartNames[1] = "齐扬城";
  G.Player.MapS = 4;
  ScriptGoMap();
  EXPECT_EQ(G.GoMain, 1);
  EXPECT_EQ(G.GoSub, 1);
  EXPECT_EQ(G.GoX, 38);
  EXPECT_EQ(G.GoY, 48);
  EXPECT_EQ(G.Player.MapS, 4);  // never lowered

  G.PartNames[1] = "新月村";
  ScriptGoMap();
  EXPECT_EQ(G.Player.MapS, 5);

  G.SubMap = 2;
  G.Player.MapS = 0;
  ScriptGoMap();
  EXPECT_EQ(G.GoSub, 2);
  EXPECT_EQ(G.Player.MapS, 0);  // "野猪洞" is no town

  const std::pair<const char*, int> towns[] = {{"镇安村", 1}, {"齐扬城", 2}, {"神秘家园", 3},
                                                {"小渔村", 4}, {"新月村", 5}, {"山谷村庄", 6}};
  for (const auto& [town, k] : towns) {
    G.PartNames[2] = town;
    G.Player.MapS = 0;
    ScriptGoMap();
    EXPECT_EQ(G.Player.MapS, k) << town;
  }
}

}  // namespace
