#include "ui/cheat_panel.h"

#include <zip.h>

#include <fstream>
#include <memory>
#include <string>

#include "common/game_state.h"
#include "graphics/map_loader.h"
#include "platform/db.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "script/script.h"
#include "window/form1.h"
#include "world/status.h"

namespace ui {

namespace {

constexpr std::string_view kMsgNoDestination = "游戏文件夹中没有这个地方，无法移动";
constexpr int kSkillCount = 15;
constexpr std::int32_t kMaxParts = 30;
constexpr std::size_t kAccountModeSkill = 20;  // M(20) holds the account mode
constexpr std::string_view kCheatAccount = "作弊";

constexpr std::array<CheatDestination, kCheatDestinationCount> kDestinations{{
    {"无名村", "#move 0101 27 31", 1, 1, 27, 31},
    {"镇安村", "#move 0201 41 13", 2, 1, 41, 13},
    {"齐扬城", "#move 0301 23 73", 3, 1, 23, 73},
    {"神秘家园", "#move 1201 47 34", 12, 1, 47, 34},
    {"小鱼村", "#move 3301 24 70", 33, 1, 24, 70},
    {"新月村", "#move 3501 59 51", 35, 1, 59, 51},
    {"野猪洞", "#move 0401 175 178", 4, 1, 175, 178},
    {"蜘蛛洞", "#move 0701 124 29", 7, 1, 124, 29},
    {"修魔洞", "#move 0801 19 28", 8, 1, 19, 28},
    {"罗魔洞", "#move 1401 25 30", 14, 1, 25, 30},
    {"扎克圣地", "#move 1301 84 91", 13, 1, 84, 91},
    {"魔窟", "#move 0601 170 33", 6, 1, 170, 33},
    {"牛魔洞", "#move 3601 30 30", 36, 1, 30, 30},
    {"古墓", "#move 0501 25 177", 5, 1, 25, 177},
    {"新月树林南", "#move 4201 24 34", 42, 1, 24, 34},
    {"山谷村庄", "#move 4303 48 56", 43, 3, 48, 56},
    {"修罗神殿", "#move 4701 29 30", 47, 1, 29, 30},
    {"恶魔巢穴", "#move 5101 21 38", 51, 1, 21, 38},
}};

struct ValueRow {
  std::string_view text;
  std::string_view prefix;
};
constexpr std::array<ValueRow, 10> kValues{{
    {"HP上限", "#change hpmax = "},
    {"MP上限", "#change mpmax = "},
    {"攻击上限", "#change dcmax = "},
    {"魔法上限", "#change mcmax = "},
    {"防御上限", "#change dfmax = "},
    {"魔防上限", "#change mfmax = "},
    {"等级", "#change level = "},
    {"属性点", "#change sxpoint = "},
    {"技能点", "#change sppoint = "},
    {"钱", "#change money = "},
}};

bool Ticked(const plat::Control* box) { return box != nullptr && box->Value() == 1; }

std::string TextOf(const plat::Control* c) { return c == nullptr ? std::string() : c->Text; }

void Show(plat::Control* c) {
  if (c != nullptr) c->Visible = true;
}

// The part count of map\<map>.Mxx, or 0 when the file is missing or holds no count 1..30.
std::int32_t PartCount(std::int32_t map) {
  std::ifstream in(plat::ResolvePathIn(plat::ResolvePath("\\map"), MapIndexFileName(map)), std::ios::binary);
  long long n = 0;
  if (!(in >> n) || n < 1 || n > kMaxParts) return 0;
  return static_cast<std::int32_t>(n);
}

struct ArchiveClose {
  void operator()(zip_t* z) const { zip_discard(z); }
};

}  // namespace

const std::array<CheatDestination, kCheatDestinationCount>& CheatDestinations() { return kDestinations; }

const CheatDestination* FindCheatDestination(std::string_view label) {
  for (const CheatDestination& d : kDestinations) {
    if (d.label == label) return &d;
  }
  return nullptr;
}

std::optional<std::string_view> CheatValuePrefix(std::string_view text) {
  for (const ValueRow& r : kValues) {
    if (r.text == text) return r.prefix;
  }
  return std::nullopt;
}

bool CheatDestinationPresent(std::int32_t map, std::int32_t part) {
  const std::int32_t parts = PartCount(map);
  if (part < 1 || part > parts) return false;
  int error = 0;
  const std::string archive = plat::ResolvePath("\\Ham.dll").string();
  std::unique_ptr<zip_t, ArchiveClose> z(zip_open(archive.c_str(), ZIP_RDONLY, &error));
  if (!z) return false;
  for (std::int32_t p = 1; p <= parts; ++p) {
    if (zip_name_locate(z.get(), MapPartFileName(map, p).c_str(), 0) < 0) return false;
  }
  return true;
}

void FillCheatLists() {
  MainWindow& w = Form1;
  if (plat::Control* items = w.Citem) {
    const std::string text = items->Text;
    items->Clear();
    try {
      plat::db::Connection conn;
      conn.OpenPath(G.ItemDbPath);
      plat::db::Recordset rs;
      for (rs.Open("select * from Item", conn); !rs.Eof(); rs.MoveNext()) {
        items->AddItem(rs["Name"].AsText());
      }
    } catch (const plat::db::Error&) {
      items->Clear();
    }
    items->Text = text;
  }
  if (plat::Control* kinds = w.MobList) {
    kinds->Clear();
    for (std::size_t k = 1; k < G.MonsterKinds.size(); ++k) kinds->AddItem(G.MonsterKinds[k].MonName);
  }
}

void MarkCheatCharacter() {
  std::string& mode = G.Player.M[kAccountModeSkill];
  if (G.GAMELEVEL == 0 || mode == kCheatAccount) return;
  mode = kCheatAccount;
  G.CheatMode = 1;
}

void Command17_Click() { ScriptGive("#give " + TextOf(Form1.Citem) + " 1"); }

void Command18_Click() {
  if (const auto prefix = CheatValuePrefix(TextOf(Form1.Cchange))) {
    ScriptChange(std::string(*prefix) + TextOf(Form1.Tcc));
  }
  RefreshStatus();
}

void Command19_Click() {
  const CheatDestination* d = FindCheatDestination(TextOf(Form1.Cmap));
  if (d == nullptr) return;
  if (!CheatDestinationPresent(d->map, d->part)) {
    plat::MsgBox(std::string(kMsgNoDestination));
    return;
  }
  ScriptMove(d->line);
}

void Command22_Click() {
  MainWindow& w = Form1;
  for (int i = 1; i <= kSkillCount; ++i) {
    Show(w.McI(i));
    Show(w.Lsp(i));
  }
  for (plat::Control* line : {w.Line11, w.Line12, w.Line13, w.Line31, w.Line32, w.Line33, w.Line34}) Show(line);
}

void Command23_Click() {
  G.Player.HP = G.Player.HpMax;
  G.Player.Mp = G.Player.MpMax;
}

void Command24_Click() {
  const std::string kind = Form1.MobList == nullptr ? std::string() : Form1.MobList->SelectedItem();
  ScriptMob("#mob " + kind + " " + std::to_string(static_cast<long long>(G.ViewX) + 9) + " " +
            std::to_string(static_cast<long long>(G.ViewY) + 9));
}

void LhpLck_Click() { G.HpLock = Ticked(Form1.LhpLck) ? 1 : 0; }
void LmpLck_Click() { G.MpLock = Ticked(Form1.LmpLck) ? 1 : 0; }
void Lys_Click() { G.InvisLock = Ticked(Form1.Lys) ? 1 : 0; }

void Lddzk_Click() {
  if (!Ticked(Form1.Lddzk)) return;
  if (Form1.Lddhl != nullptr) Form1.Lddhl->SetValue(0);
  G.AlwaysAirSlash = 1;
  G.AlwaysFireSword = 0;
}

void Lddhl_Click() {
  if (!Ticked(Form1.Lddhl)) return;
  if (Form1.Lddzk != nullptr) Form1.Lddzk->SetValue(0);
  G.AlwaysAirSlash = 0;
  G.AlwaysFireSword = 1;
}

void AttachCheatPanelHandlers() {
  MainWindow& w = Form1;
  const std::pair<plat::Control*, void (*)()> handlers[] = {
      {w.Command17, Command17_Click}, {w.Command18, Command18_Click}, {w.Command19, Command19_Click},
      {w.Command22, Command22_Click}, {w.Command23, Command23_Click}, {w.Command24, Command24_Click},
      {w.LhpLck, LhpLck_Click},       {w.LmpLck, LmpLck_Click},       {w.Lys, Lys_Click},
      {w.Lddzk, Lddzk_Click},         {w.Lddhl, Lddhl_Click},
  };
  for (const auto& [control, handler] : handlers) {
    if (control != nullptr) {
      control->OnClick = [handler] {
        MarkCheatCharacter();
        handler();
      };
    }
  }
}

}  // namespace ui
