#include "platform/net.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "platform/text.h"
#include "support/net_support.h"

namespace {

using plat::TcpConnector;
using plat::TcpListener;
using plat::TcpStream;
using Status = TcpStream::ReadStatus;
using testsupport::ReadUntil;

// Guards against a hang only; no test measures time.
constexpr int kGuardMs = 10000;

// Drives a connector to its end (Connected or Failed), polling as the event pump would.
TcpConnector::State Finish(TcpConnector& c) {
  const std::int64_t guard = plat::SteadyMs() + kGuardMs;
  TcpConnector::State s = c.Poll();
  while ((s == TcpConnector::State::Resolving || s == TcpConnector::State::Connecting) &&
         plat::SteadyMs() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    s = c.Poll();
  }
  return s;
}

struct Pair {
  TcpListener listener;
  TcpStream client;
  TcpStream server;
};

// A listener on loopback port 0 and one connection through it.
Pair Connect() {
  Pair p;
  EXPECT_EQ(p.listener.Listen("127.0.0.1", 0), TcpListener::Result::Ok);
  TcpConnector c;
  c.Start("127.0.0.1", p.listener.Port(), 2000);
  EXPECT_EQ(Finish(c), TcpConnector::State::Connected) << c.Error();
  p.client = c.Take();
  const std::int64_t guard = plat::SteadyMs() + kGuardMs;
  while (plat::SteadyMs() < guard) {
    if (auto s = p.listener.AcceptOne()) {
      p.server = std::move(*s);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(p.server.IsOpen());
  return p;
}

// Reads until the stream ends; everything read before the end is kept in out.
bool ReadToEnd(TcpStream& s, std::string& out) { return ReadUntil(s, out, SIZE_MAX) == Status::Closed; }

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return s;
}

TEST(Net, GreetingsBothWaysAndAddresses) {
  Pair p = Connect();
  ASSERT_TRUE(p.client.SendAll("OKabc*"));
  ASSERT_TRUE(p.server.SendAll("OK\xb2\xbc\xd2\xc2*"));
  std::string a, b;
  ReadUntil(p.server, a, 6);
  ReadUntil(p.client, b, 7);
  EXPECT_EQ(a, "OKabc*");
  EXPECT_EQ(b, "OK\xb2\xbc\xd2\xc2*");
  EXPECT_EQ(p.client.PeerAddress(), "127.0.0.1");
  EXPECT_EQ(p.server.LocalAddress(), "127.0.0.1");
  EXPECT_EQ(p.server.LocalPort(), p.listener.Port());
  EXPECT_EQ(p.server.ReadAvailable(a), Status::NoData);  // nothing waiting is not an end

  in_addr ignored{};
  EXPECT_EQ(inet_pton(AF_INET, plat::LocalIpv4Address().c_str(), &ignored), 1);
}

TEST(Net, LargeBufferReachesASlowReader) {
  Pair p = Connect();
  const std::string big = Pattern(6 << 20);
  std::string got;
  std::thread reader([&] {
    const std::int64_t guard = plat::SteadyMs() + 4 * kGuardMs;
    while (got.size() < big.size() && plat::SteadyMs() < guard) {
      pollfd pf{p.server.Fd(), POLLIN, 0};
      poll(&pf, 1, 100);
      if (p.server.ReadAvailable(got, 32768) == Status::Closed) break;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  EXPECT_TRUE(p.client.SendAll(big, 4 * kGuardMs));
  reader.join();
  EXPECT_TRUE(got == big) << "received " << got.size() << " of " << big.size() << " bytes";
}

TEST(Net, SecondListenerIsInUseAndThePortListensAgainAfterAConnection) {
  std::uint16_t port = 0;
  {
    Pair p = Connect();
    port = p.listener.Port();
    TcpListener second;
    std::string error;
    EXPECT_EQ(second.Listen("127.0.0.1", port, &error), TcpListener::Result::InUse);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(second.IsListening());
    TcpListener any;
    EXPECT_EQ(any.Listen("", port), TcpListener::Result::InUse);
    // The server side closes first, so its end of the connection waits on that port.
    p.listener.Close();
    p.server.Close(50);
    std::string rest;
    EXPECT_TRUE(ReadToEnd(p.client, rest));
    p.client.Close(50);
  }
  TcpListener again;
  std::string error;
  EXPECT_EQ(again.Listen("0.0.0.0", port, &error), TcpListener::Result::Ok) << error;
  EXPECT_EQ(again.Port(), port);

  TcpListener bad;
  EXPECT_EQ(bad.Listen("300.1.1.1", 0, &error), TcpListener::Result::Failed);
}

// A port that never answers: a listener whose queue of one waiting connection is already
// full, so the kernel drops every further request (an address outside the machine may be
// answered by whatever sits between us and the network).
struct SilentPort {
  SilentPort() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    TcpConnector c;
    c.Start("127.0.0.1", port, 2000);
    EXPECT_EQ(Finish(c), TcpConnector::State::Connected);
    filler = c.Take();
  }
  ~SilentPort() { close(fd); }
  int fd = -1;
  std::uint16_t port = 0;
  TcpStream filler;
};

TEST(Net, FailedConnectionAttempts) {
  const std::uint16_t closedPort = testsupport::FreePort();
  ASSERT_NE(closedPort, 0);
  SilentPort silent;
  struct Case {
    const char* host;
    std::uint16_t port;
    int timeoutMs;
  } cases[] = {
      {"127.0.0.1", closedPort, 2000},  // refused
      {"127.0.0.1", silent.port, 300},  // never answers: fails by its own timeout
      {"   ", 8305, 300},               // nothing typed
      {"no-such-host.invalid", 8305, 2000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.host) + ":" + std::to_string(k.port));
    TcpConnector c;
    c.Start(k.host, k.port, k.timeoutMs);
    EXPECT_EQ(Finish(c), TcpConnector::State::Failed);
    EXPECT_FALSE(c.Error().empty());
    EXPECT_FALSE(c.Take().IsOpen());
  }
  // An attempt that cannot finish yet leaves Poll at once, still connecting: the caller's
  // event pump keeps running while the attempt waits for its deadline.
  TcpConnector c;
  c.Start("127.0.0.1", silent.port, 60000);
  EXPECT_EQ(c.Poll(), TcpConnector::State::Connecting);
  EXPECT_EQ(c.Poll(), TcpConnector::State::Connecting);
  c.Start("127.0.0.1", closedPort, 2000);  // a new attempt ends the old one
  EXPECT_EQ(Finish(c), TcpConnector::State::Failed);
  c.Cancel();
  EXPECT_EQ(c.CurrentState(), TcpConnector::State::Idle);
}

TEST(Net, HostNamesResolveAndNumericAddressesAreTrimmed) {
  TcpListener l;
  ASSERT_EQ(l.Listen("127.0.0.1", 0), TcpListener::Result::Ok);
  for (const char* host : {"localhost", "  127.0.0.1 "}) {
    SCOPED_TRACE(host);
    TcpConnector c;
    c.Start(host, l.Port(), 5000);
    if (std::string(host) == "localhost") {
      EXPECT_EQ(c.CurrentState(), TcpConnector::State::Resolving);
    }
    ASSERT_EQ(Finish(c), TcpConnector::State::Connected) << c.Error();
    TcpStream s = c.Take();
    EXPECT_EQ(s.PeerAddress(), "127.0.0.1");
    EXPECT_EQ(c.CurrentState(), TcpConnector::State::Idle);
  }
}

TEST(Net, PeerThatClosesOrResetsIsSeenAsClosedAtOnce) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "close");
    Pair p = Connect();
    ASSERT_TRUE(p.server.SendAll("OVER*"));
    if (reset) {
      std::string tail;
      ReadUntil(p.client, tail, 5);
      EXPECT_EQ(tail, "OVER*");
      p.server.Reset();
    } else {
      p.server.Close(0);
    }
    pollfd pf{p.client.Fd(), POLLIN, 0};
    std::string got = reset ? "OVER*" : "";
    // The first reads after the socket turns readable deliver what came before the end,
    // then the end itself; no further wait.
    Status st = Status::NoData;
    for (int i = 0; i < 3 && st != Status::Closed; ++i) {
      ASSERT_GT(poll(&pf, 1, kGuardMs), 0);
      st = p.client.ReadAvailable(got);
    }
    EXPECT_EQ(st, Status::Closed);
    EXPECT_EQ(got, "OVER*");
    EXPECT_EQ(p.client.ReadAvailable(got), Status::Closed);
  }
}

TEST(Net, SendToAGonePeerFailsWithoutSigpipe) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "close");
    Pair p = Connect();
    reset ? p.server.Reset() : p.server.Close(0);
    bool ok = true;
    for (int i = 0; i < 50 && ok; ++i) {
      ok = p.client.SendAll("SY1hello*");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(p.client.Broken());
    EXPECT_FALSE(p.client.SendAll("x"));
    std::string ignored;
    EXPECT_EQ(p.client.ReadAvailable(ignored), Status::Closed);
  }
}

TEST(Net, CloseDeliversOurLastBytesWhileUnreadInputWaits) {
  Pair p = Connect();
  // The peer's bytes wait unread at our side while we send a lot and close at once.
  ASSERT_TRUE(p.server.SendAll(Pattern(100000)));
  const std::string ours = Pattern(4 << 20) + "OVER*";
  std::string got;
  bool ended = false;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::int64_t guard = plat::SteadyMs() + 4 * kGuardMs;
    while (plat::SteadyMs() < guard) {
      pollfd pf{p.server.Fd(), POLLIN, 0};
      poll(&pf, 1, 100);
      if (p.server.ReadAvailable(got, 16384) == Status::Closed) {
        ended = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    p.server.Close(0);
  });
  ASSERT_TRUE(p.client.SendAll(ours, 4 * kGuardMs));
  p.client.Close(4 * kGuardMs);
  reader.join();
  EXPECT_FALSE(p.client.IsOpen());
  EXPECT_TRUE(ended);
  EXPECT_TRUE(got == ours) << "received " << got.size() << " of " << ours.size() << " bytes";
}

// ---------------------------------------------------------------------------------------
// The wire's code page

TEST(Cp936, EncodesStrictlyForTheWire) {
  struct Case {
    const char* text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"布衣", std::string("\xb2\xbc\xd2\xc2")},
      {"OK布衣*", std::string("OK\xb2\xbc\xd2\xc2*")},
      {"＊", std::string("\xa3\xaa")},  // our chat's stand-in for "*" holds no 0x2A byte
      {"€", std::string("\x80")},
      {"", std::string()},
      {"a\xF0\x9F\x98\x80", std::nullopt},  // an emoji
      {"\xE2\x82", std::nullopt},           // broken UTF-8
      {"가", std::nullopt},                 // Hangul syllables are not in CP936
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(plat::Utf8ToCp936(k.text), k.bytes);
    if (k.bytes) {
      EXPECT_EQ(plat::Cp936ToUtf8(*k.bytes), k.text);
    }
  }
}

TEST(Cp936, DecodesBrokenPeerBytesSafely) {
  const std::string bad = "\xEF\xBF\xBD";
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"a\x81*b", "a" + bad + "*b"},  // a lead byte without its trail keeps the "*"
      {"\xFF", bad},
      {"ab\xD5", "ab" + bad},    // cut inside a character
      {"\xA1\x40x", bad + "x"},  // an unassigned pair is one character
      {std::string("\x00\x01", 2), std::string("\x00\x01", 2)},
  };
  for (const Case& k : cases) EXPECT_EQ(plat::Cp936ToUtf8(k.bytes), k.text);

  // Random bytes: every "*" survives and the result is text the rest of the game can count.
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int run = 0; run < 500; ++run) {
    std::string bytes(rng() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 4 == 0 ? '*' : rng() & 0xFF);
    const std::string text = plat::Cp936ToUtf8(bytes);
    ASSERT_EQ(std::count(text.begin(), text.end(), '*'), std::count(bytes.begin(), bytes.end(), '*'));
    ASSERT_TRUE(plat::Utf8ToCp936(text) || text.find(bad) != std::string::npos);
    ASSERT_LE(plat::Len(text), static_cast<long>(bytes.size()));
  }
}

}  // namespace
