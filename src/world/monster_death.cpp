#include "world/monster_death.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string_view>

#include "common/game_state.h"
#include "graphics/effects.h"
#include "platform/forms.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/save_game.h"
#include "world/status.h"

namespace {

constexpr std::int32_t kTopLevel = 120;

// The story flags that pause the game under a text of the dialogue panel.
struct StoryText {
  std::int32_t flag;
  std::string_view text;
};
constexpr std::array<StoryText, 4> kStoryTexts{{
    {30, "“大侠，你饶了我吧！”金魔向你求饶\r\n“镇墓玉石在哪？”你问金魔\r\n“那石头被新月岛牛魔王拿去了啊”金魔很慌张\r\n“把你留在世上，只能给苍生带来灾难。”说罢你给金魔致命一击。之后心想：我应该去小渔村问以下新月岛的下落。"},
    {33, "你杀死了牛魔王，拿到了镇墓玉石。"},
    {38, "帮我照顾好我的家人 ……"},
    {39, "我要坚持到最后 ……"},
}};

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// The experience that leaving level L costs: L x L x 10.
std::int64_t LevelThreshold(std::int32_t level) { return static_cast<std::int64_t>(level) * level * 10; }

void ShowStoryText(std::int32_t flag) {
  for (const StoryText& s : kStoryTexts) {
    if (s.flag != flag) continue;
    G.GamePaused = 1;
    if (ui::Form1.LSay != nullptr) ui::Form1.LSay->Caption = std::string(s.text);
    if (ui::Form1.Pspt != nullptr) ui::Form1.Pspt->Visible = true;
    return;
  }
}

// One level more, with what the new level L gives.
void GainLevel() {
  PlayerRecord& p = G.Player;
  p.Ex = Saturate(static_cast<std::int64_t>(p.Ex) - LevelThreshold(p.Level));
  p.Level += 1;
  const std::int32_t L = p.Level;
  if (L % 2 == 0) p.LevelPoint = Saturate(static_cast<std::int64_t>(p.LevelPoint) + 1);
  if (L < 99) p.SpPoint = Saturate(static_cast<std::int64_t>(p.SpPoint) + 1);
  p.HpMax = Saturate(static_cast<std::int64_t>(p.HpMax) + 2);
  p.HP = p.HpMax;
  p.Mp = p.MpMax;
  p.Heavy = Saturate(static_cast<std::int64_t>(p.Heavy) + (L % 3 == 0 ? 2 : 1));
  if (L % 15 == 0) {
    p.Df = Saturate(static_cast<std::int64_t>(p.Df) + 1);
    p.DfMax = Saturate(static_cast<std::int64_t>(p.DfMax) + 1);
  }
  AddScreenEffect(1, 0, 0, 0);
  AddSysMessage("恭喜您升级了！", 50, 50, 255);
  SaveGame();
}

}  // namespace

void StartMonsterDeath(std::int32_t n) {
  if (n < 1 || n > kMaxMonsters) return;
  MonsterInstance& m = G.Monsters[static_cast<std::size_t>(n)];
  m.State = ActionState::Dying;
  m.Tick = 1;
  m.Step = 1;
  if (G.LockedMon == n) G.LockedMon = 0;

  MonsterKind none;
  const bool known = m.Kind >= 1 && m.Kind <= G.MonsterKindCount &&
                     static_cast<std::size_t>(m.Kind) < G.MonsterKinds.size();
  const MonsterKind& kind = known ? G.MonsterKinds[static_cast<std::size_t>(m.Kind)] : none;

  PlayerRecord& p = G.Player;
  if (p.Level < kTopLevel) p.Ex = Saturate(static_cast<std::int64_t>(p.Ex) + kind.Ex);

  if (kind.Event >= 1 && kind.Event <= kQuestFlags) {
    G.Et[static_cast<std::size_t>(kind.Event)] = 1;
    SaveGame();
    ShowStoryText(kind.Event);
  }

  while (p.Level < kTopLevel && p.Ex >= LevelThreshold(p.Level) && p.HP > 0) GainLevel();
  RefreshStatus();
}
