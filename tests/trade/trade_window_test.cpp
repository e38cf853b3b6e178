// The trade set-up panel of the title screen and the trade window, driven through their
// real control trees: the window's side is a session on a real save, its peer a bare
// session over an in-memory pipe, both on the fake clock.
#include "trade/trade_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "platform/forms.h"
#include "platform/net.h"
#include "session_pair.h"
#include "trade/trade_setup.h"
#include "window/form1.h"
#include "window/form2.h"

namespace {

using namespace sessiontest;
using savetest::GameFolder;
using trade::Role;
using ui::Form1;
using ui::Form2;

// A press and a release of a mouse button in the middle of a control, through its form.
void Press(plat::Control* c, int button = plat::kLeftButton) {
  ASSERT_NE(c, nullptr);
  plat::Form* f = c->OwnerForm();
  const int x = c->ScreenX() + c->PixelWidth() / 2, y = c->ScreenY() + c->PixelHeight() / 2;
  ASSERT_EQ(f->HitTest(x, y), c) << c->Name << " is covered or hidden";
  f->MouseDown(x, y, button, 0);
  f->MouseUp(x, y, button, 0);
}

bool LogHas(const std::string& line) {
  const std::string& t = Form2.T->Text;
  return t == line || t.starts_with(line + "\r\n") || t.find("\r\n" + line + "\r\n") != std::string::npos ||
         t.ends_with("\r\n" + line);
}

class ScopedPort {
 public:
  explicit ScopedPort(std::uint16_t port) { setenv(trade::kPortVariable, std::to_string(port).c_str(), 1); }
  ~ScopedPort() { unsetenv(trade::kPortVariable); }
};

// ---------------------------------------------------------------- the set-up panel

class TradeSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trade::AttachTradeSetupHandlers();
    Form1.MainMeun->Visible = true;  // the title screen
    MakeTradeSave(folder, "甲", {{21, Item(101)}});
  }
  void TearDown() override { trade::AbandonTradeWindow(); }
  void Choose(const std::string& row) {
    Form1.IdList->Clear();
    Form1.IdList->AddItem(row);
    Form1.IdList->SetListIndex(0);
  }

  GameFolder folder;
  testsupport::ScopedDialogs boxes;
};

TEST_F(TradeSetupTest, TheAccountCheckOpensThePanelForNormalAndExpertAccountsOnly) {
  struct Case {
    const char* row;  // "" = no row chosen
    const char* box;  // "" = none
    bool panel;
  };
  const Case cases[] = {
      {"", trade::kChooseAccountText, false},
      {"甲    战士  12  作弊", trade::kNotTradableText, false},
      {"甲    战士  12  ", trade::kNotTradableText, false},  // a save of an older version
      {"甲    战士  12  专家", "", true},
      {"甲    战士  12  普通", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    Form1.Pnet->Visible = false;
    Form1.IdList->Clear();
    if (*c.row != '\0') Choose(c.row);
    boxes.dialogs.shown.clear();
    Press(Form1.Command4);
    EXPECT_EQ(Form1.Pnet->Visible, c.panel);
    if (*c.box == '\0') {
      EXPECT_TRUE(boxes.dialogs.shown.empty());
    } else {
      ASSERT_EQ(boxes.dialogs.shown.size(), 1u);
      EXPECT_EQ(boxes.dialogs.shown[0].text, c.box);
      EXPECT_EQ(boxes.dialogs.shown[0].title,
                std::string(c.row).empty() ? plat::AppTitle() : trade::kErrorTitle);
    }
  }
  Press(Form1.Command14);
  EXPECT_FALSE(Form1.Pnet->Visible);
}

TEST_F(TradeSetupTest, TheRoleDecidesTheAddressBoxAndAJoinNeedsAnAddress) {
  Choose("甲    战士  12  普通");
  Press(Form1.Command4);
  ASSERT_TRUE(Form1.Pnet->Visible);
  EXPECT_FALSE(Form1.DIP->Enabled);
  Press(Form1.O2);
  EXPECT_EQ(Form1.O1->Value(), 0);
  EXPECT_TRUE(Form1.DIP->Enabled);
  EXPECT_EQ(Form1.Form->Focus, Form1.DIP);
  EXPECT_TRUE(Form1.DIP->AllSelected);
  Form1.Form->TextInput("10.1.2.3");  // replaces the selected "0.0.0.0"
  EXPECT_EQ(Form1.DIP->Text, "10.1.2.3");

  for (const char* typed : {"0.0.0.0", "  0.0.0.0 ", "", "   "}) {
    SCOPED_TRACE(typed);
    Form1.DIP->Text = typed;
    Form1.Form->Focus = nullptr;
    boxes.dialogs.shown.clear();
    Press(Form1.Command15);
    ASSERT_EQ(boxes.dialogs.shown.size(), 1u);
    EXPECT_EQ(boxes.dialogs.shown[0].text, trade::kBadAddressText);
    EXPECT_EQ(boxes.dialogs.shown[0].title, trade::kErrorTitle);
    EXPECT_EQ(Form1.Form->Focus, Form1.DIP);
    EXPECT_TRUE(Form1.DIP->AllSelected);
    EXPECT_FALSE(trade::TradeWindowOpen());
  }
  Press(Form1.O1);
  EXPECT_FALSE(Form1.DIP->Enabled);
}

TEST_F(TradeSetupTest, AHostOnAPortInUseOpensNothingAndKeepsTheSaveFree) {
  plat::TcpListener other;
  ASSERT_EQ(other.Listen("0.0.0.0", 0), plat::TcpListener::Result::Ok);
  ScopedPort port(other.Port());
  EXPECT_EQ(trade::TradeSetupPort(), other.Port());
  Choose("甲    战士  12  普通");
  Press(Form1.Command4);
  Press(Form1.Command15);
  ASSERT_EQ(boxes.dialogs.shown.size(), 1u);
  EXPECT_EQ(boxes.dialogs.shown[0].text, trade::kHostInUseText);
  EXPECT_FALSE(trade::TradeWindowOpen());
  EXPECT_TRUE(Form1.Form->Visible);
  // Nothing stays open: the save is free for the next start.
  plat::FileLock lock;
  EXPECT_EQ(LockSave("甲", lock), plat::FileLock::Result::Locked);
}

TEST(TradeSetupPortTest, OnlyAWholePortNumberReplacesTheGamesPort) {
  for (const char* bad : {"0", "65536", "12ab", "-5", ""}) {
    ScopedPort port(0);
    setenv(trade::kPortVariable, bad, 1);
    EXPECT_EQ(trade::TradeSetupPort(), trade::kTradePort) << bad;
  }
  EXPECT_EQ(trade::TradeSetupPort(), trade::kTradePort);
}

// ---------------------------------------------------------------- the window

class TradeWindowTest : public ::testing::Test {
 protected:
  // 甲 (the window) holds 101 in 21, 102 in 22 and the forged 109 in 23; 乙 holds 201 in 30.
  void SetUp() override {
    MakeTradeSave(folder, "甲", {{21, Item(101)}, {22, Item(102, 1)}, {23, Item(109, 0, 2)}});
    MakeTradeSave(folder, "乙", {{30, Item(201)}});
    // The icons of the three kinds, so that the slots show pictures.
    std::filesystem::create_directories(folder.path() / "Date" / "Item");
    for (const Kind& k : kKinds)
      std::ofstream(folder.path() / "Date" / "Item" / (std::to_string(k.pic1) + ".bmp"));

    auto net = std::make_unique<tradetest::FakeNetwork>();
    net->incoming = conn.EndA();
    std::string error;
    ASSERT_TRUE(trade::OpenTradeWindow(Options(Role::Host, "甲"), &error, std::move(net))) << error;
    peerNet.incoming = conn.EndB();
    peerNet.connectOnAttempt = 1;
    peer = std::make_unique<trade::Session>(peerNet, peerEv, Options(Role::Join, "乙"));
  }
  void TearDown() override { trade::AbandonTradeWindow(); }

  void Connect() {
    std::string error;
    ASSERT_TRUE(peer->Open(plat::Tick(), &error)) << error;
    Run(2500);  // the joiner's first attempt comes at its first tick
    ASSERT_TRUE(trade::CurrentTradeSession()->Trading());
  }
  // The event pump runs the window's session; the peer is polled beside it.
  void Run(std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += 10) {
      clock.clock.Sleep(10);
      plat::Application::Get().DoEvents();
      if (peer->IsOpen()) peer->Poll(plat::Tick());
    }
  }
  trade::Session& Mine() { return *trade::CurrentTradeSession(); }

  GameFolder folder;
  testsupport::ScopedFakeClock clock;
  testsupport::ScopedDialogs boxes;
  tradetest::Connection conn;
  tradetest::FakeNetwork peerNet;
  Events peerEv;
  std::unique_ptr<trade::Session> peer;
};

TEST_F(TradeWindowTest, OpeningShowsTheGreetingAndTheBagAndHidesTheMainWindow) {
  EXPECT_TRUE(Form2.Form->Visible);
  EXPECT_FALSE(Form1.Form->Visible);
  EXPECT_TRUE(
      Form2.T->Text.starts_with("您选择使用『 甲    』进行交易\r\n您的IP地址：127.0.0.1\r\n等待加入 …"));
  EXPECT_FALSE(Form2.Iitem(21)->Picture.empty());
  EXPECT_TRUE(Form2.Iitem(24)->Picture.empty());
  EXPECT_EQ(Form2.ItemInf(1)->Caption, "");

  // Before the peer's greeting: presses do nothing, the box and the chat only say so.
  Press(Form2.Iitem(21));
  Press(Form2.Iitem(21), plat::kRightButton);
  EXPECT_FALSE(Form2.Plost->Visible);
  EXPECT_EQ(Mine().Bag(21).Ex, 101);
  Press(Form2.CMY);
  EXPECT_EQ(Form2.CMY->Value(), 0);
  EXPECT_TRUE(Form2.T->Text.ends_with("■ 没有连接 请稍后 ■"));
  Press(Form2.Label1(0));
  Press(Form2.Command1);
  EXPECT_TRUE(Form2.T->Text.ends_with("■ 没有连接 请稍后 ■\r\n■ 没有连接 请稍后 ■\r\n■ 没有连接 请稍后 ■"));

  Connect();
  EXPECT_TRUE(LogHas("■ 连接成功 可以进行交易 ■ "));
}

TEST_F(TradeWindowTest, BagPressesOfferRefuseForgedItemsAndOpenTheDiscardBox) {
  Connect();
  // The forged item: refused on the left button, the discard box on the right.
  Press(Form2.Iitem(23));
  EXPECT_TRUE(Form2.T->Text.ends_with("★ 不能交易锻造后的装备 ★"));
  EXPECT_EQ(Mine().Bag(23).Ex, 109);
  Press(Form2.Iitem(23), plat::kRightButton);
  ASSERT_TRUE(Form2.Plost->Visible);
  EXPECT_EQ(Form2.Ilost->Tag, "23");
  EXPECT_EQ(Form2.Ilost->Picture, Form2.Iitem(23)->Picture);
  Press(Form2.Command4);  // "取消"
  EXPECT_FALSE(Form2.Plost->Visible);
  EXPECT_EQ(Mine().Bag(23).Ex, 109);
  Press(Form2.Iitem(23), plat::kRightButton);
  Press(Form2.Command2);  // "确认": gone from the bag, not from the save
  EXPECT_FALSE(Form2.Plost->Visible);
  EXPECT_TRUE(Mine().Bag(23).Name.empty());
  EXPECT_TRUE(Form2.Iitem(23)->Picture.empty());
  EXPECT_EQ(DiskItems(folder, "甲").count(23), 1u);

  // The middle button offers nothing; the left button offers into the first free slot.
  Press(Form2.Iitem(21), plat::kMiddleButton);
  EXPECT_TRUE(Mine().OwnOffer(1).Name.empty());
  Press(Form2.Iitem(21));
  EXPECT_EQ(Mine().OwnOffer(1).Ex, 101);
  EXPECT_TRUE(Form2.Iitem(21)->Picture.empty());
  EXPECT_FALSE(Form2.Imy(1)->Picture.empty());
  // While that offer waits for its acknowledgement the box refuses, and reverts.
  Press(Form2.CMY);
  EXPECT_EQ(Form2.CMY->Value(), 0);
  EXPECT_TRUE(Form2.T->Text.ends_with("■ 任务忙 请放慢速度  ■"));
  Run(500);
  ASSERT_EQ(peer->PeerOffer(1).Ex, 101);

  // Any press on an offer slot withdraws it, back into the first free bag slot.
  Press(Form2.Imy(1), plat::kRightButton);
  EXPECT_TRUE(Mine().OwnOffer(1).Name.empty());
  EXPECT_TRUE(Form2.Imy(1)->Picture.empty());
  EXPECT_EQ(Mine().Bag(21).Ex, 101);
  Run(500);
  EXPECT_TRUE(peer->PeerOffer(1).Name.empty());
}

TEST_F(TradeWindowTest, ChatQuickPhrasesHelpAndDescriptions) {
  Connect();
  Form2.Tsay->Text = "你好";
  Press(Form2.Command1);
  EXPECT_EQ(Form2.Tsay->Text, "");  // sent: the box is empty again
  Press(Form2.Label1(6));
  Form2.Tsay->Text = "等等";
  Press(Form2.Command1);  // two texts wait: refused, and the line stays
  EXPECT_EQ(Form2.Tsay->Text, "等等");
  Run(1500);
  EXPECT_TRUE(peerEv.Logged("甲 -> 你好"));
  EXPECT_TRUE(peerEv.Logged("甲 -> 果然是好东西！"));

  Press(Form2.Command3);
  std::string help = "\r\n\r\n\r\n";
  for (const char* line : trade::kTradeHelpLines) help += std::string(line) + "\r\n";
  EXPECT_TRUE(Form2.T->Text.ends_with(help));

  // The pointer over a filled slot describes its item; over the background, nothing.
  Form2.Form->MouseMove(Form2.Iitem(22)->ScreenX() + 3, Form2.Iitem(22)->ScreenY() + 3, 0, 0);
  EXPECT_NE(Form2.ItemInf(1)->Caption.find("短剑"), std::string::npos);
  Form2.Form->MouseMove(Form2.Iitem(30)->ScreenX() + 3, Form2.Iitem(30)->ScreenY() + 3, 0, 0);
  EXPECT_NE(Form2.ItemInf(1)->Caption.find("短剑"), std::string::npos);  // empty: kept
  Form2.Form->MouseMove(2, 2, 0, 0);
  EXPECT_EQ(Form2.ItemInf(1)->Caption, "");
  EXPECT_EQ(Form2.ItemInf(2)->Caption, "");

  // A description goes with its item, and when the pointer comes over any other control.
  auto over = [](plat::Control* c) {
    Form2.Form->MouseMove(c->ScreenX() + c->PixelWidth() / 2, c->ScreenY() + c->PixelHeight() / 2, 0, 0);
  };
  for (plat::Control* elsewhere : {Form2.T, Form2.Command6, Form2.Label1(2)}) {
    over(Form2.Iitem(22));
    ASSERT_NE(Form2.ItemInf(1)->Caption, "");
    over(elsewhere);
    EXPECT_EQ(Form2.ItemInf(1)->Caption, "") << elsewhere->Name;
  }
  over(Form2.Iitem(22));
  Press(Form2.Iitem(22));  // offered: the slot under the pointer is empty now
  EXPECT_EQ(Form2.ItemInf(1)->Caption, "");
  EXPECT_EQ(Form2.ItemInf(2)->Caption, "");
  Run(500);
  over(Form2.Imy(1));
  ASSERT_NE(Form2.ItemInf(1)->Caption, "");
  Press(Form2.Imy(1));  // taken back
  EXPECT_EQ(Form2.ItemInf(1)->Caption, "");
}

TEST_F(TradeWindowTest, ALongLogIsCutToItsLastFiveThousandCharacters) {
  Connect();
  const std::string line(99, 'x');  // with the line break: 101 characters a line
  Form2.T->Text.clear();
  for (int i = 0; i < 79; ++i) trade::AppendTradeLog(line);
  EXPECT_EQ(plat::Len(Form2.T->Text), 79 * 101 - 2);  // 7977: kept whole
  trade::AppendTradeLog("已满");
  EXPECT_EQ(plat::Len(Form2.T->Text), 7981);
  trade::AppendTradeLog("溢出");  // 8000 still fits ...
  EXPECT_EQ(plat::Len(Form2.T->Text), 7985);
  for (int i = 0; i < 4; ++i) trade::AppendTradeLog("四个");
  EXPECT_EQ(plat::Len(Form2.T->Text), trade::kLogKeptChars);  // ... 8001 does not
  EXPECT_TRUE(Form2.T->Text.ends_with("\r\n四个"));
  // Help lines count as well.
  for (int i = 0; i < 10; ++i) Press(Form2.Command3);
  EXPECT_LE(plat::Len(Form2.T->Text), trade::kLogMaxChars);
}

TEST_F(TradeWindowTest, BothConfirmsTradeTheItemsIntoTheSaveAndTheEndShowsTheMainWindow) {
  Connect();
  Press(Form2.Iitem(22));
  ASSERT_TRUE(peer->Offer(30));
  Run(1500);
  EXPECT_FALSE(Form2.Idf(1)->Picture.empty());
  Press(Form2.CMY);
  EXPECT_EQ(Form2.CMY->Value(), 1);
  Run(1000);
  ASSERT_TRUE(peer->SetConfirm(true));
  Run(3000);
  EXPECT_TRUE(LogHas("※ 交易成功 ※"));
  EXPECT_EQ(Form2.CMY->Value(), 0);
  EXPECT_EQ(Form2.CDF->Value(), 0);
  EXPECT_TRUE(Form2.Imy(1)->Picture.empty());
  EXPECT_TRUE(Form2.Idf(1)->Picture.empty());
  const std::map<int, int> mine = DiskItems(folder, "甲");
  EXPECT_EQ(mine, (std::map<int, int>{{21, 101}, {22, 201}, {23, 109}}));
  EXPECT_EQ(DiskItems(folder, "乙"), (std::map<int, int>{{21, 102}}));
  EXPECT_EQ(MemoryItems(Mine()), mine);

  Press(Form2.Command6);
  Run(500);
  EXPECT_FALSE(trade::TradeWindowOpen());
  EXPECT_FALSE(Form2.Form->Visible);
  EXPECT_TRUE(Form1.Form->Visible);
  EXPECT_TRUE(peerEv.closed);
  EXPECT_EQ(peerEv.closedText, trade::kPeerLeftText);
  EXPECT_TRUE(boxes.dialogs.shown.empty());
}

TEST_F(TradeWindowTest, ThePeersFarewellClosesTheWindowWithItsMessageAfterThePoll) {
  Connect();
  peer->Close(plat::Tick());
  Run(500);
  EXPECT_FALSE(trade::TradeWindowOpen());
  EXPECT_TRUE(Form1.Form->Visible);
  ASSERT_EQ(boxes.dialogs.shown.size(), 1u);
  EXPECT_EQ(boxes.dialogs.shown[0].text, trade::kPeerLeftText);
  // The window's close box closes through the session too.
  std::string error;
  EXPECT_TRUE(
      trade::OpenTradeWindow(Options(Role::Host, "甲"), &error, std::make_unique<tradetest::FakeNetwork>()))
      << error;
  EXPECT_FALSE(Form2.Form->RequestClose());  // the session takes the window away itself
  EXPECT_FALSE(trade::TradeWindowOpen());
  EXPECT_TRUE(Form1.Form->Visible);
}

}  // namespace
