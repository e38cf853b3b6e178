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

#include <cstdint>
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

inline void PushText(const std::string& utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  if (utf8.size() >= sizeof e.text.text) {
    ADD_FAILURE() << "text too long for one event";
    return;
  }
  std::memcpy(e.text.text, utf8.data(), utf8.size());
  SDL_PushEvent(&e);
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

}  // namespace e2e
