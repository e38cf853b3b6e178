#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <iterator>
#include <vector>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/game_loop.h"

namespace {

using testsupport::ScopedEndThrows;
using testsupport::ScopedFakeClock;

void Post(std::function<void()> fn) {
  plat::InputEvent e{};
  e.type = plat::InputEvent::Custom;
  e.custom = std::move(fn);
  plat::Application::Get().Post(std::move(e));
}

class GameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    G = GameState{};
    G.Player.HP = G.Player.HpMax = 100;  // alive: unpaused frames run the player update
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    savedForm_ = ui::Form1.Form;
    ui::Form1.Form = nullptr;
  }
  void TearDown() override {
    ui::Form1.Form = savedForm_;
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    G = GameState{};
  }

  // Runs the loop until a handler clears GameRunning; the loop then ends the program.
  static void RunLoopToEnd() {
    ScopedEndThrows ends;
    G.GameRunning = 1;
    EXPECT_THROW(GameLoop(), plat::ProgramEnded);
  }

  plat::Form* savedForm_ = nullptr;
};

TEST_F(GameLoopTest, AFrameLastsAtLeast31Milliseconds) {
  ScopedFakeClock fake;
  std::vector<std::int64_t> sleptBefore;
  // Pass 1 takes 40 ms, pass 2 takes 10 ms; each handler runs inside its pass and
  // notes the sleeping done so far.
  Post([&] {
    sleptBefore.push_back(fake.clock.TotalSlept());
    fake.clock.Advance(40);
    Post([&] {
      sleptBefore.push_back(fake.clock.TotalSlept());
      fake.clock.Advance(10);
      Post([&] {
        sleptBefore.push_back(fake.clock.TotalSlept());
        G.GameRunning = 0;
      });
    });
  });
  RunLoopToEnd();
  ASSERT_EQ(sleptBefore.size(), 3u);
  EXPECT_EQ(sleptBefore[1] - sleptBefore[0], 0);   // the 40 ms pass sleeps 0
  EXPECT_EQ(sleptBefore[2] - sleptBefore[1], 21);  // the 10 ms pass sleeps 21
  EXPECT_EQ(G.FrameCount, 3);
}

TEST_F(GameLoopTest, PausedPassesNeitherCountNorAgeButWaitOutTheirFrame) {
  ScopedFakeClock fake;
  AddSysMessage("暂停", 255, 0, 0);
  int pausedPasses = 0;
  std::function<void()> step = [&] {
    if (G.GamePaused == 0) {
      G.GamePaused = 1;  // after the first frame
    } else if (++pausedPasses == 5) {
      G.GameRunning = 0;
      return;
    }
    Post(step);
  };
  Post(step);
  RunLoopToEnd();
  EXPECT_EQ(G.FrameCount, 1);
  EXPECT_EQ(G.SysMessages[1].Life, kSysMessageLife - 1);
  // The frame and each of the five paused passes slept 31 ms.
  EXPECT_EQ(fake.clock.TotalSlept(), 6 * 31);
}

TEST_F(GameLoopTest, APausedPassThatTookTimeWaitsOnlyTheRestOfItsFrame) {
  ScopedFakeClock fake;
  G.GamePaused = 1;
  std::vector<std::int64_t> sleptBefore;
  // Paused passes of 0, 12, 31 and 50 ms of work.
  const std::int64_t work[] = {0, 12, 31, 50};
  std::size_t pass = 0;
  std::function<void()> step = [&] {
    sleptBefore.push_back(fake.clock.TotalSlept());
    if (pass == std::size(work)) {
      G.GameRunning = 0;
      return;
    }
    fake.clock.Advance(work[pass++]);
    Post(step);
  };
  Post(step);
  RunLoopToEnd();
  ASSERT_EQ(sleptBefore.size(), 5u);
  const std::int64_t want[] = {31, 19, 0, 0};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(sleptBefore[i + 1] - sleptBefore[i], want[i]) << "pass " << i;
  EXPECT_EQ(G.FrameCount, 0);
}

TEST_F(GameLoopTest, TheGraveKeyResumesOnlyWhenToggledAndReleased) {
  ScopedFakeClock fake;
  plat::Form window("Form1");
  window.Visible = false;
  ui::Form1.Form = &window;
  G.GamePaused = 1;
  G.WindowHidden = 1;  // paused by the hide key
  G.GAMELEVEL = 1;
  std::vector<std::string> seen;
  Post([&] {
    plat::SetKeyHeld(plat::vk::Grave, true);  // held: negative, no resume
    Post([&] {
      seen.push_back(G.GamePaused == 1 && !window.Visible ? "held: paused" : "held: resumed");
      // Pressed and released twice more: the toggle bit is back to 0.
      plat::SetKeyHeld(plat::vk::Grave, false);
      plat::SetKeyHeld(plat::vk::Grave, true);
      plat::SetKeyHeld(plat::vk::Grave, false);
      Post([&] {
        seen.push_back(G.GamePaused == 1 ? "untoggled: paused" : "untoggled: resumed");
        plat::SetKeyHeld(plat::vk::Grave, true);
        plat::SetKeyHeld(plat::vk::Grave, false);  // toggled on, not held
        Post([&] {
          seen.push_back(G.GamePaused == 0 && window.Visible ? "toggled: resumed" : "toggled: paused");
          G.GameRunning = 0;
        });
      });
    });
  });
  RunLoopToEnd();
  EXPECT_EQ(seen, (std::vector<std::string>{"held: paused", "untoggled: paused", "toggled: resumed"}));
  EXPECT_EQ(G.FrameCount, 1);  // only the pass after the resume ran a frame
}

TEST_F(GameLoopTest, ResumingWithoutAWindowStillUnpauses) {
  ScopedFakeClock fake;
  G.GamePaused = 1;
  G.WindowHidden = 1;
  plat::SetKeyHeld(plat::vk::Grave, true);
  plat::SetKeyHeld(plat::vk::Grave, false);
  Post([] { Post([] { G.GameRunning = 0; }); });
  RunLoopToEnd();
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_EQ(G.FrameCount, 1);
}

TEST_F(GameLoopTest, TheGraveKeyDoesNotResumeAGamePausedByAnythingElse) {
  ScopedFakeClock fake;
  G.GamePaused = 1;  // the system menu or a story text, not the hide key
  plat::SetKeyHeld(plat::vk::Grave, true);
  plat::SetKeyHeld(plat::vk::Grave, false);  // toggled on, released
  Post([] { Post([] { G.GameRunning = 0; }); });
  RunLoopToEnd();
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(G.FrameCount, 0);
}

TEST_F(GameLoopTest, LeavingTheLoopEndsTheProgram) {
  ScopedEndThrows ends;
  G.GameRunning = 0;
  try {
    GameLoop();
    FAIL() << "GameLoop returned";
  } catch (const plat::ProgramEnded& e) {
    EXPECT_EQ(e.code, 0);
  }
  EXPECT_EQ(G.FrameCount, 0);
}

// --- the key wait

TEST_F(GameLoopTest, WaitAnyKeyReturnsAtOnceWhenAKeyIsHeld) {
  for (int key : {plat::vk::Return, plat::vk::Space, plat::vk::LButton, plat::vk::RButton}) {
    SCOPED_TRACE(key);
    plat::ResetKeyStates();
    plat::Application::Get().Reset();
    plat::SetKeyHeld(key, true);
    int pumped = 0;
    Post([&] {
      ++pumped;
      Post([&] { ++pumped; });
    });
    WaitAnyKey();
    EXPECT_EQ(pumped, 1);  // one pump, then the key was seen
    EXPECT_EQ(plat::Application::Get().Pending(), 1u);
  }
}

TEST_F(GameLoopTest, WaitAnyKeyPumpsUntilAKeyIsHeld) {
  // A released key with its toggle set is not held.
  plat::SetKeyHeld(plat::vk::Space, true);
  plat::SetKeyHeld(plat::vk::Space, false);
  int pumped = 0;
  Post([&] {
    ++pumped;
    Post([&] {
      ++pumped;
      plat::SetKeyHeld(plat::vk::Escape, true);  // not one of the four
      Post([&] {
        ++pumped;
        plat::SetKeyHeld(plat::vk::RButton, true);
        Post([&] { ++pumped; });
      });
    });
  });
  WaitAnyKey();
  EXPECT_EQ(pumped, 3);
}

TEST_F(GameLoopTest, WaitAnyKeySeesATapThatCameAndWentInOnePump) {
  for (int key : {plat::vk::Return, plat::vk::Space, plat::vk::LButton, plat::vk::RButton}) {
    SCOPED_TRACE(key);
    plat::ResetKeyStates();
    plat::Application::Get().Reset();
    int pumped = 0;
    Post([&, key] {
      ++pumped;
      // Pressed and released before the wait looks again: nothing is held by then.
      plat::SetKeyHeld(key, true);
      plat::SetKeyHeld(key, false);
      Post([&] {
        ++pumped;
        plat::SetKeyHeld(plat::vk::Escape, true);
        plat::SetKeyHeld(plat::vk::Escape, false);  // not one of the four
        // Should the tap be missed, the wait still ends here.
        Post([&] {
          ++pumped;
          plat::SetKeyHeld(plat::vk::LButton, true);
        });
      });
    });
    WaitAnyKey();
    EXPECT_EQ(pumped, 1);
  }
}

TEST_F(GameLoopTest, WaitAnyKeyIsNotEndedByATapOfAnotherKey) {
  plat::SetKeyHeld(plat::vk::Escape, true);
  plat::SetKeyHeld(plat::vk::Escape, false);
  int pumped = 0;
  Post([&] {
    ++pumped;
    plat::SetKeyHeld(plat::vk::Escape, true);
    plat::SetKeyHeld(plat::vk::Escape, false);
    Post([&] {
      ++pumped;
      plat::SetKeyHeld(plat::vk::Space, true);
    });
  });
  WaitAnyKey();
  EXPECT_EQ(pumped, 2);
}

TEST_F(GameLoopTest, WaitAnyKeyRestsBetweenPumpsButNotBeforeTheFirstLook) {
  ScopedFakeClock fake;
  int pumped = 0;
  Post([&] {
    ++pumped;
    Post([&] {
      ++pumped;
      Post([&] {
        ++pumped;
        plat::SetKeyHeld(plat::vk::Return, true);
      });
    });
  });
  WaitAnyKey();
  EXPECT_EQ(pumped, 3);
  EXPECT_EQ(fake.clock.TotalSlept(), 10);  // 5 ms before the second and the third pump

  // A key already held: one pump, no rest.
  WaitAnyKey();
  EXPECT_EQ(fake.clock.TotalSlept(), 10);
}

// --- the window while paused

TEST_F(GameLoopTest, APausedPassShowsTheWindowOnceAndADrawnPassLeavesItToTheScene) {
  ScopedFakeClock fake;
  ResetGraphics();
  int shown = 0;
  AttachDisplay(nullptr, plat::Texture{}, [&] { ++shown; });
  std::vector<int> seen;
  int pass = 0;
  std::function<void()> step = [&] {
    seen.push_back(shown);
    ++pass;
    if (pass == 1) G.GamePaused = 1;  // after the first, drawn, pass
    if (pass == 4) G.GamePaused = 0;  // resumed in the fourth pass, which drew no scene
    if (pass == 6) {
      G.GameRunning = 0;
      return;
    }
    Post(step);
  };
  Post(step);
  RunLoopToEnd();
  ResetGraphics();
  // Every pass shows the window exactly once: passes 1, 5 and 6 through the scene drawn
  // before their events, the paused passes 2, 3 and 4 after their events.
  EXPECT_EQ(seen, (std::vector<int>{1, 1, 2, 3, 5, 6}));
  EXPECT_EQ(shown, 6);
  EXPECT_EQ(G.FrameCount, 3);
}

// --- system messages

TEST_F(GameLoopTest, TheTwentyFirstMessageIsLost) {
  for (int i = 1; i <= 20; ++i) AddSysMessage("第" + std::to_string(i), i, 0, 0);
  TickSysMessages();
  AddSysMessage("多余", 9, 9, 9);
  for (int i = 1; i <= 20; ++i) {
    EXPECT_EQ(G.SysMessages[static_cast<std::size_t>(i)].Text, "第" + std::to_string(i));
    EXPECT_EQ(G.SysMessages[static_cast<std::size_t>(i)].R, i);
    EXPECT_EQ(G.SysMessages[static_cast<std::size_t>(i)].Life, kSysMessageLife - 1);
  }
  EXPECT_EQ(G.SysMessages[21].Text, "");
  EXPECT_EQ(G.SysMessages[21].Life, 0);
  EXPECT_EQ(G.SysMessages[0].Life, 0);
}

TEST_F(GameLoopTest, MessagesOfOneFrameLeaveOnConsecutiveTicks) {
  AddSysMessage("先", 255, 0, 0);
  AddSysMessage("后", 0, 255, 0);
  for (int t = 1; t <= 128; ++t) TickSysMessages();
  EXPECT_EQ(G.SysMessages[1].Text, "先");
  EXPECT_EQ(G.SysMessages[1].Life, 2);
  TickSysMessages();  // the 129th tick
  EXPECT_EQ(G.SysMessages[1].Text, "后");
  EXPECT_EQ(G.SysMessages[1].G, 255);
  EXPECT_EQ(G.SysMessages[1].Life, 2);
  EXPECT_EQ(G.SysMessages[2].Life, 0);
  EXPECT_EQ(G.SysMessages[2].Text, "");
  TickSysMessages();
  EXPECT_EQ(G.SysMessages[1].Life, 0);
  EXPECT_EQ(G.SysMessages[1].Text, "");
}

TEST_F(GameLoopTest, ALineMovedUpIsNotAgedTwiceInOneTick) {
  AddSysMessage("甲", 1, 1, 1);
  for (int t = 1; t <= 10; ++t) TickSysMessages();
  AddSysMessage("乙", 2, 2, 2);
  AddSysMessage("丙", 3, 3, 3);
  for (int t = 11; t <= 129; ++t) TickSysMessages();
  // 甲 left on tick 129; 乙 moved into its place and was not aged again in that tick,
  // while 丙, moved into the place the tick went on with, was.
  EXPECT_EQ(G.SysMessages[1].Text, "乙");
  EXPECT_EQ(G.SysMessages[1].Life, 130 - 118);
  EXPECT_EQ(G.SysMessages[2].Text, "丙");
  EXPECT_EQ(G.SysMessages[2].Life, 130 - 119);
  EXPECT_EQ(G.SysMessages[3].Life, 0);
  // A freed line takes the next message.
  AddSysMessage("丁", 4, 4, 4);
  EXPECT_EQ(G.SysMessages[3].Text, "丁");
  EXPECT_EQ(G.SysMessages[3].Life, 130);
}

TEST_F(GameLoopTest, LinesReachingTheirEndTogetherLeaveEveryOtherOneATick) {
  for (int i = 1; i <= 20; ++i) AddSysMessage(std::to_string(i), 0, 0, 0);
  for (int t = 1; t <= 128; ++t) TickSysMessages();
  auto texts = [] {
    std::vector<std::string> out;
    for (std::size_t i = 1; i <= 20; ++i)
      if (G.SysMessages[i].Life > 0) out.push_back(G.SysMessages[i].Text);
    return out;
  };
  // Each removal moves the next line into place unaged, so every other line stays.
  TickSysMessages();
  EXPECT_EQ(texts(), (std::vector<std::string>{"2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}));
  EXPECT_EQ(G.SysMessages[11].Text, "");
  EXPECT_EQ(G.SysMessages[20].Text, "");
  TickSysMessages();
  EXPECT_EQ(texts(), (std::vector<std::string>{"4", "8", "12", "16", "20"}));
  TickSysMessages();
  EXPECT_EQ(texts(), (std::vector<std::string>{"8", "16"}));
  TickSysMessages();
  EXPECT_EQ(texts(), (std::vector<std::string>{"16"}));
  TickSysMessages();
  EXPECT_TRUE(texts().empty());
  for (std::size_t i = 0; i <= 21; ++i) EXPECT_EQ(G.SysMessages[i].Life, 0);
}

}  // namespace
