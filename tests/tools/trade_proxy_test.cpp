// The fault-injecting trade proxy, run as its own process between two sockets.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/net.h"
#include "support/net_support.h"
#include "support/test_support.h"

namespace {

using plat::TcpStream;
using Status = TcpStream::ReadStatus;
using testsupport::ReadUntil;

// Guards against a hang only; no test measures time.
constexpr int kGuardMs = 15000;

// The proxy between a client socket and a target socket of the test's own.
class ProxyRun {
 public:
  explicit ProxyRun(std::vector<std::string> faults) {
    EXPECT_EQ(target_listener_.Listen("127.0.0.1", 0), plat::TcpListener::Result::Ok);
    const std::string exe = std::string(ORVANTH_BINARY_DIR) + "/tools/trade_proxy";
    std::vector<std::string> args = {exe,
                                     "--listen-port",
                                     "0",
                                     "--target-host",
                                     "127.0.0.1",
                                     "--target-port",
                                     std::to_string(target_listener_.Port()),
                                     "--seed",
                                     "7"};
    args.insert(args.end(), faults.begin(), faults.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // "listening PORT" tells where to connect.
    std::string line;
    char c = 0;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&p, 1, kGuardMs) > 0 && read(out[0], &c, 1) == 1)
      line += c;
    close(out[0]);
    int port = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "listening %d", &port), 1) << line;

    plat::TcpConnector connector;
    connector.Start("127.0.0.1", static_cast<std::uint16_t>(port), kGuardMs);
    const std::int64_t guard = plat::SteadyMs() + kGuardMs;
    while (connector.Poll() == plat::TcpConnector::State::Connecting && plat::SteadyMs() < guard) Pause();
    client = connector.Take();
    while (!target.IsOpen() && plat::SteadyMs() < guard) {
      if (auto s = target_listener_.AcceptOne()) target = std::move(*s);
      Pause();
    }
    EXPECT_TRUE(client.IsOpen());
    EXPECT_TRUE(target.IsOpen());
  }

  ~ProxyRun() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The proxy's exit status, -1 if it did not end by itself.
  int Wait() {
    const std::int64_t guard = plat::SteadyMs() + kGuardMs;
    int status = 0;
    while (plat::SteadyMs() < guard) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      Pause();
    }
    return -1;
  }

  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Whether the proxy logged `text` (waiting for it as long as the guard allows).
  bool Logged(const std::string& text) const {
    const std::int64_t guard = plat::SteadyMs() + kGuardMs;
    while (Log().find(text) == std::string::npos) {
      if (plat::SteadyMs() >= guard) return false;
      Pause();
    }
    return true;
  }

  static void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

  TcpStream client;
  TcpStream target;

 private:
  testsupport::TempDir dir_;
  std::filesystem::path log_ = dir_ / "proxy.log";
  plat::TcpListener target_listener_;
  pid_t pid_ = -1;
};

TEST(TradeProxy, SplitMergeAndStallKeepTheByteStream) {
  struct Case {
    std::vector<std::string> flags;
    std::vector<std::string> logged;
  } cases[] = {
      {{"--split"}, {"split:"}},
      {{"--merge"}, {"merge:"}},
      {{"--split", "--merge"}, {"split:", "merge:"}},
      {{"--stall-ms", "300", "--stall-after-frames", "5"}, {"stall for 300 ms after frame 5", "stall over"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.flags.front());
    ProxyRun run(k.flags);
    std::string up, down;
    for (int i = 0; i < 16; ++i) {
      const std::string frame = "SY1第" + std::to_string(i) + "句话*";
      up += frame;
      down += "YZ1*" + frame;
      ASSERT_TRUE(run.client.SendAll(frame));
      ASSERT_TRUE(run.target.SendAll("YZ1*" + frame));
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 3));
    }
    std::string gotUp, gotDown;
    ReadUntil(run.target, gotUp, up.size());
    ReadUntil(run.client, gotDown, down.size());
    EXPECT_EQ(gotUp, up);
    EXPECT_EQ(gotDown, down);

    // The end of one side reaches the other; once both have ended the proxy does too.
    run.client.Close(0);
    EXPECT_EQ(ReadUntil(run.target, gotUp, SIZE_MAX), Status::Closed);
    run.target.Close(0);
    EXPECT_EQ(run.Wait(), 0);
    const std::string log = run.Log();
    for (const std::string& line : k.logged) EXPECT_NE(log.find(line), std::string::npos) << log;
  }
}

TEST(TradeProxy, CutEndsBothSidesAfterTheFrame) {
  for (const char* mode : {"close", "reset"}) {
    SCOPED_TRACE(mode);
    ProxyRun run({"--cut-after-frames", "3", "--cut-mode", mode});
    std::string atTarget, atClient;
    // Frames 1 and 3 go to the target, frame 2 to the client; frame 4 is never forwarded.
    ASSERT_TRUE(run.client.SendAll("OKa*"));
    ReadUntil(run.target, atTarget, 4);
    ASSERT_TRUE(run.target.SendAll("OKb*"));
    ReadUntil(run.client, atClient, 4);
    ASSERT_TRUE(run.client.SendAll("SY1x*SY2y*"));
    EXPECT_EQ(ReadUntil(run.target, atTarget, SIZE_MAX), Status::Closed);
    EXPECT_EQ(ReadUntil(run.client, atClient, SIZE_MAX), Status::Closed);
    EXPECT_EQ(atTarget, "OKa*SY1x*");
    EXPECT_EQ(atClient, "OKb*");
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_NE(run.Log().find(std::string("cut (") + mode + ") after frame 3"), std::string::npos)
        << run.Log();
  }
}

TEST(TradeProxy, BlackholeForwardsNothingAfterTheFrameAndClosesNothing) {
  ProxyRun run({"--blackhole-after-frames", "1"});
  ASSERT_TRUE(run.client.SendAll("OKa*SY1x*"));
  std::string atTarget, atClient;
  ReadUntil(run.target, atTarget, 4);
  ASSERT_TRUE(run.target.SendAll("OKb*"));
  run.client.Close(0);
  // Once the proxy has seen the client's end, anything it forwarded would be waiting.
  ASSERT_TRUE(run.Logged("end of stream from the client")) << run.Log();
  EXPECT_EQ(run.target.ReadAvailable(atTarget), Status::NoData);
  EXPECT_EQ(atTarget, "OKa*");
  run.target.Close(0);
  EXPECT_EQ(run.Wait(), 0);
}

}  // namespace
