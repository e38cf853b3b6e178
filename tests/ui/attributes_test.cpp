// The four "+" labels of the status page spending attribute points.
#include "ui/attributes.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

#include "common/game_state.h"
#include "ui/game_folder_fixture.h"
#include "window/form1.h"

namespace {

using ui::Form1;
using ui::MainWindow;

// The fields a point may change, in a fixed order.
using Stats = std::array<std::int32_t, 10>;
Stats Now() {
  const PlayerRecord& p = G.Player;
  return {p.LevelPoint, p.DcMax, p.McMax, p.DfMax, p.MfMax, p.Heavy, p.HpMax, p.MpMax, p.HP, p.Mp};
}

class AttributesTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    PlayerRecord& p = G.Player;
    p.LevelPoint = 3;
    p.Dc = 2, p.DcMax = 5, p.Mc = 1, p.McMax = 4, p.Df = 3, p.DfMax = 6, p.Mf = 0, p.MfMax = 2;
    p.Heavy = 40, p.HpMax = 50, p.MpMax = 30, p.HP = 20, p.Mp = 10;
    G.SoundOn = 1;
  }
};

// One click on each label: the change of {points, DcMax, McMax, DfMax, MfMax, Heavy, HpMax, MpMax, HP, Mp}.
struct AddCase {
  plat::Control* MainWindow::*label;
  Stats change;
};

TEST_F(AttributesTest, EachPlusSpendsOnePointOnItsStat) {
  const AddCase cases[] = {
      {&MainWindow::LDcAdd, {-1, 1, 0, 0, 0, 1, 3, 0, 0, 0}},
      {&MainWindow::LMcAdd, {-1, 0, 1, 0, 0, 0, 0, 6, 0, 0}},
      {&MainWindow::LDfAdd, {-1, 0, 0, 1, 0, 3, 5, 0, 0, 0}},
      {&MainWindow::LMfAdd, {-1, 0, 0, 0, 1, 2, 2, 5, 0, 0}},
  };
  const PlayerRecord start = G.Player;
  for (const auto& c : cases) {
    plat::Control* label = Form1.*c.label;
    SCOPED_TRACE(label->Name);
    G.Player = start;
    const Stats before = Now();
    sound.calls.clear();
    label->OnClick();
    const Stats after = Now();
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i] - before[i], c.change[i]) << i;
    EXPECT_EQ(G.Player.Dc, start.Dc);
    EXPECT_EQ(G.Player.Mf, start.Mf);
    EXPECT_TRUE(sound.calls.empty());
    EXPECT_EQ(Form1.Lspot->Caption, "2");  // the status page is rewritten
  }
}

TEST_F(AttributesTest, ThreePointsOnDefenceAndNoMore) {
  for (int i = 0; i < 4; ++i) Form1.LDfAdd->OnClick();
  EXPECT_EQ(G.Player.LevelPoint, 0);
  EXPECT_EQ(G.Player.DfMax, 9);
  EXPECT_EQ(G.Player.Heavy, 49);
  EXPECT_EQ(G.Player.HpMax, 65);
}

TEST_F(AttributesTest, NoPointsNegativePointsAndTransformedChangeNothing) {
  struct Case {
    std::int32_t points, body;
    bool spends;
  };
  const Case cases[] = {{0, 0, false}, {-1, 0, false}, {-5, 0, false}, {1, 100, false},
                        {2, 250, false}, {1, 99, true}, {1, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.points) + " points, body " + std::to_string(c.body));
    G.Player.LevelPoint = c.points;
    G.BodyNo = c.body;
    const Stats before = Now();
    Form1.LMcAdd->OnClick();
    if (c.spends) {
      EXPECT_EQ(G.Player.LevelPoint, c.points - 1);
      EXPECT_EQ(G.Player.McMax, before[2] + 1);
    } else {
      EXPECT_EQ(Now(), before);
    }
  }
}

TEST_F(AttributesTest, MaximaStopAtTheTopOfTheirRange) {
  G.Player.HpMax = std::numeric_limits<std::int32_t>::max() - 1;
  Form1.LDfAdd->OnClick();
  EXPECT_EQ(G.Player.HpMax, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(G.Player.DfMax, 7);
}

}  // namespace
