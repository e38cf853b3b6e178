// Two trade sessions over an in-memory pipe on the fake clock: the host "甲" and the
// joiner "乙", each with a save of its own, and delivery that a test holds and releases
// one frame at a time in each direction.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db.h"
#include "platform/text.h"
#include "trade/fake_network.h"
#include "trade/session.h"
#include "world/save_fixture.h"

namespace sessiontest {

using trade::BagSlots;
using trade::Session;
using Side = trade::SessionListener::Side;

// The kinds of items the tests trade; each test item has its own Ex, its identity.
struct Kind {
  const char* name;
  int type;
  const char* type2;
  int pic1, pic2;
};
inline constexpr Kind kKinds[] = {{"布衣", 12, "X", 17, 2}, {"短剑", 11, "A", 5, 1}, {"药水", 3, "B", 9, 0}};

inline ItemRecord Item(int ex, int kind = 0, int dzlevel = 0) {
  const Kind& k = kKinds[static_cast<std::size_t>(kind) % std::size(kKinds)];
  ItemRecord r;
  r.Name.assign(k.name, std::char_traits<char>::length(k.name));
  r.Type = k.type;
  r.Type2.assign(k.type2, std::char_traits<char>::length(k.type2));
  r.Pic1 = k.pic1;
  r.Pic2 = k.pic2;
  r.Money = 50;
  r.Ex = ex;
  r.dzlevel = dzlevel;
  return r;
}

// The tests' item table; `lacking` (a kind's index) leaves one kind out.
inline trade::ItemLookup Table(int lacking = -1) {
  return [lacking](const std::string& name, ItemRecord& row) {
    for (const Kind& k : kKinds) {
      if (name == k.name && &k - kKinds != lacking) {
        row = Item(0, static_cast<int>(&k - kKinds));
        return true;
      }
    }
    return false;
  };
}

// Every report of a session, as text, plus the rounds it completed.
struct Events : trade::SessionListener {
  void OnLog(const std::string& line) override { log.push_back(line); }
  void OnConnected(const std::string& peer) override { events.push_back("connected:" + peer); }
  void OnOffer(Side side, int k, const ItemRecord* item) override {
    events.push_back(std::string("offer:") + (side == Side::Own ? "own:" : "peer:") + std::to_string(k) +
                     ":" + (item ? std::to_string(item->Ex) : "-"));
  }
  void OnConfirm(Side side, bool value) override {
    events.push_back(std::string("confirm:") + (side == Side::Own ? "own:" : "peer:") + (value ? "1" : "0"));
  }
  void OnRefused(const std::string& what, const std::string& line) override {
    refusals.push_back(what + ":" + line);
  }
  void OnCommitted(const std::vector<ItemRecord>& gave, const std::vector<ItemRecord>& got) override {
    std::vector<int> g, r;
    for (const auto& i : gave) g.push_back(i.Ex);
    for (const auto& i : got) r.push_back(i.Ex);
    rounds.emplace_back(g, r);
    if (onCommitted) onCommitted();
  }
  void OnCommitFailed(const std::string& text) override { failures.push_back(text); }
  void OnClosed(const std::string& message) override {
    closed = true;
    closedText = message;
  }
  bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

  std::vector<std::string> log, events, refusals, failures;
  std::vector<std::pair<std::vector<int>, std::vector<int>>> rounds;  // Ex of the items given, got
  std::function<void()> onCommitted;
  bool closed = false;
  std::string closedText;
};

// Saves held in memory: the store of the randomised runs, where writing files would be
// too slow. A write can be made to fail.
struct MemoryStore {
  std::map<std::string, BagSlots> disk;
  std::map<std::string, std::vector<std::string>> journal;
  std::map<std::string, int> writes;
  std::function<bool(const std::string& id)> failWrite;

  void Install(trade::SessionOptions& o) {
    o.load = [this](const std::string& name, TradeSave& out, plat::FileLock&) {
      if (!disk.count(name)) return TradeLoadError::Unreadable;
      out.id = name;
      out.mode = "普通";
      out.items = disk[name];
      return TradeLoadError::None;
    };
    o.write = [this](const std::string& id, const BagSlots& items) {
      if (failWrite && failWrite(id)) return false;
      disk[id] = items;
      ++writes[id];
      return true;
    };
    o.journal = [this](const std::string& id, const std::string& line) {
      journal[id].push_back(line);
      return true;
    };
  }
};

// One side: its network, its events and its session.
struct End {
  tradetest::FakeNetwork net;
  Events ev;
  std::unique_ptr<Session> s;
};

inline trade::SessionOptions Options(trade::Role role, const std::string& name) {
  trade::SessionOptions o;
  o.role = role;
  o.address = role == trade::Role::Join ? "127.0.0.1" : "";
  o.name = name;
  o.localAddress = "127.0.0.1";
  o.table = Table();
  o.sleep = [](std::int64_t ms) { plat::SleepMs(ms); };
  return o;
}

class Pair {
 public:
  // The host `a` and the joiner `b`; `tune` may change each side's options first.
  explicit Pair(std::function<void(trade::SessionOptions&)> tuneA = {},
                std::function<void(trade::SessionOptions&)> tuneB = {}, const std::string& nameA = "甲",
                const std::string& nameB = "乙") {
    trade::SessionOptions oa = Options(trade::Role::Host, nameA), ob = Options(trade::Role::Join, nameB);
    if (tuneA) tuneA(oa);
    if (tuneB) tuneB(ob);
    a.s = std::make_unique<Session>(a.net, a.ev, oa);
    b.s = std::make_unique<Session>(b.net, b.ev, ob);
  }

  std::int64_t Now() const { return plat::Tick(); }

  // Opens both sides on a fresh connection and runs until both trade.
  void Connect() {
    conn = std::make_unique<tradetest::Connection>();
    a.net.incoming = conn->EndA();
    b.net.incoming = conn->EndB();
    b.net.connectOnAttempt = 1;
    cut = false;
    endAtoB_ = endBtoA_ = false;
    heldSinceAtoB_.clear();
    heldSinceBtoA_.clear();
    std::string error;
    ASSERT_TRUE(a.s->Open(Now(), &error)) << error;
    ASSERT_TRUE(b.s->Open(Now(), &error)) << error;
    for (int i = 0; i < 50 && !(a.s->Trading() && b.s->Trading()); ++i) Step(50);
    ASSERT_TRUE(a.s->Trading() && b.s->Trading());
  }

  tradetest::Pipe& AtoB() { return *conn->aToB; }
  tradetest::Pipe& BtoA() { return *conn->bToA; }
  void Hold(bool on = true) { AtoB().hold = BtoA().hold = on; }

  // Moves up to n held frames of a pipe to its reader; the number moved. A writer's end
  // reaches the reader after the frames written before it.
  int Deliver(tradetest::Pipe& p, int n = 1) {
    int moved = 0;
    std::size_t end = 0;
    while (moved < n) {
      const std::size_t star = p.held.find('*', end);
      if (star == std::string::npos) break;
      end = star + 1;
      ++moved;
    }
    p.bytes += p.held.substr(0, end);
    p.held.erase(0, end);
    auto& since = HeldSince(p);
    for (int i = 0; i < moved && !since.empty(); ++i) since.pop_front();
    if (p.held.empty() && EndWaits(p)) {
      EndWaits(p) = false;
      p.ended = true;
    }
    return moved;
  }
  static int HeldFrames(const tradetest::Pipe& p) {
    return static_cast<int>(std::count(p.held.begin(), p.held.end(), '*'));
  }
  // Delivers one frame from a to b, letting both sides run until it is handled.
  void PassAtoB(int n = 1) {
    Deliver(AtoB(), n);
    Step(10);
  }
  void PassBtoA(int n = 1) {
    Deliver(BtoA(), n);
    Step(10);
  }

  // The link dies: what is held is lost, and both ends see the end of the stream.
  void Cut() {
    cut = true;
    Hold();
    AtoB().held.clear();
    BtoA().held.clear();
    AtoB().ended = BtoA().ended = true;
  }

  // Moves the fake clock on and polls both sides.
  void Step(std::int64_t ms) {
    plat::CurrentClock().Sleep(ms);
    HoldEnds();
    a.s->Poll(Now());
    HoldEnds();
    b.s->Poll(Now());
    HoldEnds();
    if (cut) {
      AtoB().held.clear();
      BtoA().held.clear();
    }
  }
  // Runs ms milliseconds in steps of 10 ms (held frames stay held).
  void Run(std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += 10) Step(10);
  }
  // Releases everything and runs until both sides are quiet for a while.
  void Settle(std::int64_t ms = 3000) {
    Hold(false);
    Deliver(AtoB(), 1 << 30);
    Deliver(BtoA(), 1 << 30);
    Run(ms);
  }

  // An end written behind held frames waits for them.
  bool& EndWaits(const tradetest::Pipe& p) { return &p == conn->aToB.get() ? endAtoB_ : endBtoA_; }
  // When each held frame was written.
  std::deque<std::int64_t>& HeldSince(const tradetest::Pipe& p) {
    return &p == conn->aToB.get() ? heldSinceAtoB_ : heldSinceBtoA_;
  }
  // How long the oldest held frame of a pipe has waited (0: none).
  std::int64_t OldestHeld(tradetest::Pipe& p) {
    auto& since = HeldSince(p);
    return since.empty() ? 0 : Now() - since.front();
  }
  void HoldEnds() {
    for (tradetest::Pipe* p : {conn->aToB.get(), conn->bToA.get()}) {
      auto& since = HeldSince(*p);
      if (p->held.empty()) since.clear();
      while (static_cast<int>(since.size()) < HeldFrames(*p)) since.push_back(Now());
      if (!cut && p->ended && !p->held.empty()) {
        p->ended = false;
        EndWaits(*p) = true;
      }
    }
  }

  testsupport::ScopedFakeClock clock;
  End a, b;
  std::unique_ptr<tradetest::Connection> conn;
  bool cut = false;
  bool endAtoB_ = false, endBtoA_ = false;
  std::deque<std::int64_t> heldSinceAtoB_, heldSinceBtoA_;
};

// ---------------------------------------------------------------- saves on disk

// A tradable save with the given items in its slots.
inline void MakeTradeSave(const savetest::GameFolder& folder, const std::string& id,
                          const std::map<int, ItemRecord>& items, const std::string& mode = "普通",
                          int rows = 120) {
  savetest::MakeSave(folder.SaveFile(id), id, "战士", true, {}, [&](plat::db::Connection& c) {
    c.Execute("UPDATE Save1 SET M20 = ?", {plat::db::Value(mode)});
    for (const auto& [slot, it] : items) {
      c.Execute(
          "UPDATE Save2 SET Name = ?, Type = ?, Type2 = ?, Pic1 = ?, Pic2 = ?, Money = ?, Ex = ?, dzlevel = "
          "? "
          "WHERE No = ?",
          {it.Name, it.Type, it.Type2, it.Pic1, it.Pic2, it.Money, it.Ex, it.dzlevel, slot});
    }
    if (rows < 120) c.Execute("DELETE FROM Save2 WHERE No > ?", {rows});
  });
}

// The item slots of a save as (slot, Ex) of the slots holding an item.
inline std::map<int, int> DiskItems(const savetest::GameFolder& folder, const std::string& id) {
  std::map<int, int> out;
  savetest::Inspect(folder.SaveFile(id), [&](plat::db::Connection& c) {
    plat::db::Recordset rs;
    rs.Open("select * from Save2 where ID = ?", c, {id});
    for (; !rs.Eof(); rs.MoveNext()) {
      if (!plat::Trim(rs["Name"].AsText()).empty()) {
        out[static_cast<int>(rs["No"].AsInt())] = static_cast<int>(rs["Ex"].AsInt());
      }
    }
  });
  return out;
}

// The item slots of a session's bag, the same way.
inline std::map<int, int> MemoryItems(const Session& s) {
  std::map<int, int> out;
  for (int i = 1; i <= kItemSlots; ++i) {
    if (!s.Bag(i).Name.empty()) out[i] = s.Bag(i).Ex;
  }
  return out;
}

inline std::map<int, int> BagItems(const BagSlots& bag) {
  std::map<int, int> out;
  for (int i = 1; i <= kItemSlots; ++i) {
    if (!bag[static_cast<std::size_t>(i)].Name.empty()) out[i] = bag[static_cast<std::size_t>(i)].Ex;
  }
  return out;
}

}  // namespace sessiontest
