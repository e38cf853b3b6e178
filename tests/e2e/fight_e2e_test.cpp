// The real program on a copy of the sample game folder, a fight as a player has it: a new
// warrior goes through the town gate onto the monster ground, holds the mouse on the
// nearest living monster (on the next cell of a way to it while it is far, on the
// monster itself once it is next to the warrior, which then swings) until it dies,
// gains its experience, walks onto what it dropped and picks it up, and fights on until
// a level-up has saved the game after the pick-up. The save on disk is then read back
// with the game's own loader.
//
// Drops are random, so the warrior fights one monster after another until something
// drops (and goes out to the town and back when the ground is empty, which brings the
// monsters back); every wait is bounded in frames and every give-up says why.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "ui/program.h"
#include "window/form1.h"
#include "world/items.h"
#include "world/save_game.h"

namespace {

using e2e::Cell;

constexpr std::uint64_t kFramesPerMonster = 2500;  // reaching it and striking it down
constexpr std::uint64_t kFramesPerFetch = 600;     // walking onto a drop
constexpr std::uint64_t kFramesToDie = 200;        // the dying animation and the drops
constexpr std::uint64_t kFightFrames = 60000;      // the whole fight
constexpr std::uint64_t kFramesPerRefill = 1500;   // to the town and back
constexpr int kMaxKills = 40;
constexpr int kMaxRefills = 6;
// The gates between the monster ground (part 2) and the town (part 1).
constexpr Cell kWestGate{1, 20};
constexpr Cell kTownGate{36, 15};

// One monster struck down.
struct Kill {
  std::string kind;
  std::int32_t kindEx = 0;
  std::int32_t levelBefore = 0, exBefore = 0, levelAfter = 0, exAfter = 0;
  std::vector<ItemRecord> drops;  // with the cells they lie on
  Cell at;
};

// What the character held when a level-up saved it.
struct Snapshot {
  std::int32_t level = 0, ex = 0, money = 0, hpMax = 0;
  std::vector<std::string> items;  // slots 1..120
};

Snapshot Take() {
  Snapshot s;
  s.level = G.Player.Level;
  s.ex = G.Player.Ex;
  s.money = G.Player.Money;
  s.hpMax = G.Player.HpMax;
  for (int i = 1; i <= kItemSlots; ++i) s.items.push_back(G.Player.Items[static_cast<std::size_t>(i)].Name);
  return s;
}

bool BagHolds(const std::string& name) {
  for (int i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[static_cast<std::size_t>(i)].Name == name) return true;
  }
  return false;
}

// The fight as one game step: a small state machine run once per look at the events.
class Fight {
 public:
  explicit Fight(e2e::GameDriver& driver) : driver_(driver) {}

  bool operator()(plat::SdlHost&) {
    // A monster's strike on the warrior floats its damage (or "MISS") in red.
    for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxFloatingTexts); ++i) {
      const FloatingText& t = G.FloatingTexts[i];
      const bool strike = t.Age > 0 && t.R == 255 && t.G == 50 && t.B == 50;
      if (strike && (textAge_[i] == 0 || t.Age < textAge_[i])) ++strikesTaken;
      textAge_[i] = strike ? t.Age : 0;
    }
    if (G.Player.HP <= 0) Fail("the warrior died");
    // The level-up saves in the frame that gives the experience: what the character holds
    // now is what went into the file.
    if (!picked.Name.empty() && !savedAfterPick && G.Player.Level > levelAtPick) {
      savedAfterPick = true;
      saved = Take();
    }
    if (driver_.frames > startFrame_ + kFightFrames) Fail("the fight ran out of frames");
    switch (phase_) {
      case Phase::Start:
        startFrame_ = driver_.frames;
        phase_ = Phase::Choose;
        [[fallthrough]];
      case Phase::Choose: return Choose();
      case Phase::Attack: Attack(); break;
      case Phase::Dying: Dying(); break;
      case Phase::Fetch: Fetch(); break;
      case Phase::Out:
      case Phase::Back: Refill(); break;
    }
    return false;
  }

  std::vector<Kill> kills;
  std::vector<std::string> skipped;  // monsters given up, with why
  ItemRecord picked;                 // the drop picked up
  std::int32_t moneyBefore = 0, moneyAfter = 0;
  bool pickedInBag = false;
  std::int32_t levelAtPick = 0;
  Snapshot saved;  // at the first level-up after the pick-up
  bool savedAfterPick = false;
  int refills = 0;
  int strikesTaken = 0;  // strikes seen landing on the warrior

 private:
  enum class Phase { Start, Choose, Attack, Dying, Fetch, Out, Back };

  [[noreturn]] void Fail(const std::string& why) const {
    std::ostringstream os;
    os << why << " after " << kills.size() << " kills (level " << G.Player.Level << ", ex " << G.Player.Ex
       << ", hp " << G.Player.HP << "/" << G.Player.HpMax << ", at " << e2e::PlayerCell() << ")";
    for (const std::string& s : skipped) os << "; " << s;
    throw std::runtime_error(os.str());
  }

  void Begin(Phase p) {
    phase_ = p;
    phaseFrame_ = driver_.frames;
  }
  std::uint64_t PhaseFrames() const { return driver_.frames - phaseFrame_; }

  bool Choose() {
    hold_.Release();
    if (!picked.Name.empty() && savedAfterPick) return true;  // the fight is over
    if (static_cast<int>(kills.size()) >= kMaxKills) Fail("too many kills without a drop and a save after it");
    target_ = e2e::NearestLivingMonster([this](std::int32_t n) { return givenUp_.count(n) > 0; });
    if (target_ == 0) {
      // All of them are down: out through the west gate and back, and the part has its
      // monsters again.
      if (++refills > kMaxRefills) Fail("the ground was emptied too often");
      givenUp_.clear();
      Begin(Phase::Out);
      return false;
    }
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target_)];
    Kill k;
    k.kind = G.MonsterKinds[static_cast<std::size_t>(m.Kind)].MonName;
    k.kindEx = G.MonsterKinds[static_cast<std::size_t>(m.Kind)].Ex;
    current_ = k;
    Begin(Phase::Attack);
    return false;
  }

  // Held on the west gate of the monster ground until the town is reached, then on the
  // town's east gate until the ground is back.
  void Refill() {
    if (PhaseFrames() > kFramesPerRefill) Fail("could not go out to the town and back");
    if (phase_ == Phase::Out) {
      if (G.SubMap == 2) {
        e2e::HoldToward(hold_, kWestGate);
        return;
      }
      hold_.Release();
      phase_ = Phase::Back;
      return;
    }
    if (G.SubMap == 1) {
      e2e::HoldToward(hold_, kTownGate);
      return;
    }
    hold_.Release();
    if (e2e::PlayerAtRest() && G.MouseLeftDown == 0) phase_ = Phase::Choose;
  }

  void Attack() {
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(target_)];
    if (m.HP <= 0 || m.State == ActionState::Dying) {
      hold_.Release();
      current_.at = Cell{m.X, m.Y};
      groundBefore_ = G.GroundItemCount;
      Begin(Phase::Dying);
      return;
    }
    if (PhaseFrames() > kFramesPerMonster) {
      std::ostringstream os;
      os << "gave up " << current_.kind << " #" << target_ << " at " << Cell{m.X, m.Y};
      skipped.push_back(os.str());
      givenUp_.insert(target_);
      phase_ = Phase::Choose;
      hold_.Release();
      return;
    }
    // The experience before the killing blow: the death adds it in the same frame.
    current_.levelBefore = G.Player.Level;
    current_.exBefore = G.Player.Ex;
    e2e::HoldToward(hold_, Cell{m.X, m.Y});
  }

  void Dying() {
    const bool gone = GridMonster(current_.at.x, current_.at.y) != target_;
    if (!gone && PhaseFrames() <= kFramesToDie) return;
    if (!gone) Fail("a struck-down monster stayed on its cell: " + current_.kind);
    current_.levelAfter = G.Player.Level;
    current_.exAfter = G.Player.Ex;
    for (std::int32_t k = groundBefore_ + 1; k <= G.GroundItemCount; ++k) {
      current_.drops.push_back(G.GroundItems[static_cast<std::size_t>(k)]);
    }
    kills.push_back(current_);
    if (picked.Name.empty() && !current_.drops.empty()) {
      fetch_ = current_.drops.front();
      moneyBefore = G.Player.Money;
      Begin(Phase::Fetch);
      return;
    }
    phase_ = Phase::Choose;
  }

  void Fetch() {
    const Cell at{fetch_.X, fetch_.Y};
    if (ItemGridAt(at.x, at.y) == 0) {  // taken off the ground
      hold_.Release();
      if (e2e::PlayerCell() != at) Fail("the drop " + fetch_.Name + " left the ground without the warrior on it");
      picked = fetch_;
      moneyAfter = G.Player.Money;
      pickedInBag = BagHolds(fetch_.Name);
      levelAtPick = G.Player.Level;
      phase_ = Phase::Choose;
      return;
    }
    if (PhaseFrames() > kFramesPerFetch) Fail("could not pick up " + fetch_.Name);
    // Held on the drop: the warrior walks onto it, and then the pointer is on the warrior
    // itself, which picks it up.
    e2e::HoldToward(hold_, at);
  }

  e2e::GameDriver& driver_;
  std::array<std::int32_t, kMaxFloatingTexts + 1> textAge_{};
  Phase phase_ = Phase::Start;
  std::uint64_t startFrame_ = 0, phaseFrame_ = 0;
  std::int32_t target_ = 0;
  std::set<std::int32_t> givenUp_;
  Kill current_;
  std::int32_t groundBefore_ = 0;
  ItemRecord fetch_;
  e2e::MouseHold hold_;
};

class FightE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(FightE2e, AWarriorKillsMonstersPicksUpADropAndALevelUpSavesIt) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE}, 500000);
  Fight fight(driver);
  int part = 0;
  Cell arrived;

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  e2e::Append(steps, e2e::ThroughTheTownGate());
  steps.push_back([&](plat::SdlHost&) {
    part = G.SubMap;
    arrived = e2e::PlayerCell();
    // A bare-handed warrior of level 1 loses to a deer about every other time, and the
    // drops may take many fights: the game's hit-point lock keeps it standing. Monsters
    // still strike it.
    G.HpLock = 1;
    return true;
  });
  steps.push_back([&](plat::SdlHost& host) { return fight(host); });
  steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });

  e2e::RunNewWarrior(driver, answers, dir.path(), "剑客");
  EXPECT_TRUE(answers.shown.empty());
  ASSERT_EQ(part, 2) << "the town gate leads to the monster ground";
  EXPECT_EQ(arrived, (Cell{3, 20}));

  EXPECT_GT(fight.strikesTaken, 0) << "the monsters struck back";

  // Every kill gave its kind's experience; a level-up took L x L x 10 of it.
  ASSERT_FALSE(fight.kills.empty());
  for (const Kill& k : fight.kills) {
    SCOPED_TRACE(k.kind);
    EXPECT_GT(k.kindEx, 0);
    std::int64_t ex = static_cast<std::int64_t>(k.exBefore) + k.kindEx;
    for (std::int32_t l = k.levelBefore; l < k.levelAfter; ++l) ex -= static_cast<std::int64_t>(l) * l * 10;
    EXPECT_EQ(k.exAfter, ex);
    EXPECT_GE(k.levelAfter, k.levelBefore);
    // A drop lies within ten cells of where the monster fell.
    for (const ItemRecord& d : k.drops) {
      EXPECT_FALSE(d.Name.empty());
      EXPECT_LE(std::max(std::abs(d.X - k.at.x), std::abs(d.Y - k.at.y)), 10) << d.Name;
      EXPECT_NE((Cell{d.X, d.Y}), k.at) << "a drop never lands on the monster's own cell";
    }
  }

  // The pick-up: gold goes to the purse, anything else into the bag.
  ASSERT_FALSE(fight.picked.Name.empty());
  if (fight.picked.Name.rfind("金币", 0) == 0) {
    const int amount = std::stoi(fight.picked.Name.substr(std::string("金币").size()));
    EXPECT_GT(amount, 0);
    EXPECT_EQ(fight.moneyAfter - fight.moneyBefore, amount) << fight.picked.Name;
  } else {
    EXPECT_TRUE(fight.pickedInBag) << fight.picked.Name;
    EXPECT_EQ(fight.moneyAfter, fight.moneyBefore);
  }

  // The level-up after the pick-up saved the character: the file on disk, read back by
  // the game's own loader, holds what the character had then.
  ASSERT_TRUE(fight.savedAfterPick);
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame("剑客"));
  const Snapshot loaded = Take();
  EXPECT_EQ(loaded.level, fight.saved.level);
  EXPECT_EQ(loaded.ex, fight.saved.ex);
  EXPECT_EQ(loaded.money, fight.saved.money);
  EXPECT_EQ(loaded.hpMax, fight.saved.hpMax);
  EXPECT_EQ(loaded.items, fight.saved.items);
  EXPECT_GT(loaded.level, 1);
}

}  // namespace
