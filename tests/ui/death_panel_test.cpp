// The death panel: the revival losses of both account modes, the revival on the spot,
// the way back to town on the sample map, and quitting without a save.
#include "ui/death_panel.h"

#include <gtest/gtest.h>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/process.h"
#include "window/form1.h"
#include "ui/game_folder_fixture.h"

namespace {

using ui::Form1;

class DeathPanelTest : public uitest::GameFolderTest {
 protected:
  // A dead level 10 character with 1000 experience and 500 gold, poisoned, in the
  // blue death tint, with the death panel up.
  void Die(bool expert) {
    PlayerRecord& p = G.Player;
    p.Level = 10;
    p.Ex = 1000;
    p.Money = 500;
    p.HP = 0;
    p.HpMax = 25;
    p.Mp = 12;
    p.ActState = ActionState::Dead;
    p.ActCounter = 15;
    p.ActStep = 4;
    p.FrameNo = 268;
    p.PoisonTime = 400;
    G.FlashMode = 3;
    G.ExpertMode = expert ? 1 : 0;
    Form1.PDead->Visible = true;
  }
};

TEST_F(DeathPanelTest, RevivingOnTheSpotCostsAndCuresPoison) {
  for (const bool expert : {false, true}) {
    SCOPED_TRACE(expert);
    Die(expert);
    G.ViewX = 40;
    G.ViewY = 50;
    Form1.Label11->OnClick();
    const PlayerRecord& p = G.Player;
    EXPECT_EQ(p.Ex, expert ? 800 : 880);
    EXPECT_EQ(p.Money, expert ? 400 : 450);
    EXPECT_EQ(p.HP, 7);
    EXPECT_EQ(p.Mp, 12);
    EXPECT_EQ(p.ActState, ActionState::Stand);
    EXPECT_EQ(p.ActCounter, 0);
    EXPECT_EQ(p.ActStep, 0);
    EXPECT_EQ(p.FrameNo, 1);
    EXPECT_EQ(p.PoisonTime, 0);
    EXPECT_EQ(G.FlashMode, 0);
    EXPECT_FALSE(Form1.PDead->Visible);
    EXPECT_EQ(G.ViewX, 40);  // where it died
    EXPECT_EQ(G.ViewY, 50);
  }
}

TEST_F(DeathPanelTest, ReturningToTownCostsLessAndMovesToTheReturnPoint) {
  for (const bool expert : {false, true}) {
    SCOPED_TRACE(expert);
    Die(expert);
    G.MainMap = 0;  // nothing loaded: the recall loads the map
    G.GoMain = 1;
    G.GoSub = 1;
    G.GoX = 13;
    G.GoY = 13;
    G.SoundOn = expert ? 1 : 0;
    sound.calls.clear();
    Form1.Label17->OnClick();
    const PlayerRecord& p = G.Player;
    EXPECT_EQ(p.Ex, expert ? 920 : 976);
    EXPECT_EQ(p.Money, expert ? 475 : 495);
    EXPECT_EQ(p.HP, 7);
    EXPECT_EQ(p.ActState, ActionState::Stand);
    EXPECT_EQ(p.FrameNo, 1);
    EXPECT_EQ(p.PoisonTime, 400);  // still poisoned
    EXPECT_EQ(G.FlashMode, 0);
    EXPECT_FALSE(Form1.PDead->Visible);
    EXPECT_EQ(G.MainMap, 1);
    EXPECT_EQ(G.SubMap, 1);
    EXPECT_EQ(PlayerCellX(), 13);
    EXPECT_EQ(PlayerCellY(), 13);
    EXPECT_EQ(Played("Sound\\传送.wav"), expert);  // only with sounds on
  }
}

TEST_F(DeathPanelTest, LossesNeverTakeExperienceBelowZero) {
  struct Case {
    std::int32_t level, ex, money, hpMax;
    std::int32_t ex2, money2, hp2;
  };
  const Case cases[] = {
      {10, 100, 0, 10, 0, 0, 3},             // 100 - 120 stops at 0
      {1, 0, 9, 1, 0, 9, 0},                 // Int(8 * 0.15) = 1: 0 stays 0; Int(0.9) = 0 gold
      {46341, 5, 2147483647, 2147483647, 0, 1932735283, 644245094},  // Level squared beyond 32 bits
      {10, -50, -5, 0, 0, -4, 0},            // Int(-0.5) = -1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    PlayerRecord& p = G.Player;
    p.Level = c.level;
    p.Ex = c.ex;
    p.Money = c.money;
    p.HpMax = c.hpMax;
    Form1.Label11->OnClick();
    EXPECT_EQ(p.Ex, c.ex2);
    EXPECT_EQ(p.Money, c.money2);
    EXPECT_EQ(p.HP, c.hp2);
  }
}

TEST_F(DeathPanelTest, QuittingEndsWithoutASaveOrASound) {
  Die(false);
  G.SoundOn = 1;
  sound.calls.clear();
  EXPECT_THROW(Form1.Label18->OnClick(), plat::ProgramEnded);
  EXPECT_TRUE(sound.calls.empty());
  EXPECT_TRUE(plat::ListFiles(Folder() / "Save").empty());
  EXPECT_EQ(G.Player.Ex, 1000);
}

}  // namespace
