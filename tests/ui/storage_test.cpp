// The storage box and the bank on the real main window with the sample table's items:
// every store, take, deposit and withdrawal keeps the items and the gold, and what it
// leaves survives a full save and load.
#include "ui/storage.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <string>

#include "common/game_state.h"
#include "world/sample_items.h"
#include "world/save_fixture.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;
using sampleitems::Slot;
using ui::Form1;

constexpr int kStore = 0, kTake = 1, kDeposit = 2, kWithdraw = 3;

class StorageTest : public sampleitems::SampleItemsTest {
 public:
  // Storage rows from..to hold a stone each.
  static void FillRows(int from, int to) {
    for (int r = from; r <= to; ++r) PutInStorage(r, OfType(3));
  }
  static void FullBag() { FillBag(0); }

 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    G.SoundOn = 1;
    G.Player.ID = "库管";
    G.Player.Money = 1000;
    G.Player.Bank = 500;
    sword = OfType(20);
    potion = OfType(1);
    Slot(21) = sword;
    Slot(11) = potion;
    PutInStorage(2, OfType(14));
  }
  static void PutInStorage(int row, const ItemRecord& item) {
    Slot(61 + row) = item;
    Form1.BankList->Items[static_cast<std::size_t>(row)] = item.Name;
  }
  // Storage row `row` (0..59) empty, as the list shows it.
  static void EmptyRow(int row) {
    Slot(61 + row) = {};
    Form1.BankList->Items[static_cast<std::size_t>(row)] = "空位";
  }
  // Item names by slot, 1..120.
  static std::map<int, std::string> Names() {
    std::map<int, std::string> out;
    for (int i = 1; i <= 120; ++i) {
      if (!Slot(i).Name.empty()) out[i] = Slot(i).Name;
    }
    return out;
  }
  static std::multiset<std::string> Bag(const std::map<int, std::string>& m) {
    std::multiset<std::string> s;
    for (const auto& [slot, name] : m) s.insert(name);
    return s;
  }
  ItemRecord sword, potion;
};

struct Case {
  const char* what;
  std::function<void()> prepare;
  int button;
  std::optional<std::string> typed;  // the input box's answer; nothing = cancelled
  std::map<int, std::string> moved;  // slot -> name afterwards ("" = empty)
  std::string message;               // the red message, "" for none
  std::int32_t money = 1000, bank = 500;
  bool goldSound = false;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

const Case kCases[] = {
    {"store, no row chosen: top row", [] { G.SelectedSlot = 21; }, kStore, "", {{61, "x"}, {21, ""}}, ""},
    {"store into the chosen free row", [] { G.SelectedSlot = 21; Form1.BankList->SetListIndex(5); }, kStore, "",
     {{66, "x"}, {21, ""}}, ""},
    {"store from the belt after a chosen full row",
     [] { G.SelectedSlot = 11; Form1.BankList->SetListIndex(2); }, kStore, "", {{64, "p"}, {11, ""}}, ""},
    {"store wraps to the top", [] { StorageTest::FillRows(3, 59); G.SelectedSlot = 21; Form1.BankList->SetListIndex(2); },
     kStore, "", {{61, "x"}, {21, ""}}, ""},
    {"store into a full box", [] { StorageTest::FillRows(0, 1); StorageTest::FillRows(3, 59); G.SelectedSlot = 21; }, kStore, "", {},
     "次元箱已满！"},
    {"store with nothing held", [] {}, kStore, "", {}, "请先选择一个道具栏中的道具！"},
    {"store a worn item", [] { Slot(1) = Slot(21); Slot(21) = {}; G.SelectedSlot = 1; }, kStore, "", {},
     "请先选择一个道具栏中的道具！"},
    {"store an emptied held slot", [] { G.SelectedSlot = 30; }, kStore, "", {}, "请先选择一个道具栏中的道具！"},
    {"take into the lowest free bag slot", [] { Form1.BankList->SetListIndex(2); }, kTake, "",
     {{22, "r"}, {63, ""}}, ""},
    {"take, nothing chosen", [] {}, kTake, "", {}, "请先选择一个次元箱中的道具！"},
    {"take from a free row", [] { Form1.BankList->SetListIndex(3); }, kTake, "", {}, "您要取出的位置是个空位！"},
    {"take into a full bag", [] { StorageTest::FullBag(); Form1.BankList->SetListIndex(2); }, kTake, "", {},
     "您的道具栏中没有位置了！"},
    {"take exactly the free weight",
     [] { Form1.BankList->SetListIndex(2); G.Player.Heavy = G.Player.Heavy - FreeWeight() + Slot(63).Weight; },
     kTake, "", {{22, "r"}, {63, ""}}, ""},
    {"take one over the free weight",
     [] { Form1.BankList->SetListIndex(2); G.Player.Heavy = G.Player.Heavy - FreeWeight() + Slot(63).Weight - 1; },
     kTake, "", {}, "您的负重力不足！"},
    {"deposit a leading number", [] {}, kDeposit, " 12abc", {}, "", 988, 512, true},
    {"deposit everything", [] {}, kDeposit, "1000", {}, "", 0, 1500, true},
    {"deposit a half to even", [] {}, kDeposit, "2.5", {}, "", 998, 502, true},
    {"deposit more than carried", [] {}, kDeposit, "1001", {}, ""},
    {"deposit 0", [] {}, kDeposit, "0", {}, ""},
    {"deposit -5", [] {}, kDeposit, "-5", {}, ""},
    {"deposit words", [] {}, kDeposit, "abc", {}, ""},
    {"deposit nothing typed", [] {}, kDeposit, "", {}, ""},
    {"deposit cancelled", [] {}, kDeposit, std::nullopt, {}, ""},
    {"deposit hex", [] {}, kDeposit, "&H10", {}, ""},
    {"deposit past 32 bits", [] {}, kDeposit, "4294967297", {}, ""},
    {"deposit to the bank's edge", [] { G.Player.Bank = INT_MAX - 5; G.Player.Money = 10; }, kDeposit, "5", {}, "",
     5, INT_MAX, true},
    {"deposit past the bank's edge", [] { G.Player.Bank = INT_MAX - 5; G.Player.Money = 10; }, kDeposit, "6", {},
     "", 10, INT_MAX - 5},
    {"withdraw a half to even", [] {}, kWithdraw, "3.5", {}, "", 1004, 496, true},
    {"withdraw everything", [] {}, kWithdraw, "500", {}, "", 1500, 0, true},
    {"withdraw more than banked", [] {}, kWithdraw, "501", {}, ""},
    {"withdraw past the purse's edge", [] { G.Player.Money = INT_MAX; }, kWithdraw, "1", {}, "", INT_MAX, 500},
    {"withdraw the largest amount", [] { G.Player.Bank = INT_MAX; G.Player.Money = 0; }, kWithdraw, "2147483647",
     {}, "", INT_MAX, 0, true},
};

class StorageCaseTest : public StorageTest, public ::testing::WithParamInterface<Case> {};

TEST_P(StorageCaseTest, KeepsItemsAndGoldThroughASave) {
  const Case& c = GetParam();
  const std::map<std::string, std::string> letters = {{"x", sword.Name}, {"p", potion.Name}, {"r", OfType(14).Name}};
  SCOPED_TRACE(c.what);
  c.prepare();
  const std::int64_t gold = static_cast<std::int64_t>(G.Player.Money) + G.Player.Bank;
  std::map<int, std::string> expected = Names();
  for (const auto& [slot, name] : c.moved) {
    if (name.empty()) {
      expected.erase(slot);
    } else {
      expected[slot] = letters.at(name);
    }
  }
  const std::int32_t held = G.SelectedSlot;
  const std::int32_t money = c.button >= kDeposit ? c.money : G.Player.Money;
  const std::int32_t bank = c.button >= kDeposit ? c.bank : G.Player.Bank;
  dialogs.dialogs.inputAnswers = {c.typed};
  sound.calls.clear();
  G.SysMessages = {};
  plat::Control* buttons[] = {Form1.Command5, Form1.Command6, Form1.Command7, Form1.Command8};
  buttons[c.button]->OnClick();

  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(static_cast<std::int64_t>(G.Player.Money) + G.Player.Bank, gold);
  EXPECT_EQ(G.Player.Money, money);
  EXPECT_EQ(G.Player.Bank, bank);
  for (int r = 0; r < 60; ++r) {
    const std::string& name = Slot(61 + r).Name;
    EXPECT_EQ(Form1.BankList->Items[static_cast<std::size_t>(r)], name.empty() ? "空位" : name) << "row " << r;
  }
  if (c.message.empty()) {
    EXPECT_EQ(Messages(), std::vector<std::string>{});
  } else {
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(savetest::FindMessage(c.message)->R, 255);
  }
  EXPECT_EQ(Played("Sound\\按键1.wav"), c.button <= kTake);
  EXPECT_EQ(Played("Sound\\钱.wav"), c.goldSound);
  if (c.button == kStore) {
    EXPECT_EQ(G.SelectedSlot, c.message.empty() ? 0 : held);
  }
  if (c.button >= kDeposit) {
    EXPECT_EQ(Form1.Bmoney->Caption, c.goldSound ? std::to_string(bank) : "");
  }

  // The full save keeps what the operation left.
  const fs::path file = Folder() / "Save" / "库管.kzs";
  fs::create_directories(file.parent_path());
  fs::remove(file);
  savetest::MakeSave(file, "库管");
  G.SaveConnStr.clear();
  G.SavePath.clear();
  ASSERT_TRUE(SaveGame());
  G.Player = PlayerRecord{};
  ASSERT_TRUE(LoadSaveGame("库管"));
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(G.Player.Money, money);
  EXPECT_EQ(G.Player.Bank, bank);
}

// After a store the receiving row is selected and described, also when it was the row
// already selected (the list clicks by itself only for a change of row).
TEST_F(StorageTest, TheReceivingRowIsSelectedAndDescribed) {
  for (const int chosen : {-1, 5, 2}) {
    SCOPED_TRACE(chosen);
    Slot(21) = sword;
    for (int r = 0; r < 60; ++r) {
      if (r != 2) EmptyRow(r);
    }
    Form1.BankList->SetListIndex(chosen);
    Form1.PItemInf->Visible = false;
    Form1.ItemInf(1)->Caption.clear();
    Form1.Ibank->Picture.clear();
    G.SelectedSlot = 21;
    Form1.Command5->OnClick();
    const int row = chosen == -1 ? 0 : chosen == 5 ? 5 : 3;
    EXPECT_EQ(Slot(61 + row).Name, sword.Name);
    EXPECT_EQ(Form1.BankList->ListIndex(), row);
    EXPECT_TRUE(Form1.PItemInf->Visible);
    EXPECT_EQ(Form1.ItemInf(1)->Caption.rfind(sword.Name + "『", 0), 0u) << Form1.ItemInf(1)->Caption;
    EXPECT_FALSE(Form1.Ibank->Picture.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, StorageCaseTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(TypedGold, ReadsTheLeadingNumberWithin32Bits) {
  const struct {
    const char* typed;
    std::optional<std::int32_t> n;
  } cases[] = {{"12abc", 12}, {"  7", 7}, {"", 0}, {"abc", 0}, {"0.5", 0}, {"1.5", 2}, {"1e3", 1000},
               {"2147483647", INT_MAX}, {"2147483647.4", INT_MAX}, {"2147483647.5", std::nullopt},
               {"99999999999999999999", std::nullopt}, {"1e400", std::nullopt}, {"-1", std::nullopt},
               {"-0.4", 0}, {"&HFF", 0}};
  for (const auto& c : cases) EXPECT_EQ(ui::TypedGold(c.typed), c.n) << c.typed;
}

TEST_F(StorageTest, TakingTheLastStoredItemLeavesNoPictureOrRowBehind) {
  for (int r = 0; r < 60; ++r) EmptyRow(r);
  PutInStorage(59, sword);
  Form1.BankList->SetListIndex(59);
  Form1.Ibank->Picture = "shown";
  Form1.Command6->OnClick();
  EXPECT_EQ(Slot(120).Name, "");
  EXPECT_TRUE(Form1.Ibank->Picture.empty());
  EXPECT_LT(Form1.BankList->ListIndex(), 60);
}

}  // namespace
