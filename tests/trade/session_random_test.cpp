// Seeded random trades between two sessions: random actions on both sides, random
// delivery, writes that fail now and then, and a link cut at a random frame or inside the
// commit exchange. After every run: no item lost, doubled or made up; every round on both
// sides or on neither (a cut inside the last message excepted, and then in the journal);
// memory equal to the save after every commit; the save files whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/files.h"
#include "platform/paths.h"
#include "session_pair.h"
#include "world/file_marker.h"

namespace {

using namespace sessiontest;
using Exes = std::vector<int>;

const std::string kA = "甲", kB = "乙";
constexpr std::int64_t kMaxHoldMs = 20000;

// Removes one copy of ex; false when there is none.
bool Take(Exes& v, int ex) {
  const auto it = std::find(v.begin(), v.end(), ex);
  if (it == v.end()) return false;
  v.erase(it);
  return true;
}

Exes Sorted(Exes v) {
  std::sort(v.begin(), v.end());
  return v;
}

// The Ex of each item of a journal list ("gave=[...]"): the last five characters of
// each item's offer form.
Exes JournalExes(const std::string& line, const std::string& key) {
  Exes out;
  const std::size_t open = line.find(key + "=[");
  if (open == std::string::npos) return out;
  const std::size_t from = open + key.size() + 2, close = line.find(']', from);
  std::string list = line.substr(from, close - from);
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t bar = list.find('|', at);
    if (bar == std::string::npos) bar = list.size();
    if (bar - at >= 5) out.push_back(std::atoi(list.substr(bar - 5, 5).c_str()));
    at = bar + 1;
  }
  return Sorted(out);
}

// One character row of a save, every column as text.
std::vector<std::string> CharacterRow(const savetest::GameFolder& folder, const std::string& id) {
  std::vector<std::string> row;
  savetest::Inspect(folder.SaveFile(id), [&](plat::db::Connection& c) {
    plat::db::Recordset rs;
    rs.Open("select * from Save1 where ID = ?", c, {id});
    for (const std::string& col : rs.Columns()) row.push_back(col + "=" + rs[col].AsText());
  });
  return row;
}

void ExpectWholeSave(const savetest::GameFolder& folder, const std::string& id) {
  const auto bytes = savetest::ReadFile(folder.SaveFile(id));
  const auto marker = FileHeaderBytes();
  ASSERT_GE(bytes.size(), marker.size());
  EXPECT_TRUE(std::equal(marker.begin(), marker.end(), bytes.begin())) << id;
  savetest::Inspect(folder.SaveFile(id), [&](plat::db::Connection& c) {
    EXPECT_EQ(c.Scalar("PRAGMA integrity_check").AsText(), "ok") << id;
    plat::db::Recordset rs;
    rs.Open("select * from Save2 where ID = ?", c, {id});
    std::vector<int> nos;
    for (; !rs.Eof(); rs.MoveNext()) nos.push_back(static_cast<int>(rs["No"].AsInt()));
    std::sort(nos.begin(), nos.end());
    std::vector<int> want(120);
    for (int i = 0; i < 120; ++i) want[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(nos, want) << id;
  });
}

struct Discard {
  std::string side;
  int ex;
  int writesBefore;
};

class RandomTrade {
 public:
  RandomTrade(std::uint64_t seed, bool real)
      : rng_(seed), real_(real), trace_(std::getenv("ORVANTH_TRADE_TRACE")) {}

  void Run() {
    if (real_) folder_ = std::make_unique<savetest::GameFolder>();
    if (U(4) == 0) {
      lackingSide_ = U(2) ? kA : kB;
      lackingKind_ = U(3);
    }
    const BagSlots a = RandomBag(1000), b = RandomBag(2000);
    for (const BagSlots* bag : {&a, &b}) {
      for (const auto& [slot, ex] : BagItems(*bag)) initial_.push_back(ex);
    }
    if (real_) {
      MakeTradeSave(*folder_, kA, AsMap(a));
      MakeTradeSave(*folder_, kB, AsMap(b));
      rowA_ = CharacterRow(*folder_, kA);
      rowB_ = CharacterRow(*folder_, kB);
    } else {
      store_.disk[kA] = a;
      store_.disk[kB] = b;
    }
    Pair p([this](trade::SessionOptions& o) { Tune(o); }, [this](trade::SessionOptions& o) { Tune(o); });
    pair_ = &p;
    for (End* e : {&p.a, &p.b}) {
      const std::string name = e == &p.a ? kA : kB;
      e->ev.onCommitted = [this, e, name] {
        if (trace_) std::fprintf(stderr, "  %s committed\n", name.c_str());
        if (firstCommitAt_ < 0) firstCommitAt_ = delivered_;
        // A round written late by a retry holds the bag of its own time.
        const bool retried = std::count(e->ev.failures.begin(), e->ev.failures.end(),
                                        std::string(trade::kCommitUnsavedText)) > 0;
        if (!retried) {
          EXPECT_EQ(Disk(name), MemoryItems(*e->s)) << name;
        }
      };
    }
    p.Connect();
    if (::testing::Test::HasFatalFailure()) return;
    // Our JY1 leaves only when we would complete on it.
    for (End* e : {&p.a, &p.b}) {
      (e == &p.a ? p.AtoB() : p.BtoA()).onWrite = [e](const std::string& bytes) {
        if (bytes.size() != 5 || bytes.compare(0, 2, "JY") != 0 || bytes[3] != '1') return;
        const Session& s = *e->s;
        bool valid = true;
        for (int k = 1; k <= trade::kOfferSlots; ++k) valid = valid && s.PeerOfferValid(k);
        EXPECT_TRUE(s.OwnConfirm() && valid && s.PeerOfferCount() <= s.FreeBagSlots() &&
                    (!s.PeerConfirm() || s.PeerConfirmCounts()))
            << s.Name() << " sent " << bytes;
      };
    }
    p.Hold();
    cutMode_ = U(4);
    cutAt_ = 1 + U(100);
    cutAfter_ = U(5);

    for (int step = 0; step < 160 && !p.cut; ++step) {
      // A frame is held 20 s at the most: a longer stall is a lost link.
      for (tradetest::Pipe* pipe : {&p.AtoB(), &p.BtoA()}) {
        while (p.OldestHeld(*pipe) > kMaxHoldMs && DeliverOne(*pipe)) {
        }
      }
      End& e = U(2) ? p.a : p.b;
      const std::string& name = &e == &p.a ? kA : kB;
      const int r = U(1000);
      std::string did;
      if (r < 150) {
        const int slot = 21 + U(36);
        did = "offer " + std::to_string(slot) + (e.s->Offer(slot) ? " ok" : " no");
      } else if (r < 200) {
        const int k = 1 + U(10);
        did = "withdraw " + std::to_string(k) + (e.s->Withdraw(k) ? " ok" : " no");
      } else if (r < 400) {
        const bool v = U(4) != 0;
        did = std::string("confirm ") + (v ? "1" : "0") + (e.s->SetConfirm(v) ? " ok" : " no");
      } else if (r < 420) {
        const int slot = 21 + U(36);
        const int ex = e.s->Bag(slot).Ex;
        if (e.s->Discard(slot)) discards_.push_back({name, ex, writes_[name]});
        did = "discard";
      } else if (r < 440) {
        e.s->Say("x*y");
        did = "say";
      } else if (r < 445) {
        e.s->Close(p.Now());
        did = "close";
      } else if (r < 900) {
        tradetest::Pipe& pipe = U(2) ? p.AtoB() : p.BtoA();
        for (int n = 1 + U(3); n > 0; --n) DeliverOne(pipe);
      }
      if (trace_ && !did.empty()) {
        std::fprintf(stderr, "t=%lld %s %s\n", static_cast<long long>(p.Now()), name.c_str(), did.c_str());
      }
      if (did == "close") break;
      const int t = U(10);
      p.Step(t < 5 ? 10 : t < 8 ? 120 : t < 9 ? 400 : 2100);
    }

    // The end: one side closes, everything held arrives (unless the link is cut).
    End* closer = nullptr;
    const std::int64_t closedAt = p.Now();
    if (!p.cut) {
      closer = U(2) ? &p.a : &p.b;
      if (trace_)
        std::fprintf(stderr, "t=%lld %s close at the end\n", static_cast<long long>(p.Now()),
                     closer->s->Name().c_str());
      closer->s->Close(p.Now());
    }
    for (int t = 0; t < 20000 && (p.a.s->IsOpen() || p.b.s->IsOpen()); t += 50) {
      while (DeliverOne(p.AtoB()) || DeliverOne(p.BtoA())) {
      }
      p.Step(50);
      // A close waits for a pending commit, and no longer.
      if (closer != nullptr && closer->s->IsOpen()) {
        EXPECT_LT(p.Now() - closedAt, 6000);
      }
    }
    EXPECT_FALSE(p.a.s->IsOpen());
    EXPECT_FALSE(p.b.s->IsOpen());
    Check(p);
    pair_ = nullptr;
  }

 private:
  int U(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }

  BagSlots RandomBag(int base) {
    BagSlots bag;
    const int n = U(37);
    for (int i = 0; i < n; ++i) {
      const int slot = 21 + U(36);
      if (!bag[static_cast<std::size_t>(slot)].Name.empty()) continue;
      ItemRecord it = Item(base + i, U(3), U(12) == 0 ? 1 : 0);
      if (U(25) == 0) it.Money = -1;  // not sellable: cannot be offered
      bag[static_cast<std::size_t>(slot)] = it;
    }
    bag[3] = Item(base + 90, 1);  // worn, and in the storage box: never part of a trade
    bag[80] = Item(base + 91, 2);
    return bag;
  }

  static std::map<int, ItemRecord> AsMap(const BagSlots& bag) {
    std::map<int, ItemRecord> out;
    for (int i = 1; i <= kItemSlots; ++i) {
      if (!bag[static_cast<std::size_t>(i)].Name.empty()) out[i] = bag[static_cast<std::size_t>(i)];
    }
    return out;
  }

  void Tune(trade::SessionOptions& o) {
    if (!real_) store_.Install(o);
    // Now and then the two item tables differ: one side refuses a kind the other offers.
    if (o.name == lackingSide_) o.table = Table(lackingKind_);
    auto write = o.write;
    o.write = [this, write](const std::string& id, const BagSlots& items) {
      // Now and then a write fails, never twice running.
      const bool fail = !failedLast_[id] && U(20) == 0;
      failedLast_[id] = fail;
      if (fail) return false;
      const bool ok = write ? write(id, items) : WriteItemRows(id, items);
      if (ok) ++writes_[id];
      return ok;
    };
    auto journal = o.journal;
    o.journal = [this, journal](const std::string& id, const std::string& line) {
      journal_[id].push_back(line);
      if (journal) return journal(id, line);
      return plat::AppendDurably(plat::ResolvePath("\\Save\\" + id + ".trade.log"), line + "\n");
    };
  }

  // Delivers the next held frame of a pipe, or cuts the link there.
  bool DeliverOne(tradetest::Pipe& pipe) {
    if (pair_->cut || Pair::HeldFrames(pipe) == 0) return false;
    if ((cutMode_ == 1 && delivered_ + 1 == cutAt_) ||
        (cutMode_ == 2 && firstCommitAt_ >= 0 && delivered_ == firstCommitAt_ + cutAfter_)) {
      pair_->Cut();
      return false;
    }
    if (trace_) {
      const std::string frame = pipe.held.substr(0, pipe.held.find('*') + 1);
      std::fprintf(stderr, "  %s %s\n", &pipe == &pair_->AtoB() ? "甲->乙" : "乙->甲",
                   trade::FromCp936(frame).c_str());
    }
    pair_->Deliver(pipe, 1);
    ++delivered_;
    return true;
  }

  std::map<int, int> Disk(const std::string& id) {
    return real_ ? DiskItems(*folder_, id) : BagItems(store_.disk[id]);
  }

  void Check(Pair& p) {
    const auto& ra = p.a.ev.rounds;
    const auto& rb = p.b.ev.rounds;
    const std::size_t common = std::min(ra.size(), rb.size());
    for (std::size_t i = 0; i < common; ++i) {
      EXPECT_EQ(Sorted(ra[i].first), Sorted(rb[i].second)) << "round " << i;
      EXPECT_EQ(Sorted(ra[i].second), Sorted(rb[i].first)) << "round " << i;
    }
    Exes found;
    for (const std::string& id : {kA, kB}) {
      for (const auto& [slot, ex] : Disk(id)) found.push_back(ex);
    }
    if (ra.size() != rb.size()) {
      // One round completed on one side only: the link died inside its last message, and
      // the other side's journal has it, which mends the count.
      ASSERT_EQ(std::max(ra.size(), rb.size()), common + 1);
      EXPECT_TRUE(p.cut);
      const bool aAhead = ra.size() > rb.size();
      const auto& extra = aAhead ? ra.back() : rb.back();
      const std::vector<std::string>& lagging = journal_[aAhead ? kB : kA];
      auto it = std::find_if(lagging.rbegin(), lagging.rend(), [](const std::string& l) {
        return l.find(" unanswered ") != std::string::npos;
      });
      ASSERT_NE(it, lagging.rend()) << "no journal line for the one-sided round";
      EXPECT_EQ(JournalExes(*it, "gave"), Sorted(extra.second));
      EXPECT_EQ(JournalExes(*it, "got"), Sorted(extra.first));
      for (int ex : extra.second) EXPECT_TRUE(Take(found, ex)) << ex;
      for (int ex : extra.first) found.push_back(ex);
      ++oneSided;
    }
    // Nothing doubled or made up; what is missing was thrown away and a later write kept that.
    Exes expected = initial_;
    for (const Discard& d : discards_) {
      if (writes_[d.side] > d.writesBefore && std::count(found.begin(), found.end(), d.ex) == 0) {
        EXPECT_TRUE(Take(expected, d.ex)) << d.ex;
      }
    }
    EXPECT_EQ(Sorted(found), Sorted(expected));
    rounds += static_cast<int>(common);
    if (real_) {
      ExpectWholeSave(*folder_, kA);
      ExpectWholeSave(*folder_, kB);
      EXPECT_EQ(CharacterRow(*folder_, kA), rowA_);
      EXPECT_EQ(CharacterRow(*folder_, kB), rowB_);
    }
  }

 public:
  int rounds = 0, oneSided = 0;

 private:
  std::mt19937_64 rng_;
  std::string lackingSide_;  // a side whose item table lacks a kind, in some runs
  int lackingKind_ = -1;
  bool real_;
  std::unique_ptr<savetest::GameFolder> folder_;
  MemoryStore store_;
  Pair* pair_ = nullptr;
  std::map<std::string, int> writes_;
  std::map<std::string, bool> failedLast_;
  std::map<std::string, std::vector<std::string>> journal_;
  std::vector<Discard> discards_;
  Exes initial_;
  std::vector<std::string> rowA_, rowB_;
  int cutMode_ = 0, cutAt_ = 0, cutAfter_ = 0;
  int delivered_ = 0, firstCommitAt_ = -1;
  bool trace_ = false;
};

// ORVANTH_TRADE_SEED=n runs that one seed alone (ORVANTH_TRADE_TRACE=1 shows it);
// ORVANTH_TRADE_RUNS=n runs n seeds.
TEST(TradeSessionRandom, EveryRoundOnBothSidesOrNeitherAndNoItemLost) {
  const char* one = std::getenv("ORVANTH_TRADE_SEED");
  const std::uint64_t first = one ? std::strtoull(one, nullptr, 10) : 1;
  const char* many = std::getenv("ORVANTH_TRADE_RUNS");  // more runs by hand
  const int runs = one ? 1 : many ? std::atoi(many) : 3000;
  int rounds = 0, oneSided = 0;
  for (int i = 0; i < runs; ++i) {
    const std::uint64_t seed = first + static_cast<std::uint64_t>(i);
    const bool real = seed % 250 == 0;  // a sample on real save files
    RandomTrade run(seed, real);
    run.Run();
    rounds += run.rounds;
    oneSided += run.oneSided;
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "seed " << seed << (real ? " (real files)" : "")
                    << ": rerun with ORVANTH_TRADE_SEED=" << seed;
      return;
    }
  }
  // The runs must reach the commit, and now and then cut inside it.
  if (!one) {
    EXPECT_GT(rounds, runs / 2);
    EXPECT_GT(oneSided, 0);
  }
  std::printf("%d rounds completed on both sides, %d one-sided by a cut (journaled)\n", rounds, oneSided);
}

}  // namespace
