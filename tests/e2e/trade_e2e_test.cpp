// Two copies of the real program trade on loopback, each with its own game folder and
// character: this test program is the host, and runs itself again as the joiner. Each
// side works the title screen and the trade window with the mouse and the keyboard
// only: "江湖买卖", a role, "开始", an item offered by a click, "交易" clicked until the
// round completes; then the joiner ends the trade and the host is told so. Both saves
// on disk must hold the other's item.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/child_process.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sdl_host.h"
#include "support/net_support.h"
#include "support/test_support.h"
#include "trade/trade_setup.h"
#include "trade/trade_window.h"
#include "ui/program.h"
#include "window/form1.h"
#include "window/form2.h"
#include "world/items.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using ui::Form1;
using ui::Form2;

// The joiner's run reads its game folder from here.
constexpr const char* kChildFolderVar = "ORVANTH_TRADE_CHILD";
constexpr const char* kHostItem = "木剑";
constexpr const char* kJoinItem = "柴刀";
constexpr int kOfferedSlot = 21;
constexpr auto kRunLimit = std::chrono::seconds(90);

// A game folder with one character holding `item` in bag slot 21, written by the game's
// own item-row writer.
void PrepareFolder(const fs::path& dir, const std::string& id, const std::string& item) {
  e2e::CopyGameFolder(dir);
  e2e::WriteSave(dir, {id, "战士", 3, "2024-01-02 03:04:05", "普通"});
  const fs::path before = plat::ProgramFolder();
  plat::SetProgramFolder(dir);
  G = GameState{};
  G.ItemDbPath = plat::ResolvePath("\\Date\\Mon\\74.dat");
  trade::BagSlots items{};
  ItemRecord row;
  const bool found = ReadItemTableRow(item, row);
  items[kOfferedSlot] = row;
  const bool written = found && WriteItemRows(id, items);
  G = GameState{};
  plat::SetProgramFolder(before);
  ASSERT_TRUE(found) << item;
  ASSERT_TRUE(written);
}

// The names of the bag items of a character's save, by slot.
std::map<int, std::string> BagOnDisk(const fs::path& dir, const std::string& id) {
  const fs::path before = plat::ProgramFolder();
  plat::SetProgramFolder(dir);
  TradeSave save;
  plat::FileLock lock;
  std::map<int, std::string> out;
  if (LoadSaveForTrade(id, save, lock) == TradeLoadError::None) {
    for (int i = 1; i <= kItemSlots; ++i) {
      if (!save.items[static_cast<std::size_t>(i)].Name.empty())
        out[i] = save.items[static_cast<std::size_t>(i)].Name;
    }
  }
  plat::SetProgramFolder(before);
  return out;
}

bool LogHas(const std::string& text) {
  return Form2.T != nullptr && Form2.T->Text.find(text) != std::string::npos;
}

// Works the title screen one look per pass: each step waits for its moment (false) and
// acts once (true); the run leaves the title screen after the last.
class Trader {
 public:
  using Step = std::function<bool()>;

  void Add(Step s) { steps_.push_back(std::move(s)); }

  bool Pass() {
    if (::testing::Test::HasFatalFailure()) return true;
    if (Clock::now() > deadline_) {
      ADD_FAILURE() << "stuck at step " << next_ << "; the trade log says:\n"
                    << (Form2.T != nullptr ? Form2.T->Text : std::string());
      return true;
    }
    if (next_ < steps_.size() && steps_[next_]()) ++next_;
    return next_ == steps_.size();
  }
  bool Done() const { return next_ == steps_.size(); }

 private:
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  Clock::time_point deadline_ = Clock::now() + kRunLimit;
};

// The steps both sides share: the character chosen and the panel opened.
void ChooseCharacter(Trader& t) {
  t.Add([] {
    if (Form1.MainMeun == nullptr || !Form1.MainMeun->Visible || Form1.IdList->ListCount() != 1) return false;
    e2e::ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);
    return true;
  });
  t.Add([] {
    if (Form1.IdList->ListIndex() != 0) return false;
    e2e::ClickOn(Form1.Command4);
    return true;
  });
}

// Once trading: the item offered, then "交易" clicked (again after any change cleared it)
// until the round completes.
void OfferAndConfirm(Trader& t) {
  t.Add([] {
    const trade::Session* s = trade::CurrentTradeSession();
    if (s == nullptr || !s->Trading()) return false;
    e2e::ClickOn(Form2.Iitem(kOfferedSlot));
    return true;
  });
  auto lastClick = std::make_shared<Clock::time_point>();
  t.Add([lastClick] {
    const trade::Session* s = trade::CurrentTradeSession();
    if (s == nullptr) return false;
    if (LogHas(trade::kSuccessLine)) return true;
    const bool offersShown = !s->OwnOffer(1).Name.empty() && !s->PeerOffer(1).Name.empty() &&
                             !Form2.Idf(1)->Picture.empty() && !Form2.Imy(1)->Picture.empty();
    if (offersShown && Form2.CMY->Value() == 0 &&
        Clock::now() - *lastClick > std::chrono::milliseconds(700)) {
      e2e::ClickOn(Form2.CMY);
      *lastClick = Clock::now();
    }
    return false;
  });
}

struct HostRun {
  std::string log;  // the trade log when the round completed
  std::string idf;  // the peer's offer picture then
  bool backOnTitle = false;
};

TEST(TradeE2e, TwoProgramsTradeAnItemEachByClicksAndBothSavesChange) {
  testsupport::TempDir hostDir, joinDir;
  PrepareFolder(hostDir.path(), "甲", kHostItem);
  PrepareFolder(joinDir.path(), "乙", kJoinItem);
  const std::uint16_t port = testsupport::FreePort();
  ASSERT_NE(port, 0);
  setenv(trade::kPortVariable, std::to_string(port).c_str(), 1);
  e2e::Child joiner({fs::read_symlink("/proc/self/exe").string(), "--gtest_filter=TradeE2eChild.Joins"},
                    {std::string(kChildFolderVar) + "=" + joinDir.path().string(),
                     std::string(trade::kPortVariable) + "=" + std::to_string(port)},
                    joinDir.path() / "log.txt");
  ASSERT_TRUE(joiner.Started());

  HostRun host;
  {
    e2e::ProgramRun run;
    testsupport::ScopedEndThrows ends;
    e2e::WatchingClock clock;
    e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_RETURN}, 1'000'000);
    e2e::KeyboardAnswers answers;
    answers.answers.push_back(SDLK_RETURN);  // the peer's farewell
    Trader t;
    ChooseCharacter(t);
    t.Add([] {
      if (!Form1.Pnet->IsShown()) return false;
      e2e::ClickOn(Form1.Command15);  // "创建交易主机" is chosen from the start
      return true;
    });
    t.Add([&] {
      if (!trade::TradeWindowOpen() || !Form2.Form->Visible) return false;
      EXPECT_FALSE(Form1.Form->Visible);
      EXPECT_TRUE(LogHas("等待加入 …"));
      // The joiner may start now.
      EXPECT_TRUE(plat::WriteAllBytes(joinDir.path() / "listening", {'1'}));
      return true;
    });
    OfferAndConfirm(t);
    t.Add([&] {
      host.log = Form2.T->Text;
      host.idf = Form2.Idf(1)->Picture;
      return true;
    });
    t.Add([&] {
      if (trade::TradeWindowOpen() || !Form1.Form->Visible) return false;
      host.backOnTitle = Form1.Pnet->IsShown();
      return true;
    });
    ui::ProgramHooks hooks;
    hooks.folder = hostDir.path();
    hooks.attachHandlers = trade::AttachTradeSetupHandlers;
    hooks.windowOpened = [&](plat::SdlHost& h) {
      logoKeys.Attach(h);
      answers.Attach(h);
    };
    hooks.leaveTitle = [&](plat::SdlHost&) { return t.Pass(); };
    ASSERT_EQ(ui::RunProgram(hooks), 0);
    trade::AbandonTradeWindow();
    EXPECT_TRUE(t.Done());
    EXPECT_EQ(answers.shown, std::vector<std::string>{trade::kPeerLeftText});
  }
  unsetenv(trade::kPortVariable);

  const auto status = joiner.WaitEnd(kRunLimit);
  ASSERT_TRUE(status.has_value()) << "the joiner did not end";
  std::string childLog;
  if (auto bytes = plat::ReadAllBytes(joinDir.path() / "log.txt"))
    childLog.assign(bytes->begin(), bytes->end());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << childLog;
  EXPECT_TRUE(fs::exists(joinDir.path() / "done")) << childLog;

  EXPECT_NE(host.log.find("■ 连接成功 可以进行交易 ■ "), std::string::npos) << host.log;
  EXPECT_NE(host.log.find(trade::kSuccessLine), std::string::npos);
  EXPECT_TRUE(host.backOnTitle);
  // Each save holds the other's item in the first free bag slot, and its own is gone.
  EXPECT_EQ(BagOnDisk(hostDir.path(), "甲"), (std::map<int, std::string>{{kOfferedSlot, kJoinItem}}));
  EXPECT_EQ(BagOnDisk(joinDir.path(), "乙"), (std::map<int, std::string>{{kOfferedSlot, kHostItem}}));
}

// The joiner's side, run by the test above as a program of its own.
TEST(TradeE2eChild, Joins) {
  const char* folderText = std::getenv(kChildFolderVar);
  if (folderText == nullptr) GTEST_SKIP() << "started by TradeE2e";
  const fs::path folder = fs::u8path(folderText);
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_RETURN}, 1'000'000);
  Trader t;
  ChooseCharacter(t);
  t.Add([] {
    if (!Form1.Pnet->IsShown()) return false;
    e2e::ClickOn(Form1.O2);
    return true;
  });
  t.Add([] {
    // The address box takes the focus with "0.0.0.0" selected: typing replaces it.
    if (!Form1.DIP->Enabled || Form1.Form->Focus != Form1.DIP || !Form1.DIP->AllSelected) return false;
    e2e::PushText("127.0.0.1");
    return true;
  });
  t.Add([&] {
    if (Form1.DIP->Text != "127.0.0.1" || !fs::exists(folder / "listening")) return false;
    e2e::ClickOn(Form1.Command15);
    return true;
  });
  t.Add([] {
    if (!trade::TradeWindowOpen()) return false;
    EXPECT_TRUE(LogHas("连接到：127.0.0.1"));
    return true;
  });
  OfferAndConfirm(t);
  auto success = std::make_shared<Clock::time_point>();
  t.Add([success] {
    *success = Clock::now();
    return true;
  });
  t.Add([success] {
    // A moment for the host's side of the round before the trade ends.
    if (Clock::now() - *success < std::chrono::milliseconds(1500)) return false;
    e2e::ClickOn(Form2.Command6);
    return true;
  });
  t.Add([] { return !trade::TradeWindowOpen() && Form1.Form->Visible && Form1.Pnet->IsShown(); });
  ui::ProgramHooks hooks;
  hooks.folder = folder;
  hooks.attachHandlers = trade::AttachTradeSetupHandlers;
  hooks.windowOpened = [&](plat::SdlHost& h) { logoKeys.Attach(h); };
  hooks.leaveTitle = [&](plat::SdlHost&) { return t.Pass(); };
  ASSERT_EQ(ui::RunProgram(hooks), 0);
  trade::AbandonTradeWindow();
  ASSERT_TRUE(t.Done());
  ASSERT_TRUE(plat::WriteAllBytes(folder / "done", {'1'}));
}

}  // namespace
