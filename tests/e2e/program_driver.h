// Drives the real program (ui::RunProgram) the way a player would: a copy of the built
// game folder with saves in it, key presses pushed as SDL events while the program
// waits for them, and the quit question answered from the keyboard.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/resources.h"
#include "platform/clock.h"
#include "platform/db.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/file_marker.h"

namespace e2e {

namespace fs = std::filesystem;

// The built game folder copied into `to`, without the executable.
inline void CopyGameFolder(const fs::path& to) {
  const fs::path from = testsupport::GameDir();
  for (const auto& entry : fs::directory_iterator(from)) {
    if (entry.path().filename() == "orvanth") continue;
    fs::copy(entry.path(), to / entry.path().filename(), fs::copy_options::recursive);
  }
}

struct SaveRow {
  std::string id, zhiYe;
  int level = 1;
  std::string date, mode;
};

// A save as character creation makes it: the template "date\Sk.dat" copied to
// "Save\<ID>.kzs", one Save1 row and the 120 Save2 rows, the marker kept.
inline void WriteSave(const fs::path& gameFolder, const SaveRow& s) {
  const fs::path file = gameFolder / "Save" / fs::u8path(s.id + ".kzs");
  fs::create_directories(file.parent_path());
  fs::copy_file(gameFolder / "date" / "Sk.dat", file, fs::copy_options::overwrite_existing);
  MarkedDatabase db(file, MarkedDatabase::Mode::Write);
  using plat::db::Value;
  db.Db().Execute(
      "INSERT INTO Save1 (ID, ZhiYe, Level, Date, M20, MainMap, SubMap, X, Y) VALUES (?, ?, ?, ?, ?, 1, 1, "
      "13, 13)",
      {Value(s.id), Value(s.zhiYe), Value(static_cast<long long>(s.level)), Value(s.date), Value(s.mode)});
  for (int no = 1; no <= 120; ++no) {
    db.Db().Execute("INSERT INTO Save2 (ID, No) VALUES (?, ?)",
                    {Value(s.id), Value(static_cast<long long>(no))});
  }
  db.Commit();
}

// The real clock, noting every sleep: the program sleeps only while it waits (for a
// key under a logo, or on the title screen), never while it fades or loads.
class WatchingClock : public plat::Clock {
 public:
  WatchingClock() {
    plat::SetClock(nullptr);
    real_ = &plat::CurrentClock();
    plat::SetClock(this);
  }
  ~WatchingClock() override { plat::SetClock(nullptr); }
  std::int64_t Now() override { return real_->Now(); }
  void Sleep(std::int64_t ms) override {
    ++sleeps;
    real_->Sleep(ms);
  }
  std::uint64_t sleeps = 0;

 private:
  plat::Clock* real_ = nullptr;
};

inline void PushKey(SDL_Keycode key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = key;
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  e.key.state = SDL_RELEASED;
  SDL_PushEvent(&e);
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

// Every pixel of a render target of the host's device (rows of r, g, b, a); the
// device's target and clip are kept.
inline std::vector<std::uint8_t> ReadTarget(plat::SdlHost& host, plat::Texture target) {
  plat::Renderer& r = host.Render();
  const plat::Texture old = r.Target();
  const auto oldClip = r.Clip();
  r.SetTarget(target);
  auto pixels = r.ReadPixels();
  r.SetTarget(old);
  r.SetClip(oldClip);
  return pixels;
}

inline plat::Color PixelOf(const std::vector<std::uint8_t>& rgba, int width, int x, int y) {
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  if (i + 3 >= rgba.size()) return plat::Color{0, 0, 0, 0};
  return plat::Color{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

// Whether the tests run under a real X display (SDL_VIDEODRIVER=x11, as under xvfb-run)
// rather than SDL's dummy driver.
inline bool UnderX11() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return driver != nullptr && std::string(driver) == "x11";
}

// The window's own picture as it would be shown: drawn into its back buffer, saved as a
// PNG file and read back (rows of r, g, b, a).
struct WindowPicture {
  bool saved = false;
  std::vector<std::uint8_t> pixels;
  int width = 0, height = 0;
};
inline WindowPicture SnapWindow(plat::SdlHost& host, const fs::path& png) {
  host.DrawForm();
  plat::Renderer& r = host.Render();
  r.SetTarget(plat::Texture{});
  WindowPicture shot;
  shot.saved = r.SavePng(png.string());
  shot.pixels = r.ReadPixels();
  shot.width = r.OutputSize().w;
  shot.height = r.OutputSize().h;
  return shot;
}

// The event source put in front of the host's: while a logo waits for the player (the
// program sleeps between two looks at its events and the title panel is not up yet),
// it taps the next key of `logoKeys`; the tap (press and release) reaches the program
// in one pump. It stops a run that never gets anywhere.
class LogoKeys : public plat::EventSource {
 public:
  struct Tap {
    SDL_Keycode key;
    bool titleShown;     // the title panel was up already
    plat::Color screen;  // the game screen's corner at that moment
  };

  LogoKeys(WatchingClock& clock, std::deque<SDL_Keycode> keys, std::uint64_t pollLimit = 20000)
      : clock_(clock), keys_(std::move(keys)), pollLimit_(pollLimit) {}

  void Attach(plat::SdlHost& host) {
    host_ = &host;
    plat::Application::Get().SetEventSource(this);
  }

  void Poll() override {
    if (++polls_ > pollLimit_) throw std::runtime_error("the program never reached the title screen");
    const bool slept = clock_.sleeps != sleepsSeen_;
    sleepsSeen_ = clock_.sleeps;
    const bool titleShown = ui::Form1.MainMeun != nullptr && ui::Form1.MainMeun->Visible;
    if (slept && !titleShown && !keys_.empty()) {
      const auto screen = ReadTarget(*host_, host_->GameScreenTarget());
      taps.push_back(Tap{keys_.front(), titleShown, PixelOf(screen, plat::kGameScreenWidth, 0, 0)});
      PushKey(keys_.front());
      keys_.pop_front();
    }
    host_->Poll();
  }

  std::vector<Tap> taps;

 private:
  WatchingClock& clock_;
  std::deque<SDL_Keycode> keys_;
  std::uint64_t pollLimit_;
  plat::SdlHost* host_ = nullptr;
  std::uint64_t polls_ = 0;
  std::uint64_t sleepsSeen_ = 0;
};

// The dialogs of the host, each answered by a key pushed before the box comes up
// (Return = OK, Escape = Cancel); an input box gets its text typed first. Records every
// box shown.
class KeyboardAnswers : public plat::DialogProvider {
 public:
  void Attach(plat::SdlHost& host) {
    host_ = &host;
    plat::SetDialogProvider(this);
  }
  ~KeyboardAnswers() override {
    if (plat::CurrentDialogProvider() == this) plat::SetDialogProvider(nullptr);
  }

  int ShowMessage(const std::string& text, int buttons, const std::string& title) override {
    shown.push_back(text);
    if (answers.empty()) {
      ADD_FAILURE() << "an unexpected box: " << text;
      PushKey(SDLK_ESCAPE);
    } else {
      PushKey(answers.front());
      answers.pop_front();
    }
    const int result = host_->ShowMessage(text, buttons, title);
    results.push_back(result);
    return result;
  }
  std::optional<std::string> ShowInput(const std::string& prompt, const std::string& title,
                                       const std::string& defaultText) override {
    shown.push_back(prompt);
    if (inputs.empty()) {
      ADD_FAILURE() << "an unexpected input box: " << prompt;
      return std::nullopt;
    }
    if (!inputs.front().typed.empty()) PushText(inputs.front().typed);
    PushKey(inputs.front().key);
    inputs.pop_front();
    auto result = host_->ShowInput(prompt, title, defaultText);
    inputResults.push_back(result);
    return result;
  }

  struct InputAnswer {
    std::string typed;
    SDL_Keycode key;
  };
  std::deque<SDL_Keycode> answers;
  std::deque<InputAnswer> inputs;
  std::vector<std::string> shown;
  std::vector<int> results;
  std::vector<std::optional<std::string>> inputResults;

 private:
  plat::SdlHost* host_ = nullptr;
};

// A fresh program state before and after a run; the program folder, the working folder
// and the key state come back as they were.
class ProgramRun {
 public:
  ProgramRun() : folder_(plat::ProgramFolder()), cwd_(fs::current_path()) { Fresh(); }
  ~ProgramRun() {
    Fresh();
    plat::SetProgramFolder(folder_);
    std::error_code ec;
    fs::current_path(cwd_, ec);
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

 private:
  static void Fresh() {
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
  }
  fs::path folder_, cwd_;
};

// A test of the real program on its own copy of the sample game folder, with its boxes
// answered from the keyboard.
class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  ProgramRun run;
  testsupport::ScopedEndThrows ends;
  KeyboardAnswers answers;
};

}  // namespace e2e
