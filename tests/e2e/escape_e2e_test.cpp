// The real program: Escape answers the boxes as their cancel button does. A new warrior
// at the druggist's storage types an amount into the gold box and presses Escape: no
// gold moves, and the key does not go on to the game's own Escape question. That
// question (leave the game?) is answered with Escape too, and the game goes on.
#include <SDL.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "platform/forms.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

using ui::Form1;

const e2e::Cell kDruggist{17, 10};

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

struct Purse {
  std::int32_t money = 0, bank = 0;
  bool operator==(const Purse&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Purse& p) { return os << p.money << " / " << p.bank; }
Purse Now() { return Purse{G.Player.Money, G.Player.Bank}; }

class EscapeE2e : public e2e::ProgramFolderTest {};

TEST_F(EscapeE2e, EscapeCancelsTheGoldBoxAndTheLeaveQuestion) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});

  Purse start, afterEscape, afterStore;
  bool running = false, stillPaused = true;
  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost&) {
    e2e::ClickCell(kDruggist);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Pspt->IsShown()) return false;
    e2e::ClickOn(Form1.Lb(3));  // "存取东西"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Pbank->IsShown()) return false;
    start = Now();
    if (start.money <= 0) Fail("the new warrior has no gold to store");
    answers.inputs.push_back({"12", SDLK_ESCAPE});
    e2e::ClickOn(Form1.Command7);  // "存钱"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    afterEscape = Now();
    // The same box answered with Return: the keys do reach it.
    answers.inputs.push_back({"12", SDLK_RETURN});
    e2e::ClickOn(Form1.Command7);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    afterStore = Now();
    e2e::ClickOn(Form1.Lquit);
    return true;
  });
  // Escape in the game asks whether to leave; Escape on the question stays.
  steps.push_back([&](plat::SdlHost&) {
    if (Form1.Pbank->Visible) return false;
    answers.answers.push_back(SDLK_ESCAPE);
    e2e::PushKey(SDLK_ESCAPE);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (answers.results.empty()) return false;
    running = G.GameRunning != 0;
    stillPaused = G.GamePaused != 0;
    EndGame();
  });
  e2e::RunNewWarrior(driver, answers, dir.path(), "掌柜");

  EXPECT_EQ(afterEscape, start);
  EXPECT_EQ(afterStore, (Purse{start.money - 12, 12}));
  ASSERT_EQ(answers.inputResults.size(), 2u);
  EXPECT_EQ(answers.inputResults[0], std::nullopt);
  EXPECT_EQ(answers.inputResults[1], std::optional<std::string>("12"));
  // Only the leave question came up besides the two gold boxes, and Escape answered it
  // with its cancel button.
  ASSERT_EQ(answers.shown.size(), 3u);
  EXPECT_EQ(answers.shown[2], "确实要退出游戏吗？");
  EXPECT_EQ(answers.results, (std::vector<int>{plat::kCancel}));
  EXPECT_TRUE(running);
  EXPECT_FALSE(stillPaused);
}

}  // namespace
