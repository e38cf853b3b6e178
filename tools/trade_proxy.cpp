// A fault-injecting TCP proxy for the trade tests. It listens on loopback, takes one
// connection, connects it to the target and forwards both ways, counting a frame at every
// "*" byte and disturbing the stream as the flags ask:
//
//   trade_proxy --listen-port P --target-host H --target-port Q [--seed S]
//               [--split] [--merge] [--stall-ms N --stall-after-frames K]
//               [--cut-after-frames N [--cut-mode close|reset]]
//               [--blackhole-after-frames N] [--count-direction both|to-target|to-client]
//
// --split   writes every piece it received in several writes cut at random byte offsets,
//           0-50 ms apart;
// --merge   holds whole frames and writes two to four of them at once (or what it holds
//           after 250 ms);
// --stall-ms N --stall-after-frames K   forwards nothing for N ms once, after frame K;
// --cut-after-frames N   forwards frame N, then closes (or resets) both sides and ends;
// --blackhole-after-frames N   forwards frame N, then nothing more, and never closes;
// --count-direction   which frames count (both directions unless told otherwise).
//
// It prints "listening PORT" on standard output once it listens (port 0 takes a free
// port), logs every fault on standard error and ends with 0 once both sides have ended or
// after a cut, with 1 when it cannot listen or reach the target, with 2 on bad arguments.

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "platform/net.h"

namespace {

constexpr int kMaxSplitGapMs = 50;
constexpr int kMergeHoldMs = 250;
constexpr int kWriteTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;

enum class Count { Both, ToTarget, ToClient };

struct Options {
  int listenPort = -1;
  std::string targetHost;
  int targetPort = -1;
  std::uint32_t seed = 1;
  bool split = false;
  bool merge = false;
  long stallMs = 0;
  long stallAfter = -1;
  long cutAfter = -1;
  bool cutReset = false;
  long blackholeAfter = -1;
  Count count = Count::Both;
};

const char* const kUsage =
    "usage: trade_proxy --listen-port P --target-host H --target-port Q [--seed S] [--split] [--merge]\n"
    "       [--stall-ms N --stall-after-frames K] [--cut-after-frames N [--cut-mode close|reset]]\n"
    "       [--blackhole-after-frames N] [--count-direction both|to-target|to-client]\n";

std::optional<long> Number(const std::string& s, long max) {
  long v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v < 0 || v > max) return std::nullopt;
  return v;
}

std::optional<Options> Parse(int argc, char** argv, std::string& error) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--split") {
      o.split = true;
      continue;
    }
    if (flag == "--merge") {
      o.merge = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = flag + " needs a value";
      return std::nullopt;
    }
    const std::string value = argv[++i];
    auto number = [&](long max, auto& into) {
      auto v = Number(value, max);
      if (!v) error = flag + ": not a number from 0 to " + std::to_string(max) + ": " + value;
      if (v) into = static_cast<std::remove_reference_t<decltype(into)>>(*v);
      return v.has_value();
    };
    bool ok = true;
    if (flag == "--listen-port") {
      ok = number(65535, o.listenPort);
    } else if (flag == "--target-host") {
      o.targetHost = value;
    } else if (flag == "--target-port") {
      ok = number(65535, o.targetPort);
    } else if (flag == "--seed") {
      ok = number(0xFFFFFFFFL, o.seed);
    } else if (flag == "--stall-ms") {
      ok = number(3'600'000, o.stallMs);
    } else if (flag == "--stall-after-frames") {
      ok = number(1'000'000'000, o.stallAfter);
    } else if (flag == "--cut-after-frames") {
      ok = number(1'000'000'000, o.cutAfter);
    } else if (flag == "--blackhole-after-frames") {
      ok = number(1'000'000'000, o.blackholeAfter);
    } else if (flag == "--cut-mode" && (value == "close" || value == "reset")) {
      o.cutReset = value == "reset";
    } else if (flag == "--count-direction" && value == "both") {
      o.count = Count::Both;
    } else if (flag == "--count-direction" && value == "to-target") {
      o.count = Count::ToTarget;
    } else if (flag == "--count-direction" && value == "to-client") {
      o.count = Count::ToClient;
    } else {
      error = "unknown option or value: " + flag + " " + value;
      return std::nullopt;
    }
    if (!ok) return std::nullopt;
  }
  if (o.listenPort < 0 || o.targetHost.empty() || o.targetPort < 0) {
    error = "--listen-port, --target-host and --target-port are required";
    return std::nullopt;
  }
  if ((o.stallMs > 0) != (o.stallAfter >= 0)) {
    error = "--stall-ms and --stall-after-frames go together";
    return std::nullopt;
  }
  return o;
}

void Log(const std::string& line) { std::fprintf(stderr, "trade_proxy: %s\n", line.c_str()); }

// One direction of the forwarding: what arrives from `from` goes out to `to`.
struct Direction {
  const char* source = "";  // where the bytes come from
  const char* name = "";    // where they go
  bool counted = true;
  plat::TcpStream* from = nullptr;
  plat::TcpStream* to = nullptr;
  struct Chunk {
    std::string bytes;
    std::int64_t due;
  };
  std::deque<Chunk> out;  // one write each, at its time
  std::string held;       // merge: bytes held back for one write
  int heldFrames = 0;
  std::int64_t heldSince = 0;
  int mergeTarget = 2;
  bool ended = false;         // `from` sent its end of stream
  bool endForwarded = false;  // and it went on to `to`
};

class Proxy {
 public:
  Proxy(const Options& o, plat::TcpStream& client, plat::TcpStream& target) : o_(o), rng_(o.seed) {
    auto set = [&](Direction& d, const char* source, const char* name, bool counted, plat::TcpStream& from,
                   plat::TcpStream& to) {
      d.source = source;
      d.name = name;
      d.counted = counted;
      d.from = &from;
      d.to = &to;
      d.mergeTarget = 2 + static_cast<int>(rng_() % 3);
    };
    set(dirs_[0], "the client", "the target", o.count != Count::ToClient, client, target);
    set(dirs_[1], "the target", "the client", o.count != Count::ToTarget, target, client);
  }

  // Forwards until both sides have ended or the link was cut.
  void Run() {
    while (true) {
      const std::int64_t now = plat::SteadyMs();
      if (stallUntil_ && now >= stallUntil_) {
        Log("stall over");
        stallUntil_ = 0;
      }
      for (Direction& d : dirs_) {
        if (!d.held.empty() && (now - d.heldSince >= kMergeHoldMs || d.ended || cut_)) Flush(d, now);
        if (!WriteDue(d, now)) return;
        if (d.ended && !d.endForwarded && d.out.empty() && d.held.empty() && !blackhole_) {
          ::shutdown(d.to->Fd(), SHUT_WR);
          d.endForwarded = true;
          Log(std::string("end of stream passed on to ") + d.name);
        }
      }
      if (cut_ && dirs_[0].out.empty() && dirs_[1].out.empty()) {
        Cut();
        return;
      }
      if (dirs_[0].ended && dirs_[1].ended &&
          (blackhole_ || (dirs_[0].endForwarded && dirs_[1].endForwarded))) {
        for (Direction& d : dirs_) d.to->Close(200);
        Log("both sides ended");
        return;
      }
      if (!ReadAndWait()) return;
    }
  }

 private:
  // Waits for input or the next timed write, and takes in what arrived. False once a
  // side was reset (the other is then reset too).
  bool ReadAndWait() {
    pollfd fds[2];
    int n = 0;
    Direction* polled[2];
    for (Direction& d : dirs_) {
      if (d.ended || cut_) continue;
      fds[n] = {d.from->Fd(), POLLIN, 0};
      polled[n++] = &d;
    }
    poll(fds, n, WaitMs());
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      Direction& d = *polled[i];
      std::string data;
      // Data read just before the end comes first; the end shows on the next poll.
      if (d.from->ReadAvailable(data) == plat::TcpStream::ReadStatus::Data) {
        Take(d, data);
        continue;
      }
      if (d.from->Broken() && !blackhole_) {
        Log(std::string("reset by ") + d.source + "; resetting " + d.name);
        d.to->Reset();
        return false;
      }
      d.ended = true;
      Log(std::string("end of stream from ") + d.source);
    }
    return true;
  }

  int WaitMs() const {
    std::int64_t next = plat::SteadyMs() + 1000;
    for (const Direction& d : dirs_) {
      if (!d.out.empty()) next = std::min(next, std::max(d.out.front().due, stallUntil_));
      if (!d.held.empty()) next = std::min(next, d.heldSince + kMergeHoldMs);
    }
    return static_cast<int>(std::max<std::int64_t>(0, next - plat::SteadyMs()));
  }

  // Splits what arrived into frames, counts them and applies the frame-triggered faults.
  void Take(Direction& d, const std::string& data) {
    std::size_t start = 0;
    while (start < data.size() && !cut_ && !blackhole_) {
      const std::size_t star = data.find('*', start);
      const std::size_t end = star == std::string::npos ? data.size() : star + 1;
      Forward(d, data.substr(start, end - start));
      start = end;
      if (star == std::string::npos || !d.counted) continue;
      ++frames_;
      if (frames_ == o_.cutAfter) {
        cut_ = true;
        Log("cut (" + std::string(o_.cutReset ? "reset" : "close") + ") after frame " +
            std::to_string(frames_));
      }
      if (frames_ == o_.blackholeAfter) {
        blackhole_ = true;
        Log("blackhole after frame " + std::to_string(frames_));
      }
      if (frames_ == o_.stallAfter) {
        stallUntil_ = plat::SteadyMs() + o_.stallMs;
        Log("stall for " + std::to_string(o_.stallMs) + " ms after frame " + std::to_string(frames_));
      }
    }
  }

  void Forward(Direction& d, const std::string& bytes) {
    const std::int64_t now = plat::SteadyMs();
    if (!o_.merge) {
      Queue(d, bytes, now);
      return;
    }
    if (d.held.empty()) d.heldSince = now;
    d.held += bytes;
    d.heldFrames += static_cast<int>(std::count(bytes.begin(), bytes.end(), '*'));
    if (d.heldFrames >= d.mergeTarget) Flush(d, now);
  }

  void Flush(Direction& d, std::int64_t now) {
    if (d.heldFrames > 1)
      Log("merge: " + std::to_string(d.heldFrames) + " frames to " + d.name + " in one write");
    Queue(d, d.held, now);
    d.held.clear();
    d.heldFrames = 0;
    d.mergeTarget = 2 + static_cast<int>(rng_() % 3);
  }

  void Queue(Direction& d, const std::string& bytes, std::int64_t now) {
    std::int64_t due = d.out.empty() ? now : std::max(now, d.out.back().due);
    if (!o_.split || bytes.size() < 2) {
      d.out.push_back({bytes, due});
      return;
    }
    int pieces = 0;
    for (std::size_t at = 0; at < bytes.size(); ++pieces) {
      const std::size_t len = 1 + rng_() % (bytes.size() - at);
      d.out.push_back({bytes.substr(at, len), due});
      due += rng_() % (kMaxSplitGapMs + 1);
      at += len;
    }
    if (pieces > 1)
      Log("split: " + std::to_string(bytes.size()) + " bytes to " + d.name + " in " + std::to_string(pieces) +
          " writes");
  }

  // Writes the chunks whose time has come; false when a write failed (both sides are
  // then closed).
  bool WriteDue(Direction& d, std::int64_t now) {
    if (stallUntil_) return true;
    while (!d.out.empty() && d.out.front().due <= now) {
      if (!d.to->SendAll(d.out.front().bytes, kWriteTimeoutMs)) {
        Log(std::string("write to ") + d.name + " failed; closing both sides");
        for (Direction& x : dirs_) x.to->Close(200);
        return false;
      }
      d.out.pop_front();
    }
    return true;
  }

  void Cut() {
    if (o_.cutReset) {
      for (Direction& d : dirs_) d.to->Reset();
      return;
    }
    for (Direction& d : dirs_) ::shutdown(d.to->Fd(), SHUT_WR);
    for (Direction& d : dirs_) d.to->Close(200);
  }

  const Options& o_;
  std::mt19937 rng_;
  Direction dirs_[2];
  long frames_ = 0;
  bool cut_ = false;
  bool blackhole_ = false;
  std::int64_t stallUntil_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<Options> o = Parse(argc, argv, error);
  if (!o) {
    std::fprintf(stderr, "trade_proxy: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  plat::TcpListener listener;
  if (listener.Listen("127.0.0.1", static_cast<std::uint16_t>(o->listenPort), &error) !=
      plat::TcpListener::Result::Ok) {
    Log("cannot listen: " + error);
    return 1;
  }
  std::printf("listening %u\n", static_cast<unsigned>(listener.Port()));
  std::fflush(stdout);
  Log("seed " + std::to_string(o->seed));

  std::optional<plat::TcpStream> client;
  while (!client) {
    client = listener.AcceptOne();
    if (!client) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  listener.Close();

  plat::TcpConnector connector;
  connector.Start(o->targetHost, static_cast<std::uint16_t>(o->targetPort), kConnectTimeoutMs);
  auto state = connector.Poll();
  while (state == plat::TcpConnector::State::Resolving || state == plat::TcpConnector::State::Connecting) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state = connector.Poll();
  }
  if (state != plat::TcpConnector::State::Connected) {
    Log("cannot reach the target: " + connector.Error());
    client->Close(200);
    return 1;
  }
  plat::TcpStream target = connector.Take();
  Log("forwarding");
  Proxy(*o, *client, target).Run();
  return 0;
}
