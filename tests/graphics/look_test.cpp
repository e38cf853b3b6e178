// The frame offsets of the worn weapon and body.
#include "graphics/look.h"

#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

class LookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    Looks = LookFrameTables{};
  }
  void TearDown() override { plat::SetProgramFolder(previous); }

  // A table of `pairs` pairs: frame f has (base + f, -(base + f)).
  void MakeZb(const std::string& folder, int number, int base, int pairs = 280, const std::string& tail = "") {
    fs::create_directories(dir.path() / "date" / folder);
    std::string text;
    for (int f = 1; f <= pairs; ++f) text += std::to_string(base + f) + ", " + std::to_string(-(base + f)) + "\r\n";
    text += tail;
    ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "date" / folder / (std::to_string(number) + ".zb"),
                                    std::vector<std::uint8_t>(text.begin(), text.end())));
  }
  void Wear(std::int32_t weapon, std::int32_t body) {
    G.Player.Items[1].Pic2 = weapon;
    G.Player.Items[5].Pic2 = body;
  }

  fs::path previous = plat::ProgramFolder();
  testsupport::TempDir dir;
};

TEST_F(LookTest, ReadsWeaponAndBodyTables) {
  MakeZb("Weapon", 4, 100);
  MakeZb("Rpg", 2, 500, 280, "9,9,9\r\n");  // values after the 280th pair are ignored
  Wear(4, 2);
  LoadLookFrames();
  EXPECT_EQ(G.WeaponNo, 4);
  EXPECT_EQ(G.BodyNo, 2);
  EXPECT_EQ(Looks.WeaponZb[1], (FrameOffset{101, -101}));
  EXPECT_EQ(Looks.WeaponZb[280], (FrameOffset{380, -380}));
  EXPECT_EQ(Looks.BodyZb[1], (FrameOffset{501, -501}));
  EXPECT_EQ(Looks.BodyZb[280], (FrameOffset{780, -780}));
}

TEST_F(LookTest, UnchangedLooksAreNotReadAgainDuringAGame) {
  MakeZb("Weapon", 4, 100);
  MakeZb("Rpg", 2, 500);
  Wear(4, 2);
  G.GAMELEVEL = 1;
  LoadLookFrames();
  // With the files gone, the same looks read nothing (else the program would end).
  fs::remove_all(dir.path() / "date");
  LoadLookFrames();
  EXPECT_EQ(Looks.BodyZb[3], (FrameOffset{503, -503}));
}

TEST_F(LookTest, BodyIsReadAgainBeforeAGameStarts) {
  MakeZb("Rpg", 2, 500);
  Wear(0, 2);
  LoadLookFrames();
  MakeZb("Rpg", 2, 900);
  LoadLookFrames();  // GAMELEVEL 0: read again
  EXPECT_EQ(Looks.BodyZb[1], (FrameOffset{901, -901}));
  EXPECT_EQ(G.WeaponNo, 0);  // no weapon worn: no weapon table read
}

TEST_F(LookTest, TransformedBodyComesBackToTheArmoursLook) {
  MakeZb("Rpg", 3, 300);
  Wear(0, 3);
  G.GAMELEVEL = 2;
  G.BodyNo = 104;
  LoadLookFrames();
  EXPECT_EQ(G.BodyNo, 3);
  EXPECT_EQ(Looks.BodyZb[2], (FrameOffset{302, -302}));
}

TEST_F(LookTest, MissingShortOrDamagedTableEndsWithItsName) {
  const struct {
    const char* what;
    int pairs;
    std::string tail;
    bool make;
  } cases[] = {
      {"missing", 0, "", false},
      {"short", 279, "7\r\n", true},
      {"not a number", 279, "x,1\r\n", true},
      {"beyond 16 bits", 279, "40000,1\r\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir.path() / "date");
    if (c.make) MakeZb("Rpg", 6, 0, c.pairs, c.tail);
    G = GameState{};
    Wear(0, 6);
    testsupport::ScopedDialogs dialogs;
    testsupport::ScopedEndThrows endThrows;
    EXPECT_THROW(LoadLookFrames(), plat::ProgramEnded);
    ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.dialogs.shown[0].text, "文件缺失，程序不能进行\n\\date\\Rpg\\6.zb");
  }
}

}  // namespace
