// The real program on a copy of the sample game folder, the town's druggist as a player
// meets him: a new warrior clicks him, takes "买药", chooses the cheapest potion in the
// list, buys it, sees it in the bag and the gold drop by its price, talks to him again,
// takes "卖东西", holds the potion in the bag and sells it back for half the price.
#include <SDL.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "graphics/device.h"
#include "world/items.h"

namespace {

using e2e::Cell;
using ui::Form1;

constexpr Cell kDruggist{17, 10};
constexpr const char* kGoods = "金创药小";
constexpr std::int32_t kPrice = 10;

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

int BagSlotOf(const std::string& name) {
  for (int i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[static_cast<std::size_t>(i)].Name == name) return i;
  }
  return 0;
}

SDL_Point DruggistPoint() {
  const SDL_Point v = e2e::ViewCellOf(kDruggist);
  return e2e::ViewCellPoint(v.x, v.y);
}

// Presses on the druggist until the dialogue opens, then lets go. A window over his cell
// (the character window) is closed first with the bag button.
std::vector<e2e::GameDriver::Step> TalkToTheDruggist() {
  return {
      [](plat::SdlHost&) {
        const SDL_Point p = DruggistPoint();
        if (Form1.Form->HitTest(p.x, p.y) != Form1.GameScreen) {
          if (!Form1.Psys2->Visible) Fail("something covers the druggist");
          e2e::ClickOn(Form1.SysB3);
          return false;
        }
        e2e::PushMotion(p.x, p.y);
        e2e::PushButton(SDL_MOUSEBUTTONDOWN, p.x, p.y);
        return true;
      },
      [](plat::SdlHost&) {
        if (!Form1.Pspt->Visible) return false;
        const SDL_Point p = DruggistPoint();
        e2e::PushButton(SDL_MOUSEBUTTONUP, p.x, p.y);
        return true;
      },
      [](plat::SdlHost&) { return G.MouseLeftDown == 0; },
  };
}

struct Seen {
  std::int32_t goldAtStart = -1, goldAfterBuy = -1, goldAfterSale = -1;
  std::string buyChoice, sellChoice;
  bool shopOpen = false, bagInView = false, sellOpen = false;
  std::string firstRow, price, sellPrice;
  int boughtSlot = 0;
  ItemRecord bought;
  bool iconShown = false, soldSlotEmpty = false, closed = false;
};

class ShopE2e : public ::testing::Test {
 protected:
  void SetUp() override { e2e::CopyGameFolder(dir.path()); }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
};

TEST_F(ShopE2e, ANewWarriorBuysAPotionFromTheDruggistAndSellsItBack) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
  Seen seen;

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost&) {
    seen.goldAtStart = G.Player.Money;
    return true;
  });
  e2e::Append(steps, TalkToTheDruggist());
  steps.push_back([&](plat::SdlHost&) {
    seen.buyChoice = Form1.Lb(1)->Caption;
    e2e::ClickOn(Form1.Lb(1));  // "买药"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Pbuy->Visible) return false;
    seen.shopOpen = Form1.Pbuy->IsShown() && Form1.BuyList->ListCount() > 0;
    if (!seen.shopOpen) Fail("the shop opened empty");
    seen.firstRow = Form1.BuyList->Items.front();
    e2e::ClickAt(Form1.BuyList->ScreenX() + 8, Form1.BuyList->ScreenY() + 7);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (Form1.BuyList->ListIndex() != 0) return false;
    seen.price = Form1.Lbuy->Caption;
    seen.bagInView = Form1.Psys2->IsShown() && !Form1.Pmc->Visible && Form1.PItemInf->IsShown();
    e2e::ClickOn(Form1.Command12);  // "购买"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.boughtSlot = BagSlotOf(kGoods);
    if (seen.boughtSlot == 0) Fail("the potion did not reach the bag");
    seen.bought = G.Player.Items[static_cast<std::size_t>(seen.boughtSlot)];
    seen.iconShown = !Form1.Iitem(seen.boughtSlot)->Picture.empty() && Form1.Iitem(seen.boughtSlot)->IsShown();
    seen.goldAfterBuy = G.Player.Money;
    e2e::ClickOn(Form1.Command11);  // "放弃"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) { return !Form1.Pbuy->Visible && !Form1.Pspt->Visible; });
  e2e::Append(steps, TalkToTheDruggist());
  steps.push_back([&](plat::SdlHost&) {
    seen.sellChoice = Form1.Lb(2)->Caption;
    e2e::ClickOn(Form1.Lb(2));  // "卖东西"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.Psell->Visible) return false;
    seen.sellOpen = Form1.Psell->IsShown() && Form1.Psys2->IsShown();
    if (!Form1.Iitem(seen.boughtSlot)->IsShown()) Fail("the potion's bag slot is not in view");
    e2e::ClickOn(Form1.Iitem(seen.boughtSlot));
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (G.SelectedSlot != seen.boughtSlot) return false;
    seen.sellPrice = Form1.Lsell->Caption;
    e2e::ClickOn(Form1.Command10);  // "卖掉"
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (G.SelectedSlot != 0) return false;
    seen.goldAfterSale = G.Player.Money;
    seen.soldSlotEmpty = G.Player.Items[static_cast<std::size_t>(seen.boughtSlot)].Name.empty();
    e2e::ClickOn(Form1.Lquit);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.closed = !Form1.Pspt->Visible && !Form1.Psell->Visible;
    return true;
  });
  steps.push_back([&](plat::SdlHost&) -> bool { EndGame(); });

  e2e::RunNewWarrior(driver, answers, dir.path(), "林勇");
  EXPECT_TRUE(answers.shown.empty());

  EXPECT_EQ(seen.buyChoice, "买药");
  EXPECT_TRUE(seen.shopOpen);
  EXPECT_EQ(seen.firstRow, kGoods);
  EXPECT_EQ(seen.price, std::to_string(kPrice));
  EXPECT_TRUE(seen.bagInView);
  EXPECT_TRUE(seen.iconShown);
  EXPECT_EQ(seen.goldAfterBuy, seen.goldAtStart - kPrice);
  EXPECT_EQ(seen.bought.Money, kPrice / 2);

  EXPECT_EQ(seen.sellChoice, "卖东西");
  EXPECT_TRUE(seen.sellOpen);
  EXPECT_EQ(seen.sellPrice, std::to_string(kPrice / 2));
  EXPECT_TRUE(seen.soldSlotEmpty);
  EXPECT_EQ(seen.goldAfterSale, seen.goldAtStart - kPrice + kPrice / 2);
  EXPECT_TRUE(seen.closed);
}

}  // namespace
