// One trade between two real peer processes on loopback, each on a game folder and a
// save of its own, optionally through the fault-injecting proxy; the checks on the files
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "trade/link.h"
#include "trade/peer_process.h"
#include "trade/session.h"
#include "trade/trade_files.h"

namespace tradetest {

inline std::string Event(const std::string& name) { return "{\"event\":\"" + name + "\""; }
inline std::string OwnOffer(int k) {
  return "\"event\":\"offer\",\"side\":\"own\",\"slot\":" + std::to_string(k) + ",";
}
inline std::string PeerOffer(int k) {
  return "\"event\":\"offer\",\"side\":\"peer\",\"slot\":" + std::to_string(k) + ",";
}
inline std::string Refused(const std::string& what, const std::string& text) {
  return "{\"event\":\"refused\",\"what\":\"" + what + "\",\"text\":\"" + text + "\"}";
}
inline std::string ConfirmEvent(const std::string& side, int value) {
  return "\"event\":\"confirm\",\"side\":\"" + side + "\",\"value\":" + std::to_string(value);
}

// The number after "key": in a JSON line (0 when missing).
inline int JsonNumber(const std::string& line, const std::string& key) {
  const std::size_t at = line.find("\"" + key + "\":");
  return at == std::string::npos ? 0 : std::atoi(line.c_str() + at + key.size() + 3);
}

// A peer program on loopback, on the party's game folder and save; its errors go to errLog.
inline std::unique_ptr<ChildProcess> StartPeer(const std::string& program, const std::string& role,
                                               const tradefiles::Party& p, int port,
                                               const std::filesystem::path& errLog) {
  auto c = std::make_unique<ChildProcess>(
      program,
      std::vector<std::string>{role, "--address", "127.0.0.1", "--port", std::to_string(port), "--folder",
                               p.folder.string(), "--name", p.name},
      errLog);
  EXPECT_TRUE(c->Started());
  return c;
}

// The port a host listens on, once it says so (0 when it did not).
inline int ListeningPort(ChildProcess& host) {
  return JsonNumber(host.WaitFor({Event("listening")}), "port");
}

// The fault-injecting proxy in front of the loopback port `target`, with `faults`; `port`
// is where it listens (0 when it did not start).
inline std::unique_ptr<ChildProcess> StartProxy(int target, const std::vector<std::string>& faults,
                                                const std::filesystem::path& errLog, int& port) {
  std::vector<std::string> args = {"--listen-port",       "0", "--target-host", "127.0.0.1", "--target-port",
                                   std::to_string(target)};
  args.insert(args.end(), faults.begin(), faults.end());
  auto proxy = std::make_unique<ChildProcess>("trade_proxy", args, errLog);
  const std::string line = proxy->WaitFor({"listening "});
  port = line.empty() ? 0 : std::atoi(line.c_str() + 10);
  return proxy;
}

// Sends an action and waits for the event that shows it done; an action refused as busy
// (a state message of ours still unacknowledged) is tried again a moment later. False
// when it was refused otherwise or nothing came.
inline bool Act(ChildProcess& p, const std::string& command, const std::string& done, int timeoutMs = 8000) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    const std::size_t from = p.lines.size();
    p.Send(command);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const std::string ok = p.WaitFor({done}, 20, from);
      if (!ok.empty()) return true;
      const std::string refused = p.WaitFor({Event("refused")}, 0, from);
      if (!refused.empty()) {
        if (refused.find(trade::kStateBusyLine) == std::string::npos) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        break;
      }
      if (std::chrono::steady_clock::now() > end) return false;
    }
  }
  return false;
}

// Runs each(i) for every i from first to last, each on a thread of its own, and waits for
// them all.
template <typename Each>
void InParallel(int first, int last, Each each) {
  std::vector<std::future<void>> runs;
  for (int i = first; i <= last; ++i) runs.push_back(std::async(std::launch::async, [&each, i] { each(i); }));
  for (auto& r : runs) r.get();
}

// Two parties, their saves as made, and the processes of one run.
class TradeRun {
 public:
  // Parties "甲" (the host) and "乙二" (the joiner), each with `own` items from bag slot 21
  // on, one more item in storage slot 80 and one worn in slot 3.
  TradeRun(int hostItems, int joinItems, int seed = 0, const std::string& hostName = "甲",
           const std::string& joinName = "乙二") {
    // A command to a peer that has already ended must not end the test.
    signal(SIGPIPE, SIG_IGN);
    const std::vector<ItemRecord> items = tradefiles::TestItems(hostItems + joinItems + 4, 1000 + seed * 100);
    std::map<int, ItemRecord> a, b;
    int next = 0;
    for (int i = 0; i < hostItems; ++i) a[21 + i] = items.at(static_cast<std::size_t>(next++));
    for (int i = 0; i < joinItems; ++i) b[21 + i] = items.at(static_cast<std::size_t>(next++));
    a[80] = items.at(static_cast<std::size_t>(next++));
    a[3] = items.at(static_cast<std::size_t>(next++));
    b[80] = items.at(static_cast<std::size_t>(next++));
    b[3] = items.at(static_cast<std::size_t>(next++));
    host = tradefiles::MakeParty(dir.path() / "host", hostName, a);
    join = tradefiles::MakeParty(dir.path() / "join", joinName, b);
    hostBefore = Snapshot(host);
    joinBefore = Snapshot(join);
  }

  struct FileState {
    std::vector<std::uint8_t> bytes;
    tradefiles::Bag bag;
    std::string save1;
  };
  static FileState Snapshot(const tradefiles::Party& p) {
    return {plat::ReadAllBytes(p.SaveFile()).value_or(std::vector<std::uint8_t>{}),
            tradefiles::ReadBag(p.SaveFile(), p.name), tradefiles::Save1Row(p.SaveFile())};
  }

  std::unique_ptr<ChildProcess> Peer(const std::string& program, const std::string& role,
                                     const tradefiles::Party& p, int port) {
    return StartPeer(program, role, p, port, dir.path() / (role + ".err"));
  }

  // Starts the host, the proxy with `faults` (none: no proxy) and the joiner; true once
  // both sides are trading.
  bool Connect(std::vector<std::string> faults, bool useProxy, const std::string& hostProgram = "trade_peer",
               const std::string& joinProgram = "trade_peer") {
    hostP = Peer(hostProgram, "host", host, 0);
    const int hostPort = ListeningPort(*hostP);
    if (hostPort <= 0) return false;
    int port = hostPort;
    if (useProxy) {
      proxy = StartProxy(hostPort, faults, dir.path() / "proxy.err", port);
      if (port <= 0) return false;
    }
    joinP = Peer(joinProgram, "join", join, port);
    return !hostP->WaitFor({Event("connected")}, 8000).empty() &&
           !joinP->WaitFor({Event("connected")}, 8000).empty();
  }

  // Both processes ended (each closed, or killed after the timeout); their exit statuses.
  std::pair<int, int> End(int timeoutMs = 8000) {
    hostP->CloseInput();
    joinP->CloseInput();
    const int h = hostP->Wait(timeoutMs);
    const int j = joinP->Wait(timeoutMs);
    if (proxy) proxy->Signal(SIGKILL), proxy->Wait(2000);
    return {h, j};
  }

  // The checks of every run: each save intact; the items over both saves are the ones
  // before, less `discarded`, unless a round was one-sided, which the journals show.
  enum class Outcome { Neither, Both, OneSided };
  // checkKept: the side without the write keeps a journal (it is one of ours).
  Outcome Check(const std::multiset<std::string>& discarded = {}, bool checkKept = true) {
    tradefiles::ExpectIntact(host, hostBefore.save1);
    tradefiles::ExpectIntact(join, joinBefore.save1);
    const FileState h = Snapshot(host), j = Snapshot(join);
    const bool hostSame = h.bytes == hostBefore.bytes, joinSame = j.bytes == joinBefore.bytes;
    std::multiset<std::string> before = tradefiles::Identities(hostBefore.bag);
    for (const auto& s : tradefiles::Identities(joinBefore.bag)) before.insert(s);
    for (const auto& s : discarded) before.erase(before.find(s));
    std::multiset<std::string> after = tradefiles::Identities(h.bag);
    for (const auto& s : tradefiles::Identities(j.bag)) after.insert(s);
    if (hostSame && joinSame) return Outcome::Neither;
    if (!hostSame && !joinSame) {
      EXPECT_EQ(after, before) << "conservation";
      return Outcome::Both;
    }
    // Only one side wrote: a link that died inside the last message of the round, or a
    // side killed inside its own commit. The journal of the side that wrote shows the round.
    const tradefiles::Party& wrote = hostSame ? join : host;
    EXPECT_NE(tradefiles::JournalText(wrote).find(" begin "), std::string::npos)
        << tradefiles::JournalText(wrote);
    // The other side, when it is one of ours, had its confirm unanswered or died inside
    // its own commit.
    if (checkKept) {
      const std::string kept = tradefiles::JournalText(hostSame ? host : join);
      EXPECT_TRUE(kept.find(" unanswered ") != std::string::npos || kept.find(" begin ") != std::string::npos)
          << "the side without the write: " << kept;
    }
    return Outcome::OneSided;
  }

  // What both peers said, for a failure's message.
  std::string Dump() const {
    std::string s = "host:\n";
    for (const std::string& l : hostP->lines) s += "  " + l + "\n";
    s += "joiner:\n";
    for (const std::string& l : joinP->lines) s += "  " + l + "\n";
    const auto proxyLog = plat::ReadAllBytes(dir.path() / "proxy.err");
    if (proxyLog) s += "proxy:\n" + std::string(proxyLog->begin(), proxyLog->end());
    return s;
  }

  testsupport::TempDir dir;
  tradefiles::Party host, join;
  FileState hostBefore, joinBefore;
  std::unique_ptr<ChildProcess> hostP, joinP, proxy;
};

}  // namespace tradetest
