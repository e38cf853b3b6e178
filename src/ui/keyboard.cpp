#include "ui/keyboard.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"
#include "ui/cheat_panel.h"
#include "ui/startup.h"
#include "ui/system_buttons.h"
#include "window/window_system.h"
#include "world/game_loop.h"
#include "world/item_use.h"
#include "world/items.h"

namespace ui {

namespace {

constexpr int kKeyR = 82;
constexpr int kKeyL = 76;
constexpr int kKeyM = 77;
constexpr int kKeyU = 85;
constexpr int kKeyI = 73;
constexpr int kKeyO = 79;
constexpr int kKeyP = 80;
constexpr int kF8 = plat::vk::F1 + 7;
constexpr int kF9 = plat::vk::F1 + 8;

constexpr int kFirstKeyedSkill = 2;  // skill 1 never takes a key
constexpr int kLastKeyedSkill = 15;
constexpr int kShockSlash = 4;
constexpr int kSpiritSummon = 9;

constexpr int kKey1 = 49;  // the main keyboard's 1..6, not the number pad
constexpr int kKey6 = 54;
constexpr int kBeltSlotOffset = 38;          // key 1 uses belt slot 11
constexpr std::int64_t kItemKeyGapMs = 600;  // a use needs more than this since the last

constexpr std::size_t kAccountModeSkill = 20;  // M(20) holds the account mode
constexpr long kScreenshotNumbers = 99;        // a screenshot's number is 0 to 98

// The skill-key messages are yellow.
void YellowMessage(std::string_view text) { AddSysMessage(text, 255, 255, 0); }

void ToggleShockSlash() {
  if (G.ShockSlashOn == 0) {
    G.ShockSlashOn = 1;
    YellowMessage("震气斩开启");
  } else {
    G.ShockSlashOn = 0;
    YellowMessage("震气斩关闭");
  }
}

// The level of a skill: the last character of its string, as a number.
std::int32_t SkillLevel(int skill) {
  const std::string last = plat::Right(G.Player.M[static_cast<std::size_t>(skill)], 1);
  // One character reads as 0 to 9 at most.
  return static_cast<std::int32_t>(plat::Val(last));
}

// Fn, n = 1..8.
void SkillKey(int n) {
  const std::string binding{'F', static_cast<char>('0' + n)};
  for (int k = kFirstKeyedSkill; k <= kLastKeyedSkill; ++k) {
    if (plat::Left(G.Player.M[static_cast<std::size_t>(k)], 2) != binding) continue;
    G.Player.NowMc = k;
    if (Form1.Qmc != nullptr) {
      Form1.Qmc->Picture = plat::ResolvePath("\\date\\mgc\\ico\\" + std::to_string(k) + ".bmp").string();
    }
    if (k == kShockSlash) {
      ToggleShockSlash();
      return;
    }
    if (k == kSpiritSummon) {
      const std::int32_t level = SkillLevel(kSpiritSummon);
      if (level > 0) {
        if (G.Spirit.Level == 0) {
          G.Spirit.Level = level;
          YellowMessage("精灵召唤");
        } else {
          G.Spirit.Level = 0;
          YellowMessage("召唤停止");
        }
        return;
      }
    }
  }
}

// Keys 1..6: the belt slot, or the first bag slot holding an item of the same name, so
// the belt keeps its item while the bag has more of it.
void BeltKey(int key) {
  const std::int32_t s = key - kBeltSlotOffset;
  const std::string& name = G.Player.Items[static_cast<std::size_t>(s)].Name;
  if (name.empty()) return;
  const std::int64_t now = plat::Tick();
  if (now - G.LastItemUseTick <= kItemKeyGapMs) return;
  G.LastItemUseTick = now;
  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[static_cast<std::size_t>(i)].Name == name) {
      UseItem(i);
      return;
    }
  }
  UseItem(s);
}

bool Shown(const plat::Control* c) { return c != nullptr && c->Visible; }
void Show(plat::Control* c, bool shown) {
  if (c != nullptr) c->Visible = shown;
}

// Home: the first press turns the character into a cheat account, after a warning;
// every press shows or hides the cheat panel.
void CheatKey() {
  if (G.CheatMode == 0) {
    plat::MsgBox("您将打开作弊模式，开启作弊模式并保存游戏后，您的帐号将不能用于交易，而且将丧失一些显示效果。",
                 plat::kOkOnly, "作弊开启");
    G.Player.M[kAccountModeSkill] = "作弊";
    G.CheatMode = 1;
  }
  const bool opening = !Shown(Form1.Pzb);
  Show(Form1.Pzb, opening);
  // Cheat mode switched on at the title screen does not make a character continued
  // later a cheat account by itself: opening the panel over its game does.
  if (opening) MarkCheatCharacter();
}

// The panel keys U, I and the first half of O wait for a running game without the
// difficulty choice.
bool PanelKeysAct() { return G.GamePaused == 0 && !Shown(Form1.PLevel); }

// O: the character window on its skills page, or closed when that page was in view.
// The page part acts whatever the game's state.
void SkillsPageKey() {
  if (PanelKeysAct()) SysB3_Click();
  if (!Shown(Form1.Pmc)) {
    Show(Form1.Pmc, true);
  } else {
    Sys2b5_Click();
  }
}

// P: the system menu, with the character window put away first.
void SystemMenuKey() {
  if (G.Player.HP == 0 || Shown(Form1.PLevel)) return;
  Show(Form1.Psys2, false);
  plat::Application::Get().DoEvents();
  SysB1_Click();
}

// F9: the game view into "\Pic", under a name from the date, the time and a number.
void ScreenshotKey() {
  namespace fs = std::filesystem;
  const fs::path folder = plat::ResolvePath("\\Pic");
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    AddSysMessage("截图失败：无法建立 Pic 文件夹", 255, 0, 0);
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // A name already taken goes on to the next number, so no picture is overwritten.
  int number = static_cast<int>(plat::RandomInt(kScreenshotNumbers));
  std::string name = ScreenshotFileName(local, number);
  while (fs::exists(folder / name, ec)) name = ScreenshotFileName(local, ++number);
  if (!SaveMainWindowScreenshot((folder / name).string())) {
    AddSysMessage("截图失败：无法写入文件 " + name, 255, 0, 0);
    return;
  }
  plat::MsgBox("截图文件名：" + name + "\r\r截图已经被成功保存到游戏目录中的 Pic 文件夹！");
}

}  // namespace

std::string ScreenshotFileName(const std::tm& when, int number) {
  return std::to_string(when.tm_year + 1900) + std::to_string(when.tm_mon + 1) + std::to_string(when.tm_mday) +
         std::to_string(when.tm_hour) + std::to_string(when.tm_min) + std::to_string(when.tm_sec) +
         std::to_string(number) + ".bmp";
}

void Form_KeyDown(int& keyCode, int /*shift*/) {
  const int key = keyCode;
  if (key >= plat::vk::F1 && key <= kF8) {
    SkillKey(key - plat::vk::F1 + 1);
    return;
  }
  if (key >= kKey1 && key <= kKey6) {
    BeltKey(key);
    return;
  }
  switch (key) {
    case plat::vk::Home:
      CheatKey();
      break;
    case kF9:
      ScreenshotKey();
      break;
    case kKeyU:
      if (PanelKeysAct()) SysB2_Click();
      break;
    case kKeyI:
      if (PanelKeysAct()) SysB3_Click();
      break;
    case kKeyO:
      SkillsPageKey();
      break;
    case kKeyP:
      SystemMenuKey();
      break;
    case plat::vk::Grave:
      if (G.GamePaused == 0 && G.GAMELEVEL > 0) HideGameWindow();
      break;
    case plat::vk::F12:
    case plat::vk::Escape: {
      // The same question as closing the window, without unloading it.
      int cancel = 0;
      Form_Unload(cancel);
      break;
    }
    case kKeyR:
      G.MouseLeftDown = 1;
      break;
    case plat::vk::Return:
    case kKeyL:
    case kKeyM:
    default:
      break;
  }
}

void AttachKeyboardHandlers() {
  if (Form1.Form != nullptr) Form1.Form->OnFormKeyDown = [](int& keyCode, int shift) { Form_KeyDown(keyCode, shift); };
}

}  // namespace ui
