#include "ui/title_screen.h"

#include <filesystem>
#include <system_error>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/look.h"
#include "graphics/sound.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/file_marker.h"
#include "world/save_create.h"
#include "world/save_game.h"
#include "world/save_list.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

constexpr long kMaxNameLength = 4;  // the name box takes four characters
constexpr int kHelpTextMargin = 80;  // twips HelpText keeps inside Phelp
constexpr int kQuickSkills = 15;     // Lsp(1..15)
constexpr int kFirstStorageSlot = 61;

// The difficulty pictures of the unlocked buttons (relative to the working folder).
constexpr std::string_view kHardPicture = "date\\button\\level2.dat";
constexpr std::string_view kVeryHardPicture = "date\\button\\level3.dat";

constexpr std::string_view kWarriorText =
    "　　战士起初拥有较强的攻击力和较多的体力，他有较强的物理防御能力。同时他能携带较多的道具，他能够学习到提高近战效率的技能，比较适合初学者使用。";
constexpr std::string_view kTaoistText =
    "　　道士的能力界于战士和法师之间，通过技能的学习他能加速自身的恢复速度，加强自己的防御能力，并且还能学习到自动攻击和广域攻击技能，他将是一个多面手角色。";
constexpr std::string_view kMageText =
    "　　法师起初拥有较强的魔法攻击力和较多的魔法值，他还有较强的魔法防御能力。他能够学习到远程攻击法术，但他不能携带太多道具。较少的体力使他很容易死亡，适合高级玩家使用。";

// The selected row of the character list; "" when none is selected.
std::string SelectedRow() { return Form1.IdList != nullptr ? Form1.IdList->SelectedItem() : std::string(); }

// The call on the game screen that creation and deletion make first: it takes the
// keyboard focus.
void FocusGameScreen() {
  if (Form1.Form != nullptr && Form1.GameScreen != nullptr) Form1.Form->Focus = Form1.GameScreen;
}

// A name becomes a file name and a database key: refuse what either cannot carry, and
// what the list could not give back (blanks at its ends are trimmed off a row).
bool IsSafeName(std::string_view name) {
  if (plat::Len(name) > kMaxNameLength) return false;
  if (name.front() == ' ' || name.back() == ' ' || name.front() == '.') return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return false;
    if (std::string_view("/\\:*?\"<>|'").find(ch) != std::string_view::npos) return false;
  }
  return true;
}

// The failure path of loading: one message, then the program ends.
[[noreturn]] void LoadFailed(std::string_view message = kMsgBadSave) {
  plat::MsgBox(std::string(message));
  EndGame();
}

bool PictureExists(std::string_view gamePath) {
  std::error_code ec;
  return fs::is_regular_file(plat::ResolvePath(gamePath), ec);
}

}  // namespace

std::string_view ClassDescription(std::string_view zhiYe) {
  if (zhiYe == "战士") return kWarriorText;
  if (zhiYe == "道士") return kTaoistText;
  if (zhiYe == "法师") return kMageText;
  return {};
}

std::string CheckNewCharacter(std::string_view name, std::string_view zhiYe) {
  if (name.empty()) return std::string(kMsgNameEmpty);
  if (plat::GbkByteLength(name) % 2 != 0 || !IsSafeName(name)) return std::string(kMsgNameChinese);
  if (Form1.IdList != nullptr) {
    for (const std::string& row : Form1.IdList->Items) {
      if (RowName(row) == name) return std::string(kMsgNameListed);
    }
  }
  if (zhiYe.empty()) return std::string(kMsgChooseClass);
  if (zhiYe != "法师" && zhiYe != "道士" && zhiYe != "战士") return std::string(kMsgChooseClass);
  // A save the list does not show (one whose name differs only in letter case, or one
  // put there after start-up) is never replaced.
  std::error_code ec;
  if (fs::exists(NewSaveFilePath(name), ec) || fs::exists(SaveFilePath(name), ec)) {
    return std::string(kMsgSaveExists);
  }
  return {};
}

void Cb_Click() {
  if (Form1.Cb == nullptr || Form1.Phelp == nullptr) return;
  const std::string_view text = ClassDescription(Form1.Cb->Text);
  if (!text.empty() && Form1.HelpText != nullptr) Form1.HelpText->Caption = std::string(text);
  Form1.Phelp->Visible = true;
}

void HideClassHelp() {
  if (Form1.Phelp != nullptr && Form1.Phelp->Visible) Form1.Phelp->Visible = false;
}

void IdList_Click() {
  if (!SelectedRow().empty()) PlayWav(kClickSound);
}

void Command1_Click() {
  FocusGameScreen();
  PlayWav(kClickSound);
  const std::string name = Form1.ID != nullptr ? Form1.ID->Text : std::string();
  const std::string zhiYe = Form1.Cb != nullptr ? Form1.Cb->Text : std::string();
  const std::string refusal = CheckNewCharacter(name, zhiYe);
  if (!refusal.empty()) {
    plat::MsgBox(refusal);
    return;
  }
  const bool expert = Form1.Lzj != nullptr && Form1.Lzj->Value() == 1;
  const SaveCreateResult made = CreateSaveGame(name, zhiYe, expert);
  switch (made.error) {
    case SaveCreateError::None: break;
    case SaveCreateError::BadName: plat::MsgBox(std::string(kMsgNameChinese)); return;
    case SaveCreateError::BadClass: plat::MsgBox(std::string(kMsgChooseClass)); return;
    case SaveCreateError::AlreadyExists: plat::MsgBox(std::string(kMsgSaveExists)); return;
    case SaveCreateError::NoTemplate: plat::MsgBox(std::string(kMsgNoTemplate)); return;
    case SaveCreateError::WriteFailed: plat::MsgBox(std::string(kMsgCreateFailed)); return;
  }
  ListSaveGames();
}

void Command2_Click() {
  const std::string row = SelectedRow();
  if (row.empty()) return;
  // One user of a save: a character played or traded by another running copy of the
  // game stays there.
  plat::FileLock lock;
  const std::string name = plat::Trim(RowName(row));
  switch (LockSave(name, lock)) {
    case plat::FileLock::Result::Locked:
      break;
    case plat::FileLock::Result::Busy:
      plat::MsgBox(std::string(kMsgSaveInUse));
      return;
    case plat::FileLock::Result::Failed:
      // A name no save file can have fails to load below, as a damaged save does.
      if (!IsUsableSaveName(name)) break;
      plat::MsgBox(std::string(kMsgSaveLockFailed));
      return;
  }
  if (Form1.MainMeun != nullptr) Form1.MainMeun->Visible = false;

  const SaveLoadResult loaded = LoadSaveGame(RowName(row));
  if (loaded.error == SaveLoadError::NoWorkCopy) LoadFailed(kMsgNoWorkCopy);
  if (!loaded) LoadFailed();

  // The key bindings of the fifteen skills.
  for (int i = 1; i <= kQuickSkills; ++i) {
    if (plat::Control* label = Form1.Lsp(i)) label->Caption = plat::Left(G.Player.M[static_cast<std::size_t>(i)], 2);
  }
  // Storage slots 61..120 are the rows 0..59 of the storage list; empty ones keep their text.
  if (plat::Control* bank = Form1.BankList) {
    for (int slot = kFirstStorageSlot; slot <= kItemSlots; ++slot) {
      const std::string& item = G.Player.Items[static_cast<std::size_t>(slot)].Name;
      const auto row = static_cast<std::size_t>(slot - kFirstStorageSlot);
      if (!item.empty() && row < bank->Items.size()) bank->Items[row] = item;
    }
  }
  G.SaveInUse = std::move(lock);
  if (G.Player.M[static_cast<std::size_t>(kSkillStrings)] == "专家") {
    if (Form1.Label17 != nullptr) Form1.Label17->Caption = "回到城镇（损失 10%经验、5%金钱）";
    if (Form1.Label11 != nullptr) Form1.Label11->Caption = "原地复活（损失25%经验、20%金钱）";
  }

  LoadLookFrames();

  const std::int32_t unlock = G.Et[20];
  if (unlock >= 1) {
    if (!PictureExists(kHardPicture)) LoadFailed();
    if (Form1.I_Hd != nullptr) Form1.I_Hd->Picture = std::string(kHardPicture);
  }
  if (unlock >= 2) {
    if (!PictureExists(kVeryHardPicture)) LoadFailed();
    if (Form1.I_vHd != nullptr) Form1.I_vHd->Picture = std::string(kVeryHardPicture);
  }
  if (Form1.PLevel != nullptr) Form1.PLevel->Visible = true;
}

void Command3_Click() {
  FocusGameScreen();
  PlayWav(kClickSound);
  const std::string row = SelectedRow();
  if (row.empty()) return;
  const std::string name = RowName(row);
  if (plat::MsgBox("确实要废掉 [" + name + "] 这位大侠的武功吗？（删除存档）", plat::kOkCancel) != plat::kOk) return;

  // The file Continue would load (found without regard to letter case); one already
  // gone just leaves the list.
  if (IsUsableSaveName(name)) {
    // A character another running copy of the game uses is not deleted under it. The
    // lock is held until the save is gone; its lock file goes when it is let go.
    plat::FileLock lock;
    if (LockSave(name, lock) == plat::FileLock::Result::Busy) {
      plat::MsgBox(std::string(kMsgSaveInUse));
      return;
    }
    const fs::path file = SaveFilePath(name);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec))) {
      const bool removed = fs::remove(file, ec);
      if (!removed || ec) {
        plat::MsgBox(std::string(kMsgDeleteFailed));
        return;
      }
    }
  }
  if (Form1.IdList != nullptr) Form1.IdList->RemoveItem(Form1.IdList->ListIndex());
}

void Command16_Click() {
  // Unloading the main window asks the quit question first; a window that may close
  // ends the program.
  if (Form1.Form != nullptr && Form1.Form->RequestClose()) EndGame();
}

void Phelp_Resize() {
  if (Form1.Phelp == nullptr || Form1.HelpText == nullptr) return;
  Form1.HelpText->Width = Form1.Phelp->Width - kHelpTextMargin;
  Form1.HelpText->Height = Form1.Phelp->Height - kHelpTextMargin;
}

void AttachTitleHandlers() {
  MainWindow& w = Form1;
  const auto hide = [](int, int, int, int) { HideClassHelp(); };
  if (w.Cb != nullptr) w.Cb->OnClick = [] { Cb_Click(); };
  if (w.Command1 != nullptr) {
    w.Command1->OnMouseMove = hide;
    w.Command1->OnClick = [] { Command1_Click(); };
  }
  if (w.HelpText != nullptr) w.HelpText->OnMouseMove = hide;
  if (w.ID != nullptr) w.ID->OnMouseDown = hide;
  if (w.IdList != nullptr) {
    w.IdList->OnMouseDown = hide;
    w.IdList->OnMouseMove = hide;
    w.IdList->OnClick = [] { IdList_Click(); };
  }
  if (w.Command2 != nullptr) w.Command2->OnClick = [] { Command2_Click(); };
  if (w.Command3 != nullptr) w.Command3->OnClick = [] { Command3_Click(); };
  if (w.Command16 != nullptr) w.Command16->OnClick = [] { Command16_Click(); };
  // The window system gives the panel no resize event: it is fitted once here.
  Phelp_Resize();
}

}  // namespace ui
