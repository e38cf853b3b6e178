// Which captions of the two windows are drawn bold.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "window/form1.h"
#include "window/form2.h"

namespace {

// "<window>.<control>" for every control of the tree whose caption is bold.
void CollectBold(const plat::Control* c, const std::string& window, std::set<std::string>& out) {
  if (c->FontBold) out.insert(window + "." + c->Name);
  for (const auto& k : c->Children()) CollectBold(k.get(), window, out);
}

TEST(BoldCaptions, OnlyTheTradeSetUpTitleAndTheDiscardQuestionAreBold) {
  plat::Application::Get().Reset();
  ui::BuildMainWindow();
  ui::BuildTradeWindow();
  std::set<std::string> bold;
  CollectBold(ui::Form1.Form, "Form1", bold);
  CollectBold(ui::Form2.Form, "Form2", bold);
  EXPECT_EQ(bold, (std::set<std::string>{"Form1.Lnet", "Form2.Label2"}));
  // Bold does not change where they lie: the title stays centred in its row.
  EXPECT_EQ(ui::Form1.Lnet->Alignment, 2);
  EXPECT_EQ(ui::Form2.Label2->Parent, ui::Form2.Plost);
  plat::Application::Get().Reset();
}

}  // namespace
