#include "ui/keyboard.h"

#include <cstdint>
#include <string>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"
#include "ui/startup.h"
#include "world/game_loop.h"
#include "world/item_use.h"
#include "world/items.h"

namespace ui {

namespace {

constexpr int kKeyR = 82;
constexpr int kKeyL = 76;
constexpr int kKeyM = 77;
constexpr int kF8 = plat::vk::F1 + 7;

constexpr int kFirstKeyedSkill = 2;  // skill 1 never takes a key
constexpr int kLastKeyedSkill = 15;
constexpr int kShockSlash = 4;
constexpr int kSpiritSummon = 9;

constexpr int kKey1 = 49;  // the main keyboard's 1..6, not the number pad
constexpr int kKey6 = 54;
constexpr int kBeltSlotOffset = 38;          // key 1 uses belt slot 11
constexpr std::int64_t kItemKeyGapMs = 600;  // a use needs more than this since the last

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

}  // namespace

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
