// Drives the real program into a game and through it: the logos are tapped away, the
// title screen is worked one step per pass (ProgramHooks::leaveTitle), and once a
// difficulty is chosen the game is worked one step per look at the window's events
// (the game loop never returns to the title screen, so its steps run from the event
// source). The last game step ends the program through EndGame.
//
// Time is a fast clock: every sleep moves it on at once, so the 31 ms frames of the
// game loop run back to back.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/program_driver.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/sdl_host.h"
#include "window/form1.h"
#include "ui/game_screen_input.h"
#include "ui/program.h"

namespace e2e {

// A clock that moves only when the program sleeps, by the time it sleeps.
class FastClock : public plat::Clock {
 public:
  FastClock() { plat::SetClock(this); }
  ~FastClock() override { plat::SetClock(nullptr); }
  std::int64_t Now() override { return now_; }
  void Sleep(std::int64_t ms) override {
    now_ += ms;
    ++sleeps;
  }
  std::uint64_t sleeps = 0;

 private:
  std::int64_t now_ = 86'400'000;
};

inline void PushButton(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

inline void PushMotion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  SDL_PushEvent(&e);
}

inline void ClickAt(int x, int y) {
  PushButton(SDL_MOUSEBUTTONDOWN, x, y);
  PushButton(SDL_MOUSEBUTTONUP, x, y);
}

inline void ClickOn(const plat::Control* c) {
  ClickAt(c->ScreenX() + c->PixelWidth() / 2, c->ScreenY() + c->PixelHeight() / 2);
}

// The window pixel at the centre of view cell (c, r) of the game screen.
inline SDL_Point ViewCellPoint(int c, int r) {
  const plat::Control* gs = ui::Form1.GameScreen;
  return SDL_Point{gs->ScreenX() + gs->ClientInset() + c * ui::kCellPixelsWide + ui::kCellPixelsWide / 2,
                   gs->ScreenY() + gs->ClientInset() + r * ui::kCellPixelsHigh + ui::kCellPixelsHigh / 2};
}

struct Cell {
  std::int32_t x = 0, y = 0;
  bool operator==(const Cell&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Cell& c) { return os << "(" << c.x << ", " << c.y << ")"; }
inline Cell PlayerCell() { return Cell{G.ViewX + 8, G.ViewY + 8}; }

// The player stands still, with the view at rest.
inline bool PlayerAtRest() {
  return G.Player.ActState == ActionState::Stand && G.ScrollX == 0 && G.ScrollY == 0;
}

class GameDriver : public plat::EventSource {
 public:
  // A game step: looks at the game after a frame, may push input; true when it is done
  // and the next step takes over.
  using Step = std::function<bool(plat::SdlHost& host)>;

  // `pollLimit` bounds the looks at the events before the game starts and those of each
  // game step: a run that gets nowhere fails instead of running on.
  GameDriver(FastClock& clock, std::deque<SDL_Keycode> logoKeys, std::uint64_t pollLimit = 5000)
      : clock_(clock), logoKeys_(std::move(logoKeys)), pollLimit_(pollLimit) {}

  void Attach(plat::SdlHost& host) {
    host_ = &host;
    plat::Application::Get().SetEventSource(this);
  }

  // The title screen's steps, one per pass; after the last one the hook keeps the title
  // screen (the game started by then never comes back to it).
  std::function<bool(plat::SdlHost&)> TitleHook(std::vector<std::function<void(plat::SdlHost&)>> steps) {
    return [this, steps = std::move(steps)](plat::SdlHost& host) {
      if (titleNext_ < steps.size() && !::testing::Test::HasFatalFailure()) {
        steps[titleNext_++](host);
        return false;
      }
      leftTitle = true;  // back on the title screen after every step: no game was started
      return true;
    };
  }

  void Poll() override {
    if (++polls_ > pollLimit_) {
      throw std::runtime_error(G.GAMELEVEL == 0 ? "the program never started a game"
                                                : "the game got stuck at step " + std::to_string(next_));
    }
    const bool slept = clock_.sleeps != sleepsSeen_;
    sleepsSeen_ = clock_.sleeps;
    // The logos wait for a key while the program sleeps between its looks at the events.
    const bool titleShown = ui::Form1.MainMeun != nullptr && ui::Form1.MainMeun->Visible;
    if (G.GAMELEVEL == 0 && slept && !titleShown && !logoKeys_.empty()) {
      PushKey(logoKeys_.front());
      logoKeys_.pop_front();
      ++logoTaps;
    }
    if (G.GAMELEVEL != 0) {
      if (G.LoopStartTick != lastFrameTick_) {
        lastFrameTick_ = G.LoopStartTick;
        ++frames;
      }
      if (next_ < steps.size() && steps[next_](*host_)) {
        ++next_;
        polls_ = 0;
      }
    }
    host_->Poll();
  }

  std::size_t StepsDone() const { return next_; }

  std::vector<Step> steps;
  int logoTaps = 0;
  std::uint64_t frames = 0;  // game frames seen
  bool leftTitle = false;

 private:
  FastClock& clock_;
  std::deque<SDL_Keycode> logoKeys_;
  std::uint64_t pollLimit_;
  plat::SdlHost* host_ = nullptr;
  std::uint64_t polls_ = 0;
  std::uint64_t sleepsSeen_ = 0;
  std::int64_t lastFrameTick_ = 0;
  std::size_t titleNext_ = 0;
  std::size_t next_ = 0;
};

// The title screen's steps of a new character: the name typed, the class chosen from
// the drop-down list (row 0..2), created, chosen in the list, continued, and the normal
// difficulty clicked.
inline std::vector<std::function<void(plat::SdlHost&)>> NewCharacterToNormal(const std::string& name, int classRow) {
  using ui::Form1;
  return {
      [](plat::SdlHost&) {
        ASSERT_TRUE(Form1.MainMeun->Visible);
        ClickOn(Form1.ID);
      },
      [name](plat::SdlHost&) { PushText(name); },
      [name](plat::SdlHost&) {
        ASSERT_EQ(Form1.ID->Text, name);
        ClickOn(Form1.Cb);  // opens the drop-down list
      },
      [classRow](plat::SdlHost&) {
        ASSERT_TRUE(Form1.Cb->Dropped);
        ClickAt(Form1.Cb->ScreenX() + 10,
                Form1.Cb->ScreenY() + Form1.Cb->PixelHeight() + classRow * plat::kListRowPixels + 7);
      },
      [](plat::SdlHost&) { ClickOn(Form1.Command1); },
      [](plat::SdlHost&) {
        ASSERT_EQ(Form1.IdList->ListCount(), 1);
        ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);
      },
      [](plat::SdlHost&) {
        ASSERT_EQ(Form1.IdList->ListIndex(), 0);
        ClickOn(Form1.Command2);
      },
      [](plat::SdlHost&) {
        ASSERT_TRUE(Form1.PLevel->IsShown());
        ClickOn(Form1.I_Nm);
      },
  };
}

// The first game steps of a new character: the intro picture waits for a key (tapped
// once the program sleeps under it), then the game runs its first frames.
inline std::vector<GameDriver::Step> PastTheIntro(FastClock& clock) {
  auto sleeps = std::make_shared<std::uint64_t>(0);
  return {
      [&clock, sleeps](plat::SdlHost&) {
        // Under the intro the frame strips are hidden and the flag is already set.
        const bool underIntro = G.Et[19] == 1 && ui::Form1.PbkUp != nullptr && !ui::Form1.PbkUp->Visible;
        if (!underIntro) {
          *sleeps = clock.sleeps;
          return false;
        }
        if (clock.sleeps == *sleeps) return false;  // not waiting yet
        PushKey(SDLK_RETURN);
        return true;
      },
      [](plat::SdlHost&) { return G.LoopStartTick != 0 && ui::Form1.PbkUp->Visible && PlayerAtRest(); },
  };
}

// Walks by mouse: the left button pressed and held on view cell (c, r) until the player
// starts to move, released, and the step ends when the player stands again. `arrived`
// gets the player's cell then.
inline std::vector<GameDriver::Step> MouseStep(int c, int r, Cell* arrived) {
  return {
      [c, r](plat::SdlHost&) {
        const SDL_Point p = ViewCellPoint(c, r);
        PushMotion(p.x, p.y);
        PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
        return true;
      },
      [c, r](plat::SdlHost&) {
        if (G.Player.ActState == ActionState::Stand) return false;
        const SDL_Point p = ViewCellPoint(c, r);
        PushButton(SDL_MOUSEBUTTONUP, p.x, p.y);
        return true;
      },
      [arrived](plat::SdlHost&) {
        if (!PlayerAtRest() || G.MouseLeftDown != 0) return false;
        *arrived = PlayerCell();
        return true;
      },
  };
}

inline void Append(std::vector<GameDriver::Step>& to, std::vector<GameDriver::Step> steps) {
  for (auto& s : steps) to.push_back(std::move(s));
}

// The view cell showing map cell `at`, held inside the view (a cell off the view gives
// the nearest edge cell, so a press there heads toward it).
inline SDL_Point ViewCellOf(const Cell& at) {
  return SDL_Point{std::clamp(at.x - G.ViewX - 1, 0, kViewCols - 1), std::clamp(at.y - G.ViewY - 1, 0, kViewRows - 1)};
}

// The pointer moved onto a map cell in view, and a click there.
inline void ClickCell(const Cell& at) {
  const SDL_Point v = ViewCellOf(at);
  const SDL_Point p = ViewCellPoint(v.x, v.y);
  PushMotion(p.x, p.y);
  ClickAt(p.x, p.y);
}

// The left button held on a map cell as a player keeps it on a moving target: the
// pointer follows the cell as the view scrolls, and the button is pressed once.
class MouseHold {
 public:
  void Aim(const Cell& at) {
    const SDL_Point v = ViewCellOf(at);
    const SDL_Point p = ViewCellPoint(v.x, v.y);
    if (!held_ || v.x != cell_.x || v.y != cell_.y) PushMotion(p.x, p.y);
    if (!held_) PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
    held_ = true;
    cell_ = v;
    point_ = p;
  }
  void Release() {
    if (held_) PushButton(SDL_MOUSEBUTTONUP, point_.x, point_.y);
    held_ = false;
  }
  bool Held() const { return held_; }

 private:
  bool held_ = false;
  SDL_Point cell_{-1, -1}, point_{0, 0};
};

// A monster of the current part that stands and lives: a known kind, hit points left,
// not dying, and on the grid under its own number.
inline bool LivingMonster(std::int32_t n) {
  if (n < 1 || n > G.MonsterCount || n > kMaxMonsters) return false;
  const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  return m.Kind >= 1 && m.Kind <= G.MonsterKindCount && m.HP > 0 && m.State != ActionState::Dying &&
         GridMonster(m.X, m.Y) == n;
}

// The living monster nearest to the player (by the longer of the two axis distances),
// leaving out `skip`; 0 when there is none.
inline std::int32_t NearestLivingMonster(const std::function<bool(std::int32_t)>& skip) {
  const Cell me = PlayerCell();
  std::int32_t best = 0, bestDistance = 0;
  for (std::int32_t n = 1; n <= G.MonsterCount && n <= kMaxMonsters; ++n) {
    if (!LivingMonster(n) || skip(n)) continue;
    const MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
    const std::int32_t d = std::max(std::abs(m.X - me.x), std::abs(m.Y - me.y));
    if (best == 0 || d < bestDistance) {
      best = n;
      bestDistance = d;
    }
  }
  return best;
}

// The cell next to the player on a shortest way to `goal` (eight directions, through
// cells the player can enter; monsters are walked round when a way round exists, else
// their cells count as open, since they move). The goal itself when no way is known.
inline Cell NextCellToward(const Cell& goal) {
  const Cell me = PlayerCell();
  const std::int32_t part = G.SubMap;
  if (part < 1 || part > kMaxParts) return goal;
  const std::int32_t w = G.PartWidths[static_cast<std::size_t>(part)];
  const std::int32_t h = G.PartHeights[static_cast<std::size_t>(part)];
  if (w < 1 || h < 1) return goal;
  const auto index = [w](std::int32_t x, std::int32_t y) { return static_cast<std::size_t>(y * (w + 1) + x); };
  for (const bool aroundMonsters : {true, false}) {
    std::vector<std::int32_t> dist(static_cast<std::size_t>((w + 1) * (h + 1)), -1);
    std::deque<Cell> queue;
    if (goal.x < 1 || goal.y < 1 || goal.x > w || goal.y > h) return goal;
    dist[index(goal.x, goal.y)] = 0;
    queue.push_back(goal);
    bool reached = false;
    while (!queue.empty() && !reached) {
      const Cell c = queue.front();
      queue.pop_front();
      for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
          const Cell n{c.x + dx, c.y + dy};
          if ((dx == 0 && dy == 0) || n.x < 1 || n.y < 1 || n.x > w || n.y > h) continue;
          if (dist[index(n.x, n.y)] >= 0) continue;
          const bool open = n == me || !GridBlocked(n.x, n.y) || (!aroundMonsters && GridMonster(n.x, n.y) > 0);
          if (!open) continue;
          dist[index(n.x, n.y)] = dist[index(c.x, c.y)] + 1;
          reached = reached || n == me;
          queue.push_back(n);
        }
      }
    }
    if (me.x < 1 || me.y < 1 || me.x > w || me.y > h || dist[index(me.x, me.y)] < 0) continue;
    Cell best = goal;
    std::int32_t bestDist = dist[index(me.x, me.y)];
    for (std::int32_t dy = -1; dy <= 1; ++dy) {
      for (std::int32_t dx = -1; dx <= 1; ++dx) {
        const Cell n{me.x + dx, me.y + dy};
        if (n.x < 1 || n.y < 1 || n.x > w || n.y > h) continue;
        const std::int32_t d = dist[index(n.x, n.y)];
        if (d >= 0 && d < bestDist) {
          best = n;
          bestDist = d;
        }
      }
    }
    return best;
  }
  return goal;
}

// The button held on `goal` when it is next to the player (or under it), else on the next
// cell of a way to it: the game walks straight toward the pointer, and trees are in the
// way.
inline void HoldToward(MouseHold& hold, const Cell& goal) {
  const Cell me = PlayerCell();
  const bool near = std::abs(goal.x - me.x) <= 1 && std::abs(goal.y - me.y) <= 1;
  hold.Aim(near ? goal : NextCellToward(goal));
}

// From the start of a new character (town cell (13, 13)) onto the monster ground east
// of the town: a step south onto the road, then the button held far east until the
// town gate has taken the player to part 2, and the step ends once the player stands.
inline std::vector<GameDriver::Step> ThroughTheTownGate() {
  auto arrived = std::make_shared<Cell>();
  std::vector<GameDriver::Step> steps = MouseStep(7, 8, arrived.get());
  // The steps keep the cell they write alive.
  for (auto& step : steps) step = [arrived, step = std::move(step)](plat::SdlHost& host) { return step(host); };
  steps.push_back([](plat::SdlHost&) {
    const SDL_Point p = ViewCellPoint(14, 7);
    PushMotion(p.x, p.y);
    PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
    return true;
  });
  steps.push_back([](plat::SdlHost&) {
    if (G.SubMap != 2) return false;
    const SDL_Point p = ViewCellPoint(14, 7);
    PushButton(SDL_MOUSEBUTTONUP, p.x, p.y);
    return true;
  });
  steps.push_back([](plat::SdlHost&) { return PlayerAtRest() && G.MouseLeftDown == 0; });
  return steps;
}

// Runs the real program on the folder: the title steps lead into a game, then the
// driver's steps run, the last of which ends the program. The program must end through
// its own end with code 0.
inline void RunGame(GameDriver& driver, KeyboardAnswers& answers, const std::filesystem::path& folder,
                    std::vector<std::function<void(plat::SdlHost&)>> titleSteps) {
  ui::ProgramHooks hooks;
  hooks.folder = folder;
  hooks.windowOpened = [&](plat::SdlHost& host) {
    driver.Attach(host);
    answers.Attach(host);
  };
  hooks.leaveTitle = driver.TitleHook(std::move(titleSteps));
  try {
    ui::RunProgram(hooks);
    ADD_FAILURE() << "the program returned: no game was started";
  } catch (const plat::ProgramEnded& e) {
    EXPECT_EQ(e.code, 0);
  } catch (const std::runtime_error& e) {
    ADD_FAILURE() << e.what() << " (after step " << driver.StepsDone() << ")";
  }
}

// A new character of that name and class (row of the class list: 0 warrior, 2 mage)
// made on the title screen and started on normal, run as above.
inline void RunNewCharacter(GameDriver& driver, KeyboardAnswers& answers, const std::filesystem::path& folder,
                            const std::string& name, int classRow) {
  RunGame(driver, answers, folder, NewCharacterToNormal(name, classRow));
}

// A new warrior run as above.
inline void RunNewWarrior(GameDriver& driver, KeyboardAnswers& answers, const std::filesystem::path& folder,
                          const std::string& name) {
  RunNewCharacter(driver, answers, folder, name, 0);
}

}  // namespace e2e
