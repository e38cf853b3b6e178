// Copies of re-sent frames: copies of one digit are answered once, a slot is used again
// only when each copy of its frame is (or long after), the state message after an offer
// waits a little for the offer's copies, and an acknowledgement never waits for our own
// state messages.
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

TEST(TradeLinkCopies, CopiesOfOneDigitAreAnsweredOnceAndWhatFollowsAnOfferWaitsForItsCopies) {
  Host h;
  h.Peer("SY1a*SY1a*");  // a copy of the peer's chat: one answer frees the digit
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"YZ1*"});

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

TEST(TradeLinkCopies, AnUnansweredCopyHoldsTheNextStateMessageAFewSecondsAtMost) {
  Host h;
  h.link->Offer(1, tradetest::Cloth());
  h.Run(120);
  ASSERT_EQ(h.Sent().size(), 1u);
  h.Run(trade::kResendMs + 10);
  ASSERT_EQ(h.Sent().size(), 1u);  // the copy, never answered (the peer read both as one)
  h.Peer("YZ1*");
  const std::int64_t answered = h.now;
  h.link->Confirm(true);
  while (h.Sent().empty() && h.now - answered < 10000) h.Run(10);
  EXPECT_NEAR(static_cast<double>(h.now - answered), trade::kCopyHoldMs, 150);
  // The confirm went on another digit: a late answer of the copy cannot free it.
  EXPECT_TRUE(h.link->SlotBusy(2));
  EXPECT_FALSE(h.link->SlotBusy(1));
  h.Peer("YZ1*");
  EXPECT_TRUE(h.link->SlotBusy(2));
  // Meanwhile the peer's frames were answered at once.
  h.Peer("SY1a*");
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"YZ1*"});
}

TEST(TradeLinkCopies, AnAcknowledgementNeverWaitsForAStateMessageWithoutASlot) {
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
  // A JY0 that must go before the acknowledgement takes a digit whose copies are out.
  h.rec.onConfirm = [&](bool v) {
    if (v) h.link->QueueStateFirst("JY0");
  };
  h.Peer("JY21*");
  EXPECT_EQ(h.Sent(), (std::vector<std::string>{"JY10*", "YZ2*"}));
  // One queued in turn waits for that JY0's answer, and the acknowledgement of the
  // peer's frame leaves all the same.
  h.rec.onConfirm = [&](bool v) {
    if (v) h.link->Confirm(false);
  };
  h.Peer("JY31*");
  h.Run(300);
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"YZ3*"});
  h.Peer("YZ1*");
  EXPECT_EQ(h.Sent(), std::vector<std::string>{"JY10*"});
}

}  // namespace
