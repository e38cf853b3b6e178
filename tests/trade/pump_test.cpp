#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/sdl_host.h"
#include "trade/fake_network.h"
#include "trade/link.h"

namespace {

// The link runs from whatever pump runs, on the game's clock, and a pump nested inside
// the link's work does not run the link again.
TEST(TradeLinkPump, EveryPumpPassPollsTheLink) {
  plat::FakeClock clock;
  plat::SetClock(&clock);
  auto& app = plat::Application::Get();
  app.Reset();
  tradetest::FakeNetwork net;
  tradetest::Connection conn;
  net.incoming = conn.EndA();
  int nested = 0;
  struct Nesting : tradetest::Recorder {
    std::function<void()> onConnected;
    void OnConnected(const std::string& peer) override {
      Recorder::OnConnected(peer);
      if (onConnected) onConnected();
    }
  } rec;
  rec.onConnected = [&] {
    ++nested;
    app.DoEvents();  // a dialog's pump inside the handler
  };
  trade::LinkOptions o;
  o.ownName = "甲";
  trade::Link link(net, rec, o);
  ASSERT_TRUE(link.Start(plat::Tick(), nullptr));
  {
    // The link polled from the pump, as the trade window polls its session.
    const int pumping = app.AddIdleHook([&link] { link.Poll(plat::Tick()); });
    int calls = 0;
    const int counting = app.AddIdleHook([&] { ++calls; });
    app.DoEvents();
    EXPECT_EQ(link.CurrentState(), trade::Link::State::Greeting);
    EXPECT_EQ(conn.aToB->writes.size(), 1u);
    conn.bToA->bytes = "OKb*";
    clock.Advance(5);
    app.DoEvents();
    EXPECT_TRUE(link.Trading());
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(calls, 2);  // not again from the nested pump
    app.RemoveIdleHook(counting);
    app.DoEvents();
    EXPECT_EQ(calls, 2);
    app.RemoveIdleHook(pumping);
  }
  // Once its hook is gone, the pump leaves the link alone.
  conn.bToA->bytes = "OVER*";
  app.DoEvents();
  EXPECT_TRUE(link.Trading());
  app.Reset();
  plat::SetClock(nullptr);
}

// A message box waits in a pump of its own: the link goes on under it.
TEST(TradeLinkPump, AMessageBoxKeepsTheHooksRunning) {
  auto& app = plat::Application::Get();
  app.Reset();
  plat::Form form("F");
  form.Move(0, 0, 200 * 15, 150 * 15);
  auto host = plat::SdlHost::CreateWindowed(form);
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  int calls = 0;
  const int id = app.AddIdleHook([&] { ++calls; });
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = SDLK_RETURN;
  SDL_PushEvent(&e);
  e.type = SDL_KEYUP;
  SDL_PushEvent(&e);
  EXPECT_EQ(plat::MsgBox("对方已断开连接，交易结束。", plat::kOkOnly), plat::kOk);
  EXPECT_GE(calls, 1);
  app.RemoveIdleHook(id);
  host.reset();
  app.Reset();
}

}  // namespace
