// A seeded fuzzer on what the peer sends: random and mutated frames, cut at random, into
// a trading link. No crash, bounded memory, and the peer's offers change only through a
// valid offer frame that carried exactly the item reported.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "trade/fake_network.h"
#include "trade/link.h"
#include "trade/wire.h"

namespace {

struct Checker : tradetest::Recorder {
  std::set<std::string> completed;  // the frames completed by the current input, decoded
  int offers = 0, failures = 0;
  void OnPeerOffer(int slot, const ItemRecord& item) override {
    ++offers;
    const trade::OfferText t = trade::EncodeOffer(slot, item);
    bool found = false;
    for (char d = '1'; d <= '9' && t.payload; ++d)
      found = found || completed.count("WC" + std::string(1, d) + *t.payload);
    if (!found || item.Name != "布衣") {
      ++failures;
      ADD_FAILURE() << "an offer no valid frame carried: slot " << slot << " " << item.Name;
    }
  }
  void OnPeerWithdraw(int slot) override {
    bool found = false;
    for (char d = '1'; d <= '9'; ++d)
      found = found || completed.count("WC" + std::string(1, d) + trade::EncodeWithdrawal(slot));
    if (!found) {
      ++failures;
      ADD_FAILURE() << "a withdrawal no valid frame carried: slot " << slot;
    }
  }
};

TEST(TradeLinkFuzz, PeerInputNeverHarmsTheLink) {
  unsigned seed = static_cast<unsigned>(std::random_device{}());
  if (const char* s = std::getenv("TRADE_FUZZ_SEED"))
    seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
  SCOPED_TRACE("TRADE_FUZZ_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };

  const std::string offer = *trade::EncodeOffer(1, tradetest::Cloth()).payload;
  auto validFrame = [&]() -> std::string {
    const std::string d(1, static_cast<char>('1' + below(9)));
    switch (below(9)) {
      case 0:
        return "SY" + d + "你好，朋友";
      case 1:
        return "JY" + d + (below(2) ? "1" : "0");
      case 2: {
        std::string p = offer;
        const std::string k = below(10) == 9 ? "10" : "0" + std::to_string(1 + below(9));
        p.replace(1, 2, k);
        return "WC" + d + p;
      }
      case 3:
        return "WC" + d + trade::EncodeWithdrawal(static_cast<int>(1 + below(10)));
      case 4:
        return "YZ" + d;
      case 5:
        return "OK某人";
      case 6:
        return below(20) == 0 ? "OVER" : "SY" + d + "x";
      case 7:
        return "WC" + d + "1" + std::string(below(120), static_cast<char>('0' + below(10)));
      default:
        return "JY" + d + "2";
    }
  };
  auto mutate = [&](std::string s) {
    const int n = static_cast<int>(1 + below(4));
    for (int i = 0; i < n; ++i) {
      switch (below(6)) {
        case 0:
          if (!s.empty()) s[below(s.size())] = static_cast<char>(rng());
          break;
        case 1:
          if (!s.empty()) s.erase(below(s.size()), 1);
          break;
        case 2:
          s.insert(below(s.size() + 1), 1, static_cast<char>(rng()));
          break;
        case 3:
          s.insert(below(s.size() + 1), 1, '*');
          break;
        case 4:
          if (s.size() > 2) s[2] = "0:a9 "[below(5)];
          break;
        default:
          s = s.substr(0, below(s.size() + 1));
          break;
      }
    }
    return s;
  };

  int inputs = 0, links = 0, offers = 0;
  std::int64_t now = 86'400'000;
  const int kInputs = 20000;
  while (inputs < kInputs) {
    tradetest::FakeNetwork net;
    tradetest::Connection conn;
    Checker rec;
    net.incoming = conn.EndA();
    trade::LinkOptions o;
    o.ownName = "我";
    o.table = tradetest::TableOf({tradetest::Cloth()});
    o.sleep = [&now](std::int64_t ms) { now += ms; };
    trade::Link link(net, rec, o);
    ASSERT_TRUE(link.Start(now, nullptr));
    link.Poll(now);
    conn.bToA->bytes = trade::ToCp936Lossy(below(10) == 0 ? mutate("OK对方*") : "OK对方*");
    link.Poll(now += 10);
    ++links;
    std::string reference;  // the peer's bytes since the last '*', split on our own
    while (inputs < kInputs && link.CurrentState() != trade::Link::State::Closed) {
      ++inputs;
      std::string bytes;
      const int frames = static_cast<int>(1 + below(8));
      for (int i = 0; i < frames; ++i) {
        std::string f = validFrame();
        if (below(2)) f = mutate(f);
        bytes += trade::ToCp936Lossy(f);
        if (below(8) != 0) bytes += '*';
      }
      if (below(200) == 0) bytes += std::string(below(2) ? 70'000 : 1'000, 'G');
      // The frames this input completes, as the peer meant them.
      rec.completed.clear();
      reference += bytes;
      for (std::size_t star; (star = reference.find('*')) != std::string::npos;) {
        rec.completed.insert(trade::FromCp936(reference.substr(0, star)));
        reference.erase(0, star + 1);
      }
      if (reference.size() > 2 * trade::Framer::kMaxPending) reference.clear();
      // Delivered in random pieces, with our own traffic and time in between.
      for (std::size_t at = 0; at < bytes.size() && link.CurrentState() != trade::Link::State::Closed;) {
        const std::size_t n = 1 + below(bytes.size() - at);
        conn.bToA->bytes += bytes.substr(at, n);
        at += n;
        link.Poll(now += static_cast<std::int64_t>(below(300)));
      }
      if (below(5) == 0) link.Say("聊天");
      if (below(7) == 0) link.Confirm(below(2) == 0);
      if (below(9) == 0) link.Offer(static_cast<int>(1 + below(10)), tradetest::Cloth());
      link.Poll(now += static_cast<std::int64_t>(below(2500)));
      ASSERT_LE(link.BufferedBytes(), trade::Framer::kMaxPending + 4096);
      conn.aToB->writes.clear();
      conn.aToB->bytes.clear();
    }
    offers += rec.offers;
    ASSERT_EQ(rec.failures, 0);
  }
  // The run must have reached the interesting paths, not only closed links.
  EXPECT_GT(offers, 20);
  EXPECT_LT(links, kInputs / 5);
}

}  // namespace
