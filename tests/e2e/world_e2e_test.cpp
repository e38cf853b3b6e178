// The real program on a copy of the sample game folder, from the title screen into the
// world: a new warrior is created, continued and started on the normal difficulty; it
// walks and runs by mouse in the town, talks to the village elder, takes one of his
// choices, and runs east through the town gate onto the next part of the map.
#include <SDL.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/program.h"
#include "graphics/device.h"

namespace {

namespace fs = std::filesystem;
using e2e::Cell;
using ui::Form1;

// What the run saw, kept for the checks after the program ended.
struct Seen {
  bool started = false;
  std::string normalPicture;
  bool levelPanelShown = true;
  int gameLevel = 0;
  int kinds = 0;
  int mainMap = 0, subMap = 0;
  Cell start;
  bool framesShown = false;
  std::vector<Cell> walked;
  bool talkOpen = false;
  std::string say;
  std::vector<std::string> choices;
  bool standingAfterTalk = false;
  int goMain = 0, goSub = 0, goX = 0, goY = 0;
  std::string sayAfterChoice;
  bool talkClosed = false;
  int pausedAfterClose = -1;
  int portalMap = 0, portalPart = 0;
  Cell afterPortal;
  std::string partName;
};

class WorldE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(WorldE2e, ANewWarriorWalksTalksToTheElderAndTakesTheTownGate) {
  const auto monsterDb = plat::ReadAllBytes(dir.path() / "date" / "rpg" / "21.dat");
  ASSERT_TRUE(monsterDb.has_value());

  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
  Seen seen;
  constexpr int kWalks = 4;
  seen.walked.resize(kWalks);

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost&) {
    seen.started = true;
    seen.normalPicture = Form1.I_Nm->Picture;
    seen.levelPanelShown = Form1.PLevel->Visible;
    seen.gameLevel = G.GAMELEVEL;
    seen.kinds = G.MonsterKindCount;
    seen.mainMap = G.MainMap;
    seen.subMap = G.SubMap;
    seen.start = e2e::PlayerCell();
    seen.framesShown = Form1.PbkUp->Visible && Form1.PBkDown1->Visible && Form1.Pminimap->Visible;
    return true;
  });
  // East one cell (a walk), south one cell, east three columns away (a run of two
  // cells), west one cell.
  e2e::Append(steps, e2e::MouseStep(8, 7, &seen.walked[0]));
  e2e::Append(steps, e2e::MouseStep(7, 8, &seen.walked[1]));
  e2e::Append(steps, e2e::MouseStep(10, 7, &seen.walked[2]));
  e2e::Append(steps, e2e::MouseStep(6, 7, &seen.walked[3]));

  // The village elder stands on (10, 10): a press on his cell talks to him.
  const auto elderCell = [] { return SDL_Point{10 - G.ViewX - 1, 10 - G.ViewY - 1}; };
  steps.push_back([&](plat::SdlHost&) {
    const SDL_Point v = elderCell();
    const SDL_Point p = e2e::ViewCellPoint(v.x, v.y);
    e2e::PushMotion(p.x, p.y);
    e2e::PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Pspt->Visible) return false;
    seen.talkOpen = true;
    seen.say = Form1.LSay->Caption;
    for (int k = 1; k <= 6; ++k) seen.choices.push_back(Form1.Lb(k)->Caption);
    seen.standingAfterTalk = G.Player.ActState == ActionState::Stand;
    const SDL_Point v = elderCell();
    const SDL_Point p = e2e::ViewCellPoint(v.x, v.y);
    e2e::PushButton(SDL_MOUSEBUTTONUP, p.x, p.y);
    return true;
  });
  // "在此歇脚": the elder makes this place the return point.
  steps.push_back([&](plat::SdlHost&) {
    if (G.MouseLeftDown != 0) return false;
    e2e::ClickOn(Form1.Lb(2));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (G.ChoiceLabel[1] != "OVER") return false;
    seen.goMain = G.GoMain;
    seen.goSub = G.GoSub;
    seen.goX = G.GoX;
    seen.goY = G.GoY;
    seen.sayAfterChoice = Form1.LSay->Caption;
    e2e::ClickOn(Form1.Lb(1));  // "多谢": the dialogue ends
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (Form1.Pspt->Visible) return false;
    seen.talkClosed = true;
    seen.pausedAfterClose = G.GamePaused;
    return true;
  });

  // Held far east: the player runs along the road to the gate at x = 36, whose cells
  // lead to part 2, cell (3, 20).
  steps.push_back([&](plat::SdlHost&) {
    const SDL_Point p = e2e::ViewCellPoint(14, 7);
    e2e::PushMotion(p.x, p.y);
    e2e::PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (G.SubMap != 2) return false;
    const SDL_Point p = e2e::ViewCellPoint(14, 7);
    e2e::PushButton(SDL_MOUSEBUTTONUP, p.x, p.y);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!e2e::PlayerAtRest() || G.MouseLeftDown != 0) return false;
    seen.portalMap = G.MainMap;
    seen.portalPart = G.SubMap;
    seen.afterPortal = e2e::PlayerCell();
    seen.partName = G.PartNames[2];
    EndGame();
  });

  e2e::RunNewWarrior(driver, answers, dir.path(), "侠客");

  EXPECT_EQ(driver.logoTaps, 2);
  EXPECT_TRUE(answers.shown.empty());
  ASSERT_TRUE(seen.started);
  EXPECT_EQ(driver.StepsDone(), steps.size() - 1);  // the last one ended the program

  // The difficulty: the pressed picture, the panel gone, the normal monster table.
  EXPECT_EQ(seen.normalPicture, "date\\button\\level12.dat");
  EXPECT_FALSE(seen.levelPanelShown);
  EXPECT_EQ(seen.gameLevel, 1);
  EXPECT_EQ(seen.kinds, 86);
  // A new character starts in the town at its return point.
  EXPECT_EQ(seen.mainMap, 1);
  EXPECT_EQ(seen.subMap, 1);
  EXPECT_EQ(seen.start, (Cell{13, 13}));
  EXPECT_TRUE(seen.framesShown);
  EXPECT_EQ(G.Player.ID, "侠客");
  EXPECT_EQ(G.Et[19], 1);  // the intro was shown

  // The walks: east, south, a run of two east, west.
  EXPECT_EQ(seen.walked, (std::vector<Cell>{{14, 13}, {14, 14}, {16, 14}, {15, 14}}));

  // The elder's dialogue and its choice.
  EXPECT_TRUE(seen.talkOpen);
  EXPECT_EQ(seen.say.rfind("年轻人，欢迎来到无名村。", 0), 0u) << seen.say;
  EXPECT_EQ(seen.choices, (std::vector<std::string>{"打听消息", "在此歇脚", "告辞", "", "", ""}));
  EXPECT_TRUE(seen.standingAfterTalk);
  EXPECT_EQ(seen.goMain, 1);
  EXPECT_EQ(seen.goSub, 1);
  EXPECT_EQ(seen.goX, 15);
  EXPECT_EQ(seen.goY, 14);
  EXPECT_EQ(seen.sayAfterChoice.rfind("好，以后你用回城卷就会回到这里。", 0), 0u) << seen.sayAfterChoice;
  EXPECT_TRUE(seen.talkClosed);
  EXPECT_EQ(seen.pausedAfterClose, 0);

  // Through the gate.
  EXPECT_EQ(seen.portalMap, 1);
  EXPECT_EQ(seen.portalPart, 2);
  EXPECT_EQ(seen.afterPortal, (Cell{3, 20}));
  EXPECT_FALSE(seen.partName.empty());

  // The monster database was read from a copy: the file is as it was.
  EXPECT_EQ(plat::ReadAllBytes(dir.path() / "date" / "rpg" / "21.dat"), monsterDb);
}

}  // namespace
