// The status labels, ratings, skill icons, key labels and skill-tree links.
#include "world/status.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/game_state.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

namespace fs = std::filesystem;
constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ui::BuildMainWindow();
    PlayerRecord& p = G.Player;
    p.Level = 3;
    p.Ex = 45;
    p.LevelPoint = 4;
    p.SpPoint = 2;
    p.Money = 12345;
    p.Dc = 5;
    p.DcMax = 9;
    p.Mc = 0;
    p.McMax = 3;
    p.Df = 2;
    p.DfMax = 4;
    p.Mf = 1;
    p.MfMax = 6;
    p.HpMax = 150;
    p.MpMax = 80;
    p.Heavy = 200;
    p.Nb = 3;
    p.Acc = 5;
    for (int k = 1; k <= 15; ++k) p.M[static_cast<std::size_t>(k)] = "??0";
  }
  void TearDown() override { plat::SetProgramFolder(previous); }

  fs::path previous = plat::ProgramFolder();
  testsupport::TempDir dir;
};

TEST_F(StatusTest, LabelsShowThePlayersNumbers) {
  RefreshStatus();
  const auto& w = ui::Form1;
  EXPECT_EQ(w.Llevel->Caption, "3");
  EXPECT_EQ(w.Lspot->Caption, "4");
  EXPECT_EQ(w.LspPoint->Caption, "2");
  EXPECT_EQ(w.Lmoney->Caption, "12345");
  EXPECT_EQ(w.Lex->Caption, "50%");  // 45 of 90
  EXPECT_EQ(w.Ldc->Caption, "5-9");
  EXPECT_EQ(w.Lmc->Caption, "0-3");
  EXPECT_EQ(w.Ldf->Caption, "2-4");
  EXPECT_EQ(w.Lmf->Caption, "1-6");
  EXPECT_EQ(w.Lhp->Caption, "150");
  EXPECT_EQ(w.Lmp->Caption, "80");
  EXPECT_EQ(w.Lfz->Caption, "0/200");  // nothing carried
  EXPECT_EQ(w.Lnb->Caption, "低");
  EXPECT_EQ(w.Lacc->Caption, "很低");
  EXPECT_EQ(w.Lsp(1)->Caption, "??");
}

TEST_F(StatusTest, ExperiencePercentRoundsHalvesToEven) {
  const struct {
    std::int32_t level, ex;
    const char* shown;
  } cases[] = {{3, 0, "0%"},       {2, 1, "2%"},          {2, 3, "8%"},
               {2, 5, "12%"},      {10, 999, "100%"},     {1, 1000, "10000%"},
               // a level below 1 counts as level 1 (10 to the next level)
               {0, 0, "0%"},       {0, 5, "50%"},         {-7, 15, "150%"},
               {120, 2147483647, "1491308%"}};
  for (const auto& c : cases) {
    G.Player.Level = c.level;
    G.Player.Ex = c.ex;
    RefreshStatus();
    EXPECT_EQ(ui::Form1.Lex->Caption, c.shown) << c.level << " " << c.ex;
    EXPECT_EQ(ui::Form1.Llevel->Caption, std::to_string(c.level));  // the level itself is shown as it is
  }
}

TEST_F(StatusTest, RatingWords) {
  const std::pair<std::int32_t, const char*> dodge[] = {{0, "低"}, {3, "低"}, {4, "中"}, {5, "中"}, {6, "高"}, {40, "高"}};
  for (auto [nb, word] : dodge) {
    G.Player.Nb = nb;
    RefreshStatus();
    EXPECT_EQ(ui::Form1.Lnb->Caption, word) << nb;
  }
  const std::pair<std::int32_t, const char*> accuracy[] = {{0, "很低"}, {5, "很低"}, {6, "低"},  {7, "低"},
                                                           {8, "一般"}, {9, "一般"}, {10, "好"}, {11, "好"},
                                                           {12, "很好"}, {99, "很好"}};
  for (auto [acc, word] : accuracy) {
    G.Player.Acc = acc;
    RefreshStatus();
    EXPECT_EQ(ui::Form1.Lacc->Caption, word) << acc;
  }
  // A negative value leaves the word as it was.
  G.Player.Nb = -1;
  G.Player.Acc = -5;
  RefreshStatus();
  EXPECT_EQ(ui::Form1.Lnb->Caption, "高");
  EXPECT_EQ(ui::Form1.Lacc->Caption, "很好");
}

TEST_F(StatusTest, CarriedWeightCountsWornBeltAndBagOnly) {
  auto put = [](int slot, std::int32_t weight, const char* name = "物") {
    G.Player.Items[static_cast<std::size_t>(slot)].Name = name;
    G.Player.Items[static_cast<std::size_t>(slot)].Weight = weight;
  };
  put(1, 10);
  put(16, 1);
  put(21, 20);
  put(56, 300);
  put(61, 1000);   // storage box
  put(120, 1000);  // storage box
  put(30, 7, "");  // an empty slot weighs nothing
  RefreshStatus();
  EXPECT_EQ(ui::Form1.Lfz->Caption, "331/200");
}

TEST_F(StatusTest, LearnedSkillsGetIconKeyAndLinks) {
  auto& w = ui::Form1;
  for (int k = 1; k <= 15; ++k) w.McI(k)->Picture = "old";
  fs::create_directories(dir.path() / "date" / "mgc" / "ico");
  for (int k : {1, 2, 12}) std::ofstream(dir.path() / "date" / "mgc" / "ico" / (std::to_string(k) + ".bmp")) << "BM";
  G.Player.M[6] = "F32";   // learned, but its icon file is missing: no picture
  G.Player.M[7] = "";      // no skill string: not learned
  G.Player.M[1] = "F12";
  G.Player.M[2] = "F21";   // level 1: icon but no link
  G.Player.M[12] = "F43";
  G.Player.M[14] = "SP2";
  RefreshStatus2();

  EXPECT_EQ(w.Lsp(1)->Caption, "F1");
  EXPECT_EQ(w.Lsp(2)->Caption, "F2");
  EXPECT_EQ(w.Lsp(14)->Caption, "SP");
  EXPECT_EQ(w.McI(1)->Picture, (dir.path() / "date" / "mgc" / "ico" / "1.bmp").string());
  EXPECT_EQ(w.McI(2)->Picture, (dir.path() / "date" / "mgc" / "ico" / "2.bmp").string());
  EXPECT_EQ(w.McI(12)->Picture, (dir.path() / "date" / "mgc" / "ico" / "12.bmp").string());
  EXPECT_EQ(w.McI(3)->Picture, "old");  // level 0 keeps its picture
  EXPECT_EQ(w.McI(6)->Picture, "");
  EXPECT_EQ(w.McI(7)->Picture, "old");
  EXPECT_EQ(w.Lsp(7)->Caption, "");

  EXPECT_EQ(w.Line11->BorderColor, kRed);
  EXPECT_EQ(w.Line21->BorderColor, kGreen);
  EXPECT_EQ(w.Line22->BorderColor, kGreen);
  EXPECT_EQ(w.Line32->BorderColor, kBlue);
  EXPECT_EQ(w.Line34->BorderColor, kBlue);
  const std::uint32_t unlit = w.Line12->BorderColor;
  EXPECT_NE(unlit, kRed);
  for (plat::Control* line : {w.Line13, w.Line23, w.Line24, w.Line25, w.Line31, w.Line33}) {
    EXPECT_EQ(line->BorderColor, unlit) << line->Name;
  }

  // A link once lit stays lit when the level falls back.
  G.Player.M[1] = "F10";
  RefreshStatus();
  EXPECT_EQ(w.Line11->BorderColor, kRed);
  EXPECT_EQ(w.Line21->BorderColor, kGreen);
}

TEST_F(StatusTest, EveryLinkLightsFromItsOwnSkill) {
  const struct {
    int skill;
    plat::Control* ui::MainWindow::*line;
    std::uint32_t colour;
  } links[] = {
      {2, &ui::MainWindow::Line12, kRed},    {3, &ui::MainWindow::Line13, kRed},
      {7, &ui::MainWindow::Line23, kGreen},  {8, &ui::MainWindow::Line24, kGreen},
      {9, &ui::MainWindow::Line25, kGreen},  {11, &ui::MainWindow::Line31, kBlue},
      {13, &ui::MainWindow::Line33, kBlue},
  };
  for (const auto& l : links) {
    ui::BuildMainWindow();
    for (int k = 1; k <= 15; ++k) G.Player.M[static_cast<std::size_t>(k)] = "??0";
    G.Player.M[static_cast<std::size_t>(l.skill)] = "F52";
    RefreshStatus();
    EXPECT_EQ((ui::Form1.*l.line)->BorderColor, l.colour) << l.skill;
    EXPECT_NE(ui::Form1.Line11->BorderColor, kRed);
  }
}

}  // namespace
