// Trades between two headless peers as real processes on loopback, each on its own game
// folder and save, through the fault-injecting proxy: whole rounds, crossing confirms, a
// cut at every frame of the commit exchange and kill -9 inside the commit. Every run ends
// with the checks on the files.
#include <gtest/gtest.h>

#include <future>
#include <random>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/net.h"
#include "platform/paths.h"
#include "trade/trade_run.h"
#include "world/save_game.h"

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
  run.hostP->Send("chat 换不换*");
  run.joinP->Send("chat 果然是好东西！");
  EXPECT_FALSE(run.joinP->WaitFor({"\"event\":\"chat\",\"from\":\"甲\",\"text\":\"换不换＊\""}).empty());
  EXPECT_FALSE(
      run.hostP->WaitFor({"\"event\":\"chat\",\"from\":\"乙二\",\"text\":\"果然是好东西！\""}).empty());
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

// One item each way, then the host confirms and the joiner after it (or both at once);
// false at the first step that did not happen within waitMs (a cut link stops a round
// anywhere).
bool OneRound(TradeRun& run, bool crossing, int waitMs = 5000) {
  if (!Act(*run.hostP, "offer 21", OwnOffer(1), waitMs) ||
      run.joinP->WaitFor({PeerOffer(1), "\"Ex\":"}, waitMs).empty())
    return false;
  if (!Act(*run.joinP, "offer 21", OwnOffer(1), waitMs) ||
      run.hostP->WaitFor({PeerOffer(1), "\"Ex\":"}, waitMs).empty())
    return false;
  if (crossing) {
    // Both boxes clicked at once (each tried again while its offer is unacknowledged). A
    // stalled offer arrives again after its re-send and clears both boxes, as any offer
    // does: then both click again.
    for (int round = 0; round < 3; ++round) {
      auto host =
          std::async(std::launch::async, [&] { Act(*run.hostP, "confirm 1", ConfirmEvent("own", 1)); });
      Act(*run.joinP, "confirm 1", ConfirmEvent("own", 1));
      host.get();
      if (!run.hostP->WaitFor({Event("committed")}, 3000).empty()) break;
    }
  } else {
    if (!Act(*run.hostP, "confirm 1", ConfirmEvent("own", 1), waitMs)) return false;
    if (run.joinP->WaitFor({ConfirmEvent("peer", 1)}, waitMs).empty()) return false;
    run.joinP->Send("confirm 1");
  }
  return true;
}

// The bag of a party after one round of OneRound: its slot 21 holds the peer's item.
tradefiles::Bag AfterRound(const tradefiles::Bag& own, const tradefiles::Bag& peer) {
  tradefiles::Bag b = own;
  b[21] = peer[21];
  return b;
}

TEST(TradeProcesses, CrossingConfirmsCommitOnBothSides) {
  // Plain, frames merged into one write, split writes, and a stall that forces re-sends
  // in place.
  const std::vector<std::vector<std::string>> faults = {{},
                                                        {"--merge", "--seed", "3"},
                                                        {"--split", "--seed", "5"},
                                                        {"--stall-ms", "2500", "--stall-after-frames", "6"}};
  tradetest::InParallel(0, static_cast<int>(faults.size()) - 1, [&](int i) {
    SCOPED_TRACE("faults " + std::to_string(i));
    TradeRun run(1, 1, i);
    ASSERT_TRUE(run.Connect(faults[static_cast<std::size_t>(i)], true));
    ASSERT_TRUE(OneRound(run, true));
    EXPECT_FALSE(run.hostP->WaitFor({Event("committed")}, 10000).empty()) << run.Dump();
    EXPECT_FALSE(run.joinP->WaitFor({Event("committed")}, 10000).empty());
    // Both boxes end clear on both sides, and a second round may follow.
    EXPECT_FALSE(run.hostP->WaitFor({ConfirmEvent("peer", 0)}).empty());
    EXPECT_FALSE(run.joinP->WaitFor({ConfirmEvent("peer", 0)}).empty());
    EXPECT_EQ(run.End(), std::make_pair(0, 0));
    EXPECT_EQ(run.Check(), Outcome::Both);
    EXPECT_EQ(tradefiles::BagText(tradefiles::ReadBag(run.host.SaveFile(), run.host.name)),
              tradefiles::BagText(AfterRound(run.hostBefore.bag, run.joinBefore.bag)));
  });
}

// The joiner closes right after its confirm: a commit may then be pending on the host's
// acknowledgement, so the close waits for it (held up here for 1.5 s) and both commit.
TEST(TradeProcesses, CloseRightAfterTheLastConfirmWaitsForTheCommit) {
  const std::vector<std::vector<std::string>> faults = {{},
                                                        {"--stall-ms", "1500", "--stall-after-frames", "9"}};
  tradetest::InParallel(0, static_cast<int>(faults.size()) - 1, [&](int i) {
    SCOPED_TRACE("faults " + std::to_string(i));
    TradeRun run(1, 1, 30 + i);
    ASSERT_TRUE(run.Connect(faults[static_cast<std::size_t>(i)], true));
    ASSERT_TRUE(OneRound(run, false));
    run.joinP->Send("close");
    EXPECT_FALSE(run.joinP->WaitFor({trade::kCloseWaitLine}).empty()) << run.Dump();
    EXPECT_FALSE(run.joinP->WaitFor({Event("committed")}, 8000).empty()) << run.Dump();
    EXPECT_FALSE(run.hostP->WaitFor({Event("closed"), trade::kPeerLeftText}, 8000).empty()) << run.Dump();
    EXPECT_EQ(run.End(), std::make_pair(0, 0));
    EXPECT_EQ(run.Check(), Outcome::Both);
  });
}

// The proxy cuts the link right after frame N, for every N from the last offer's
// acknowledgement to past the commit (frames counted both ways: 2 greetings, 2 offers with
// their acknowledgements, then the confirms). Each round completes on both sides or on
// neither, except a cut right after the joiner's confirm: the host commits and its
// acknowledgement never leaves, which both journals show.
TEST(TradeProcesses, CutAtEveryFrameOfTheCommitExchange) {
  constexpr int kFirst = 6, kLast = 14;
  std::vector<Outcome> outcomes(kLast + 1);
  tradetest::InParallel(kFirst, kLast, [&](int n) {
    SCOPED_TRACE("cut after frame " + std::to_string(n));
    TradeRun run(1, 1, n);
    ASSERT_TRUE(run.Connect(
        {"--cut-after-frames", std::to_string(n), "--cut-mode", n % 2 == 0 ? "close" : "reset"}, true));
    if (OneRound(run, false, 1500)) {
      // The round ends in a commit, or in the link's end.
      run.joinP->WaitFor({Event("closed")}, 1500);
    }
    run.End();
    outcomes[static_cast<std::size_t>(n)] = run.Check();
    const auto hostBag = tradefiles::ReadBag(run.host.SaveFile(), run.host.name);
    EXPECT_TRUE(hostBag == run.hostBefore.bag ||
                hostBag == AfterRound(run.hostBefore.bag, run.joinBefore.bag))
        << tradefiles::BagText(hostBag);
  });
  EXPECT_EQ(outcomes[kFirst], Outcome::Neither);
  EXPECT_EQ(outcomes[kLast], Outcome::Both);
  for (int n = kFirst; n <= kLast; ++n) {
    if (outcomes[static_cast<std::size_t>(n)] == Outcome::OneSided) {
      EXPECT_EQ(n, 9);
    }
  }
}

// kill -9 at a random moment inside the commit of either side: its save is the old
// version or the new one, whole, and the next trade opens it.
TEST(TradeProcesses, KillNineInsideTheCommit) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 draw(seed);
  constexpr int kRuns = 6;
  std::vector<int> delaysUs(kRuns);
  for (int& d : delaysUs) d = std::uniform_int_distribution<int>(0, 12000)(draw);
  tradetest::InParallel(0, kRuns - 1, [&delaysUs](int i) {
    const bool killHost = i % 2 == 0;
    const int delayUs = delaysUs[static_cast<std::size_t>(i)];
    SCOPED_TRACE(std::string(killHost ? "host" : "joiner") + " killed " + std::to_string(delayUs) + " us in");
    TradeRun run(1, 1, 20 + i);
    ASSERT_TRUE(run.Connect({}, false));
    ASSERT_TRUE(OneRound(run, false));
    tradetest::ChildProcess& victim = killHost ? *run.hostP : *run.joinP;
    ASSERT_FALSE(victim.WaitFor({Event("writing")}, 8000).empty());
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    victim.Signal(SIGKILL);
    victim.Wait();
    const bool written = !victim.WaitFor({Event("written")}, 0).empty();
    run.End();
    run.Check();
    const tradefiles::Party& p = killHost ? run.host : run.join;
    const auto& before = killHost ? run.hostBefore : run.joinBefore;
    const auto bag = tradefiles::ReadBag(p.SaveFile(), p.name);
    const tradefiles::Bag after = AfterRound(before.bag, killHost ? run.joinBefore.bag : run.hostBefore.bag);
    EXPECT_TRUE(bag == after || (!written && bag == before.bag)) << tradefiles::BagText(bag);
    // A save left by a killed trade opens again.
    auto again = run.Peer("trade_peer", "host", p, 0);
    EXPECT_FALSE(again->WaitFor({Event("listening")}).empty());
    again->CloseInput();
    EXPECT_EQ(again->Wait(), 0);
  });
}

// A set-up that fails ends the peer with its message before anything is opened, and
// leaves the save as it was and free for the next use.
TEST(TradeProcesses, SetUpFailuresEndBeforeAnythingOpens) {
  struct Case {
    const char* what;
    std::string sql;   // run on the host's save first
    std::string role;  // of the second peer
    std::string address;
    bool holdSave;        // another peer holds the save
    bool holdPort;        // something listens on the port
    std::string removed;  // a file of the host's game folder removed first
    std::string message;
  };
  const std::vector<Case> cases = {
      {"cheat account", "UPDATE Save1 SET M20 = '作弊'", "host", "127.0.0.1", false, false, "",
       trade::kNotTradableText},
      {"a missing item row", "DELETE FROM Save2 WHERE No = 77", "host", "127.0.0.1", false, false, "",
       trade::kBadItemRowsText},
      {"a second user of the save", "", "join", "127.0.0.1", true, false, "", std::string(kMsgSaveInUse)},
      {"a port in use", "", "host", "127.0.0.1", false, true, "", trade::kHostInUseText},
      {"no address to join", "", "join", " 0.0.0.0 ", false, false, "", trade::kBadAddressText},
      {"no item table", "", "host", "127.0.0.1", false, false, "date/Mon/74.dat", "no item table"},
      {"no save of the character", "", "join", "127.0.0.1", false, false, "Save/甲.kzs", trade::kBadSaveText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TradeRun run(1, 0);
    if (!c.sql.empty()) {
      savetest::Modify(run.host.SaveFile(), [&](plat::db::Connection& db) { db.Execute(c.sql); });
      run.hostBefore = TradeRun::Snapshot(run.host);
    }
    const std::filesystem::path removed = run.host.folder / std::filesystem::u8path(c.removed);
    if (!c.removed.empty()) {
      ASSERT_TRUE(std::filesystem::remove(removed));
      run.hostBefore = TradeRun::Snapshot(run.host);
    }
    std::unique_ptr<tradetest::ChildProcess> holder;
    if (c.holdSave) {
      holder = run.Peer("trade_peer", "host", run.host, 0);
      ASSERT_FALSE(holder->WaitFor({Event("listening")}).empty());
    }
    plat::TcpListener busy;
    int port = 0;
    if (c.holdPort) {
      busy.Listen("127.0.0.1", 0);
      port = busy.Port();
    }
    tradetest::ChildProcess peer("trade_peer",
                                 {c.role, "--address", c.address, "--port", std::to_string(port), "--folder",
                                  run.host.folder.string(), "--name", run.host.name},
                                 run.dir.path() / "setup.err");
    EXPECT_EQ(peer.Wait(), 1);
    EXPECT_TRUE(peer.lines.empty() || peer.WaitFor({Event("listening")}, 0).empty());
    const auto err = plat::ReadAllBytes(run.dir.path() / "setup.err").value_or(std::vector<std::uint8_t>{});
    EXPECT_NE(std::string(err.begin(), err.end()).find(c.message), std::string::npos)
        << std::string(err.begin(), err.end());
    if (holder) {
      holder->CloseInput();
      EXPECT_EQ(holder->Wait(), 0);
    }
    EXPECT_EQ(TradeRun::Snapshot(run.host).bytes, run.hostBefore.bytes);
    if (!c.removed.empty()) {
      EXPECT_FALSE(std::filesystem::exists(removed)) << "made again";
    }
    std::filesystem::remove(run.dir.path() / "setup.err");
  }
}

// Two game folders that share one Save folder (the second's is a link to the first's):
// while a peer or a game holds the character through one, a peer or a game through the
// other is refused; a lock that cannot be taken is said so; once free, the character
// trades from either folder, and no lock file stays.
TEST(TradeProcesses, ASaveSharedByTwoGameFoldersHasOneUser) {
  namespace fs = std::filesystem;
  TradeRun run(1, 0);
  const tradefiles::Party twin{run.dir.path() / "twin", run.host.name};
  fs::create_directories(twin.folder / "date" / "Mon");
  fs::copy_file(tradefiles::ItemTable(), twin.folder / "date" / "Mon" / "74.dat");
  fs::create_directory_symlink(run.host.folder / "Save", twin.folder / "Save");
  const fs::path previous = plat::ProgramFolder();

  // A peer on the party's folder ends at its set-up with the message.
  const auto refused = [&](const tradefiles::Party& p, const std::string& message) {
    const fs::path errLog = run.dir.path() / "refused.err";
    tradetest::ChildProcess peer(
        "trade_peer",
        {"host", "--address", "127.0.0.1", "--port", "0", "--folder", p.folder.string(), "--name", p.name},
        errLog);
    EXPECT_EQ(peer.Wait(), 1);
    const auto err = plat::ReadAllBytes(errLog).value_or(std::vector<std::uint8_t>{});
    EXPECT_NE(std::string(err.begin(), err.end()).find(message), std::string::npos)
        << std::string(err.begin(), err.end());
    fs::remove(errLog);
  };
  for (const auto& [holds, other] : {std::pair(run.host, twin), std::pair(twin, run.host)}) {
    SCOPED_TRACE(holds.folder == twin.folder ? "held through the link" : "held directly");
    auto holder = run.Peer("trade_peer", "host", holds, 0);
    ASSERT_FALSE(holder->WaitFor({Event("listening")}).empty());
    refused(other, std::string(kMsgSaveInUse));
    plat::SetProgramFolder(other.folder);  // a game there
    plat::FileLock game;
    EXPECT_EQ(LockSave(other.name, game), plat::FileLock::Result::Busy);
    holder->CloseInput();
    EXPECT_EQ(holder->Wait(), 0);
    ASSERT_EQ(LockSave(other.name, game), plat::FileLock::Result::Locked);
    refused(holds, std::string(kMsgSaveInUse));
  }
  plat::SetProgramFolder(run.host.folder);
  const fs::path lockFile = SaveLockPath(run.host.name);
  plat::SetProgramFolder(previous);
  fs::create_directory(lockFile);  // a folder where the lock file goes
  refused(twin, std::string(kMsgSaveLockFailed));
  fs::remove(lockFile);

  auto again = run.Peer("trade_peer", "host", twin, 0);
  EXPECT_FALSE(again->WaitFor({Event("listening")}).empty());
  again->CloseInput();
  EXPECT_EQ(again->Wait(), 0);
  EXPECT_EQ(TradeRun::Snapshot(run.host).bytes, run.hostBefore.bytes);
  EXPECT_EQ(plat::ListFiles(run.host.folder / "Save"), std::vector<std::string>{run.host.name + ".kzs"});
}

// Under a file size limit (`ulimit -f`) a write past it fails like any other: at the
// set-up the reading copy of the save cannot be made; at a commit the new save cannot be
// written. The peer takes its failure path instead of being killed by SIGXFSZ, no partial
// copy stays in Save, and the save is as it was.
TEST(TradeProcesses, AFileSizeLimitFailsTheWriteAndNotThePeer) {
  namespace fs = std::filesystem;
  const auto saveFolder = [](const tradefiles::Party& p) {
    auto names = plat::ListFiles(p.folder / "Save");
    std::sort(names.begin(), names.end());
    return names;
  };
  for (const auto& [program, message] : {std::pair<std::string, std::string>("trade_peer", kMsgNoWorkCopy),
                                         {"trade_literal_peer", "cannot load the save"}}) {
    SCOPED_TRACE(program + ", set-up");
    TradeRun run(1, 0);
    std::unique_ptr<tradetest::ChildProcess> peer;
    {
      testsupport::ChildFileSizeLimit limit(fs::file_size(run.host.SaveFile()) / 2);
      peer = run.Peer(program, "host", run.host, 0);
    }
    EXPECT_EQ(peer->Wait(), 1);
    const auto err = plat::ReadAllBytes(run.dir.path() / "host.err").value_or(std::vector<std::uint8_t>{});
    EXPECT_NE(std::string(err.begin(), err.end()).find(message), std::string::npos)
        << std::string(err.begin(), err.end());
    EXPECT_EQ(TradeRun::Snapshot(run.host).bytes, run.hostBefore.bytes);
    EXPECT_EQ(saveFolder(run.host), std::vector<std::string>{run.host.name + ".kzs"});
  }
  {
    SCOPED_TRACE("commit");
    // The host confirms first and so commits first, on the joiner's confirm; the limit
    // leaves room for the reading copy, not for a new save as large as the old one.
    TradeRun run(1, 1);
    {
      testsupport::ChildFileSizeLimit limit(fs::file_size(run.host.SaveFile()) - 10);
      run.hostP = run.Peer("trade_peer", "host", run.host, 0);
    }
    const int port = tradetest::ListeningPort(*run.hostP);
    ASSERT_GT(port, 0);
    run.joinP = run.Peer("trade_peer", "join", run.join, port);
    ASSERT_FALSE(run.hostP->WaitFor({Event("connected")}, 8000).empty());
    ASSERT_TRUE(OneRound(run, false));
    EXPECT_FALSE(run.hostP->WaitFor({Event("commit_failed"), trade::kCommitFailedText}, 8000).empty())
        << run.Dump();
    EXPECT_EQ(run.End(), std::make_pair(0, 0));
    EXPECT_EQ(run.Check(), Outcome::Neither);
    EXPECT_EQ(saveFolder(run.host),
              (std::vector<std::string>{run.host.name + ".kzs", run.host.name + ".trade.log"}));
  }
}

}  // namespace
