// The trade window in a real X window with offers on both sides, kept as a picture for
// people to look at: the program hosts a trade from its title screen, a bare trade
// session of this test joins it over loopback and offers two items, and the player
// offers three by clicking and confirms.
// Runs only with SDL_VIDEODRIVER=x11 (its ctest entry starts it under xvfb-run).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/net_support.h"
#include "support/test_support.h"
#include "trade/session.h"
#include "trade/socket_network.h"
#include "trade/trade_setup.h"
#include "trade/trade_window.h"
#include "ui/program.h"
#include "window/form1.h"
#include "window/form2.h"
#include "world/items.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using plat::Color;
using ui::Form1;
using ui::Form2;

// Items of the sample table by name (the program's item database must be open).
trade::BagSlots Bag(const std::vector<std::pair<int, const char*>>& items) {
  trade::BagSlots bag{};
  for (const auto& [slot, name] : items) {
    ItemRecord row;
    EXPECT_TRUE(ReadItemTableRow(name, row)) << name;
    bag[static_cast<std::size_t>(slot)] = row;
  }
  return bag;
}

TEST(Screenshot, TheTradeWindowWithOffersOnBothSidesInARealWindow) {
  if (!e2e::UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::WriteSave(dir.path(), {"阿青", "战士", 7, "2024-03-05 08:09:10", "普通"});
  const std::uint16_t port = testsupport::FreePort();
  ASSERT_NE(port, 0);
  setenv(trade::kPortVariable, std::to_string(port).c_str(), 1);

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "trade.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_RETURN}, 1'000'000);

  // The peer: a session of its own in this process, on a bag held in memory.
  trade::SocketNetwork peerNet;
  trade::SessionListener peerEvents;
  std::unique_ptr<trade::Session> peer;
  const auto makePeer = [&] {
    trade::SessionOptions o;
    o.role = trade::Role::Join;
    o.address = "127.0.0.1";
    o.port = port;
    o.name = "乙";
    o.localAddress = "127.0.0.1";
    trade::BagSlots bag = Bag({{21, "青铜剑"}, {22, "超级金创药"}});
    o.load = [bag](const std::string& name, TradeSave& out, plat::FileLock&) {
      out.id = name;
      out.mode = "普通";
      out.items = bag;
      return TradeLoadError::None;
    };
    o.write = [](const std::string&, const trade::BagSlots&) { return true; };
    o.journal = [](const std::string&, const std::string&) { return true; };
    peer = std::make_unique<trade::Session>(peerNet, peerEvents, o);
    std::string error;
    EXPECT_TRUE(peer->Open(plat::Tick(), &error)) << error;
  };

  // The player's bag gets a few more items for the picture before the window opens.
  bool realWindow = false;
  e2e::WindowPicture picture;
  int step = 0;
  std::int64_t waitUntil = 0;
  const auto click = [](const plat::Control* c) { e2e::ClickOn(c); };
  ui::ProgramHooks hooks;
  hooks.folder = dir.path();
  hooks.attachHandlers = trade::AttachTradeSetupHandlers;
  hooks.windowOpened = [&](plat::SdlHost& host) { logoKeys.Attach(host); };
  hooks.leaveTitle = [&](plat::SdlHost& host) {
    if (peer && peer->IsOpen()) peer->Poll(plat::Tick());
    if (::testing::Test::HasFatalFailure() || plat::Tick() < waitUntil) return false;
    trade::Session* mine = trade::CurrentTradeSession();
    switch (step) {
      case 0:
        if (!Form1.MainMeun->Visible || Form1.IdList->ListCount() != 1) return false;
        // Items for the picture, written into the save by the game's own writer.
        if (!WriteItemRows("阿青", Bag({{21, "木剑"},
                                        {22, "柴刀"},
                                        {23, "超级金创药"},
                                        {24, "桃木剑"},
                                        {27, "乌木杖"},
                                        {30, "超级金创药"}}))) {
          ADD_FAILURE() << "the save could not be written";
          return true;
        }
        e2e::ClickAt(Form1.IdList->ScreenX() + 8, Form1.IdList->ScreenY() + 7);
        break;
      case 1:
        click(Form1.Command4);
        break;
      case 2:
        click(Form1.Command15);
        break;
      case 3:
        if (!trade::TradeWindowOpen()) return false;
        makePeer();
        break;
      case 4:
        if (mine == nullptr || !mine->Trading() || !peer->Trading()) return false;
        click(Form2.Iitem(21));
        waitUntil = plat::Tick() + 400;
        break;
      case 5:
        peer->Offer(21);
        click(Form2.Iitem(23));
        waitUntil = plat::Tick() + 400;
        break;
      case 6:
        peer->Offer(22);
        click(Form2.Iitem(24));
        waitUntil = plat::Tick() + 1200;
        break;
      case 7:
        Form2.Tsay->Text = "这把剑换你的药";
        click(Form2.Command1);
        click(Form2.Label1(0));
        waitUntil = plat::Tick() + 1200;
        break;
      case 8:
        click(Form2.CMY);
        waitUntil = plat::Tick() + 800;
        break;
      case 9:
        // The pointer over the peer's sword: its description under the peer's row.
        e2e::PushMotion(Form2.Idf(1)->ScreenX() + 10, Form2.Idf(1)->ScreenY() + 10);
        waitUntil = plat::Tick() + 300;
        break;
      default: {
        EXPECT_FALSE(mine->PeerOffer(1).Name.empty());
        EXPECT_FALSE(mine->PeerOffer(2).Name.empty());
        EXPECT_EQ(mine->OwnOffer(3).Name, "桃木剑");
        EXPECT_EQ(Form2.CMY->Value(), 1);
        EXPECT_NE(Form2.ItemInf(1)->Caption.find("青铜剑"), std::string::npos);
        realWindow = host.Window() != nullptr && !host.Headless();
        picture = e2e::SnapWindow(host, shot);
        trade::AbandonTradeWindow();
        peer.reset();
        return true;
      }
    }
    ++step;
    return false;
  };
  ASSERT_EQ(ui::RunProgram(hooks), 0) << "the window could not be opened";
  unsetenv(trade::kPortVariable);
  EXPECT_TRUE(realWindow);
  ASSERT_TRUE(picture.saved);
  ASSERT_EQ(picture.width, 643);
  ASSERT_EQ(picture.height, 393);

  // The offer slots show the icons of their items: the middle of an icon is not the
  // black of an empty well.
  const auto lit = [&](const plat::Control* c) {
    const Color p = e2e::PixelOf(picture.pixels, picture.width, c->ScreenX() + c->PixelWidth() / 2,
                                 c->ScreenY() + c->PixelHeight() / 2);
    return (p.r | p.g | p.b) > 40;
  };
  const auto well = [&](const plat::Control* c) {
    const Color p = e2e::PixelOf(picture.pixels, picture.width, c->ScreenX() + 2, c->ScreenY() + 2);
    return p.r < 60 && p.g < 60 && p.b < 60;
  };
  for (int k = 1; k <= 3; ++k) EXPECT_TRUE(lit(Form2.Imy(k))) << "own offer " << k;
  for (int k = 1; k <= 2; ++k) EXPECT_TRUE(lit(Form2.Idf(k))) << "peer offer " << k;
  EXPECT_TRUE(well(Form2.Imy(5)));
  EXPECT_TRUE(well(Form2.Idf(5)));
  EXPECT_TRUE(well(Form2.Iitem(21)));  // offered away
  EXPECT_TRUE(lit(Form2.Iitem(22)));
}

}  // namespace
