// The real program on a copy of the sample game folder, a spell as a player casts it: a
// new mage opens the skills page with O, learns the lightning with its starting skill
// point (its icon, then "是" in the question), binds it to F1 (a right press on the icon,
// then F1 in the key row), goes through the town gate onto the monster ground, selects
// the spell with F1 and right-clicks the nearest living monster until the lightning
// strikes it: the spell's MP is paid and the monster loses hit points (or dies).
//
// Monsters move, so a cast may land on an empty cell; the mage casts again, a bounded
// number of times, and walks closer first when the monster is far.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "ui/program.h"
#include "window/form1.h"

namespace {

using e2e::Cell;

constexpr int kLightning = 11;
constexpr std::uint64_t kStrikeFrames = 4000;  // walking near and striking
constexpr std::uint64_t kFramesPerCast = 120;  // the cast and the lightning's fall
constexpr int kMaxCasts = 12;
constexpr int kCastReach = 5;  // cells: the monster is well inside the view

bool Shown(const plat::Control* c) { return c != nullptr && c->Visible; }

void PressOn(const plat::Control* c, Uint8 button) {
  const int x = c->ScreenX() + c->PixelWidth() / 2, y = c->ScreenY() + c->PixelHeight() / 2;
  e2e::PushMotion(x, y);
  e2e::PushButton(SDL_MOUSEBUTTONDOWN, x, y, button);
  e2e::PushButton(SDL_MOUSEBUTTONUP, x, y, button);
}

// The casting as one game step, run once per look at the events.
class Strike {
 public:
  explicit Strike(e2e::GameDriver& driver) : driver_(driver) {}

  bool operator()(plat::SdlHost&) {
    if (start_ == 0) start_ = driver_.frames;
    if (driver_.frames > start_ + kStrikeFrames) Fail("the lightning never struck a monster");
    if (casting_) return Cast();
    if (!e2e::LivingMonster(target_)) target_ = e2e::NearestLivingMonster([](std::int32_t) { return false; });
    if (target_ == 0) Fail("no living monster on the ground");
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target_)];
    const Cell me = e2e::PlayerCell();
    if (std::max(std::abs(m.X - me.x), std::abs(m.Y - me.y)) > kCastReach) {
      e2e::HoldToward(walk_, Cell{m.X, m.Y});
      return false;
    }
    walk_.Release();
    if (!e2e::PlayerAtRest() || G.MouseLeftDown != 0) return false;
    if (G.Player.Mp < 2) return false;  // waits for the MP to come back
    if (++casts > kMaxCasts) Fail("too many casts");
    const SDL_Point v = e2e::ViewCellOf(Cell{m.X, m.Y});
    point_ = e2e::ViewCellPoint(v.x, v.y);
    e2e::PushMotion(point_.x, point_.y);
    e2e::PushButton(SDL_MOUSEBUTTONDOWN, point_.x, point_.y, SDL_BUTTON_RIGHT);
    casting_ = true;
    held_ = true;
    castFrame_ = driver_.frames;
    mpBefore_ = G.Player.Mp;
    lowestMp_ = G.Player.Mp;
    hpBefore = m.HP;
    return false;
  }

  int casts = 0;
  std::int32_t mpPaid = 0;  // the MP taken by the cast that struck
  std::int32_t hpBefore = 0, hpAfter = 0;
  bool died = false;
  std::string kind;

 private:
  [[noreturn]] void Fail(const std::string& why) const {
    std::ostringstream os;
    os << why << " after " << casts << " casts (mp " << G.Player.Mp << "/" << G.Player.MpMax << ", at "
       << e2e::PlayerCell() << ", target #" << target_ << ")";
    throw std::runtime_error(os.str());
  }

  bool Cast() {
    // The button is let go once the cast has begun, so it casts once.
    if (held_ && (G.Player.ActState == ActionState::Magic || driver_.frames > castFrame_ + 10)) {
      e2e::PushButton(SDL_MOUSEBUTTONUP, point_.x, point_.y, SDL_BUTTON_RIGHT);
      held_ = false;
    }
    lowestMp_ = std::min(lowestMp_, G.Player.Mp);
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target_)];
    const bool dead = m.HP <= 0 || m.State == ActionState::Dying;
    if (dead || m.HP < hpBefore) {
      mpPaid = mpBefore_ - lowestMp_;
      hpAfter = m.HP;
      died = dead;
      kind = G.MonsterKinds[static_cast<std::size_t>(m.Kind)].MonName;
      return true;
    }
    if (driver_.frames > castFrame_ + kFramesPerCast && !held_) casting_ = false;  // missed: again
    return false;
  }

  e2e::GameDriver& driver_;
  e2e::MouseHold walk_;
  std::uint64_t start_ = 0, castFrame_ = 0;
  std::int32_t target_ = 0;
  bool casting_ = false, held_ = false;
  SDL_Point point_{0, 0};
  std::int32_t mpBefore_ = 0, lowestMp_ = 0;
};

class SkillsE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(SkillsE2e, AMageLearnsLightningBindsItToF1AndStrikesAMonster) {
  using ui::Form1;
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE}, 300000);
  Strike strike(driver);
  std::int32_t pointsBefore = -1, pointsAfter = -1;
  std::string question, learned, bound;
  std::int32_t selected = 0;
  int part = 0;

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost&) {
    pointsBefore = G.Player.SpPoint;
    e2e::PushKey(SDLK_o);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Shown(Form1.Pmc)) return false;
    PressOn(Form1.McI(kLightning), SDL_BUTTON_LEFT);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Shown(Form1.Psplyn)) return false;
    question = Form1.Lsplynm->Caption;
    e2e::ClickOn(Form1.Lsply);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (Shown(Form1.Psplyn)) return false;
    learned = G.Player.M[kLightning];
    pointsAfter = G.Player.SpPoint;
    PressOn(Form1.McI(kLightning), SDL_BUTTON_RIGHT);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Shown(Form1.Pf)) return false;
    PressOn(Form1.F(1), SDL_BUTTON_LEFT);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (Shown(Form1.Pf)) return false;
    bound = G.Player.M[kLightning];
    e2e::PushKey(SDLK_o);  // the character window put away
    return true;
  });
  steps.push_back([&](plat::SdlHost&) { return !Form1.Pmc->IsShown() && e2e::PlayerAtRest(); });
  e2e::Append(steps, e2e::ThroughTheTownGate());
  steps.push_back([&](plat::SdlHost&) {
    part = G.SubMap;
    G.HpLock = 1;  // a mage of level 1 falls to a few bites; the monsters still strike
    e2e::PushKey(SDLK_F1);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    selected = G.Player.NowMc;
    return true;
  });
  steps.push_back([&](plat::SdlHost& host) { return strike(host); });
  steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });

  e2e::RunNewCharacter(driver, answers, dir.path(), "法师甲", 2);
  EXPECT_TRUE(answers.shown.empty());

  EXPECT_EQ(question, "学习『雷电术』这个技能吗");
  EXPECT_EQ(pointsBefore, 1) << "a new character has one skill point";
  EXPECT_EQ(pointsAfter, 0) << "the first level of the lightning costs that point";
  ASSERT_EQ(learned.size(), 3u);
  EXPECT_EQ(learned[2], '1') << learned;
  EXPECT_EQ(bound, "F11") << "F1 and the level";
  ASSERT_EQ(part, 2);
  EXPECT_EQ(selected, kLightning) << "F1 selects the bound spell";

  EXPECT_GE(strike.casts, 1);
  EXPECT_EQ(strike.mpPaid, 2) << "the lightning costs 2 MP";
  EXPECT_TRUE(strike.died || strike.hpAfter < strike.hpBefore)
      << strike.kind << ": " << strike.hpBefore << " -> " << strike.hpAfter;
}

}  // namespace
