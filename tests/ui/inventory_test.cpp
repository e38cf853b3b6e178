// The inventory grid on the real main window, clicked through the window's hit test,
// with the sample table's items.
#include "ui/inventory.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "ui/game_screen_input.h"
#include "window/form1.h"
#include "world/equipment.h"
#include "world/sample_items.h"

namespace {

using sampleitems::Slot;
using ui::Form1;

class InventoryTest : public sampleitems::SampleItemsTest {
 protected:
  void SetUp() override {
    SampleItemsTest::SetUp();
    SetPartSize(1, 30, 30);
    G.SubMap = 1;
    CopyPartGridToGrid(1);
    G.SoundOn = 1;
    G.Player.Level = 120;
    G.Player.DcMax = G.Player.McMax = 500;
    G.Player.ActState = ActionState::Stand;
    Form1.Psys2->Visible = Form1.PBkDown1->Visible = true;
    potion = OfType(1);
    sword = OfType(20);
    ring = OfType(14);
  }

  void Click(int slot, int button, bool ctrl = false) {
    plat::Control* icon = Form1.Iitem(slot);
    const int x = icon->ScreenX() + 4, y = icon->ScreenY() + 4;
    ASSERT_EQ(Form1.Form->HitTest(x, y), icon) << slot;
    plat::SetKeyHeld(plat::vk::Control, ctrl);
    Form1.Form->MouseDown(x, y, button, 0);
    Form1.Form->MouseUp(x, y, button, 0);
    plat::SetKeyHeld(plat::vk::Control, false);
  }
  static void Hold(int slot) {
    G.SelectedSlot = slot;
    Form1.ShItem->Visible = true;
  }
  static void OldPreviews() {
    for (plat::Control* c : {Form1.Isell, Form1.IwUP, Form1.Ibank, Form1.Ibuy}) c->Picture = "old.bmp";
    Form1.Lsell->Caption = Form1.Lbuy->Caption = "1";
  }
  static bool PreviewsCleared() {
    return (Form1.Isell->Picture + Form1.IwUP->Picture + Form1.Ibank->Picture + Form1.Lsell->Caption).empty();
  }

  ItemRecord potion, sword, ring;
};

// After pointing at a bag item, the description lies over the buttons of the sell and
// forge panels. A click there reaches the button, whether the pointer moved over the
// description on its way or the press came first.
TEST_F(InventoryTest, AClickOnAButtonUnderTheDescriptionReachesTheButton) {
  Slot(30) = potion;
  for (plat::Control* panel : {Form1.Psell, Form1.PwUP}) panel->Visible = true;
  for (plat::Control* button : {Form1.Command10, Form1.Command9, Form1.Command21, Form1.Command13}) {
    for (const bool moved : {true, false}) {
      SCOPED_TRACE(button->Caption + (moved ? " after a move" : " without a move"));
      Form1.Psell->Visible = button == Form1.Command10 || button == Form1.Command9;
      Form1.PwUP->Visible = !Form1.Psell->Visible;
      Form1.Iitem(30)->OnMouseMove(0, 0, 5, 5);
      ASSERT_TRUE(Form1.PItemInf->Visible);
      const int x = button->ScreenX() + button->PixelWidth() / 2,
                y = button->ScreenY() + button->PixelHeight() - 4;
      ASSERT_NE(Form1.Form->HitTest(x, y), button) << "the description covers the button";
      int clicks = 0;
      button->OnClick = [&clicks] { ++clicks; };
      if (moved) Form1.Form->MouseMove(x, y, 0, 0);
      Form1.Form->MouseDown(x, y, plat::kLeftButton, 0);
      Form1.Form->MouseUp(x, y, plat::kLeftButton, 0);
      EXPECT_EQ(clicks, 1);
      EXPECT_FALSE(Form1.PItemInf->Visible);
    }
  }
}

// One row per rule of the grid: the state before, the click, and what follows. `frame`
// is the slot whose place the frame took (0: it did not move).
TEST_F(InventoryTest, EveryClickRule) {
  const char* kChoose = "请先选择您要升级的武器";
  const struct {
    const char* rule;
    std::function<void()> before;
    int slot, button;
    bool ctrl;
    int held;
    bool sound;
    int frame;
    std::function<void()> after;
  } rows[] = {
      {"dead: ignored", [&] { G.Player.HP = 0; Slot(21) = potion; Hold(21); }, 22, 1, false, 21, false, 0,
       [&] { EXPECT_EQ(Slot(21), potion); }},
      {"ctrl, worn item: nothing", [&] { Slot(1) = sword; }, 1, 1, true, 0, false, 0,
       [&] { EXPECT_EQ(Slot(1), sword); }},
      {"ctrl, belt item: dropped", [&] { Slot(12) = potion; }, 12, 1, true, 0, false, 0,
       [&] { EXPECT_EQ(G.GroundItemCount, 1); }},
      {"ctrl, bag item: dropped", [&] { Slot(40) = ring; }, 40, 2, true, 0, false, 0,
       [&] { EXPECT_TRUE(Slot(40).Name.empty()); }},
      {"ctrl, empty slot: nothing", [&] { Hold(3); }, 30, 1, true, 3, false, 0, nullptr},
      {"left, worn, nothing held: held", nullptr, 4, 1, false, 4, true, 4,
       [&] { EXPECT_TRUE(Form1.ShItem->Visible); }},
      {"left, worn, storage open: nothing chosen", [&] { Form1.Pbank->Visible = true; }, 2, 1, false, 0, true, 2,
       nullptr},
      {"left, worn, worn held: hold dropped", [&] { Slot(1) = sword; Hold(1); OldPreviews(); }, 3, 1, false, 0,
       true, 3, [&] { EXPECT_EQ(Slot(1), sword); EXPECT_TRUE(PreviewsCleared()); }},
      {"left, worn, bag item held: worn", [&] { Slot(25) = ring; Hold(25); OldPreviews(); }, 9, 1, false, 0, true,
       9, [&] { EXPECT_EQ(Slot(9), ring); EXPECT_TRUE(PreviewsCleared()); }},
      {"left, belt, held: moved, silent", [&] { Slot(30) = potion; Hold(30); }, 15, 1, false, 0, false, 15,
       [&] { EXPECT_EQ(Slot(15), potion); EXPECT_FALSE(Form1.ShItem->Visible); }},
      {"left, belt, nothing held: to the first empty bag slot", [&] { Slot(11) = potion; Slot(21) = ring; }, 11, 1,
       false, 0, false, 11, [&] { EXPECT_EQ(Slot(22), potion); }},
      {"left, belt, bag full: nothing moves", [&] { Slot(16) = potion; FillBag(0); }, 16, 1, false, 0, true, 16,
       [&] { EXPECT_EQ(Slot(16), potion); }},
      {"left, bag, held: swapped", [&] { Slot(21) = potion; Slot(56) = sword; Hold(21); OldPreviews(); }, 56, 1,
       false, 0, true, 56, [&] {
         EXPECT_EQ(Slot(21), sword);
         EXPECT_TRUE(PreviewsCleared());
         EXPECT_EQ(Form1.LwUP->Caption, kChoose);
       }},
      {"left, empty bag slot, nothing held: nothing held", [&] { OldPreviews(); }, 33, 1, false, 0, true, 33, [&] {
         EXPECT_TRUE(PreviewsCleared());
         EXPECT_EQ(Form1.LwUP->Caption, kChoose);
       }},
      {"left, bag weapon, nothing held: held, previews", [&] { Slot(27) = sword; }, 27, 1, false, 27, true, 27, [&] {
         EXPECT_NE(Form1.Ibank->Picture.find("/" + std::to_string(sword.Pic1) + ".bmp"), std::string::npos);
         EXPECT_EQ(Form1.Isell->Picture + Form1.IwUP->Picture, Form1.Ibank->Picture + Form1.Ibank->Picture);
         EXPECT_EQ(Form1.Lsell->Caption, std::to_string(sword.Money));
         EXPECT_EQ(Form1.LwUP->Caption, "武器当前等级：0\r\r锻造材料：\r铁矿石1块\r\r锻造费用：500");
       }},
      {"left, bag, sell open: chosen anew", [&] { Form1.Psell->Visible = true; Slot(21) = sword; Slot(22) = ring;
         Hold(21); }, 22, 1, false, 22, true, 22, [&] {
         EXPECT_EQ(Slot(21), sword);
         EXPECT_EQ(Form1.LwUP->Caption, "请选择一件武器");
       }},
      {"left, held slot gone empty: as nothing held", [&] { Slot(30) = ring; Hold(25); }, 30, 1, false, 30, true,
       30, [&] { EXPECT_EQ(Slot(30), ring); }},
      {"right, held: hold dropped only", [&] { Slot(21) = potion; Hold(1); }, 21, 2, false, 0, false, 21,
       [&] { EXPECT_EQ(G.LastItemUseTick, 0); }},
      {"right, worn: taken off", [&] { Slot(1) = sword; ApplyWearingStats(sword, 1); OldPreviews(); }, 1, 2, false,
       0, false, 1, [&] {
         EXPECT_EQ(Slot(21), sword);
         EXPECT_EQ(G.Player.DcMax, 500);
         EXPECT_EQ(Form1.Ibuy->Picture + Form1.Lbuy->Caption + Form1.Lsell->Caption, "");
       }},
      {"right, worn, bag full: nothing, no message", [&] { Slot(1) = sword; FillBag(0); }, 1, 2, false, 0, false, 1,
       [&] { EXPECT_EQ(Slot(1), sword); EXPECT_TRUE(Messages().empty()); }},
      {"right, worn, transformed: nothing", [&] { Slot(1) = sword; G.BodyNo = 100; }, 1, 2, false, 0, false, 1,
       [&] { EXPECT_EQ(Slot(1), sword); }},
      {"right, belt: used", [&] { Slot(13) = potion; }, 13, 2, false, 0, false, 13,
       [&] { EXPECT_EQ(G.LastItemUseTick, plat::Tick()); }},
      {"middle: only the frame moves", [&] { Slot(23) = potion; }, 23, 4, false, 0, false, 23,
       [&] { EXPECT_EQ(Slot(23), potion); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.rule);
    for (int i = 1; i <= 120; ++i) Slot(i) = {};
    G.SelectedSlot = G.BodyNo = G.GroundItemCount = 0;
    G.LastItemUseTick = 0;
    G.Player.HP = 50;
    G.Player.DcMax = 500;
    for (plat::Control* c : {Form1.Pbank, Form1.Psell, Form1.ShItem}) c->Visible = false;
    Form1.ShItem->Move(0, 0);
    Form1.LwUP->Caption.clear();
    sound.calls.clear();
    if (r.before) r.before();
    Click(r.slot, r.button, r.ctrl);
    EXPECT_EQ(G.SelectedSlot, r.held);
    EXPECT_EQ(Played("Sound\\选取.wav"), r.sound);
    EXPECT_EQ(Form1.ShItem->Left, r.frame ? Form1.Iitem(r.frame)->Left : 0);
    EXPECT_EQ(Form1.ShItem->Top, r.frame ? Form1.Iitem(r.frame)->Top : 0);
    if (r.after) r.after();
  }
}

TEST_F(InventoryTest, RightClicksUseItemsAtLeast501MillisecondsApart) {
  Slot(24) = potion;
  for (auto [wait, used] : {std::pair{0, true}, {300, false}, {200, false}, {1, true}, {600, true}}) {
    clock.Advance(wait);
    const std::int64_t last = G.LastItemUseTick;
    Click(24, plat::kRightButton);
    EXPECT_EQ(G.LastItemUseTick, used ? clock.Now() : last) << wait;
  }
}

TEST_F(InventoryTest, TheWindowBackgroundAndTheDescriptionPanel) {
  for (auto [button, before, after] : {std::tuple{2, 25, 0}, {1, 25, 25}, {4, 7, 7}}) {
    Hold(before);
    Form1.Psys2->OnMouseDown(button, 0, 5, 5);
    EXPECT_EQ(G.SelectedSlot, after) << button;
    EXPECT_EQ(Form1.ShItem->Visible, after > 0);
  }
  for (plat::Control* over : {Form1.Pbank, Form1.PItemInf}) {
    Form1.PItemInf->Visible = true;
    over->OnMouseMove(0, 0, 5, 5);
    EXPECT_FALSE(Form1.PItemInf->Visible) << over->Name;
  }
}

TEST_F(InventoryTest, TheForgeTextFollowsTheChosenWeaponsLevel) {
  for (auto [level, tail] : {std::pair{3, "\r铁矿石1块\r\r锻造费用：1500"}, {7, "\r铁矿石2块\r\r锻造费用：2800"},
                             {9, "\r这件武器不能再锻造了"}, {12, "\r"}, {-1, "\r"}}) {
    sword.dzlevel = level;
    Slot(21) = sword;
    G.SelectedSlot = 0;
    Click(21, plat::kLeftButton);
    const std::string text = Form1.LwUP->Caption;
    EXPECT_EQ(text.rfind("武器当前等级：" + std::to_string(level) + "\r", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - std::string(tail).size()), tail) << text;
  }
}

TEST_F(InventoryTest, APressOnTheGameScreenDropsOnlyAHeldSlotThatStillHoldsSomething) {
  for (bool full : {false, true}) {
    Slot(12) = full ? potion : ItemRecord{};
    Hold(12);
    G.MouseLeftDown = 0;
    ui::GameScreen_MouseDown(plat::kLeftButton, 0, 0, 0);
    EXPECT_EQ(G.GroundItemCount, full ? 1 : 0);
    EXPECT_EQ(G.MouseLeftDown, full ? 0 : 1) << "an empty hold lets the press walk";
  }
}

}  // namespace
