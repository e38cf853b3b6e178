// Two trade sessions on real saves: the rounds that complete, the ones that must not, and
// what stays on disk.
#include "trade/session.h"

#include <gtest/gtest.h>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "session_pair.h"

namespace {

using namespace sessiontest;
using savetest::GameFolder;
using trade::Role;

int CountPrefix(const std::vector<std::string>& lines, const std::string& word) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(" " + word + " ") != std::string::npos;
  }));
}

std::vector<std::string> Journal(const GameFolder& folder, const std::string& id) {
  const auto bytes = plat::ReadAllBytes(folder.Save() / std::filesystem::u8path(id + ".trade.log"));
  std::vector<std::string> out;
  if (!bytes) return out;
  std::string text(bytes->begin(), bytes->end()), line;
  for (char c : text) {
    if (c == '\n') {
      out.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return out;
}

class TradeSessionTest : public ::testing::Test {
 protected:
  // 甲 holds 101..103 in bag slots 21..23, 乙 holds 201..202 in 30..31 and a forged 209 in 40.
  void SetUp() override {
    MakeTradeSave(folder, "甲", {{21, Item(101)}, {22, Item(102, 1)}, {23, Item(103, 2)}});
    MakeTradeSave(folder, "乙", {{30, Item(201)}, {31, Item(202, 1)}, {40, Item(209, 0, 2)}});
  }
  // Runs until each side's state messages are acknowledged.
  void Quiet(Pair& p) { p.Run(1500); }
  // Connects the pair and offers one item from each bag.
  void OfferBoth(Pair& p, int slotA, int slotB) {
    p.Connect();
    ASSERT_TRUE(p.a.s->Offer(slotA));
    ASSERT_TRUE(p.b.s->Offer(slotB));
    Quiet(p);
  }

  GameFolder folder;
};

TEST_F(TradeSessionTest, NormalTradeMovesTheItemsInMemoryAndOnBothSaves) {
  Pair p;
  p.Connect();
  EXPECT_EQ(p.a.ev.log[0], "您选择使用『 甲    』进行交易");
  EXPECT_TRUE(p.a.ev.Logged("等待加入 …"));
  EXPECT_TRUE(p.b.ev.Logged("连接到：127.0.0.1"));
  ASSERT_TRUE(p.a.s->Offer(21));
  Quiet(p);
  ASSERT_TRUE(p.a.s->Offer(23));
  ASSERT_TRUE(p.b.s->Offer(31));
  Quiet(p);
  EXPECT_EQ(p.b.s->PeerOffer(2).Ex, 103);
  EXPECT_EQ(p.a.s->PeerOffer(1).Ex, 202);
  EXPECT_TRUE(p.a.s->Bag(21).Name.empty());

  // 乙 confirms first; 甲's click does not complete, the acknowledgement of 乙's ... does.
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  EXPECT_TRUE(p.a.s->PeerConfirm());
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  EXPECT_TRUE(p.a.ev.rounds.empty());  // never at the click
  Quiet(p);
  ASSERT_EQ(p.a.ev.rounds.size(), 1u);
  ASSERT_EQ(p.b.ev.rounds.size(), 1u);
  EXPECT_EQ(p.a.ev.rounds[0].first, (std::vector<int>{101, 103}));
  EXPECT_EQ(p.a.ev.rounds[0].second, (std::vector<int>{202}));
  EXPECT_EQ(p.b.ev.rounds[0].first, p.a.ev.rounds[0].second);
  EXPECT_EQ(p.b.ev.rounds[0].second, p.a.ev.rounds[0].first);

  // The peer's items fill the first free bag slots in the order of their offer slots.
  const std::map<int, int> a = {{21, 202}, {22, 102}}, b = {{21, 101}, {22, 103}, {30, 201}, {40, 209}};
  EXPECT_EQ(MemoryItems(*p.a.s), a);
  EXPECT_EQ(MemoryItems(*p.b.s), b);
  EXPECT_EQ(DiskItems(folder, "甲"), a);
  EXPECT_EQ(DiskItems(folder, "乙"), b);
  for (End* e : {&p.a, &p.b}) {
    EXPECT_TRUE(e->ev.Logged(trade::kSuccessLine));
    EXPECT_FALSE(e->s->OwnConfirm());
    EXPECT_FALSE(e->s->PeerConfirm());
    for (int k = 1; k <= 10; ++k)
      EXPECT_TRUE(e->s->OwnOffer(k).Name.empty() && e->s->PeerOffer(k).Name.empty());
  }
  // The journal has the round before and after, with both lists and the peer.
  const auto ja = Journal(folder, "甲");
  ASSERT_EQ(ja.size(), 2u);
  EXPECT_NE(ja[0].find("peer=乙 begin gave=["), std::string::npos);
  EXPECT_NE(ja[1].find(" committed "), std::string::npos);

  // Both boxes are clear on the wire as well: a second round needs two new confirms.
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(p.a.ev.rounds.size(), 1u);
  // An empty round still rewrites the items and says so.
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(p.a.ev.rounds.size(), 2u);
  EXPECT_EQ(p.b.ev.rounds.size(), 2u);
  EXPECT_EQ(DiskItems(folder, "甲"), a);

  p.a.s->Close(p.Now());
  p.Run(200);
  EXPECT_TRUE(p.a.ev.closed && p.a.ev.closedText.empty());
  EXPECT_EQ(p.b.ev.closedText, trade::kPeerLeftText);
  // The saves are free again.
  for (const char* id : {"甲", "乙"}) {
    plat::FileLock lock;
    EXPECT_EQ(LockSave(id, lock), plat::FileLock::Result::Locked) << id;
  }
}

TEST_F(TradeSessionTest, CrossingConfirmsCompleteOnBothSides) {
  Pair p;
  p.Connect();
  ASSERT_TRUE(p.a.s->Offer(22));
  Quiet(p);
  p.Hold();
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  p.Run(50);  // both JY1 are on their way
  ASSERT_EQ(Pair::HeldFrames(p.AtoB()), 1);
  ASSERT_EQ(Pair::HeldFrames(p.BtoA()), 1);
  p.PassAtoB();
  p.PassBtoA();
  EXPECT_TRUE(p.a.ev.rounds.empty() && p.b.ev.rounds.empty());  // neither JY1 is acknowledged yet
  p.Settle();
  ASSERT_EQ(p.a.ev.rounds.size(), 1u);
  ASSERT_EQ(p.b.ev.rounds.size(), 1u);
  EXPECT_EQ(DiskItems(folder, "乙").at(21), 102);
  EXPECT_EQ(DiskItems(folder, "甲").count(22), 0u);
}

// The races that must end with no round on either side, each from both confirms... the
// peer's confirm crossing an action of ours.
TEST_F(TradeSessionTest, AChangeCrossingThePeersConfirmCompletesNowhere) {
  struct Case {
    const char* name;
    std::function<void(Pair&)> act;  // 甲's action while 乙's JY1 is on its way
  };
  const std::vector<Case> cases = {
      {"offer", [](Pair& p) { ASSERT_TRUE(p.a.s->Offer(23)); }},
      {"unclick", [](Pair& p) { ASSERT_TRUE(p.a.s->SetConfirm(false)); }},
      {"withdraw", [](Pair& p) { ASSERT_TRUE(p.a.s->Withdraw(1)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GameFolder fresh;
    MakeTradeSave(fresh, "甲", {{21, Item(101)}, {22, Item(102, 1)}, {23, Item(103, 2)}});
    MakeTradeSave(fresh, "乙", {{30, Item(201)}});
    Pair p;
    OfferBoth(p, 21, 30);
    ASSERT_TRUE(p.a.s->SetConfirm(true));
    Quiet(p);
    p.Hold();
    ASSERT_TRUE(p.b.s->SetConfirm(true));
    p.Run(50);
    c.act(p);
    p.Run(50);
    // Both first messages cross: each arrives while the other's is unanswered.
    p.PassBtoA();
    p.PassAtoB();
    p.Settle(6000);
    EXPECT_TRUE(p.a.ev.rounds.empty());
    EXPECT_TRUE(p.b.ev.rounds.empty());
    EXPECT_EQ(DiskItems(fresh, "甲").count(21), 1u);
    EXPECT_EQ(DiskItems(fresh, "乙").count(30), 1u);
    // Each side shows the other's box as the other has it.
    EXPECT_EQ(p.a.s->PeerConfirm(), p.b.s->OwnConfirm());
    EXPECT_EQ(p.b.s->PeerConfirm(), p.a.s->OwnConfirm());
    EXPECT_FALSE(p.a.s->OwnConfirm() && p.b.s->OwnConfirm());
    // A fresh pair of confirms completes what both sides show.
    if (!p.a.s->OwnConfirm()) {
      ASSERT_TRUE(p.a.s->SetConfirm(true));
    }
    Quiet(p);
    if (!p.b.s->OwnConfirm()) {
      ASSERT_TRUE(p.b.s->SetConfirm(true));
    }
    Quiet(p);
    ASSERT_EQ(p.a.ev.rounds.size(), 1u);
    ASSERT_EQ(p.b.ev.rounds.size(), 1u);
    EXPECT_EQ(p.a.ev.rounds[0].first, p.b.ev.rounds[0].second);
    EXPECT_EQ(p.a.ev.rounds[0].second, p.b.ev.rounds[0].first);
    EXPECT_EQ(DiskItems(fresh, "甲"), MemoryItems(*p.a.s));
    EXPECT_EQ(DiskItems(fresh, "乙"), MemoryItems(*p.b.s));
  }
}

TEST_F(TradeSessionTest, WithdrawalsCrossAndAnEmptySlotStillSendsOne) {
  Pair p;
  OfferBoth(p, 21, 30);
  ASSERT_TRUE(p.a.s->Offer(22));
  ASSERT_TRUE(p.b.s->Offer(31));
  Quiet(p);
  p.Hold();
  ASSERT_TRUE(p.a.s->Withdraw(1));
  ASSERT_TRUE(p.b.s->Withdraw(2));
  p.Run(50);
  p.PassAtoB();
  p.PassBtoA();
  p.Settle();
  EXPECT_EQ(p.a.s->PeerOffer(1).Ex, 201);
  EXPECT_TRUE(p.a.s->PeerOffer(2).Name.empty());
  EXPECT_TRUE(p.b.s->PeerOffer(1).Name.empty());
  EXPECT_EQ(p.b.s->PeerOffer(2).Ex, 102);
  EXPECT_EQ(p.a.s->Bag(21).Ex, 101);  // back in the first free slot

  // An empty slot: the withdrawal goes out and clears the peer's box.
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  ASSERT_TRUE(p.a.s->PeerConfirm());
  const std::size_t before = p.AtoB().writes.size();
  ASSERT_TRUE(p.a.s->Withdraw(7));
  Quiet(p);
  bool sent = false;
  for (std::size_t i = before; i < p.AtoB().writes.size(); ++i) {
    const std::string& w = p.AtoB().writes[i];
    sent = sent || (w.size() == 7 && w.compare(0, 2, "WC") == 0 && w.compare(3, 4, "007*") == 0);
  }
  EXPECT_TRUE(sent);
  EXPECT_FALSE(p.a.s->PeerConfirm());
  EXPECT_FALSE(p.b.s->OwnConfirm());

  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(DiskItems(folder, "甲"), (std::map<int, int>{{21, 101}, {22, 201}, {23, 103}}));
  EXPECT_EQ(DiskItems(folder, "乙"), (std::map<int, int>{{21, 202}, {22, 102}, {40, 209}}));
}

TEST_F(TradeSessionTest, RefusedActionsChangeNothingAndSayWhy) {
  Pair p;
  // Before the peer greets nothing moves and the box stays clear.
  std::string error;
  ASSERT_TRUE(p.a.s->Open(p.Now(), &error)) << error;
  EXPECT_FALSE(p.a.s->Offer(21));
  EXPECT_FALSE(p.a.s->SetConfirm(true));
  EXPECT_EQ(p.a.ev.refusals.back(), std::string("confirm:") + trade::kNotConnectedLine);
  p.a.s->Close(p.Now());
  p.a.ev.refusals.clear();

  p.Connect();
  // A forged item, an empty slot, a slot outside the bag.
  EXPECT_FALSE(p.b.s->Offer(40));
  EXPECT_EQ(p.b.ev.refusals.back(), std::string("offer:") + trade::kForgedLine);
  EXPECT_EQ(p.b.s->Bag(40).Ex, 209);
  EXPECT_FALSE(p.b.s->Offer(41));
  EXPECT_FALSE(p.b.s->Offer(20));
  EXPECT_TRUE(p.b.s->Discard(40));  // a forged item can be thrown away
  EXPECT_TRUE(p.b.s->Bag(40).Name.empty());

  // While an offer of ours is unanswered every change of offers or box is refused.
  p.Hold();
  ASSERT_TRUE(p.a.s->Offer(21));
  EXPECT_FALSE(p.a.s->Offer(22));
  EXPECT_FALSE(p.a.s->Withdraw(1));
  EXPECT_FALSE(p.a.s->SetConfirm(true));
  EXPECT_EQ(p.a.ev.refusals, (std::vector<std::string>{std::string("offer:") + trade::kStateBusyLine,
                                                       std::string("withdraw:") + trade::kStateBusyLine,
                                                       std::string("confirm:") + trade::kStateBusyLine}));
  EXPECT_FALSE(p.a.s->OwnConfirm());
  EXPECT_EQ(p.a.s->Bag(22).Ex, 102);
  // Chat is limited by the texts waiting: two wait, so a phrase is refused.
  EXPECT_TRUE(p.a.s->Say("你好"));
  EXPECT_FALSE(p.a.s->QuickPhrase("朋友你好"));
  EXPECT_EQ(p.a.ev.refusals.back(), std::string("phrase:") + trade::kPhraseBusyLine);
  p.Settle();
  EXPECT_TRUE(p.b.ev.Logged("甲 -> 你好"));
  EXPECT_TRUE(p.a.s->Offer(22));
}

TEST_F(TradeSessionTest, NoRoomForThePeersItemsKeepsTheBoxClear) {
  // 甲's bag has two free slots; 乙 offers three items.
  std::map<int, ItemRecord> full;
  for (int s = 21; s <= 54; ++s) full[s] = Item(1000 + s);
  MakeTradeSave(folder, "甲", full);
  MakeTradeSave(folder, "乙", {{30, Item(201)}, {31, Item(202)}, {32, Item(203)}});
  Pair p;
  p.Connect();
  for (int s : {30, 31, 32}) {
    ASSERT_TRUE(p.b.s->Offer(s));
    Quiet(p);
  }
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  EXPECT_FALSE(p.a.s->SetConfirm(true));
  EXPECT_EQ(p.a.ev.refusals.back(), std::string("confirm:") + trade::kNoRoomLine);
  Quiet(p);
  EXPECT_FALSE(p.b.s->PeerConfirm());
  EXPECT_TRUE(p.a.ev.rounds.empty());
  // One taken back: now it fits.
  ASSERT_TRUE(p.b.s->Withdraw(3));
  Quiet(p);
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(p.a.ev.rounds.size(), 1u);
  EXPECT_EQ(p.a.s->FreeBagSlots(), 0);
  EXPECT_EQ(DiskItems(folder, "甲").at(56), 202);
}

TEST_F(TradeSessionTest, EqualNamesEndBothSides) {
  GameFolder other;  // the same character name in another game folder
  MakeTradeSave(other, "甲", {});
  Pair p({}, {}, "甲", "甲");
  p.conn = std::make_unique<tradetest::Connection>();
  p.a.net.incoming = p.conn->EndA();
  p.b.net.incoming = p.conn->EndB();
  p.b.net.connectOnAttempt = 1;
  std::string error;
  plat::SetProgramFolder(folder.path());
  ASSERT_TRUE(p.a.s->Open(p.Now(), &error)) << error;
  plat::SetProgramFolder(other.path());
  ASSERT_TRUE(p.b.s->Open(p.Now(), &error)) << error;
  p.Run(2500);
  for (End* e : {&p.a, &p.b}) {
    EXPECT_TRUE(e->ev.closed);
    EXPECT_EQ(e->ev.closedText, trade::kSameNameText);
    EXPECT_FALSE(e->s->IsOpen());
  }
  plat::FileLock lock;
  EXPECT_EQ(LockSave("甲", lock), plat::FileLock::Result::Locked);
}

TEST_F(TradeSessionTest, CloseWaitsForTheAnswerToOurConfirm) {
  for (bool answered : {true, false}) {
    SCOPED_TRACE(answered ? "answered" : "never answered");
    GameFolder fresh;
    MakeTradeSave(fresh, "甲", {{21, Item(101)}});
    MakeTradeSave(fresh, "乙", {{30, Item(201)}});
    Pair p;
    OfferBoth(p, 21, 30);
    ASSERT_TRUE(p.b.s->SetConfirm(true));
    Quiet(p);
    p.Hold();
    ASSERT_TRUE(p.a.s->SetConfirm(true));
    p.Run(20);
    p.a.s->Close(p.Now());
    EXPECT_TRUE(p.a.s->Closing());
    EXPECT_TRUE(p.a.ev.Logged(trade::kCloseWaitLine));
    EXPECT_FALSE(p.a.s->SetConfirm(false));  // no more changes
    p.PassAtoB();                            // 乙 completes on our confirm
    ASSERT_EQ(p.b.ev.rounds.size(), 1u);
    if (answered) {
      p.PassBtoA();
      p.Run(200);
      EXPECT_EQ(p.a.ev.rounds.size(), 1u);
      EXPECT_TRUE(p.a.ev.closed);
      EXPECT_EQ(DiskItems(fresh, "甲"), (std::map<int, int>{{21, 201}}));
      EXPECT_EQ(CountPrefix(Journal(fresh, "甲"), "unanswered"), 0);
    } else {
      // The answer never comes: after the wait the close goes on, and the journal keeps
      // the one-sided round.
      p.Run(trade::kCloseWaitMs - 200);
      EXPECT_FALSE(p.a.ev.closed);
      p.Run(400);
      EXPECT_TRUE(p.a.ev.closed);
      EXPECT_TRUE(p.a.ev.rounds.empty());
      EXPECT_EQ(CountPrefix(Journal(fresh, "甲"), "unanswered"), 1);
      EXPECT_NE(Journal(fresh, "甲").back().find("gave=[101        布衣"), std::string::npos);
    }
    EXPECT_EQ(DiskItems(fresh, "乙"), (std::map<int, int>{{21, 101}}));
  }
}

TEST_F(TradeSessionTest, ReopeningStartsWithFreshListsAndTheSavedBag) {
  Pair p;
  OfferBoth(p, 21, 30);
  ASSERT_TRUE(p.a.s->Discard(22));
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  p.a.s->Close(p.Now());
  p.Run(200);
  ASSERT_FALSE(p.b.s->IsOpen());
  // Nothing was completed: the saves are as they were.
  EXPECT_EQ(DiskItems(folder, "甲"), (std::map<int, int>{{21, 101}, {22, 102}, {23, 103}}));

  p.a.ev = Events{};
  p.b.ev = Events{};
  p.a.net.listening = false;
  p.Connect();
  for (End* e : {&p.a, &p.b}) {
    EXPECT_FALSE(e->s->OwnConfirm() || e->s->PeerConfirm());
    for (int k = 1; k <= 10; ++k)
      EXPECT_TRUE(e->s->OwnOffer(k).Name.empty() && e->s->PeerOffer(k).Name.empty());
  }
  EXPECT_EQ(MemoryItems(*p.a.s), (std::map<int, int>{{21, 101}, {22, 102}, {23, 103}}));
  // A discard is kept by the next completed round.
  ASSERT_TRUE(p.a.s->Discard(23));
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  ASSERT_TRUE(p.b.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(DiskItems(folder, "甲"), (std::map<int, int>{{21, 101}, {22, 102}}));
}

TEST_F(TradeSessionTest, AWriteThatFailsOnTheReceivedConfirmCompletesNowhere) {
  bool fail = true;
  Pair p([&](trade::SessionOptions& o) {
    o.write = [&](const std::string& id, const BagSlots& items) { return !fail && WriteItemRows(id, items); };
  });
  OfferBoth(p, 21, 30);
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  const auto before = savetest::Snapshot(folder.Save());
  ASSERT_TRUE(p.b.s->SetConfirm(true));  // 甲 evaluates on its arrival, and fails
  Quiet(p);
  EXPECT_EQ(p.a.ev.failures, std::vector<std::string>{trade::kCommitFailedText});
  EXPECT_TRUE(p.a.ev.rounds.empty());
  EXPECT_TRUE(p.b.ev.rounds.empty());
  EXPECT_FALSE(p.a.ev.Logged(trade::kSuccessLine));
  EXPECT_EQ(p.a.s->OwnOffer(1).Ex, 101);  // memory unchanged
  EXPECT_EQ(p.a.s->PeerOffer(1).Ex, 201);
  EXPECT_FALSE(p.a.s->OwnConfirm());
  EXPECT_FALSE(p.b.s->PeerConfirm());
  const auto j = Journal(folder, "甲");
  ASSERT_EQ(j.size(), 2u);
  EXPECT_NE(j[1].find(" failed "), std::string::npos);
  auto after = savetest::Snapshot(folder.Save());
  std::erase_if(after, [](const auto& f) { return f.first.find(".trade.log") != std::string::npos; });
  EXPECT_EQ(after, before);
  // The next round, written this time.
  fail = false;
  ASSERT_TRUE(p.a.s->SetConfirm(true));
  Quiet(p);
  EXPECT_EQ(p.a.ev.rounds.size(), 1u);
  EXPECT_EQ(p.b.ev.rounds.size(), 1u);
}

TEST_F(TradeSessionTest, AWriteThatFailsAfterThePeerCompletedIsRetried) {
  for (bool recovers : {true, false}) {
    SCOPED_TRACE(recovers ? "recovers" : "stays broken");
    GameFolder fresh;
    MakeTradeSave(fresh, "甲", {{21, Item(101)}});
    MakeTradeSave(fresh, "乙", {{30, Item(201)}});
    bool fail = true;
    int tries = 0;
    Pair p([&](trade::SessionOptions& o) {
      o.write = [&](const std::string& id, const BagSlots& items) {
        ++tries;
        return !fail && WriteItemRows(id, items);
      };
    });
    OfferBoth(p, 21, 30);
    ASSERT_TRUE(p.b.s->SetConfirm(true));
    Quiet(p);
    ASSERT_TRUE(p.a.s->SetConfirm(true));  // 乙 completes on its arrival, 甲 on the answer
    p.Run(300);
    ASSERT_EQ(p.b.ev.rounds.size(), 1u);
    EXPECT_EQ(p.a.ev.failures, std::vector<std::string>{trade::kCommitUnsavedText});
    EXPECT_TRUE(p.a.s->Unsaved());
    EXPECT_EQ(MemoryItems(*p.a.s), (std::map<int, int>{{21, 201}}));  // the round stands
    EXPECT_FALSE(p.a.ev.Logged(trade::kSuccessLine));
    if (recovers) {
      fail = false;
      p.Run(trade::kCommitRetryMs + 100);
      EXPECT_FALSE(p.a.s->Unsaved());
      EXPECT_TRUE(p.a.ev.Logged(trade::kSuccessLine));
      EXPECT_EQ(p.a.ev.rounds.size(), 1u);
      EXPECT_EQ(DiskItems(fresh, "甲"), (std::map<int, int>{{21, 201}}));
    } else {
      p.Run(3 * trade::kCommitRetryMs);
      const int before = tries;
      EXPECT_GE(before, 3);
      p.a.s->Close(p.Now());
      EXPECT_EQ(tries, before + 1);  // once more before the window goes
      EXPECT_EQ(p.a.ev.failures.back(), trade::kCommitLostText);
      EXPECT_EQ(CountPrefix(Journal(fresh, "甲"), "lost"), 1);
      EXPECT_EQ(DiskItems(fresh, "甲"), (std::map<int, int>{{21, 101}}));
    }
  }
}

TEST_F(TradeSessionTest, OpenRefusesWhatCannotTradeAndLeavesNothingOpen) {
  MakeTradeSave(folder, "作弊", {}, "作弊");
  MakeTradeSave(folder, "缺行", {}, "普通", 119);
  plat::FileLock held;
  ASSERT_EQ(LockSave("乙", held), plat::FileLock::Result::Locked);
  struct Case {
    const char* name;
    Role role;
    const char* address;
    tradetest::FakeNetwork::ListenResult listen;
    std::string message;
  };
  using LR = tradetest::FakeNetwork::ListenResult;
  const std::vector<Case> cases = {
      {"无此人", Role::Host, "", LR::Ok, trade::kBadSaveText},
      {"作弊", Role::Host, "", LR::Ok, trade::kNotTradableText},
      {"缺行", Role::Host, "", LR::Ok, trade::kBadItemRowsText},
      {"乙", Role::Host, "", LR::Ok, std::string(kMsgSaveInUse)},
      {"甲", Role::Join, " 0.0.0.0 ", LR::Ok, trade::kBadAddressText},
      {"甲", Role::Join, "  ", LR::Ok, trade::kBadAddressText},
      {"甲", Role::Host, "", LR::InUse, trade::kHostInUseText},
      {"甲", Role::Host, "", LR::Failed, "in use"},  // the network's own words
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.address);
    tradetest::FakeNetwork net;
    net.listenResult = c.listen;
    Events ev;
    trade::SessionOptions o = Options(c.role, c.name);
    o.address = c.address;
    Session s(net, ev, o);
    std::string error;
    EXPECT_FALSE(s.Open(0, &error));
    EXPECT_EQ(error, c.message);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(net.listening);
    EXPECT_EQ(net.attempts, 0);
    EXPECT_TRUE(ev.log.empty());
    if (std::string(c.name) == "甲") {
      plat::FileLock lock;
      EXPECT_EQ(LockSave("甲", lock), plat::FileLock::Result::Locked);
    }
  }
  // While one session has the save, a second is refused.
  tradetest::FakeNetwork n1, n2;
  Events e1, e2;
  Session first(n1, e1, Options(Role::Host, "甲")), second(n2, e2, Options(Role::Host, "甲"));
  std::string error;
  ASSERT_TRUE(first.Open(0, &error)) << error;
  EXPECT_FALSE(second.Open(0, &error));
  EXPECT_EQ(error, kMsgSaveInUse);
  EXPECT_EQ(n2.listens, 0);
}

}  // namespace

namespace {

// One session against frames the test writes as the peer.
struct RawPeer {
  explicit RawPeer(const std::string& name = "甲") {
    net.incoming = conn.EndA();
    s = std::make_unique<Session>(net, ev, Options(Role::Host, name));
    std::string error;
    EXPECT_TRUE(s->Open(plat::Tick(), &error)) << error;
    Send("OK乙*");
  }
  void Send(const std::string& text) {
    conn.bToA->bytes += trade::ToCp936Lossy(text);
    Run(120);
  }
  void Run(std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += 10) {
      plat::CurrentClock().Sleep(10);
      s->Poll(plat::Tick());
    }
  }
  // Acknowledges the last frame we wrote that starts with `tag`; that frame ("" when none).
  std::string AckLast(const std::string& tag) {
    const std::string f = Last(tag);
    EXPECT_GE(f.size(), 3u) << "no " << tag << " of ours to acknowledge";
    if (f.size() >= 3) Send(std::string("YZ") + f[2] + "*");
    return f;
  }
  // The last frame we wrote that starts with `tag`.
  std::string Last(const std::string& tag) const {
    for (auto it = conn.aToB->writes.rbegin(); it != conn.aToB->writes.rend(); ++it) {
      const std::string f = trade::FromCp936(*it);
      if (f.rfind(tag, 0) == 0) return f;
    }
    return "";
  }
  testsupport::ScopedFakeClock clock;
  tradetest::FakeNetwork net;
  tradetest::Connection conn;
  Events ev;
  std::unique_ptr<Session> s;
};

// A busy literal peer: its confirm crosses our offer, our offer clears its box while two
// of its texts wait, so it says nothing, and its next click sends JY1 again, on which it
// completes once it has our JY1. That second JY1 does not count, and our confirm is
// refused until the peer clears and confirms once more; then the round completes.
TEST_F(TradeSessionTest, ABusyPeersSecondConfirmIsNotCountedAndOursWaitsForAFreshOne) {
  RawPeer p;
  ASSERT_TRUE(p.s->Trading());
  p.Send("WC1" + *trade::EncodeOffer(1, Item(201)).payload + "*");
  ASSERT_TRUE(p.s->Offer(21));
  p.Run(200);
  ASSERT_FALSE(p.Last("WC").empty());
  p.Send("JY21*");  // crossed our offer: shown, not counted
  p.AckLast("WC");
  EXPECT_TRUE(p.s->PeerConfirm());
  p.Send("JY31*");  // the busy peer's next click
  EXPECT_TRUE(p.s->PeerConfirm());
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(p.s->SetConfirm(true));
    EXPECT_FALSE(p.s->OwnConfirm());
  }
  EXPECT_EQ(std::count(p.ev.refusals.begin(), p.ev.refusals.end(), std::string("confirm:") + trade::kConfirmAgainLine),
            2);
  p.Run(500);
  EXPECT_EQ(p.Last("JY"), "");
  p.Send("JY40*");
  p.Send("JY51*");
  ASSERT_TRUE(p.s->SetConfirm(true));
  p.Run(200);
  EXPECT_EQ(p.AckLast("JY").substr(3), "1*");
  EXPECT_EQ(p.ev.rounds.size(), 1u);
  EXPECT_EQ(DiskItems(folder, "甲").at(21), 201);
}

// Our offer clears both boxes at once, and our confirm leaves the wire before the offer.
TEST_F(TradeSessionTest, OurOfferClearsBothBoxesAtOnce) {
  RawPeer p;
  p.Send("JY11*");
  ASSERT_TRUE(p.s->PeerConfirm());
  ASSERT_TRUE(p.s->Offer(21));
  EXPECT_FALSE(p.s->PeerConfirm());
  p.Run(200);
  p.AckLast("WC");
  ASSERT_TRUE(p.s->SetConfirm(true));
  p.Run(200);
  p.AckLast("JY");
  ASSERT_TRUE(p.s->OwnConfirm());
  ASSERT_TRUE(p.s->Offer(22));
  EXPECT_FALSE(p.s->OwnConfirm());
  p.Run(300);
  const std::string jy0 = trade::FromCp936(p.conn.aToB->writes.back());  // first the JY0 ...
  EXPECT_EQ(jy0.substr(0, 2) + jy0.substr(3), "JY0*");
  p.AckLast("JY");
  p.Run(200);
  EXPECT_EQ(trade::FromCp936(p.conn.aToB->writes.back()).substr(0, 2), "WC");  // ... then the offer
}

// Our JY1 goes on the wire only if we would complete on it: a refused offer of the peer
// and too little room refuse the click, each with its line, and nothing is sent.
TEST_F(TradeSessionTest, AConfirmIsRefusedWhileWeCouldNotComplete) {
  RawPeer p;
  ItemRecord unknown = Item(301);
  unknown.Name = "木剑";  // not in our table
  p.Send("WC1" + *trade::EncodeOffer(1, Item(201)).payload + "*");
  p.Send("WC2" + *trade::EncodeOffer(2, unknown).payload + "*");
  EXPECT_FALSE(p.s->PeerOfferValid(2));
  p.Send("JY31*");
  EXPECT_FALSE(p.s->SetConfirm(true));
  EXPECT_TRUE(p.ev.Logged(trade::kPeerOfferRefusedLine));
  p.Run(300);
  EXPECT_EQ(p.Last("JY"), "");
  // The refused slot emptied by the peer: the click goes through.
  p.Send("WC4002*");
  p.Send("JY50*");
  p.Send("JY61*");
  EXPECT_TRUE(p.s->SetConfirm(true));
  p.Run(200);
  EXPECT_EQ(p.Last("JY").substr(3), "1*");
}

TEST_F(TradeSessionTest, ACopyOfThePeersConfirmDoesNotMakeItFresh) {
  RawPeer p;
  ASSERT_TRUE(p.s->Trading());
  p.Send("WC1" + *trade::EncodeOffer(1, Item(201)).payload + "*");
  ASSERT_EQ(p.s->PeerOffer(1).Ex, 201);
  ASSERT_TRUE(p.s->Offer(21));
  p.Run(200);
  ASSERT_FALSE(p.Last("WC").empty());
  // The peer confirmed before it saw our offer; its copy of that confirm comes after our
  // offer was answered.
  p.Send("JY11*");
  p.AckLast("WC");
  p.Send("JY11*");
  EXPECT_TRUE(p.s->PeerConfirm());
  // The box shows it, but a peer whose box is set completes on our JY1, and we would not:
  // our confirm is refused until the peer confirms again, and nothing goes out.
  EXPECT_FALSE(p.s->SetConfirm(true));
  EXPECT_FALSE(p.s->OwnConfirm());
  EXPECT_TRUE(p.ev.Logged(trade::kConfirmAgainLine));
  p.Run(500);
  EXPECT_EQ(p.Last("JY"), "");
  EXPECT_TRUE(p.ev.rounds.empty());
  EXPECT_EQ(DiskItems(folder, "甲").count(21), 1u);
  // A confirm given again after our offer counts: our confirm completes once answered.
  p.Send("JY10*");
  p.Send("JY11*");
  ASSERT_TRUE(p.s->SetConfirm(true));
  p.Run(200);
  EXPECT_EQ(p.AckLast("JY").substr(3), "1*");
  EXPECT_EQ(p.ev.rounds.size(), 1u);
}

}  // namespace
