// A host link on the in-memory network with the test as its peer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trade/fake_network.h"
#include "trade/link.h"
#include "trade/wire.h"

namespace tradetest {

// A host link with the test as its peer: the test puts the peer's bytes in with Peer and
// reads the frames the link wrote (each write one frame, decoded).
struct HostLink {
  FakeNetwork net;
  Recorder rec;
  Connection conn;
  std::unique_ptr<trade::Link> link;
  std::int64_t now = 86'400'000;
  std::int64_t slept = 0;
  std::size_t seen = 0;  // frames already taken by Sent()
  PipeStream* stream = nullptr;

  explicit HostLink(std::string name = "甲") {
    trade::LinkOptions o;
    o.role = trade::Role::Host;
    o.ownName = std::move(name);
    o.table = TableOf({Cloth()});
    o.sleep = [this](std::int64_t ms) { slept += ms; };
    o.clock = [this] { return now; };
    link = std::make_unique<trade::Link>(net, rec, o);
    std::string error;
    EXPECT_TRUE(link->Start(now, &error)) << error;
    auto end = conn.EndA();
    stream = end.get();
    net.incoming = std::move(end);
  }
  void Peer(const std::string& text) { conn.bToA->bytes += trade::ToCp936Lossy(text); }
  void At(std::int64_t t) {
    now = t;
    link->Poll(now);
  }
  // Polls every 10 ms for ms milliseconds.
  void Run(std::int64_t ms) {
    for (std::int64_t end = now + ms; now < end;) At(now + 10);
  }
  // The frames written since the last call.
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (; seen < conn.aToB->writes.size(); ++seen) out.push_back(trade::FromCp936(conn.aToB->writes[seen]));
    return out;
  }
  // Greeted by "乙": trading.
  void Connect() {
    At(now);
    Peer("OK乙*");
    Run(100);
    ASSERT_TRUE(link->Trading());
    ASSERT_EQ(Sent(), std::vector<std::string>{"OK甲*"});
  }
  // Gets one chat frame on the wire without acknowledging it.
  std::string ChatOut(const std::string& text) {
    EXPECT_TRUE(link->Say(text).queued);
    for (int i = 0; i < 60; ++i) {
      At(now + 10);
      for (const std::string& f : Sent()) {
        if (f.size() > text.size() && f.compare(f.size() - text.size() - 1, text.size(), text) == 0) return f;
      }
    }
    return "";
  }
};

}  // namespace tradetest
