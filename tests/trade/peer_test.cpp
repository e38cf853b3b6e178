// The link between two headless peers as real processes on loopback, each on a game
// folder and a save of its own, directly and through the fault-injecting proxy.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/net.h"
#include "support/test_support.h"
#include "trade/link.h"
#include "trade/peer_process.h"
#include "trade/trade_run.h"

namespace {

using tradetest::ChildProcess;
using tradetest::Refused;

std::string Closed(const std::string& text) { return "{\"event\":\"closed\",\"text\":\"" + text + "\"}"; }
std::string ChatFrom(const std::string& from, const std::string& text) {
  return "{\"event\":\"chat\",\"from\":\"" + from + "\",\"text\":\"" + text + "\"}";
}
std::string Connected(const std::string& peer) {
  return "{\"event\":\"connected\",\"peer\":\"" + peer + "\"}";
}

class TradePeers : public ::testing::Test {
 protected:
  // A peer on a game folder of its own, with a save of `name` (an empty bag).
  std::unique_ptr<ChildProcess> Peer(const std::string& role, int port, const std::string& name) {
    const tradefiles::Party side =
        tradefiles::MakeParty(dir_.path() / ("side" + std::to_string(++sides_)), name, {});
    return tradetest::StartPeer("trade_peer", role, side, port, dir_ / "errors.log");
  }
  // A host on a free port; its port.
  std::unique_ptr<ChildProcess> Host(const std::string& name, int& port) {
    auto h = Peer("host", 0, name);
    port = tradetest::ListeningPort(*h);
    EXPECT_GT(port, 0);
    return h;
  }
  std::unique_ptr<ChildProcess> Proxy(int target, std::vector<std::string> faults, int& port) {
    auto p = tradetest::StartProxy(target, faults, dir_ / "proxy.log", port);
    EXPECT_GT(port, 0);
    return p;
  }
  // A host on a free port and a joiner on it; true once both say they are connected.
  bool Trading(const std::string& hostName, const std::string& joinName) {
    host = Host(hostName, hostPort);
    join = Peer("join", hostPort, joinName);
    return !host->WaitFor({Connected(joinName)}).empty() && !join->WaitFor({Connected(hostName)}).empty();
  }
  // A port nobody listens on right now.
  static int FreePort() {
    plat::TcpListener l;
    l.Listen("127.0.0.1", 0);
    return l.Port();
  }
  testsupport::TempDir dir_;
  int sides_ = 0;
  // The peers of the test and the port the host listens on.
  int hostPort = 0;
  std::unique_ptr<ChildProcess> host, join;
};

TEST_F(TradePeers, GreetAndChatBothWaysThenPartInOrder) {
  ASSERT_TRUE(Trading("甲", "乙二"));
  host->Send("chat 你好，朋友*星");
  join->Send("chat 果然是好东西！");
  join->Send("chat \"引号\"\\");
  EXPECT_FALSE(join->WaitFor({ChatFrom("甲", "你好，朋友＊星")}).empty());
  EXPECT_FALSE(host->WaitFor({ChatFrom("乙二", "果然是好东西！")}).empty());
  EXPECT_FALSE(host->WaitFor({ChatFrom("乙二", "\\\"引号\\\"\\\\")}).empty());
  join->Send("close");
  EXPECT_FALSE(host->WaitFor({Closed(trade::kPeerLeftText)}).empty());
  EXPECT_EQ(join->Wait(), 0);
  EXPECT_EQ(host->Wait(), 0);
}

TEST_F(TradePeers, EqualNamesAreRefusedOnBothSides) {
  host = Host("同名", hostPort);
  join = Peer("join", hostPort, "同名");
  EXPECT_FALSE(host->WaitFor({Closed(trade::kSameNameText)}).empty());
  EXPECT_FALSE(join->WaitFor({Closed(trade::kSameNameText)}).empty());
  EXPECT_EQ(host->Wait(), 3);
  EXPECT_EQ(join->Wait(), 3);
}

TEST_F(TradePeers, ALateHostIsReachedByTheRetries) {
  hostPort = FreePort();
  join = Peer("join", hostPort, "乙");
  EXPECT_FALSE(join->WaitFor({trade::RetryLine(1)}, 6000).empty());
  // Nothing goes on the wire before there is a link.
  join->Send("raw JY11*");
  EXPECT_FALSE(join->WaitFor({Refused("raw", trade::kNotConnectedLine)}).empty());
  host = Peer("host", hostPort, "甲");
  EXPECT_FALSE(host->WaitFor({Connected("乙")}, 6000).empty());
  EXPECT_FALSE(join->WaitFor({Connected("甲")}, 6000).empty());
  host->Send("close");
  EXPECT_EQ(host->Wait(), 0);
  EXPECT_EQ(join->Wait(), 0);
}

TEST_F(TradePeers, ASecondJoinerAndASecondHostAreRefused) {
  ASSERT_TRUE(Trading("甲", "乙"));
  auto second = Peer("join", hostPort, "丙");
  EXPECT_FALSE(second->WaitFor({trade::RetryLine(1)}, 6000).empty());
  EXPECT_TRUE(std::none_of(second->lines.begin(), second->lines.end(),
                           [](const std::string& l) { return l.find("connected") != std::string::npos; }));
  second->Send("close");
  EXPECT_EQ(second->Wait(), 0);

  // The address is free again once the host took its one joiner; a host already
  // listening keeps it.
  int other = 0;
  auto waiting = Host("丁", other);
  auto clash = Peer("host", other, "戊");
  EXPECT_EQ(clash->Wait(), 1);
  waiting->Send("close");
  EXPECT_EQ(waiting->Wait(), 0);
  // Still trading on the first pair.
  join->Send("chat 还在");
  EXPECT_FALSE(host->WaitFor({ChatFrom("乙", "还在")}).empty());
}

TEST_F(TradePeers, AKilledPeerIsNoticedAtOnce) {
  ASSERT_TRUE(Trading("甲", "乙"));
  join->Signal(SIGKILL);
  EXPECT_FALSE(host->WaitFor({Closed(trade::kLinkLostText)}, 1000).empty());
  EXPECT_EQ(host->Wait(), 3);
}

TEST_F(TradePeers, RawFramesAreCheckedBeforeTheyAreHandled) {
  ASSERT_TRUE(Trading("甲", "乙"));
  join->Send("raw JY11*");
  join->Send("raw WC2003*");
  join->Send("raw WC3110abc*");
  join->Send("raw SY0不该显示*");
  join->Send("raw OVER*");
  EXPECT_FALSE(host->WaitFor({"\"confirm\"", "\"value\":1"}).empty());
  EXPECT_FALSE(host->WaitFor({"\"offer\"", "\"slot\":3", "null"}).empty());
  // The unreadable offer is refused with its line and leaves the peer's slot 10 empty.
  EXPECT_FALSE(host->WaitFor({tradetest::Event("refused"), "\"what\":\"peer_offer\""}).empty());
  EXPECT_FALSE(host->WaitFor({tradetest::PeerOffer(10), "\"item\":null"}).empty());
  EXPECT_FALSE(host->WaitFor({Closed(trade::kPeerLeftText)}).empty());
  EXPECT_TRUE(std::none_of(host->lines.begin(), host->lines.end(),
                           [](const std::string& l) { return l.find("不该显示") != std::string::npos; }));
  EXPECT_EQ(host->Wait(), 0);
}

// Chat through the proxy: every text arrives whole, the first copies in the order sent
// (a re-sent copy may come again), or the link closes with its message.
struct ProxyCase {
  const char* name;
  std::vector<std::string> faults;
  bool linkSurvives;
  const char* closedText;  // when it does not
  bool resends;            // the stall forces re-sent copies
};

class TradePeersThroughProxy : public TradePeers, public ::testing::WithParamInterface<ProxyCase> {};

TEST_P(TradePeersThroughProxy, ChatArrivesWholeAndInOrder) {
  const ProxyCase& c = GetParam();
  int proxyPort = 0;
  host = Host("甲", hostPort);
  auto proxy = Proxy(hostPort, c.faults, proxyPort);
  join = Peer("join", proxyPort, "乙");
  ASSERT_FALSE(join->WaitFor({Connected("甲")}, 6000).empty());
  std::vector<std::string> sent;
  for (int i = 1; i <= 4; ++i) {
    sent.push_back("第" + std::to_string(i) + "句：布衣十件＊");
    join->Send("chat " + sent.back());
    join->Send("wait 420");  // the busy rule allows two waiting
  }
  if (c.linkSurvives) {
    EXPECT_FALSE(host->WaitFor({ChatFrom("乙", sent.back())}, 8000).empty());
    host->Drain(c.resends ? 1500 : 300);
  } else {
    EXPECT_FALSE(host->WaitFor({Closed(c.closedText)}, 8000).empty());
  }
  std::vector<std::string> got;
  for (const std::string& l : host->lines) {
    const std::string head = "{\"event\":\"chat\",\"from\":\"乙\",\"text\":\"";
    if (l.rfind(head, 0) == 0) got.push_back(l.substr(head.size(), l.size() - head.size() - 2));
  }
  std::vector<std::string> firsts;
  for (const std::string& g : got) {
    EXPECT_NE(std::find(sent.begin(), sent.end(), g), sent.end()) << "a text that was never sent: " << g;
    if (std::find(firsts.begin(), firsts.end(), g) == firsts.end()) firsts.push_back(g);
  }
  ASSERT_LE(firsts.size(), sent.size());
  EXPECT_TRUE(std::equal(firsts.begin(), firsts.end(), sent.begin())) << "out of order";
  if (c.linkSurvives) {
    EXPECT_EQ(firsts.size(), sent.size());
    if (c.resends) {
      EXPECT_GT(got.size(), firsts.size()) << "the stall forced no re-send";
    }
    join->Send("close");
    EXPECT_FALSE(host->WaitFor({Closed(trade::kPeerLeftText)}, 5000).empty());
  } else {
    EXPECT_FALSE(join->WaitFor({Closed(c.closedText)}, 8000).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TradePeersThroughProxy,
    ::testing::Values(ProxyCase{"split", {"--split", "--seed", "7"}, true, "", false},
                      ProxyCase{"merge", {"--merge"}, true, "", false},
                      ProxyCase{"stall", {"--stall-ms", "2600", "--stall-after-frames", "3"}, true, "", true},
                      ProxyCase{"cut_close",
                                {"--cut-after-frames", "6", "--cut-mode", "close"},
                                false,
                                trade::kLinkLostText,
                                false},
                      ProxyCase{"cut_reset",
                                {"--cut-after-frames", "6", "--cut-mode", "reset"},
                                false,
                                trade::kLinkLostText,
                                false}),
    [](const ::testing::TestParamInfo<ProxyCase>& info) { return std::string(info.param.name); });

// A proxy that swallows everything after the greetings: the joiner's slots fill up with
// unacknowledged chat and the link gives up.
TEST_F(TradePeers, ASilentPathFillsTheSlotsAndCloses) {
  int proxyPort = 0;
  host = Host("甲", hostPort);
  auto proxy = Proxy(hostPort, {"--blackhole-after-frames", "2"}, proxyPort);
  join = Peer("join", proxyPort, "乙");
  ASSERT_FALSE(join->WaitFor({Connected("甲")}, 6000).empty());
  for (int i = 0; i < 11; ++i) {
    join->Send("chat 喂" + std::to_string(i));
    join->Send("wait 420");
  }
  EXPECT_FALSE(join->WaitFor({Closed(trade::kSlotsFullText)}, 8000).empty());
  EXPECT_EQ(join->Wait(), 3);
}

}  // namespace
