// Copies of re-sent frames: each is answered, a slot is used again only when each copy of
// its frame is, the state message after an offer waits for the offer's copies, and an
// acknowledgement never overtakes a state message that waits for a free slot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "trade/host_link.h"
#include "trade/link.h"

namespace {

// A host link whose peer is the test, trading; every text from the peer is followed by
// 120 ms of polling.
struct Host : tradetest::HostLink {
  Host() {
    Run(10);
    Peer("OK乙*");
    EXPECT_TRUE(link->Trading());
    Sent();
  }
  void Peer(const std::string& text) {
    HostLink::Peer(text);
    Run(120);
  }
};

TEST(TradeLinkCopies, EveryCopyIsAnsweredAndWhatFollowsAnOfferWaitsForItsCopies) {
  Host h;
  h.Peer("SY1a*SY1a*");  // a copy of the peer's chat: answered too
  EXPECT_EQ(h.Sent(), (std::vector<std::string>{"YZ1*", "YZ1*"}));

  h.link->Withdraw(3);
  h.Run(120);
  ASSERT_EQ(h.Sent(), std::vector<std::string>{"WC1003*"});
  h.Run(trade::kResendMs + 10);
  ASSERT_EQ(h.Sent(), std::vector<std::string>{"WC1003*"});  // the copy
  h.Peer("YZ1*");
  // Acknowledged, but the copy still goes through the peer's hands, clearing its confirm:
  // our confirm follows it only once that copy is answered.
  EXPECT_TRUE(h.link->StateCopiesOut());
  EXPECT_FALSE(h.link->StateIdle());
  h.link->Confirm(true);
  h.Run(300);
  EXPECT_TRUE(h.Sent().empty());
  h.Peer("YZ1*");
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"JY11*"});
  EXPECT_EQ(std::count_if(h.rec.events.begin(), h.rec.events.end(),
                          [](const std::string& e) { return e.rfind("acked:", 0) == 0; }),
            1);
}

TEST(TradeLinkCopies, AnAcknowledgementWaitsBehindAStateMessageWithoutASlot) {
  Host h;
  // Nine chat frames, each sent twice and answered once: no slot can be used again.
  for (int d = 1; d <= trade::kSendSlots; ++d) {
    EXPECT_TRUE(h.link->Say("x").queued);
    h.Run(trade::kPumpMs + 20);
    h.Run(trade::kResendMs + 10);
    const auto sent = h.Sent();
    ASSERT_EQ(sent.size(), 2u) << d;
    h.Peer("YZ" + std::to_string(d) + "*");
  }
  ASSERT_TRUE(h.link->Trading());
  // A handler that withdraws our confirm: its JY0 finds no slot, so the acknowledgement
  // of the peer's frame waits behind it.
  h.rec.onConfirm = [&](bool v) {
    if (v) h.link->Confirm(false);
  };
  h.Peer("JY11*");
  h.Run(300);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{});
  h.Peer("YZ4*");  // the last copy in slot 4 is answered: slot 4 takes the JY0
  EXPECT_EQ(h.Sent(), (std::vector<std::string>{"JY40*", "YZ1*"}));
}

}  // namespace
