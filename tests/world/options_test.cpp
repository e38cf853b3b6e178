// The option file "Config.cfg": written from the boxes, read into the flags, the boxes
// and the minimap's place; a missing or damaged file gives the design values.
#include "world/options.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

namespace fs = std::filesystem;

std::array<plat::Control*, 8> Boxes() {
  const auto& w = ui::Form1;
  return {w.LGameMusic, w.LFullHP, w.LFullItem, w.LAutoItem, w.LActNumber, w.LMgcLock, w.LlistMinMap, w.LshowID};
}

std::array<std::int32_t, 8> Flags() {
  return {G.SoundOn, G.ShowAllMonHp, G.ShowAllItemNames, G.AutoPickUp, G.ShowDamage, G.MagicLock, G.ShowMiniMap,
          G.ShowPlayerId};
}

std::array<int, 8> BoxValues() {
  std::array<int, 8> v{};
  auto boxes = Boxes();
  for (std::size_t i = 0; i < 8; ++i) v[i] = boxes[i]->Value();
  return v;
}

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ui::BuildMainWindow();
  }
  void TearDown() override { plat::SetProgramFolder(previous); }

  fs::path Config() const { return dir.path() / "Config.cfg"; }
  std::string ConfigText() const {
    auto b = plat::ReadAllBytes(Config());
    return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
  }
  void WriteConfig(const std::string& text) {
    ASSERT_TRUE(plat::WriteAllBytes(Config(), std::vector<std::uint8_t>(text.begin(), text.end())));
  }
  void ExpectMiniMapShown(bool shown) {
    EXPECT_EQ(ui::Form1.Pminimap->Left, shown ? 9210 : 10485);
    EXPECT_EQ(ui::Form1.Pminimap->Top, shown ? 120 : -1155);
  }

  fs::path previous = plat::ProgramFolder();
  testsupport::TempDir dir;
};

TEST_F(OptionsTest, EachBoxIsReflectedInItsField) {
  const char* expected[] = {"1,0,0,0,0,0,0,0\r\n", "0,1,0,0,0,0,0,0\r\n", "0,0,1,0,0,0,0,0\r\n",
                            "0,0,0,1,0,0,0,0\r\n", "0,0,0,0,1,0,0,0\r\n", "0,0,0,0,0,1,0,0\r\n",
                            "0,0,0,0,0,0,1,0\r\n", "0,0,0,0,0,0,0,1\r\n"};
  auto boxes = Boxes();
  for (std::size_t i = 0; i < 8; ++i) {
    for (std::size_t k = 0; k < 8; ++k) boxes[k]->SetValue(k == i ? 1 : 0);
    ASSERT_TRUE(SaveConfig());
    EXPECT_EQ(ConfigText(), expected[i]) << boxes[i]->Name;
  }
}

TEST_F(OptionsTest, RoundTripSetsFlagsBoxesAndMiniMap) {
  const std::array<int, 8> values{0, 1, 1, 0, 1, 1, 1, 0};
  auto boxes = Boxes();
  for (std::size_t i = 0; i < 8; ++i) boxes[i]->SetValue(values[i]);
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(ConfigText(), "0,1,1,0,1,1,1,0\r\n");

  G = GameState{};
  ui::BuildMainWindow();
  LoadConfig();
  EXPECT_EQ(Flags(), (std::array<std::int32_t, 8>{0, 1, 1, 0, 1, 1, 1, 0}));
  EXPECT_EQ(BoxValues(), values);
  ExpectMiniMapShown(true);
  EXPECT_EQ(ConfigText(), "0,1,1,0,1,1,1,0\r\n");
}

TEST_F(OptionsTest, SoundAndDamageNumbersLineParksTheMiniMap) {
  WriteConfig("1,0,0,0,1,0,0,0\r\n");
  ui::Form1.Pminimap->Move(9210, 120);
  LoadConfig();
  // The boxes already show these values, so no click runs: the flags still follow the file.
  EXPECT_EQ(Flags(), (std::array<std::int32_t, 8>{1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(BoxValues(), (std::array<int, 8>{1, 0, 0, 0, 1, 0, 0, 0}));
  ExpectMiniMapShown(false);
}

TEST_F(OptionsTest, FieldsWithBlanksAndWithoutLineEndAreRead) {
  WriteConfig(" 0 , 0,0 ,1,0, 0,1,1");
  LoadConfig();
  EXPECT_EQ(Flags(), (std::array<std::int32_t, 8>{0, 0, 0, 1, 0, 0, 1, 1}));
  EXPECT_EQ(BoxValues(), (std::array<int, 8>{0, 0, 0, 1, 0, 0, 1, 1}));
  ExpectMiniMapShown(true);
}

TEST_F(OptionsTest, MissingShortOrDamagedFileGivesTheDesignValues) {
  const std::string damaged[] = {"<none>",
                                 "",
                                 "1,1,1\r\n",
                                 "0,1,1,1,0,1,1\r\n",
                                 "a,b,c,d,e,f,g,h\r\n",
                                 "0,1,1,1,0,1,1,x\r\n",
                                 "0,1,1,1,0,1.5,1,1\r\n",
                                 std::string("\x01\xFF\xFE,\0,9", 7)};
  for (const auto& text : damaged) {
    SCOPED_TRACE(text);
    G = GameState{};
    ui::BuildMainWindow();
    // Boxes away from their design values, so every box is set again.
    for (plat::Control* box : Boxes()) box->SetValue(box->Value() == 1 ? 0 : 1);
    ui::Form1.Pminimap->Move(9210, 120);
    if (text == "<none>") {
      fs::remove(Config());
    } else {
      WriteConfig(text);
    }
    LoadConfig();
    EXPECT_EQ(Flags(), (std::array<std::int32_t, 8>{1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(BoxValues(), (std::array<int, 8>{1, 0, 0, 0, 1, 0, 0, 0}));
    ExpectMiniMapShown(false);
    EXPECT_EQ(ConfigText(), "1,0,0,0,1,0,0,0\r\n");
  }
}

// A flag is on for every field but exactly "0"; its box takes the field's value.
TEST_F(OptionsTest, AFlagIsOffOnlyForAFieldOfExactlyZero) {
  const struct {
    const char* line;
    std::array<std::int32_t, 8> flags;
    std::array<int, 8> boxes;
    bool miniMap;
  } cases[] = {
      {"00,0,0,0,0,0,0,0\r\n", {1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"0,00,000,0,0,00,00,00\r\n", {0, 1, 1, 0, 0, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 0, 0}, true},
      {" 00 , 0 ,0,0,0,0, 0 ,0\r\n", {1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"2,0,0,0,0,0,0,0\r\n", {1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}, false},
      {"-1,0,0,0,7,0,0,01\r\n", {1, 0, 0, 0, 1, 0, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 1}, false},
      {"0,0,0,0,0,0,01,0\r\n", {0, 0, 0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 0, 1, 0}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    G = GameState{};
    ui::BuildMainWindow();
    WriteConfig(c.line);
    LoadConfig();
    EXPECT_EQ(Flags(), c.flags);
    EXPECT_EQ(BoxValues(), c.boxes);
    ExpectMiniMapShown(c.miniMap);
    EXPECT_EQ(ConfigText(), c.line);  // a readable file is left as it is
  }
}

TEST_F(OptionsTest, BoxClickHandlersRunWhenLoadingChangesThem) {
  int clicks = 0;
  for (plat::Control* box : Boxes()) box->OnClick = [&clicks]() { ++clicks; };
  WriteConfig("1,1,0,0,0,0,0,0\r\n");  // LFullHP on, LActNumber off: two changes
  LoadConfig();
  EXPECT_EQ(clicks, 2);
}

// A program killed while it rewrites the file after option clicks leaves either the
// options it had or the new ones: never an empty or half-written file.
TEST_F(OptionsTest, AKillDuringOptionWritesLeavesTheOldOrTheNewFile) {
  const std::string before = "1,0,0,0,1,0,0,0\r\n", after = "0,1,1,1,0,1,1,1\r\n";
  const unsigned seed = std::random_device{}();
  std::mt19937 draw(seed);
  for (int round = 0; round < 60; ++round) {
    WriteConfig(before);
    // The clicks, as fast as they come: each one writes the whole file anew.
    const bool killed = testsupport::KillWhileRunning(
        [](const std::function<void()>& started) {
          auto boxes = Boxes();
          for (long n = 0;; ++n) {
            for (std::size_t i = 0; i < boxes.size(); ++i)
              boxes[i]->SetValue((n % 2 == 0) == (i == 0 || i == 4) ? 0 : 1);
            if (!SaveConfig()) return;
            started();
          }
        },
        draw, 3000);
    ASSERT_TRUE(killed) << "the writing child failed";
    const std::string text = ConfigText();
    ASSERT_TRUE(text == before || text == after)
        << "round " << round << ", seed " << seed << ": \"" << text << '"';
  }
}

}  // namespace
