#include "ui/skills_panel.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/game_loop.h"
#include "world/player_record.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr int kSkills = 15;
constexpr int kKeys = 8;
constexpr int kTopLevel = 3;          // the panel raises no skill beyond this
constexpr int kNeededLevel = 2;       // a prerequisite counts from this level
constexpr int kLastPlainBody = 99;    // higher body numbers are transformed forms
constexpr int kDescriptionTop = 4200;  // level with the bag
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kCaptionText = 0x80000009;
constexpr int kLevelUpEffect = 1;

constexpr int kAccuracySkill = 1;
constexpr int kRegenSkill = 6;
constexpr int kSpiritSkill = 9;

const std::array<SkillInfo, kSkills> kSkillTable{{
    {"精准打击", true, 1, 0, false, "精准打击（被动）", "", "修炼使用近战武器的熟练度，提高近战攻击精度"},
    {"斩空", true, 3, 1, false, "斩空（被动）", "", "用剑气攻击一直线敌人"},
    {"火龙剑法", true, 6, 2, false, "火龙剑法（被动）", "", "将怒火宿于武器之上，向敌人发出会心一击"},
    {"震气斩", false, 9, 3, false, "震气斩", " 消耗MP：4", "集全身之精气，使其在挥剑瞬间爆发，重创周围的敌人"},
    {"炼尸咒", false, 1, 0, true, "炼尸咒", " 消耗MP：1", "鬼老妙学，将妖物尸体中的灵气集中，将其转练为药"},
    {"自然之力", true, 2, 1, false, "自然之力", "", "采日月之精华、集天地之灵气，加速自身恢复速度"},
    {"精神护盾", false, 2, 6, false, "精神护盾", " 消耗MP：10", "用精神之球护体，降低物理伤害与魔法伤害"},
    {"回生术", false, 3, 7, false, "回生术", " 消耗MP：10", "将自身精气转化为生命力"},
    {"精灵召唤", false, 5, 8, false, "精灵召唤", " 每2.5秒消耗MP：1", "召唤一个精灵，来帮助你战斗"},
    {"冰雪寒空", false, 6, 9, false, "冰雪寒空", " 消耗MP：80", "用精神之力冻结周围的空气，下降精神之雪，冻伤大范围魔物"},
    {"雷电术", false, 1, 0, false, "雷电术", " 消耗MP：2", "召唤一条闪电，打击单个敌人"},
    {"怒石", false, 3, 11, false, "怒石", " 消耗MP：4", "召唤一颗奔腾的巨石，重创一直线敌人"},
    {"疾风阵", false, 4, 12, false, "疾风阵", " 消耗MP：5", "上乘法术，召唤一个旋风阵，重创小范围敌人"},
    {"疾风奔驰", false, 6, 13, false, "疾风奔驰", " 消耗MP：12", "召唤一个奔驰的风阵，重创前方大范围敌人。"},
    {"太极炎阵", false, 7, 14, false, "太极炎阵", " 消耗MP：100", "终级法术，召唤一个火炎阵持续重创周围敌人"},
}};

std::string& Skill(int k) { return G.Player.M[static_cast<std::size_t>(k)]; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Only a string of prefix and level digit is raised or bound by the panel.
bool WellFormed(const std::string& m) { return m.size() == 3 && IsDigit(m[2]); }

// The key number of a skill string: its second character, 0 when that is not a digit.
int KeyNumber(const std::string& m) { return m.size() >= 2 && IsDigit(m[1]) ? m[1] - '0' : 0; }

bool Learned(const std::string& m) { return WellFormed(m) && m[2] != '0'; }

void Show(plat::Control* c, bool visible) {
  if (c != nullptr) c->Visible = visible;
}

// A label is rewritten only when its text changes.
void SetIfDifferent(plat::Control* label, const std::string& text) {
  if (label != nullptr && label->Caption != text) label->Caption = text;
}

// The hotkey image n with its released (state 1) or pressed (state 2) picture; a file
// that is not there leaves the image as it looks.
void KeyPicture(int n, int state) {
  plat::Control* image = Form1.F(n);
  if (image == nullptr) return;
  const std::string path = "\\date\\button\\F" + std::to_string(n) + std::to_string(state) + ".dat";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(plat::ResolvePath(path), ec)) return;
  image->Picture = path;
}

void ReleaseAllKeys() {
  for (int n = 1; n <= kKeys; ++n) KeyPicture(n, 1);
}

void ChooseForKey(int k) {
  const SkillInfo& s = *SkillAt(k);
  if (s.passive) {
    AddSysMessage("被动技能，无须快捷键！", 255, 255, 0);
    return;
  }
  G.HotkeySkill = k;
  const int n = KeyNumber(Skill(k));
  if (n >= 1 && n <= kKeys) KeyPicture(n, 2);
  Show(Form1.Pf, true);
}

// What a raise does at once besides the level.
void RaiseEffect(int k, int newLevel) {
  if (k == kAccuracySkill) AddLastingStat(&PlayerRecord::Acc, 1);
  if (k == kRegenSkill) {
    if (newLevel == 1) G.RegenInterval = 6000;
    if (newLevel == 2) G.RegenInterval = 5000;
    if (newLevel == 3) G.RegenInterval = 3500;
  }
  if (k == kSpiritSkill && G.Spirit.Level > 0) G.Spirit.Level = Saturate32(static_cast<std::int64_t>(G.Spirit.Level) + 1);
}

}  // namespace

const SkillInfo* SkillAt(int k) {
  if (k < 1 || k > kSkills) return nullptr;
  return &kSkillTable[static_cast<std::size_t>(k - 1)];
}

int SkillLevelDigit(const std::string& m) { return m.size() >= 3 && IsDigit(m[2]) ? m[2] - '0' : 0; }

std::string SkillDescriptionLine1(int k) {
  const SkillInfo* s = SkillAt(k);
  if (s == nullptr) return {};
  const std::string& m = Skill(k);
  if (s->needsItself && !Learned(m)) return "???";
  const int level = SkillLevelDigit(m);
  std::string next;
  if (level < kTopLevel) next = "，下一级需要技能点：" + std::to_string(level + s->cost) + "点。";
  return std::string(s->head) + plat::Mid(m, 3, 1) + "级" + next + s->mpText;
}

std::string SkillDescriptionLine2(int k) {
  const SkillInfo* s = SkillAt(k);
  if (s == nullptr) return {};
  if (s->needsItself && !Learned(Skill(k))) return "???";
  return s->line2;
}

bool CanRaiseSkill(int k) {
  const SkillInfo* s = SkillAt(k);
  if (s == nullptr) return false;
  const std::string& m = Skill(k);
  if (!WellFormed(m)) return false;
  const int level = SkillLevelDigit(m);
  if (level >= kTopLevel || G.Player.SpPoint < level + s->cost) return false;
  if (s->needsItself) return Learned(m);
  return s->needs == 0 || SkillLevelDigit(Skill(s->needs)) >= kNeededLevel;
}

void McI_MouseDown(int k, int button) {
  MainWindow& w = Form1;
  if (SkillAt(k) == nullptr) return;
  if ((w.Psplyn != nullptr && w.Psplyn->Visible) || G.BodyNo > kLastPlainBody) return;
  ReleaseAllKeys();
  if (w.Lsplynm != nullptr) w.Lsplynm->Tag = std::to_string(k);
  if (button == 1 && CanRaiseSkill(k)) {
    if (w.Lsplynm != nullptr) w.Lsplynm->Caption = std::string("学习『") + SkillAt(k)->name + "』这个技能吗";
    Show(w.Psplyn, true);
  } else if (button == 2 && Learned(Skill(k))) {
    ChooseForKey(k);
  }
  if (button == 1) RefreshStatus();
}

void McI_MouseMove(int k) {
  MainWindow& w = Form1;
  if (SkillAt(k) == nullptr || w.PItemInf == nullptr) return;
  w.PItemInf->Visible = true;
  w.PItemInf->Top = kDescriptionTop;
  SetIfDifferent(w.ItemInf(1), SkillDescriptionLine1(k));
  SetIfDifferent(w.ItemInf(2), SkillDescriptionLine2(k));
}

void Lsply_Click() {
  MainWindow& w = Form1;
  const double tag = w.Lsplynm != nullptr ? plat::Val(w.Lsplynm->Tag) : 0.0;
  const int k = tag >= 1 && tag < kSkills + 1 ? static_cast<int>(std::floor(tag)) : 0;
  // Worn items stay clickable while the question is open and can move the level or a
  // prerequisite: the raise is tested again and refused as a press would refuse it.
  if (SkillAt(k) != nullptr && !CanRaiseSkill(k)) {
    RefreshStatus();
    Show(w.Psplyn, false);
    return;
  }
  if (const SkillInfo* s = SkillAt(k)) {
    std::string& m = Skill(k);
    const int level = SkillLevelDigit(m);
    G.Player.SpPoint -= level + s->cost;
    SetIfDifferent(w.LspPoint, std::to_string(G.Player.SpPoint));
    m = plat::Left(m, 2) + std::to_string(level + 1);
    RaiseEffect(k, level + 1);
  }
  AddScreenEffect(kLevelUpEffect, 0, 0, 0);
  RefreshStatus();
  Show(w.Psplyn, false);
}

void Lspln_Click() { Show(Form1.Psplyn, false); }

void F_MouseDown(int n) {
  if (n >= 1 && n <= kKeys) KeyPicture(n, 2);
}

void F_MouseUp(int n) {
  if (n < 1 || n > kKeys) return;
  ReleaseAllKeys();
  const std::string key{'F', static_cast<char>('0' + n)};
  for (int k = 1; k <= kSkills; ++k) {
    std::string& m = Skill(k);
    if (plat::Left(m, 2) == key) m = "??" + plat::Mid(m, 3);
  }
  if (SkillAt(G.HotkeySkill) != nullptr) {
    std::string& m = Skill(G.HotkeySkill);
    if (WellFormed(m)) m = key + plat::Mid(m, 3);
  }
  Show(Form1.Pf, false);
  RefreshStatus();
}

void AttachSkillsPanelHandlers() {
  MainWindow& w = Form1;
  for (const auto& [k, icon] : w.McI.All()) {
    if (icon == nullptr) continue;
    icon->OnMouseDown = [k](int button, int, int, int) { McI_MouseDown(k, button); };
    icon->OnMouseMove = [k](int, int, int, int) { McI_MouseMove(k); };
  }
  for (const auto& [n, image] : w.F.All()) {
    if (image == nullptr) continue;
    image->OnMouseDown = [n](int, int, int, int) { F_MouseDown(n); };
    image->OnMouseUp = [n](int, int, int, int) { F_MouseUp(n); };
  }
  if (w.Lsply != nullptr) {
    w.Lsply->OnClick = Lsply_Click;
    w.Lsply->OnMouseMove = [](int, int, int, int) { Form1.Lsply->ForeColor = kRed; };
  }
  if (w.Lspln != nullptr) {
    w.Lspln->OnClick = Lspln_Click;
    w.Lspln->OnMouseMove = [](int, int, int, int) { Form1.Lspln->ForeColor = kRed; };
  }
  if (w.Psplyn != nullptr) {
    w.Psplyn->OnMouseMove = [](int, int, int, int) {
      for (plat::Control* c : {Form1.Lsply, Form1.Lspln}) {
        if (c != nullptr) c->ForeColor = kCaptionText;
      }
    };
  }
}

}  // namespace ui
