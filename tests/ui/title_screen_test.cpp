// The title screen: class descriptions, the name rules of a new character, creating,
// continuing and deleting characters in a game folder of their own, and the quit button.
#include "ui/title_screen.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/startup.h"
#include "world/file_marker.h"
#include "world/save_game.h"
#include "world/save_list.h"

namespace {

namespace fs = std::filesystem;
using plat::db::Connection;
using plat::db::Value;
using ui::Form1;

struct ClassCase {
  const char* zhiYe;
  std::int32_t HP, Mp, Dc, DcMax, Mc, McMax, Df, DfMax, Mf, MfMax, Heavy;
};
const ClassCase kClasses[] = {
    {"战士", 30, 30, 1, 3, 0, 1, 1, 2, 0, 1, 35},
    {"道士", 28, 35, 1, 2, 1, 2, 1, 1, 1, 1, 30},
    {"法师", 25, 40, 0, 1, 1, 3, 0, 1, 1, 3, 25},
};

class TitleScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    savedCwd_ = fs::current_path();
    const fs::path game = testsupport::GameDir();
    for (const char* file : {"date/Sk.dat", "date/rpg/1.zb", "date/button/level1.dat", "date/button/level2.dat",
                             "date/button/level3.dat", "date/button/level2lock.dat", "date/button/level3lock.dat"}) {
      fs::create_directories((dir.path() / file).parent_path());
      fs::copy_file(game / file, dir.path() / file);
    }
    fs::create_directories(dir.path() / "Save");
    plat::SetProgramFolder(dir.path());
    fs::current_path(dir.path());  // the difficulty pictures are found from the working folder
    plat::SetSoundDevice(&sound);
    Restart();
  }
  void TearDown() override {
    ResetGraphics();
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
    G = GameState{};
    plat::SetSoundDevice(nullptr);
    fs::current_path(savedCwd_);
    plat::SetProgramFolder(savedFolder_);
  }

  // The program as it stands on the title screen after start-up.
  void Restart() {
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
    ui::AttachStartupHandlers();
    Form1.MainMeun->Visible = true;
    ListSaveGames();
    Form1.IdList->Visible = true;
  }

  fs::path SaveFile(const std::string& name) const { return dir.path() / "Save" / (name + ".kzs"); }
  std::vector<std::string> Rows() const { return Form1.IdList->Items; }
  const std::vector<plat::ScriptedDialogs::Shown>& Shown() const { return dialogs.dialogs.shown; }
  int ClickSounds() const {
    return static_cast<int>(std::count_if(sound.calls.begin(), sound.calls.end(), [](const std::string& c) {
      return c.rfind("wave ", 0) == 0 && c.find("按键1.wav") != std::string::npos;
    }));
  }

  void Create(const std::string& name, const std::string& zhiYe, bool expert = false) {
    Form1.ID->Text = name;
    Form1.Cb->Text = zhiYe;
    Form1.Lzj->SetValue(expert ? 1 : 0);
    Form1.Command1->OnClick();
  }
  void Select(const std::string& name) {
    for (int i = 0; i < Form1.IdList->ListCount(); ++i) {
      if (RowName(Form1.IdList->Items[static_cast<std::size_t>(i)]) == name) {
        Form1.IdList->SetListIndex(i);
        return;
      }
    }
    FAIL() << "no row for " << name;
  }
  // Continue on the character's row is refused with the message alone: the title
  // screen stays and no character is loaded.
  void ExpectContinueRefused(const std::string& name, std::string_view message) {
    dialogs.dialogs.shown.clear();
    Select(name);
    Form1.Command2->OnClick();
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].text, std::string(message));
    EXPECT_TRUE(Form1.MainMeun->Visible);
    EXPECT_EQ(G.Player.ID, "");
    EXPECT_FALSE(G.SaveInUse.Held());
  }
  // Changes a save in place (the marker stays).
  template <typename Work>
  void Modify(const std::string& name, Work work) {
    MarkedDatabase db(SaveFile(name), MarkedDatabase::Mode::Write);
    work(db.Db());
    db.Commit();
  }
  // Presses and releases the mouse on the middle of a control.
  void ClickOn(plat::Control* c) {
    const int x = c->ScreenX() + c->PixelWidth() / 2, y = c->ScreenY() + c->PixelHeight() / 2;
    Form1.Form->MouseDown(x, y, plat::kLeftButton, 0);
    Form1.Form->MouseUp(x, y, plat::kLeftButton, 0);
  }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;
  plat::RecordingSound sound;

 private:
  fs::path savedFolder_, savedCwd_;
};

// ------------------------------------------------------------------ class descriptions

TEST_F(TitleScreenTest, ClassComboShowsTheDescription) {
  EXPECT_FALSE(Form1.Phelp->Visible);
  Form1.Cb->SetListIndex(1);  // "道士", chosen as from the drop-down list
  EXPECT_TRUE(Form1.Phelp->Visible);
  EXPECT_EQ(Form1.HelpText->Caption, ui::ClassDescription("道士"));
  EXPECT_EQ(Form1.HelpText->Caption.rfind("　　道士的能力界于战士和法师之间", 0), 0u);

  Form1.Cb->OnClick();  // the same class again
  EXPECT_TRUE(Form1.Phelp->Visible);
  EXPECT_EQ(Form1.HelpText->Caption, ui::ClassDescription("道士"));

  Form1.Cb->SetListIndex(2);
  EXPECT_EQ(Form1.HelpText->Caption.rfind("　　法师起初拥有较强的魔法攻击力", 0), 0u);
  Form1.Cb->SetListIndex(0);
  EXPECT_EQ(Form1.HelpText->Caption.rfind("　　战士起初拥有较强的攻击力", 0), 0u);

  // Typed text that is no class keeps the caption but still shows the panel.
  Form1.Phelp->Visible = false;
  Form1.Cb->Text = "剑客";
  Form1.Cb->OnClick();
  EXPECT_TRUE(Form1.Phelp->Visible);
  EXPECT_EQ(Form1.HelpText->Caption.rfind("　　战士", 0), 0u);
}

TEST_F(TitleScreenTest, DescriptionGoesOnPressesAndMovesButNotOverTheNameBox) {
  auto centre = [](plat::Control* c, int dx = 0) {
    return std::pair{c->ScreenX() + (dx ? dx : c->PixelWidth() / 2), c->ScreenY() + c->PixelHeight() / 2};
  };
  auto show = [] { Form1.Phelp->Visible = true; };
  plat::Form& f = *Form1.Form;

  show();
  auto [ix, iy] = centre(Form1.ID);
  f.MouseMove(ix, iy, 0, 0);
  EXPECT_TRUE(Form1.Phelp->Visible);  // moving over the name box keeps it
  f.MouseDown(ix, iy, plat::kLeftButton, 0);
  f.MouseUp(ix, iy, plat::kLeftButton, 0);
  EXPECT_FALSE(Form1.Phelp->Visible);

  show();
  auto [lx, ly] = centre(Form1.IdList, 4);  // beside the panel, which lies over the list
  f.MouseMove(lx, ly, 0, 0);
  EXPECT_FALSE(Form1.Phelp->Visible);
  show();
  f.MouseDown(lx, ly, plat::kRightButton, 0);
  f.MouseUp(lx, ly, plat::kRightButton, 0);
  EXPECT_FALSE(Form1.Phelp->Visible);

  show();
  auto [hx, hy] = centre(Form1.HelpText);
  f.MouseMove(hx, hy, 0, 0);
  EXPECT_FALSE(Form1.Phelp->Visible);

  show();
  auto [cx, cy] = centre(Form1.Command1);
  f.MouseMove(cx, cy, 0, 0);
  EXPECT_FALSE(Form1.Phelp->Visible);
  f.MouseMove(cx, cy, 0, 0);  // already hidden: nothing changes
  EXPECT_FALSE(Form1.Phelp->Visible);
}

TEST_F(TitleScreenTest, HelpTextKeepsEightyTwipsInsideThePanel) {
  Form1.Phelp->Width = 3480;
  Form1.Phelp->Height = 1530;
  ui::Phelp_Resize();
  EXPECT_EQ(Form1.HelpText->Width, 3400);
  EXPECT_EQ(Form1.HelpText->Height, 1450);
  Form1.Phelp->Width = 5000;
  Form1.Phelp->Height = 900;
  ui::Phelp_Resize();
  EXPECT_EQ(Form1.HelpText->Width, 4920);
  EXPECT_EQ(Form1.HelpText->Height, 820);
}

// ---------------------------------------------------------------------- name rules

TEST_F(TitleScreenTest, RefusedNewCharactersLeaveNoTrace) {
  Create("张三", "战士");
  Create("AB", "道士");
  ASSERT_EQ(Rows().size(), 2u);
  ASSERT_TRUE(Shown().empty());
  const auto rowsBefore = Rows();

  struct Case {
    std::string name, zhiYe, message;
  };
  const std::string chinese(ui::kMsgNameChinese), empty(ui::kMsgNameEmpty), listed(ui::kMsgNameListed),
      choose(ui::kMsgChooseClass), exists(ui::kMsgSaveExists);
  std::vector<Case> cases = {
      {"", "选择", empty},            // the name is looked at first
      {"", "战士", empty},
      {"a", "战士", chinese},         // one byte
      {"中a", "战士", chinese},       // three bytes
      {"ab", "选择", choose},         // two Latin letters pass the name checks
      {"中ab", "选择", choose},
      {"李四", "选择", choose},
      {"李四", "", choose},
      {"李四", "战士 ", choose},      // a class typed with a blank
      {"李四", "剑客", choose},
      {"张三", "法师", listed},       // the list's name, trimmed
      {"ab", "战士", exists},         // only the letter case differs from "AB": same file
      {"  张", "战士", chinese},      // blanks at either end
      {"张  ", "战士", chinese},
      {"张 a ", "战士", chinese},
      {"张\t\t", "战士", chinese},    // control characters
      {"张\x7f\x7f", "战士", chinese},
      {".张a", "战士", chinese},      // a leading dot
      {"..张", "战士", chinese},
      {"一二三四五", "战士", chinese},  // longer than the box takes
  };
  for (char c : std::string("/\\:*?\"<>|'")) cases.push_back({std::string("张") + c + "a", "战士", chinese});

  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.name + "] [" + c.zhiYe + "]");
    dialogs.dialogs.shown.clear();
    const int sounds = ClickSounds();
    Create(c.name, c.zhiYe);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].text, c.message);
    EXPECT_EQ(Shown()[0].buttons, plat::kOkOnly);
    EXPECT_EQ(Shown()[0].title, plat::AppTitle());
    EXPECT_EQ(ClickSounds(), sounds + 1);  // the click sounds even for a refusal
    EXPECT_EQ(Rows(), rowsBefore);
    EXPECT_EQ(Form1.ID->Text, c.name);  // the box keeps what was typed
  }
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir.path() / "Save")) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"AB.kzs", "张三.kzs"}));
}

TEST_F(TitleScreenTest, ASaveTheListDoesNotShowIsNotReplaced) {
  Create("王五", "战士");
  ASSERT_EQ(Rows().size(), 1u);
  Form1.IdList->Clear();  // the list no longer shows it; the file is still there
  const auto before = plat::ReadAllBytes(SaveFile("王五"));
  Create("王五", "法师", true);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, ui::kMsgSaveExists);
  EXPECT_EQ(plat::ReadAllBytes(SaveFile("王五")), before);
  EXPECT_TRUE(Rows().empty());
}

TEST_F(TitleScreenTest, ChineseNamesOfOneToFourCharactersAreAccepted) {
  for (const char* name : {"甲", "乙丙", "丁戊己", "庚辛壬癸", "中ab", "ab"}) {
    Create(name, "道士");
    EXPECT_TRUE(fs::exists(SaveFile(name))) << name;
  }
  EXPECT_TRUE(Shown().empty());
  ASSERT_EQ(Rows().size(), 6u);
  for (const std::string& row : Rows()) {
    EXPECT_TRUE(fs::exists(SaveFile(RowName(row)))) << row;
    EXPECT_EQ(RowMode(row), "普通");
  }
  // A four-character name is followed by one blank of padding and the separator.
  const auto rows = Rows();
  const auto four = std::find_if(rows.begin(), rows.end(), [](auto& r) { return RowName(r) == "庚辛壬癸"; });
  ASSERT_NE(four, rows.end());
  EXPECT_EQ(four->rfind("庚辛壬癸  道士 等级：1", 0), 0u);
}

// -------------------------------------------------------- create, continue, delete

TEST_F(TitleScreenTest, EachClassInBothModesIsCreatedListedAndContinued) {
  struct Made {
    std::string name;
    const ClassCase* c;
    bool expert;
  };
  std::vector<Made> made;
  const char* names[] = {"一", "二", "三", "四", "五", "六"};
  int n = 0;
  for (const ClassCase& c : kClasses) {
    for (bool expert : {false, true}) made.push_back({names[n++], &c, expert});
  }
  for (const Made& m : made) {
    Create(m.name, m.c->zhiYe, m.expert);
    EXPECT_EQ(Form1.Cb->Text, m.c->zhiYe);  // the inputs keep their contents
    EXPECT_EQ(Form1.Lzj->Value(), m.expert ? 1 : 0);
  }
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ClickSounds(), 6);
  ASSERT_EQ(Rows().size(), 6u);
  EXPECT_EQ(Form1.Form->Focus, Form1.GameScreen);

  for (const Made& m : made) {
    SCOPED_TRACE(m.name);
    Restart();
    const int sounds = ClickSounds();
    Select(m.name);
    EXPECT_EQ(ClickSounds(), sounds + 1);  // choosing a row clicks
    const std::string row = Form1.IdList->SelectedItem();
    EXPECT_NE(row.find(std::string(" ") + m.c->zhiYe + " 等级：1  "), std::string::npos) << row;
    EXPECT_EQ(RowMode(row), m.expert ? "专家" : "普通");

    Form1.Command2->OnClick();
    EXPECT_EQ(ClickSounds(), sounds + 1);  // continuing plays nothing
    EXPECT_FALSE(Form1.MainMeun->Visible);
    EXPECT_TRUE(Form1.PLevel->Visible);
    EXPECT_TRUE(Shown().empty());

    const PlayerRecord& p = G.Player;
    EXPECT_EQ(p.ID, m.name);
    EXPECT_EQ(p.ZhiYe, m.c->zhiYe);
    EXPECT_EQ(p.HP, m.c->HP);
    EXPECT_EQ(p.HpMax, m.c->HP);
    EXPECT_EQ(p.Mp, m.c->Mp);
    EXPECT_EQ(p.MpMax, m.c->Mp);
    EXPECT_EQ(p.Dc, m.c->Dc);
    EXPECT_EQ(p.DcMax, m.c->DcMax);
    EXPECT_EQ(p.Mc, m.c->Mc);
    EXPECT_EQ(p.McMax, m.c->McMax);
    EXPECT_EQ(p.Df, m.c->Df);
    EXPECT_EQ(p.DfMax, m.c->DfMax);
    EXPECT_EQ(p.Mf, m.c->Mf);
    EXPECT_EQ(p.MfMax, m.c->MfMax);
    EXPECT_EQ(p.Heavy, m.c->Heavy);
    EXPECT_EQ(p.Acc, 5);
    EXPECT_EQ(p.DcSpeed, 5);
    EXPECT_EQ(p.Level, 1);
    EXPECT_EQ(p.Ex, 1);
    EXPECT_EQ(p.Money, 50);
    EXPECT_EQ(p.Direction, 3);
    EXPECT_EQ(p.ActState, ActionState::Stand);
    EXPECT_EQ(G.GoMain, 1);
    EXPECT_EQ(G.GoSub, 1);
    EXPECT_EQ(G.GoX, 13);
    EXPECT_EQ(G.GoY, 13);
    EXPECT_EQ(p.Items[5].Name, "布衣");
    EXPECT_EQ(p.M[20], m.expert ? "专家" : "普通");
    EXPECT_EQ(G.ExpertMode, m.expert ? 1 : 0);
    EXPECT_EQ(G.CheatMode, 0);
    EXPECT_EQ(G.BodyNo, 1);  // the cloth armour's look was read
    for (int k = 1; k <= 15; ++k) EXPECT_EQ(Form1.Lsp(k)->Caption, "??");
    EXPECT_EQ(Form1.Label17->Caption,
              m.expert ? "回到城镇（损失 10%经验、5%金钱）" : "回到城镇（损失 3%经验、1%金钱）");
    EXPECT_EQ(Form1.Label11->Caption,
              m.expert ? "原地复活（损失25%经验、20%金钱）" : "原地复活（损失15%经验、10%金钱）");
    // A new character has only the normal difficulty open.
    EXPECT_EQ(Form1.I_Nm->Picture, "date\\button\\level1.dat");
    EXPECT_EQ(Form1.I_Hd->Picture, "date\\button\\level2lock.dat");
    EXPECT_EQ(Form1.I_vHd->Picture, "date\\button\\level3lock.dat");
  }
}

TEST_F(TitleScreenTest, ContinueWithoutARowDoesNothing) {
  Create("甲", "战士");
  ASSERT_EQ(Form1.IdList->ListIndex(), -1);
  const int sounds = ClickSounds();
  Form1.Command2->OnClick();
  EXPECT_TRUE(Form1.MainMeun->Visible);
  EXPECT_FALSE(Form1.PLevel->Visible);
  EXPECT_EQ(ClickSounds(), sounds);
  EXPECT_TRUE(Shown().empty());
  EXPECT_TRUE(G.Player.ID.empty());
}

TEST_F(TitleScreenTest, DifficultyPicturesFollowTheUnlockFlag) {
  const std::pair<int, std::pair<const char*, const char*>> cases[] = {
      {0, {"date\\button\\level2lock.dat", "date\\button\\level3lock.dat"}},
      {1, {"date\\button\\level2.dat", "date\\button\\level3lock.dat"}},
      {2, {"date\\button\\level2.dat", "date\\button\\level3.dat"}},
      {7, {"date\\button\\level2.dat", "date\\button\\level3.dat"}},
      {-1, {"date\\button\\level2lock.dat", "date\\button\\level3lock.dat"}},
  };
  Create("甲", "战士");
  for (const auto& [et20, pictures] : cases) {
    SCOPED_TRACE(et20);
    Modify("甲", [v = et20](Connection& db) { db.Execute("UPDATE Save1 SET Et20 = ?", {Value(v)}); });
    Restart();
    Select("甲");
    Form1.Command2->OnClick();
    EXPECT_EQ(G.Et[20], et20);
    EXPECT_TRUE(Form1.PLevel->Visible);
    EXPECT_EQ(Form1.I_Nm->Picture, "date\\button\\level1.dat");
    EXPECT_EQ(Form1.I_Hd->Picture, pictures.first);
    EXPECT_EQ(Form1.I_vHd->Picture, pictures.second);
  }
}

TEST_F(TitleScreenTest, ContinueShowsKeyBindingsStorageAndAccountMode) {
  Create("甲", "法师");
  // Storage rows written in reverse slot order: the list follows the slot numbers.
  Modify("甲", [](Connection& db) {
    db.Execute("UPDATE Save1 SET M3 = 'F2x', M16 = 'zz9', M20 = '作弊'");
    db.Execute("UPDATE Save2 SET Name = '宝剑', Type2 = '武器' WHERE No = 75");
    db.Execute("UPDATE Save2 SET Name = '金创药' WHERE No = 61");
    db.Execute("CREATE TABLE Rev AS SELECT * FROM Save2 ORDER BY No DESC");
    db.Execute("DELETE FROM Save2");
    db.Execute("INSERT INTO Save2 SELECT * FROM Rev");
    db.Execute("DROP TABLE Rev");
  });
  Restart();
  Select("甲");
  Form1.Command2->OnClick();
  ASSERT_TRUE(Form1.PLevel->Visible);
  EXPECT_EQ(Form1.Lsp(3)->Caption, "F2");
  EXPECT_EQ(Form1.Lsp(2)->Caption, "??");
  EXPECT_EQ(G.Player.Items[75].Name, "宝剑");
  EXPECT_EQ(G.Player.Items[75].Type2, "武");
  EXPECT_EQ(Form1.BankList->Items[14], "宝剑");
  EXPECT_EQ(Form1.BankList->Items[0], "金创药");
  EXPECT_EQ(Form1.BankList->Items[1], "空位");
  EXPECT_EQ(Form1.BankList->Items[59], "空位");
  EXPECT_EQ(G.CheatMode, 1);
  EXPECT_EQ(G.ExpertMode, 0);
  EXPECT_EQ(Form1.Label17->Caption, "回到城镇（损失 3%经验、1%金钱）");
}

TEST_F(TitleScreenTest, AnUnreadableSaveEndsTheProgramWithItsMessage) {
  Create("甲", "战士");
  Create("乙", "道士");
  ASSERT_TRUE(plat::WriteAllBytes(SaveFile("甲"), std::vector<std::uint8_t>(3000, 0x41)));
  Select("甲");
  EXPECT_THROW(Form1.Command2->OnClick(), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, ui::kMsgBadSave);
  EXPECT_FALSE(Form1.MainMeun->Visible);
  EXPECT_FALSE(Form1.PLevel->Visible);
  EXPECT_TRUE(fs::exists(SaveFile("乙")));

  // A character whose difficulty picture is missing ends the same way.
  fs::remove(SaveFile("甲"));
  Restart();
  dialogs.dialogs.shown.clear();
  Modify("乙", [](Connection& db) { db.Execute("UPDATE Save1 SET Et20 = 1"); });
  fs::remove(dir.path() / "date/button/level2.dat");
  Select("乙");
  EXPECT_THROW(Form1.Command2->OnClick(), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, ui::kMsgBadSave);
  EXPECT_FALSE(Form1.PLevel->Visible);
}

// A save folder without room for the working copy: Continue says so, not that the save
// is bad, and the save is untouched.
TEST_F(TitleScreenTest, ContinueWithoutRoomForTheWorkingCopySaysSo) {
  Create("甲", "战士");
  const auto before = plat::ReadAllBytes(SaveFile("甲"));
  Select("甲");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit full = saved;
  full.rlim_cur = 512;
  ::setrlimit(RLIMIT_FSIZE, &full);
  EXPECT_THROW(Form1.Command2->OnClick(), plat::ProgramEnded);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, kMsgNoWorkCopy);
  EXPECT_EQ(plat::ReadAllBytes(SaveFile("甲")), before);
}

TEST_F(TitleScreenTest, DeletingAsksAndRemovesTheFileAndTheRow) {
  Create("甲", "战士");
  Create("乙", "道士");
  Create("丙", "法师");
  ASSERT_EQ(Rows().size(), 3u);
  Select("乙");

  dialogs.dialogs.messageAnswers.push_back(plat::kCancel);
  Form1.Command3->OnClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, "确实要废掉 [乙] 这位大侠的武功吗？（删除存档）");
  EXPECT_EQ(Shown()[0].buttons, plat::kOkCancel);
  EXPECT_TRUE(fs::exists(SaveFile("乙")));
  EXPECT_EQ(Rows().size(), 3u);

  const auto others = std::vector<std::string>{Rows()[0], Rows()[2]};
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_FALSE(fs::exists(SaveFile("乙")));
  EXPECT_EQ(Rows(), others);  // the others keep their order
  EXPECT_EQ(Form1.IdList->ListIndex(), -1);
  EXPECT_TRUE(fs::exists(SaveFile("甲")));
  EXPECT_TRUE(fs::exists(SaveFile("丙")));
  EXPECT_EQ(Form1.Form->Focus, Form1.GameScreen);

  // Nothing selected: only the click.
  dialogs.dialogs.shown.clear();
  const int sounds = ClickSounds();
  Form1.Command3->OnClick();
  EXPECT_EQ(ClickSounds(), sounds + 1);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(TitleScreenTest, DeletingTheOnlyCharacterLeavesAnEmptyList) {
  Create("甲", "战士");
  Select("甲");
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_TRUE(Rows().empty());
  EXPECT_FALSE(fs::exists(SaveFile("甲")));
  dialogs.dialogs.shown.clear();
  const int sounds = ClickSounds();
  Form1.Command3->OnClick();
  EXPECT_EQ(ClickSounds(), sounds + 1);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(TitleScreenTest, DeletingASaveThatIsGoneOrStuck) {
  Create("甲", "战士");
  Create("ab", "战士");
  // Gone already: the row goes, without a complaint.
  fs::remove(SaveFile("甲"));
  Select("甲");
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_EQ(Shown().size(), 1u);  // the question only
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(RowName(Rows()[0]), "ab");

  fs::remove(SaveFile("ab"));
  Select("ab");
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_TRUE(Rows().empty());

  // A save that cannot be deleted keeps its row.
  fs::create_directories(SaveFile("乙") / "inside");
  Form1.IdList->AddItem(SaveListRow("乙", "道士", 3, "", "普通"));
  Select("乙");
  dialogs.dialogs.shown.clear();
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  ASSERT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[1].text, ui::kMsgDeleteFailed);
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_TRUE(fs::exists(SaveFile("乙")));
}

// Delete removes the file Continue loads for the row, whatever the letter case of its
// name; of two files that differ only in case, the exact one.
TEST_F(TitleScreenTest, DeleteRemovesTheFileContinueLoads) {
  struct Case {
    std::vector<std::string> files;  // the first one holds the character of the row
    std::string row;
    std::vector<std::string> left;  // the files that stay
  };
  const Case cases[] = {
      {{"AB"}, "ab", {}}, {{"aB"}, "Ab", {}}, {{"ab"}, "ab", {}}, {{"ab", "AB"}, "ab", {"AB.kzs"}},
      {{"Ab"}, "AB", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    for (const auto& e : fs::directory_iterator(dir.path() / "Save")) fs::remove_all(e.path());
    Restart();
    Create(c.row, "战士");
    ASSERT_TRUE(fs::exists(SaveFile(c.row)));
    const fs::path made = dir.path() / "Save" / "made.tmp";
    fs::rename(SaveFile(c.row), made);
    for (std::size_t i = 1; i < c.files.size(); ++i) fs::copy_file(made, SaveFile(c.files[i]));
    fs::rename(made, SaveFile(c.files[0]));

    ASSERT_TRUE(LoadSaveGame(c.row));
    EXPECT_EQ(G.SavePath, SaveFile(c.files[0]));

    Select(c.row);
    dialogs.dialogs.messageAnswers.push_back(plat::kOk);
    Form1.Command3->OnClick();
    EXPECT_TRUE(Rows().empty());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.path() / "Save"))
      left.push_back(e.path().filename().string());
    EXPECT_EQ(left, c.left);
  }
}

TEST_F(TitleScreenTest, AFailedCreationKeepsTheListAndTheGame) {
  Create("甲", "战士");
  const auto rows = Rows();
  Select("甲");

  fs::remove(dir.path() / "date/Sk.dat");
  Create("乙", "道士");
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, ui::kMsgNoTemplate);
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(Form1.IdList->ListIndex(), 0);
  EXPECT_FALSE(fs::exists(SaveFile("乙")));

  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "date/Sk.dat", std::vector<std::uint8_t>(2048, 7)));
  Create("乙", "道士");
  ASSERT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[1].text, ui::kMsgCreateFailed);
  EXPECT_EQ(Rows(), rows);
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir.path() / "Save")) files.push_back(e.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"甲.kzs"});
}

TEST_F(TitleScreenTest, ClicksOnTheRealControlsCreateAndContinue) {
  Form1.ID->Text = "丁一";
  Form1.Cb->SetListIndex(2);
  ClickOn(Form1.Lzj);
  ASSERT_EQ(Form1.Lzj->Value(), 1);
  ClickOn(Form1.Command1);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(RowMode(Rows()[0]), "专家");
  // The first row of the list, then "故事继续".
  Form1.Form->MouseDown(Form1.IdList->ScreenX() + 4, Form1.IdList->ScreenY() + 4, plat::kLeftButton, 0);
  Form1.Form->MouseUp(Form1.IdList->ScreenX() + 4, Form1.IdList->ScreenY() + 4, plat::kLeftButton, 0);
  ASSERT_EQ(Form1.IdList->ListIndex(), 0);
  ClickOn(Form1.Command2);
  EXPECT_TRUE(Form1.PLevel->Visible);
  EXPECT_EQ(G.Player.ZhiYe, "法师");
  EXPECT_EQ(G.ExpertMode, 1);
}

TEST_F(TitleScreenTest, QuitButtonAsksFirst) {
  dialogs.dialogs.messageAnswers.push_back(plat::kCancel);
  Form1.Command16->OnClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, "确实要退出游戏吗？");
  EXPECT_TRUE(Form1.MainMeun->Visible);

  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  EXPECT_THROW(Form1.Command16->OnClick(), plat::ProgramEnded);
  EXPECT_EQ(Shown().size(), 2u);
}

TEST_F(TitleScreenTest, ACharacterInUseElsewhereIsNeitherContinuedNorDeleted) {
  Create("甲", "战士");
  plat::FileLock elsewhere;  // another running copy of the game plays or trades 甲
  ASSERT_EQ(LockSave("甲", elsewhere), plat::FileLock::Result::Locked);
  const auto before = plat::ReadAllBytes(SaveFile("甲"));
  Select("甲");
  Form1.Command2->OnClick();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, std::string(kMsgSaveInUse));
  EXPECT_TRUE(Form1.MainMeun->Visible);
  EXPECT_EQ(G.Player.ID, "");
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_EQ(Shown().back().text, std::string(kMsgSaveInUse));
  EXPECT_EQ(plat::ReadAllBytes(SaveFile("甲")), before);
  EXPECT_EQ(Rows().size(), 1u);

  // Once free, Continue takes the lock itself and keeps it for the game.
  elsewhere.Unlock();
  Form1.Command2->OnClick();
  EXPECT_EQ(G.Player.ID, "甲");
  ASSERT_TRUE(G.SaveInUse.Held());
  EXPECT_EQ(LockSave("甲", elsewhere), plat::FileLock::Result::Busy);
}

// Another game folder whose Save folder is a link to ours: a copy of the game running
// there uses our saves, and meets the same locks.
TEST_F(TitleScreenTest, ACharacterUsedThroughAnotherGameFolderIsNeitherContinuedNorDeleted) {
  Create("甲", "战士");
  testsupport::TempDir other;
  fs::create_directory_symlink(dir.path() / "Save", other.path() / "Save");
  plat::SetProgramFolder(other.path());
  plat::FileLock elsewhere;  // the copy there plays or trades 甲
  ASSERT_EQ(LockSave("甲", elsewhere), plat::FileLock::Result::Locked);
  plat::SetProgramFolder(dir.path());
  const auto before = plat::ReadAllBytes(SaveFile("甲"));
  Restart();  // the lock file in the save folder is no save
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_TRUE(Shown().empty());
  ExpectContinueRefused("甲", kMsgSaveInUse);
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  Form1.Command3->OnClick();
  EXPECT_EQ(Shown().back().text, std::string(kMsgSaveInUse));
  EXPECT_EQ(plat::ReadAllBytes(SaveFile("甲")), before);

  // The other way round: our game holds it, theirs is refused.
  elsewhere.Unlock();
  Form1.Command2->OnClick();
  ASSERT_EQ(G.Player.ID, "甲");
  plat::SetProgramFolder(other.path());
  EXPECT_EQ(LockSave("甲", elsewhere), plat::FileLock::Result::Busy);
  plat::SetProgramFolder(dir.path());
}

// A lock that cannot be taken (here a folder where its file goes) is said so, and the
// game stays on the title screen.
TEST_F(TitleScreenTest, ContinueSaysWhenTheLockCannotBeTaken) {
  Create("甲", "战士");
  fs::create_directory(SaveLockPath("甲"));
  ExpectContinueRefused("甲", kMsgSaveLockFailed);
}

// Delete leaves no lock file: not beside the save, not beside the file a linked save
// leads to (the link goes, the file it leads to stays), not one left by a killed game.
TEST_F(TitleScreenTest, DeleteLeavesNoLockFile) {
  Create("甲", "战士");
  Create("乙", "道士");
  testsupport::TempDir elsewhere;
  const fs::path target = elsewhere.path() / fs::u8path("乙.kzs");
  fs::rename(SaveFile("乙"), target);
  fs::create_symlink(target, SaveFile("乙"));
  ASSERT_TRUE(plat::WriteAllBytes(SaveLockPath("甲"), {}));  // left by a game killed while playing
  for (const char* name : {"甲", "乙"}) {
    Select(name);
    dialogs.dialogs.messageAnswers.push_back(plat::kOk);
    Form1.Command3->OnClick();
  }
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(fs::is_empty(dir.path() / "Save"));
  EXPECT_EQ(plat::ListFiles(elsewhere.path()), std::vector<std::string>{"乙.kzs"});
}

}  // namespace
