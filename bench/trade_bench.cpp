// One trade round between two sessions over an in-memory connection, on a fake clock:
// each side offers an item, one confirms, the other confirms as soon as it sees it, and
// the round is over when both have written their saves (held in memory here, so the
// figure is the protocol's own time). The benchmark's time is the processor time of a
// round; the counter "round_ms" is the round's time on the trade's clock, from the first
// confirm to the second commit.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "trade/fake_network.h"  // the tests' in-memory connection
#include "trade/session.h"

namespace {

struct Counter : trade::SessionListener {
  void OnCommitted(const std::vector<ItemRecord>&, const std::vector<ItemRecord>&) override { ++rounds; }
  int rounds = 0;
};

ItemRecord Cloth(int ex) {
  ItemRecord r = tradetest::Cloth();
  r.Ex = ex;
  return r;
}

struct Side {
  Side(trade::Role role, const std::string& name, std::unique_ptr<trade::Stream> end,
       std::map<std::string, trade::BagSlots>& disk) {
    net.incoming = std::move(end);
    net.connectOnAttempt = 1;
    trade::SessionOptions o;
    o.role = role;
    o.address = "127.0.0.1";
    o.name = name;
    o.localAddress = "127.0.0.1";
    o.table = tradetest::TableOf({tradetest::Cloth()});
    o.sleep = [](std::int64_t ms) { plat::CurrentClock().Sleep(ms); };
    o.load = [&disk](const std::string& id, TradeSave& out, plat::FileLock&) {
      out.id = id;
      out.mode = "普通";
      out.items = disk[id];
      return TradeLoadError::None;
    };
    o.write = [&disk](const std::string& id, const trade::BagSlots& items) {
      disk[id] = items;
      return true;
    };
    o.journal = [](const std::string&, const std::string&) { return true; };
    session = std::make_unique<trade::Session>(net, counter, o);
  }
  tradetest::FakeNetwork net;
  Counter counter;
  std::unique_ptr<trade::Session> session;
};

void BM_TradeRound(benchmark::State& state) {
  plat::FakeClock clock;
  plat::SetClock(&clock);
  std::map<std::string, trade::BagSlots> disk;
  for (int j = trade::kBagFirstSlot; j <= trade::kBagFirstSlot + 20; ++j) {
    disk["甲"][static_cast<std::size_t>(j)] = Cloth(100 + j);
    disk["乙"][static_cast<std::size_t>(j)] = Cloth(200 + j);
  }
  tradetest::Connection conn;
  Side a(trade::Role::Host, "甲", conn.EndA(), disk);
  Side b(trade::Role::Join, "乙", conn.EndB(), disk);
  a.session->Open(clock.Now(), nullptr);
  b.session->Open(clock.Now(), nullptr);
  auto step = [&] {
    clock.Advance(1);
    a.session->Poll(clock.Now());
    b.session->Poll(clock.Now());
  };
  auto until = [&](auto done) {
    for (int i = 0; i < 20000 && !done(); ++i) step();
  };
  until([&] { return a.session->Trading() && b.session->Trading(); });

  double roundMs = 0;
  int rounds = 0;
  for (auto _ : state) {
    // Each side offers the first item of its bag; the round starts once both are settled.
    auto firstItem = [](const trade::Session& s) {
      for (int j = trade::kBagFirstSlot; j <= trade::kBagLastSlot; ++j) {
        if (!s.Bag(j).Name.empty()) return j;
      }
      return 0;
    };
    a.session->Offer(firstItem(*a.session));
    b.session->Offer(firstItem(*b.session));
    until([&] { return a.session->PeerOfferCount() == 1 && b.session->PeerOfferCount() == 1; });
    for (int i = 0; i < 3000; ++i) step();  // everything acknowledged
    const std::int64_t start = clock.Now();
    const int before = a.counter.rounds + b.counter.rounds;
    a.session->SetConfirm(true);
    until([&] { return b.session->PeerConfirm(); });
    b.session->SetConfirm(true);
    until([&] { return a.counter.rounds + b.counter.rounds == before + 2; });
    roundMs += static_cast<double>(clock.Now() - start);
    ++rounds;
    for (int i = 0; i < 1000; ++i) step();  // the JY0s after the round
  }
  state.counters["round_ms"] = rounds > 0 ? roundMs / rounds : 0;
  a.session->Close(clock.Now());
  b.session->Close(clock.Now());
  plat::SetClock(nullptr);
}
BENCHMARK(BM_TradeRound)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
