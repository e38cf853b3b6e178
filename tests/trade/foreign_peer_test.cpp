// Our headless peer against peers that are not ours: a literal peer that follows the
// protocol to the letter, faults included, and a hostile one that sends whatever it likes.
// Nothing may change in our save that a completed round did not bring.
#include <gtest/gtest.h>
#include <atomic>
#include <fstream>
#include <chrono>
#include <thread>
#include <sys/resource.h>

#include "platform/net.h"
#include "trade/trade_run.h"

namespace {

using tradetest::Act;
using tradetest::ConfirmEvent;
using tradetest::Event;
using tradetest::OwnOffer;
using tradetest::PeerOffer;
using tradetest::TradeRun;
using Outcome = TradeRun::Outcome;

// ---------------------------------------------------------------- the literal peer

struct LiteralCase {
  const char* what;
  bool literalHosts;
  bool literalConfirmsFirst;
  std::vector<std::string> faults;  // through the proxy when not empty
  bool completes;                   // the round must complete (else: whole or not at all)
};

// Two offers each, then both confirm, the one after the other; true when every step came.
bool LiteralRound(TradeRun& run, const LiteralCase& c, int waitMs) {
  tradetest::ChildProcess& ours = c.literalHosts ? *run.joinP : *run.hostP;
  tradetest::ChildProcess& literal = c.literalHosts ? *run.hostP : *run.joinP;
  // The literal peer's offers go through its 400 ms pump.
  for (int k = 1; k <= 2; ++k) {
    if (!Act(ours, "offer " + std::to_string(20 + k), OwnOffer(k), waitMs)) return false;
    if (literal.WaitFor({PeerOffer(k), "\"Ex\":"}, waitMs).empty()) return false;
    literal.Send("offer " + std::to_string(20 + k));
    if (ours.WaitFor({PeerOffer(k), "\"Ex\":"}, waitMs).empty()) return false;
  }
  // The first confirm is seen by the other side before the second is clicked.
  for (const bool first : {true, false}) {
    if (first == c.literalConfirmsFirst) {
      literal.Send("confirm 1");
      if (first && ours.WaitFor({ConfirmEvent("peer", 1)}, waitMs).empty()) return false;
    } else {
      if (!Act(ours, "confirm 1", ConfirmEvent("own", 1), waitMs)) return false;
      if (first && literal.WaitFor({ConfirmEvent("peer", 1)}, waitMs).empty()) return false;
    }
  }
  return !ours.WaitFor({Event("committed")}, waitMs).empty() &&
         !literal.WaitFor({Event("committed")}, waitMs).empty();
}

TEST(LiteralPeer, RoundsAreWholeOnBothSides) {
  const std::vector<LiteralCase> cases = {
      {"ours confirms first", false, false, {}, true},
      {"the literal peer confirms first", true, true, {}, true},
      // The literal peer handles only the first frame of a merged read; every frame still
      // arrives within 2 s, so no round may be one-sided.
      {"merged writes", false, true, {"--merge", "--seed", "9"}, false},
  };
  tradetest::InParallel(0, static_cast<int>(cases.size()) - 1, [&](int i) {
    const LiteralCase& c = cases[static_cast<std::size_t>(i)];
    SCOPED_TRACE(c.what);
    TradeRun run(2, 2, 40 + i);
    ASSERT_TRUE(run.Connect(c.faults, !c.faults.empty(), c.literalHosts ? "trade_literal_peer" : "trade_peer",
                            c.literalHosts ? "trade_peer" : "trade_literal_peer"))
        << run.Dump();
    const bool whole = LiteralRound(run, c, c.completes ? 8000 : 3000);
    if (c.completes) {
      EXPECT_TRUE(whole) << run.Dump();
    }
    tradetest::ChildProcess& ours = c.literalHosts ? *run.joinP : *run.hostP;
    ours.Send("wait 500");
    ours.Send("close");
    const auto [h, j] = run.End();
    EXPECT_EQ(c.literalHosts ? j : h, 0);
    const Outcome o = run.Check({}, false);
    EXPECT_NE(o, Outcome::OneSided) << run.Dump();
    if (c.completes) {
      EXPECT_EQ(o, Outcome::Both);
    }
  });
}

// A stall of more than 2 s at each frame of the commit exchange: the literal peer then
// reads frames merged into one (and misreads all but the first) and re-sends with new
// digits. A round may then complete on one side only, which no rule of ours can prevent;
// it must show in the journal of our side.
TEST(LiteralPeer, StalledRoundsAreWholeOrInTheJournal) {
  constexpr int kFirst = 5, kLast = 12;
  tradetest::InParallel(kFirst, kLast, [](int n) {
    SCOPED_TRACE("stall after frame " + std::to_string(n));
    TradeRun run(1, 1, 70 + n);
    ASSERT_TRUE(run.Connect({"--stall-ms", "2200", "--stall-after-frames", std::to_string(n)}, true,
                            "trade_peer", "trade_literal_peer"));
    tradetest::ChildProcess& ours = *run.hostP;
    tradetest::ChildProcess& literal = *run.joinP;
    if (Act(ours, "offer 21", OwnOffer(1)) && !literal.WaitFor({PeerOffer(1), "\"Ex\":"}, 5000).empty()) {
      literal.Send("offer 21");
      ours.WaitFor({PeerOffer(1), "\"Ex\":"}, 5000);
      Act(ours, "confirm 1", ConfirmEvent("own", 1), 3000);
      literal.WaitFor({ConfirmEvent("peer", 1)}, 3000);
      literal.Send("confirm 1");
      ours.WaitFor({Event("committed")}, 3000);
      literal.WaitFor({Event("committed")}, 3000);
    }
    ours.Send("close");
    run.End();
    const Outcome o = run.Check({}, false);
    if (o == Outcome::OneSided) {
      EXPECT_NE(tradefiles::JournalText(run.host), "") << run.Dump();
    }
  });
}

// The joiner offers an item our item table lacks: our confirm is refused, so that a peer
// completing on it (a literal peer whose box is set, or our own copy on its next round)
// cannot leave the round one-sided. The same with two of our copies whose tables differ.
TEST(LiteralPeer, AnOfferOurTableRefusesStopsOurConfirm) {
  const std::vector<std::string> joiners = {"trade_literal_peer", "trade_peer"};
  tradetest::InParallel(0, 1, [&](int i) {
    SCOPED_TRACE(joiners[static_cast<std::size_t>(i)]);
    TradeRun run(1, 1, 90 + i);
    const std::string unknown = run.joinBefore.bag.at(21).Name;
    ASSERT_TRUE(tradefiles::DropFromItemTable(run.host, unknown));
    ASSERT_TRUE(run.Connect({}, false, "trade_peer", joiners[static_cast<std::size_t>(i)])) << run.Dump();
    tradetest::ChildProcess& ours = *run.hostP;
    tradetest::ChildProcess& other = *run.joinP;
    ASSERT_TRUE(Act(ours, "offer 21", OwnOffer(1))) << run.Dump();
    ASSERT_FALSE(other.WaitFor({PeerOffer(1), "\"Ex\":"}).empty()) << run.Dump();
    other.Send("offer 21");
    ASSERT_FALSE(ours.WaitFor({"\"what\":\"peer_offer\""}).empty()) << run.Dump();
    ASSERT_TRUE(Act(other, "confirm 1", ConfirmEvent("own", 1))) << run.Dump();
    ASSERT_FALSE(ours.WaitFor({ConfirmEvent("peer", 1)}).empty()) << run.Dump();
    EXPECT_TRUE(Act(ours, "confirm 1", tradetest::Refused("confirm", trade::kPeerOfferRefusedLine))) << run.Dump();
    EXPECT_TRUE(other.WaitFor({Event("committed")}, 1500).empty()) << run.Dump();
    ours.Send("close");
    run.End();
    EXPECT_EQ(run.Check({}, false), Outcome::Neither) << run.Dump();
  });
}

// A busy literal peer: its confirm crosses our offer (both held by a stall), and our
// offer reaches it while two of its chat lines wait, so it clears its box without a word.
// Its next confirm looks like a re-sent copy: ours is refused until it clears and
// confirms again, and then the round completes on both sides.
TEST(LiteralPeer, ABusyPeersRenewedConfirmNeverMakesAOneSidedRound) {
  std::atomic<int> busyRuns{0};
  // The peer's queue must hold two texts at the moment our offer arrives; a run where it
  // did not is still checked, and the runs are repeated until one was busy.
  for (int round = 0; round < 3 && busyRuns.load() == 0; ++round) tradetest::InParallel(0, 2, [&](int i) {
    SCOPED_TRACE(i);
    TradeRun run(1, 1, 95 + i);
    // The stall comes after the first frame that follows the greetings: the peer's JY1.
    ASSERT_TRUE(run.Connect({"--stall-ms", "1500", "--stall-after-frames", "3"}, true, "trade_peer",
                            "trade_literal_peer"))
        << run.Dump();
    tradetest::ChildProcess& ours = *run.hostP;
    tradetest::ChildProcess& literal = *run.joinP;
    literal.Send("confirm 1");
    // Chat keeps two texts waiting in its queue until our offer reaches it; the offer
    // goes once the peer's JY1 is on its way.
    for (int t = 0; t < 2400; t += 50) {
      literal.Send("chat 稍等");
      if (t == 450) ours.Send("offer 21");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const bool busy = !literal.WaitFor({"■ 任务忙 请放慢速度  ■"}, 3000).empty();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // its queue drains
    literal.Send("confirm 1");
    ASSERT_FALSE(ours.WaitFor({ConfirmEvent("peer", 1)}).empty()) << run.Dump();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    if (busy) {
      ++busyRuns;
      EXPECT_TRUE(Act(ours, "confirm 1", tradetest::Refused("confirm", trade::kConfirmAgainLine))) << run.Dump();
      EXPECT_TRUE(literal.WaitFor({Event("committed")}, 1000).empty()) << run.Dump();
      literal.Send("confirm 0");
      literal.Send("confirm 1");
      const std::size_t from = ours.lines.size();
      ASSERT_FALSE(ours.WaitFor({ConfirmEvent("peer", 0)}, 5000, from).empty()) << run.Dump();
      ASSERT_FALSE(ours.WaitFor({ConfirmEvent("peer", 1)}, 5000, from).empty()) << run.Dump();
    }
    EXPECT_TRUE(Act(ours, "confirm 1", ConfirmEvent("own", 1))) << run.Dump();
    EXPECT_FALSE(ours.WaitFor({Event("committed")}).empty()) << run.Dump();
    EXPECT_FALSE(literal.WaitFor({Event("committed")}).empty()) << run.Dump();
    ours.Send("close");
    run.End();
    EXPECT_EQ(run.Check({}, false), Outcome::Both) << run.Dump();
  });
  EXPECT_GT(busyRuns.load(), 0);
}

// ---------------------------------------------------------------- the hostile peer

// A hostile joiner on a raw socket: it writes what it is told and reads what comes.
class Hostile {
 public:
  explicit Hostile(int port) {
    plat::TcpConnector c;
    c.Start("127.0.0.1", static_cast<std::uint16_t>(port), 3000);
    while (c.Poll() == plat::TcpConnector::State::Connecting)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (c.CurrentState() == plat::TcpConnector::State::Connected) stream_ = c.Take();
  }
  bool Connected() const { return stream_.IsOpen(); }
  // Writes the text as CP936 bytes.
  bool Write(const std::string& text, int timeoutMs = 2000) {
    return stream_.SendAll(trade::ToCp936Lossy(text), timeoutMs);
  }
  bool WriteBytes(const std::string& bytes, int timeoutMs) { return stream_.SendAll(bytes, timeoutMs); }
  // What came so far, decoded.
  std::string Received() {
    stream_.ReadAvailable(received_);
    return trade::FromCp936(received_);
  }
  // Waits for our next frame with the tag and acknowledges it by its digit.
  bool AckNext(const std::string& tag, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      const std::string got = Received();
      const std::size_t at = got.find(tag, seen_);
      if (at != std::string::npos && at + 2 < got.size()) {
        seen_ = at + 3;
        return Write("YZ" + got.substr(at + 2, 1) + "*");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Close() { stream_.Close(0); }
  void Reset() { stream_.Reset(); }

 private:
  plat::TcpStream stream_;
  std::string received_;
  std::size_t seen_ = 0;  // in the decoded text
};

// Our peer hosting a trade for a hostile joiner: one bag item, nothing else.
struct HostileRun {
  HostileRun() : run(1, 0, 60) {
    ours = run.Peer("trade_peer", "host", run.host, 0);
    port = tradetest::ListeningPort(*ours);
  }
  // Our save is exactly as it was, and whole.
  void ExpectSaveUnchanged() {
    EXPECT_EQ(plat::ReadAllBytes(run.host.SaveFile()).value_or(std::vector<std::uint8_t>{}),
              run.hostBefore.bytes);
    tradefiles::ExpectIntact(run.host, run.hostBefore.save1);
  }
  TradeRun run;
  std::unique_ptr<tradetest::ChildProcess> ours;
  int port = 0;
};

// An offer payload in the wire's layout for item `it` in offer slot k.
std::string Offer(int k, const ItemRecord& it) {
  const auto p = trade::EncodeOffer(k, it).payload;
  return p ? *p : std::string();
}

TEST(HostilePeer, GarbageGreetingClosesTheLink) {
  HostileRun h;
  Hostile bad(h.port);
  ASSERT_TRUE(bad.Connected());
  bad.Write("GET / HTTP/1.0*OK名字*");
  EXPECT_FALSE(h.ours->WaitFor({Event("closed")}).empty());
  EXPECT_TRUE(h.ours->WaitFor({Event("connected")}, 0).empty());
  EXPECT_EQ(h.ours->Wait(), 3);
  h.ExpectSaveUnchanged();
}

// Bad digits and slots, shifted, forged and unknown offers: each is acknowledged or
// dropped as the wire says, the bad ones leave the peer's slot refused, and a confirm
// from the peer never makes us write while one stays refused.
TEST(HostilePeer, BadFramesAndForgedOffersNeverReachTheSave) {
  HostileRun h;
  Hostile bad(h.port);
  ASSERT_TRUE(bad.Connected());
  ASSERT_TRUE(bad.Write("OK坏人*"));
  ASSERT_FALSE(h.ours->WaitFor({Event("connected"), "坏人"}).empty());

  const std::vector<ItemRecord> items = tradefiles::TestItems(2, 5000);
  ItemRecord forged = items[0];
  forged.dzlevel = 3;
  ItemRecord unknown = items[0];
  unknown.Name = "无此道具";
  ItemRecord wrongPicture = items[0];
  wrongPicture.Pic1 += 1;
  std::string shifted = Offer(4, items[0]);
  shifted.insert(30, "0");  // one field written wider: every later one shifted
  const std::string frames[] = {
      "SY0零号*",                        // digit 0: dropped without acknowledgement
      "JYx1*",                           // not a digit
      "YZ5*",                            // an acknowledgement for a free slot
      "JY12*",                           // a confirm that is neither 0 nor 1
      "WC2" + Offer(1, items[1]) + "*",  // valid: slot 1 holds it
      "WC3" + Offer(2, forged) + "*",    // forged
      "WC4" + Offer(3, unknown) + "*",   // not in the item table
      "WC5" + shifted + "*",             // 91 characters
      "WC6" + Offer(5, wrongPicture) + "*",
      "WC7011*",                            // a withdrawal of slot 11
      "WC81" + std::string(89, '9') + "*",  // nonsense in every field
      "OVERX*",                             // not exactly OVER
  };
  for (const std::string& f : frames) {
    ASSERT_TRUE(bad.Write(f));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  EXPECT_FALSE(h.ours->WaitFor({PeerOffer(1), items[1].Name}).empty());
  for (int k : {2, 3, 4, 5}) {
    EXPECT_FALSE(h.ours->WaitFor({PeerOffer(k), "\"item\":null"}).empty()) << k;
  }
  // We offer and try to confirm: refused while slots of the peer stay refused, so that
  // the peer cannot complete on a confirm of ours; the peer's confirm completes nothing.
  ASSERT_TRUE(bad.Write("YZ9*"));
  ASSERT_TRUE(Act(*h.ours, "offer 21", OwnOffer(1)));
  ASSERT_TRUE(bad.AckNext("WC"));
  ASSERT_TRUE(Act(*h.ours, "confirm 1", tradetest::Refused("confirm", trade::kPeerOfferRefusedLine)));
  bad.Write("JY91*");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(h.ours->WaitFor({ConfirmEvent("own", 1)}, 0).empty());
  EXPECT_EQ(bad.Received().find("JY"), std::string::npos);
  EXPECT_TRUE(h.ours->WaitFor({Event("committed")}, 0).empty());
  EXPECT_TRUE(h.ours->WaitFor({Event("writing")}, 0).empty());
  // The acknowledgements: every frame with a valid digit, none for the others.
  const std::string got = bad.Received();
  for (const char* ack : {"YZ1*", "YZ2*", "YZ3*", "YZ4*", "YZ5*", "YZ6*", "YZ7*", "YZ8*"}) {
    EXPECT_NE(got.find(ack), std::string::npos) << ack;
  }
  EXPECT_EQ(got.find("YZ0*"), std::string::npos);
  EXPECT_EQ(got.find("YZx*"), std::string::npos);
  h.ours->Send("close");
  EXPECT_EQ(h.ours->Wait(), 0);
  h.ExpectSaveUnchanged();
}

// A 10 MB frame without "*", and a flood of chat: our memory stays what a plain link
// takes, and the end of the stream is noticed at once.
// The peak resident memory of a running process, in KiB (0 when it cannot be read).
long PeakKiB(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

TEST(HostilePeer, HugeFrameAndChatFloodKeepMemoryBounded) {
  enum class Kind { Plain, Flood, Huge, Backlog };
  [[maybe_unused]] long plainKiB = 0, plainPeakKiB = 0;
  for (const Kind kind : {Kind::Plain, Kind::Flood, Kind::Huge, Kind::Backlog}) {
    SCOPED_TRACE(static_cast<int>(kind));
    HostileRun h;
    Hostile bad(h.port);
    ASSERT_TRUE(bad.Connected());
    ASSERT_TRUE(bad.Write("OK洪水*"));
    ASSERT_FALSE(h.ours->WaitFor({Event("connected")}).empty());
    if (kind == Kind::Huge) {
      bad.WriteBytes(std::string(10 * 1024 * 1024, 'A'), 3000);  // fails once we close
      EXPECT_FALSE(h.ours->WaitFor({Event("closed"), trade::kLinkLostText}).empty());
    } else if (kind == Kind::Backlog) {
      // A million queued frames, each owed an acknowledgement: nothing piles up, and our
      // own close is not held by them.
      std::string flood;
      for (int i = 0; i < 1'000'000; ++i) flood += std::string("JY") + static_cast<char>('1' + i % 9) + "x*";
      flood += "SY1读完*";
      ASSERT_TRUE(bad.Write(flood, 20000));
      ASSERT_FALSE(h.ours->WaitFor({"读完"}, 30000).empty());  // every frame handled
#if !defined(__SANITIZE_ADDRESS__)
      EXPECT_LT(PeakKiB(h.ours->Pid()), plainPeakKiB + 4 * 1024) << "KiB";
#endif
      const auto closedAt = std::chrono::steady_clock::now();
      h.ours->Send("close");
      EXPECT_FALSE(h.ours->WaitFor({Event("closed")}, 5000).empty());
#if defined(__SANITIZE_ADDRESS__)
      const auto bound = std::chrono::milliseconds(3000);  // the sanitizer's build reads the backlog slower
#else
      const auto bound = std::chrono::milliseconds(1000);
#endif
      EXPECT_LT(std::chrono::steady_clock::now() - closedAt, bound);
      EXPECT_NE(bad.Received().find("OVER*"), std::string::npos);
    } else {
      if (kind == Kind::Flood) {
        std::string flood;
        for (int i = 0; i < 20000; ++i)
          flood += "SY" + std::to_string(1 + i % 9) + "灌水" + std::to_string(i) + "*";
        ASSERT_TRUE(bad.Write(flood, 5000));
        EXPECT_FALSE(h.ours->WaitFor({"灌水19999"}, 15000).empty());
      }
      if (kind == Kind::Plain) plainPeakKiB = PeakKiB(h.ours->Pid());
      const auto closedAt = std::chrono::steady_clock::now();
      bad.Close();
      EXPECT_FALSE(h.ours->WaitFor({Event("closed"), trade::kLinkLostText}, 1000).empty()) << "within 1 s";
      EXPECT_LT(std::chrono::steady_clock::now() - closedAt, std::chrono::milliseconds(1000));
    }
    EXPECT_EQ(h.ours->Wait(), kind == Kind::Backlog ? 0 : 3);
    h.ExpectSaveUnchanged();
    if (kind == Kind::Backlog) continue;  // its peak was read from the running process above
    // The largest peer process so far (a plain link first).
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    if (kind == Kind::Plain) plainKiB = use.ru_maxrss;
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own allocator keeps freed memory resident
    EXPECT_LT(use.ru_maxrss, plainKiB + 6 * 1024) << "KiB";
#endif
  }
}

}  // namespace
