// Trades between two headless peers as real processes on loopback, each on its own game
// folder and save, through the fault-injecting proxy: whole rounds, crossing confirms, a
// cut at every frame of the commit exchange and kill -9 inside the commit. Every run ends
// with the checks on the files.
#include <gtest/gtest.h>

#include <future>
#include <random>

#include "trade/trade_run.h"

namespace {

using tradetest::Act;
using tradetest::ConfirmEvent;
using tradetest::Event;
using tradetest::OwnOffer;
using tradetest::PeerOffer;
using tradetest::TradeRun;
using Outcome = TradeRun::Outcome;

// Both sides offer their items; each offer is seen by the other side.
void OfferAll(TradeRun& run, int hostItems, int joinItems) {
  for (int i = 0; i < std::max(hostItems, joinItems); ++i) {
    if (i < hostItems) {
      ASSERT_TRUE(Act(*run.hostP, "offer " + std::to_string(21 + i), OwnOffer(i + 1)));
      ASSERT_FALSE(run.joinP->WaitFor({PeerOffer(i + 1), "\"Ex\":"}).empty());
    }
    if (i < joinItems) {
      ASSERT_TRUE(Act(*run.joinP, "offer " + std::to_string(21 + i), OwnOffer(i + 1)));
      ASSERT_FALSE(run.hostP->WaitFor({PeerOffer(i + 1), "\"Ex\":"}).empty());
    }
  }
}

TEST(TradeProcesses, SeveralItemsBothWaysThroughSplitWrites) {
  TradeRun run(3, 3);
  ASSERT_TRUE(run.Connect({"--split", "--seed", "7"}, true));
  OfferAll(run, 3, 2);
  // A withdrawal and a discard on the way: the withdrawn item stays, the discarded one
  // goes with the commit.
  ASSERT_TRUE(Act(*run.hostP, "withdraw 2", "\"side\":\"own\",\"slot\":2,\"item\":null"));
  ASSERT_FALSE(run.joinP->WaitFor({"\"side\":\"peer\",\"slot\":2,\"item\":null"}).empty());
  run.joinP->Send("discard 80");  // storage is not the bag: refused
  ASSERT_FALSE(run.joinP->WaitFor({"\"what\":\"discard\""}).empty());
  run.joinP->Send("discard 23");
  ASSERT_TRUE(Act(*run.hostP, "confirm 1", ConfirmEvent("own", 1)));
  ASSERT_FALSE(run.joinP->WaitFor({ConfirmEvent("peer", 1)}).empty());
  ASSERT_TRUE(Act(*run.joinP, "confirm 1", ConfirmEvent("own", 1)));
  const std::string hostDone = run.hostP->WaitFor({Event("committed")}, 8000);
  const std::string joinDone = run.joinP->WaitFor({Event("committed")}, 8000);
  ASSERT_FALSE(hostDone.empty());
  ASSERT_FALSE(joinDone.empty());
  const auto& hb = run.hostBefore.bag;
  const auto& jb = run.joinBefore.bag;
  EXPECT_NE(hostDone.find("\"gave\":[\"" + hb[21].Name + "\",\"" + hb[23].Name + "\"]"), std::string::npos)
      << hostDone;
  EXPECT_NE(joinDone.find("\"got\":[\"" + hb[21].Name + "\",\"" + hb[23].Name + "\"]"), std::string::npos)
      << joinDone;
  EXPECT_EQ(run.End(), std::make_pair(0, 0));
  ASSERT_EQ(run.Check({tradefiles::Identity(run.joinBefore.bag[23])}), Outcome::Both);

  // The received items fill the first free bag slots in the order of their offer slots;
  // what a side gave is gone from it, the withdrawn item is back in the bag.
  const tradefiles::Bag h = tradefiles::ReadBag(run.host.SaveFile(), run.host.name);
  const tradefiles::Bag j = tradefiles::ReadBag(run.join.SaveFile(), run.join.name);
  EXPECT_EQ(tradefiles::Identity(h[21]), tradefiles::Identity(hb[22]));  // withdrawn into the first free slot
  EXPECT_EQ(tradefiles::Identity(h[22]), tradefiles::Identity(jb[21]));
  EXPECT_EQ(tradefiles::Identity(h[23]), tradefiles::Identity(jb[22]));
  EXPECT_TRUE(h[24].Name.empty());
  EXPECT_EQ(tradefiles::Identity(j[21]), tradefiles::Identity(hb[21]));
  EXPECT_EQ(tradefiles::Identity(j[22]), tradefiles::Identity(hb[23]));
  EXPECT_TRUE(j[23].Name.empty()) << "discarded";
  EXPECT_EQ(h[3], hb[3]);
  EXPECT_EQ(h[80], hb[80]);
  EXPECT_EQ(j[21], hb[21]) << "every field travels";
  EXPECT_NE(tradefiles::JournalText(run.host).find(" committed "), std::string::npos);
}

}  // namespace
