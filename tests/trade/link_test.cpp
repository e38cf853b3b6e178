#include "trade/link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"
#include "trade/fake_network.h"
#include "trade/host_link.h"

namespace {

using trade::Link;
using tradetest::Cloth;
using tradetest::Connection;
using tradetest::FakeNetwork;
using tradetest::HostLink;
using tradetest::Recorder;

// A joiner's options: its address, its name and the table that checks received offers.
trade::LinkOptions JoinOptions(std::string address, std::string name, trade::ItemLookup table) {
  trade::LinkOptions o;
  o.role = trade::Role::Join;
  o.address = std::move(address);
  o.ownName = std::move(name);
  o.table = std::move(table);
  return o;
}

TEST(TradeLink, GreetingStartsTheTrade) {
  HostLink h;
  h.Connect();
  EXPECT_EQ(h.link->PeerName(), "乙");
  EXPECT_EQ(h.rec.events, std::vector<std::string>{"connected:乙"});
  EXPECT_EQ(h.rec.logs, std::vector<std::string>{trade::kConnectedLine});
  EXPECT_FALSE(h.net.listening);  // a second joiner is refused
  h.Peer("OK丙*");                // a later greeting changes nothing
  h.Run(50);
  EXPECT_EQ(h.link->PeerName(), "乙");
}

TEST(TradeLink, BadGreetingsClose) {
  struct Case {
    const char* first;
    const char* message;
    bool over;
  };
  const std::vector<Case> cases = {
      {"OK甲*", trade::kSameNameText, true},         {"SY1你好*", trade::kLinkLostText, true},
      {"OK五个字的名*", trade::kLinkLostText, true}, {"OK*", trade::kLinkLostText, true},
      {"OKa\x01*", trade::kLinkLostText, true},      {"garbage*", trade::kLinkLostText, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first);
    HostLink h;
    h.At(h.now);
    h.Peer(c.first);
    h.Run(50);
    EXPECT_EQ(h.link->CurrentState(), Link::State::Closed);
    EXPECT_EQ(h.rec.events.back(), std::string("closed:") + c.message);
    const auto sent = h.Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "OVER*"), c.over ? 1 : 0);
    EXPECT_TRUE(h.conn.aToB->ended);
  }
}

TEST(TradeLink, GreetingMustComeInTime) {
  HostLink h;
  h.At(h.now);
  h.Run(trade::kGreetingMs - 20);
  EXPECT_EQ(h.link->CurrentState(), Link::State::Greeting);
  h.Run(40);
  EXPECT_EQ(h.rec.events.back(), std::string("closed:") + trade::kLinkLostText);
}

TEST(TradeLink, OneChatFrameATickInTheLowestFreeSlot) {
  HostLink h;
  h.Connect();
  const std::int64_t start = h.now;
  EXPECT_TRUE(h.link->Say("一").queued);
  EXPECT_TRUE(h.link->Say("a*b").queued);
  const auto busy = h.link->Say("三");
  EXPECT_FALSE(busy.queued);
  EXPECT_EQ(busy.line, trade::kChatBusyLine);
  std::vector<std::pair<std::int64_t, std::string>> out;
  for (int i = 0; i < 100; ++i) {
    h.At(h.now + 10);
    for (auto& s : h.Sent()) out.emplace_back(h.now - start, s);
  }
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].second, "SY1一*");
  EXPECT_EQ(out[1].second, "SY2a＊b*");  // own "*" goes out as "＊"
  EXPECT_GE(out[1].first - out[0].first, trade::kPumpMs);
  // Slot 1 freed: the next chat takes it again, slot 2 still waits.
  h.Peer("YZ1*");
  EXPECT_EQ(h.ChatOut("四"), "SY1四*");
  EXPECT_TRUE(h.link->SlotBusy(2));
  EXPECT_EQ(std::count(h.rec.logs.begin(), h.rec.logs.end(), "一"), 1);
}

TEST(TradeLink, StateMessagesWaitForTheAckBeforeThem) {
  HostLink h;
  h.Connect();
  const auto a = h.link->Confirm(true);
  const auto b = h.link->Withdraw(4);
  const auto c = h.link->Offer(2, Cloth());
  ASSERT_TRUE(a && b && c);
  EXPECT_FALSE(h.link->StateIdle());
  h.Run(150);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"JY11*"});  // at once, not at the pump's tick
  h.Run(1000);
  EXPECT_TRUE(h.Sent().empty());
  h.Peer("YZ1*");
  h.Run(150);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"WC1004*"});
  h.Peer("YZ1*");
  h.Run(150);
  const auto third = h.Sent();
  ASSERT_EQ(third.size(), 1u);
  EXPECT_EQ(third[0].substr(0, 6), "WC1102");
  EXPECT_EQ(plat::Len(third[0]), 94);
  h.Peer("YZ1*");
  h.Run(150);
  EXPECT_TRUE(h.link->StateIdle());
  const std::vector<std::string> acked = {"acked:" + std::to_string(a) + ":JY1",
                                          "acked:" + std::to_string(b) + ":WC004"};
  EXPECT_EQ(std::vector<std::string>(h.rec.events.begin() + 1, h.rec.events.begin() + 3), acked);
}

TEST(TradeLink, ResendInPlaceAfterMoreThanTwoSeconds) {
  HostLink h;
  h.Connect();
  h.link->Confirm(true);
  h.At(h.now + 10);
  ASSERT_EQ(h.Sent(), std::vector<std::string>{"JY11*"});
  const std::int64_t sent = h.now;
  h.At(sent + trade::kResendMs);
  EXPECT_TRUE(h.Sent().empty());
  h.At(sent + trade::kResendMs + 1);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"JY11*"});  // same digit
  // The late acknowledgement of the first copy frees it once; the slot rests until the
  // second copy is answered too, so the next state message takes slot 2, and the second
  // acknowledgement does not free it.
  h.Peer("YZ1*");
  h.Run(20);
  EXPECT_TRUE(h.link->StateIdle());
  h.link->Confirm(false);
  h.Run(200);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"JY20*"});
  h.Peer("YZ1*");
  h.Run(200);
  EXPECT_FALSE(h.link->StateIdle());
  EXPECT_EQ(std::count_if(h.rec.events.begin(), h.rec.events.end(),
                          [](const std::string& e) { return e.rfind("acked:", 0) == 0; }),
            1);
}

TEST(TradeLink, NineBusyAndOneWaitingDisconnects) {
  HostLink h;
  h.Connect();
  for (int d = 1; d <= 9; ++d) {
    const std::string text = "x" + std::to_string(d);
    ASSERT_EQ(h.ChatOut(text), "SY" + std::to_string(d) + text + "*");
  }
  // Keep the re-sends out of the way: acknowledge nothing, but poll as the pump does.
  EXPECT_TRUE(h.link->Say("十").queued);
  h.Run(trade::kPumpMs + 20);
  EXPECT_EQ(h.rec.events.back(), std::string("closed:") + trade::kSlotsFullText);
  const auto sent = h.Sent();
  EXPECT_EQ(sent.back(), "OVER*");
}

TEST(TradeLink, EveryValidDigitIsAcknowledgedOnceHandled) {
  HostLink h;
  h.Connect();
  h.Peer("WC1garbage*SY0不回*JY25*YZ0*YZ:*WC3000*SY4你好*JY51*WC6001*");
  h.Run(600);
  EXPECT_EQ(h.Sent(), (std::vector<std::string>{"YZ1*", "YZ2*", "YZ3*", "YZ4*", "YZ5*", "YZ6*"}));
  EXPECT_EQ(h.rec.events, (std::vector<std::string>{"connected:乙", "invalid:0", "chat:乙:你好", "confirm:1",
                                                    "withdraw:1"}));
  EXPECT_NE(std::find(h.rec.logs.begin(), h.rec.logs.end(), "乙 -> 你好"), h.rec.logs.end());
}

TEST(TradeLink, FramesLeaveAtLeastAGapApart) {
  HostLink h;
  h.Connect();
  h.link->Confirm(true);
  h.Peer("SY1a*SY2b*SY3b*");
  std::vector<std::int64_t> times;
  for (int i = 0; i < 60; ++i) {
    h.At(h.now + 7);
    for (std::size_t n = h.Sent().size(); n > 0; --n) times.push_back(h.now);
  }
  ASSERT_EQ(times.size(), 4u);
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], trade::kFrameGapMs);
}

TEST(TradeLink, AnAckLeavesFirstUnlessAHandlerPutsAStateMessageBeforeIt) {
  struct Case {
    bool first;
    std::vector<std::string> sent;
  };
  for (const Case& c : {Case{false, {"YZ3*", "JY10*"}}, Case{true, {"JY10*", "YZ3*"}}}) {
    SCOPED_TRACE(c.first);
    HostLink h;
    h.Connect();
    h.link->Say("早");  // our chat waits for the pump: the acknowledgement does not wait for it
    h.rec.onConfirm = [&](bool v) {
      if (v) c.first ? h.link->QueueStateFirst("JY0") : h.link->Confirm(false);
    };
    h.Peer("JY31*");
    h.Run(150);
    EXPECT_EQ(h.Sent(), c.sent);
    h.Run(400);
    EXPECT_EQ(h.Sent(), std::vector<std::string>{"SY2早*"});
  }
}

// A handler that takes long (a save written on the peer's confirm): the acknowledgement
// leaves after it, and the gap to the next frame counts from then.
TEST(TradeLink, TheGapCountsFromWhenAFrameReallyLeft) {
  HostLink h;
  h.Connect();
  h.rec.onConfirm = [&](bool v) {
    if (!v) return;
    h.now += 300;  // the link's clock moves on inside the handler
    h.link->Confirm(false);
  };
  h.Peer("JY11*");
  std::vector<std::pair<std::int64_t, std::string>> sent;
  for (int i = 0; i < 60; ++i) {
    h.At(h.now + 10);
    for (const std::string& f : h.Sent()) sent.emplace_back(h.now, f);
  }
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].second, "YZ1*");
  EXPECT_EQ(sent[1].second, "JY10*");
  EXPECT_GE(sent[1].first - sent[0].first, trade::kFrameGapMs);
}

TEST(TradeLink, EndsOfTheLink) {
  struct Case {
    const char* what;
    std::function<void(HostLink&)> act;
    std::string message;
    bool over;  // a link that can still write says goodbye
  };
  const std::vector<Case> cases = {
      {"OVER", [](HostLink& h) { h.Peer("SY1再见*OVER*"); }, trade::kPeerLeftText, false},
      {"end of stream", [](HostLink& h) { h.conn.bToA->ended = true; }, trade::kLinkLostText, true},
      {"64 KiB without terminator",
       [](HostLink& h) { h.Peer(std::string(trade::Framer::kMaxPending + 1, 'S')); }, trade::kLinkLostText, true},
      {"write fails",
       [](HostLink& h) {
         h.stream->broken = true;
         h.link->Confirm(true);
       },
       trade::kLinkLostText, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostLink h;
    h.Connect();
    c.act(h);
    h.At(h.now + 10);  // noticed at once, on the next pass
    EXPECT_EQ(h.rec.events.back(), "closed:" + c.message);
    EXPECT_EQ(h.link->CurrentState(), Link::State::Closed);
    EXPECT_TRUE(h.conn.aToB->ended);
    EXPECT_EQ(h.link->BufferedBytes(), 0u);
    EXPECT_TRUE(h.link->StateIdle());  // nothing of ours is left waiting
    const auto sent = h.Sent();
    EXPECT_EQ(!sent.empty() && sent.back() == "OVER*", c.over);
  }
}

TEST(TradeLink, OwnCloseSaysOverAtOnceLeavingOwedAcksBehind) {
  HostLink h;
  h.Connect();
  h.Peer("SY1a*SY2b*SY3c*");
  h.At(h.now + 100);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"YZ1*"});
  h.link->Close(h.now + 1);
  const auto sent = h.Sent();
  EXPECT_EQ(sent, std::vector<std::string>{"OVER*"});
  EXPECT_EQ(h.slept, trade::kFrameGapMs - 1);  // only the gap after the last frame
  EXPECT_EQ(h.rec.events.back(), "closed:");
  EXPECT_TRUE(h.conn.aToB->ended);
  h.link->Close(h.now + 500);  // twice is harmless
  EXPECT_EQ(std::count(h.rec.events.begin(), h.rec.events.end(), "closed:"), 1);
}

// A hostile peer's flood of queued frames: at most one acknowledgement a digit is owed,
// nothing piles up, and the close says goodbye at once, after the acknowledgement of the
// peer's latest confirm only.
TEST(TradeLink, AFloodOfQueuedFramesCostsNothingAndHoldsNoClose) {
  for (const bool confirmLast : {false, true}) {
    SCOPED_TRACE(confirmLast);
    HostLink h;
    h.Connect();
    std::string flood;
    for (int i = 0; i < 1'000'000; ++i) {
      flood += "JY";
      flood += static_cast<char>('1' + i % 9);
      flood += "x*";  // acknowledged, payload refused
    }
    if (confirmLast) flood += "JY41*";
    h.Peer(flood);
    std::size_t most = 0;
    for (int i = 0; i < 40; ++i) {
      h.At(h.now + 10);
      EXPECT_LE(h.link->OwedAcks(), trade::kSendSlots);
      most = std::max(most, h.link->BufferedBytes());
    }
    EXPECT_LT(most, 64u * 1024);
    EXPECT_EQ(h.conn.bToA->bytes, "");  // all of it read
    auto sent = h.Sent();
    EXPECT_LE(sent.size(), 5u);  // one a gap
    h.slept = 0;
    h.link->Close(h.now + 1);
    const auto last = h.Sent();
    EXPECT_LE(last.size(), 2u);
    EXPECT_EQ(last.back(), "OVER*");
    EXPECT_LE(h.slept, 2 * trade::kFrameGapMs);
    sent.insert(sent.end(), last.begin(), last.end());
    // The peer's confirm, read before its digit's acknowledgement left, was answered.
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "YZ4*"), 1);
  }
}

TEST(TradeLink, JoinerRetriesWithNewAttempts) {
  FakeNetwork net;
  Recorder rec;
  const trade::LinkOptions o =
      JoinOptions(" 10.0.0.9 ", "乙", [](const std::string&, ItemRecord&) { return false; });
  Link link(net, rec, o);
  const std::int64_t start = 1000;
  std::int64_t now = start;
  {
    // No address at all: refused before any attempt.
    Link blank(net, rec, JoinOptions("  ", "乙", o.table));
    std::string error;
    EXPECT_FALSE(blank.Start(now, &error));
    EXPECT_EQ(error, trade::kBadAddressText);
    EXPECT_EQ(blank.CurrentState(), Link::State::Closed);
  }
  ASSERT_TRUE(link.Start(now, nullptr));
  // The first attempt is made at the first tick, 2000 ms after the start.
  link.Poll(now += trade::kConnectTickMs - 1);
  EXPECT_EQ(net.attempts, 0);
  link.Poll(now += 1);
  EXPECT_EQ(net.attempts, 1);
  EXPECT_LT(net.lastTimeout, trade::kConnectTickMs);
  EXPECT_TRUE(rec.logs.empty());
  for (int tick = 1; tick <= 11 && link.CurrentState() != Link::State::Closed; ++tick) {
    for (int i = 0; i < 200; ++i) link.Poll(now += 10);
    if (tick <= 10) {
      EXPECT_EQ(net.attempts, tick + 1);
      EXPECT_EQ(rec.logs.back(), trade::RetryLine(tick));
    }
  }
  EXPECT_EQ(rec.logs.size(), 10u);
  EXPECT_EQ(rec.events.back(), std::string("closed:") + trade::kConnectFailedText);
  EXPECT_EQ(link.CurrentState(), Link::State::Closed);
  EXPECT_EQ(now - start, 12 * trade::kConnectTickMs);  // the eleventh failing tick: 24 s

  // A host that comes up late is reached by a later attempt; counting stops there.
  FakeNetwork net2;
  Recorder rec2;
  Connection conn;
  net2.incoming = conn.EndA();
  net2.connectOnAttempt = 3;
  Link late(net2, rec2, o);
  ASSERT_TRUE(late.Start(now, nullptr));
  for (int i = 0; i < 700; ++i) late.Poll(now += 10);
  EXPECT_EQ(late.CurrentState(), Link::State::Greeting);
  EXPECT_EQ(rec2.logs, (std::vector<std::string>{trade::RetryLine(1), trade::RetryLine(2)}));
  EXPECT_EQ(conn.aToB->writes, std::vector<std::string>{trade::ToCp936Lossy("OK乙*")});
}

TEST(TradeLink, HostSetUpFailures) {
  FakeNetwork net;
  Recorder rec;
  net.listenResult = trade::Network::ListenResult::InUse;
  trade::LinkOptions o;
  o.ownName = "甲";
  Link link(net, rec, o);
  std::string error;
  EXPECT_FALSE(link.Start(0, &error));
  EXPECT_EQ(error, trade::kHostInUseText);
  EXPECT_EQ(link.CurrentState(), Link::State::Closed);
}

TEST(TradeLink, LongPeerChatIsCutWhenShown) {
  HostLink h;
  h.Connect();
  std::string text;
  for (int i = 0; i < 600; ++i) text += "字";
  h.Peer("SY1" + text + "*");
  h.Run(20);
  EXPECT_EQ(plat::Len(h.rec.logs.back()), 5 + 500);
  // Our own goes out cut the same way.
  h.Sent();
  EXPECT_TRUE(h.link->Say(text).queued);
  h.Run(trade::kPumpMs + 150);
  const auto sent = h.Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "SY1" + plat::Left(text, 500) + "*");
}

TEST(TradeLink, AfterTheDecisionToCloseOnlyAcknowledgementsCount) {
  HostLink h;
  h.Connect();
  const auto id = h.link->Confirm(true);
  h.Run(150);
  h.Sent();
  h.link->HandleAcksOnly();
  h.Peer("SY1hi*JY21*WC3004*");
  h.Run(150);
  EXPECT_TRUE(h.Sent().empty());  // nothing handled, nothing acknowledged
  EXPECT_FALSE(h.link->StateIdle());
  h.Peer("YZ1*");
  h.Run(150);
  EXPECT_TRUE(h.link->StateIdle());
  EXPECT_EQ(h.rec.events.back(), "acked:" + std::to_string(id) + ":JY1");
  EXPECT_EQ(std::count_if(
                h.rec.events.begin(), h.rec.events.end(),
                [](const std::string& e) { return e.rfind("chat:", 0) == 0 || e.rfind("confirm:", 0) == 0; }),
            0);
}

TEST(TradeLink, ALinkThatGoesAwaySaysGoodbyeAndFreesWhatItHeld) {
  {
    HostLink h;
    h.Connect();
    h.link.reset();
    EXPECT_EQ(h.Sent(), std::vector<std::string>{"OVER*"});
    EXPECT_TRUE(h.conn.aToB->ended);
  }
  {
    HostLink h;  // connected, the peer's greeting not yet in
    h.At(h.now);
    ASSERT_EQ(h.Sent(), std::vector<std::string>{"OK甲*"});
    h.link.reset();
    EXPECT_EQ(h.Sent(), std::vector<std::string>{"OVER*"});
  }
  {
    HostLink h;  // still listening
    ASSERT_TRUE(h.net.listening);
    h.link.reset();
    EXPECT_FALSE(h.net.listening);
    EXPECT_TRUE(h.Sent().empty());
  }
  {
    FakeNetwork net;
    Recorder rec;
    auto link =
        std::make_unique<Link>(net, rec, JoinOptions("127.0.0.1", "甲", tradetest::TableOf({Cloth()})));
    ASSERT_TRUE(link->Start(86'400'000, nullptr));
    link.reset();
    EXPECT_EQ(net.cancels, 1);
  }
}

}  // namespace
