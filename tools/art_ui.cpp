#include "art_ui.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "art_ui_kit.h"
#include "picture_pack.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "text_table.h"
#include "window/form1.h"

namespace tools {

namespace fs = std::filesystem;
using art::Align;
using art::Canvas;
using art::Rgba;
using namespace uiart;

namespace {

// The item icon cache of the game holds icons 0..440; 1..5 are the gold piles.
constexpr long kFirstItemIcon = 6;
constexpr long kLastItemIcon = 440;
constexpr int kIconW = 28, kIconH = 26;
constexpr int kSkillIcon = 28;

Rgba Lighter(Rgba c) { return art::Lighter(c, 0.55); }

// ------------------------------------------------------------------ panels

// A frame strip: a thin bar lit along its length.
Canvas Strip(int w, int h) {
  Canvas c(w, h, kWoodDark);
  const bool across = w >= h;  // a horizontal strip shades top to bottom
  c.Gradient(0, 0, w, h, kRimLight, kWoodDark, !across);
  if (across) {
    c.FillRect(0, h - 1, w, 1, kRimDark);
  } else {
    c.FillRect(w - 1, 0, 1, h, kRimDark);
  }
  return c;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Overlaps(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
};

// The caption written on a panel's background before a value label of that name.
const std::map<std::string, std::string>& ValueCaptions() {
  static const std::map<std::string, std::string> m = {
      {"Llevel", "等级"}, {"Lex", "经验"},   {"Lspot", "属性点"}, {"Lhp", "生命"},   {"Lmp", "魔法"},
      {"Ldc", "攻击"},    {"Lmc", "魔攻"},   {"Ldf", "防御"},     {"Lmf", "魔防"},   {"Lnb", "闪避"},
      {"Lacc", "准确"},   {"Lmoney", "金币"}, {"Lfz", "负重"},    {"Bmoney", "存款"},
  };
  return m;
}

// The faint name of a worn-equipment slot inside its well.
const char* WornSlotName(int slot) {
  static const char* names[] = {"", "武器", "头盔", "盾牌", "项链", "衣服", "手镯", "手镯", "戒指", "戒指", "鞋子"};
  return slot >= 1 && slot <= 10 ? names[slot] : "";
}

struct PanelLook {
  Material material = Material::Wood;
  std::string title;
};

PanelLook LookOf(const std::string& name) {
  static const std::map<std::string, PanelLook> looks = {
      {"MainMeun", {Material::Stone, "Orvanth"}}, {"PLevel", {Material::Stone, "选择难度"}},
      {"Psys1", {Material::Stone, "系统菜单"}},   {"PDead", {Material::Stone, ""}},
      {"Pnet", {Material::Stone, ""}},            {"Phelp", {Material::Stone, ""}},
      {"Pzb", {Material::Stone, ""}},             {"Pbuy", {Material::Wood, "商店"}},
      {"Pbank", {Material::Wood, "仓库"}},        {"PwUP", {Material::Wood, "武器升级"}},
      {"Psell", {Material::Wood, "出售"}},
  };
  auto it = looks.find(name);
  return it != looks.end() ? it->second : PanelLook{};
}

// The background of one panel: its surface, border, a title where the top is free, the
// wells of its images and the captions of its value labels.
Canvas PanelPicture(const plat::Control& panel) {
  const int inset = panel.ClientInset();
  const int w = std::max(1, panel.PixelWidth() - 2 * inset);
  const int h = std::max(1, panel.PixelHeight() - 2 * inset);
  if (w < 8 || h < 8) return Strip(w, h);

  const PanelLook look = LookOf(panel.Name);
  Rng rng(Hash(panel.Name));
  Canvas c(w, h);
  Surface(c, look.material, rng);
  Border(c);

  const int originX = panel.ScreenX() + inset;
  const int originY = panel.ScreenY() + inset;
  std::vector<Rect> taken;
  for (const auto& child : panel.Children()) {
    if (child->Kind == plat::ControlKind::Timer) continue;
    Rect r{child->ScreenX() - originX, child->ScreenY() - originY, child->PixelWidth(), child->PixelHeight()};
    taken.push_back(r);
    if (child->Kind == plat::ControlKind::Image && r.w >= 8 && r.h >= 8) {
      Well(c, r.x, r.y, r.w, r.h);
      if (child->Name == "Iitem") {
        const char* hint = WornSlotName(child->Index);
        if (*hint != '\0') CentredText(c, hint, r.x, r.y, r.w, r.h, 10, kFaint, false, kWellShadow, false);
      }
    }
    if (child->Kind == plat::ControlKind::Label) {
      auto it = ValueCaptions().find(child->Name);
      if (it != ValueCaptions().end()) {
        const int px = 12;
        const TextSize s = Measure(it->second, px, false);
        const int right = r.x - 6;
        const int y = r.y + (r.h - s.h) / 2;
        c.Text(it->second, right + 1, y + 1, px, kTextShadow, Align::Right);
        c.Text(it->second, right, y, px, kCaption, Align::Right);
      }
    }
  }
  if (!look.title.empty()) {
    const int px = look.title == "Orvanth" ? 15 : 12;
    const TextSize s = Measure(look.title, px, true);
    const Rect box{(w - s.w) / 2 - 2, 3, s.w + 4, s.h};
    const bool free = std::none_of(taken.begin(), taken.end(), [&](const Rect& r) { return r.Overlaps(box); });
    if (free && s.w + 12 < w) CentredText(c, look.title, 0, 3, w, s.h, px, kTitle, true, kTextShadow, false);
  }
  return c;
}

// Every panel of a control tree (not the picture boxes that are buttons).
void CollectPanels(const plat::Control& c, std::vector<const plat::Control*>& out) {
  static const std::set<std::string> buttons = {"SysB1", "SysB2", "SysB3", "SysB4"};
  for (const auto& child : c.Children()) {
    if (child->Kind == plat::ControlKind::Panel && buttons.count(child->Name) == 0) out.push_back(child.get());
    CollectPanels(*child, out);
  }
}

void WriteMainWindowPanels(const fs::path& gameDir) {
  ui::BuildMainWindow();
  if (ui::Form1.Form == nullptr) throw std::runtime_error("the main window has no controls");
  std::vector<const plat::Control*> panels;
  CollectPanels(*ui::Form1.Form, panels);
  std::set<std::string> done;
  for (const plat::Control* p : panels) {
    if (!done.insert(p->Name).second) continue;  // one picture per name
    Save(gameDir, PanelPicturePath(p->Name), PanelPicture(*p));
  }
}

// ------------------------------------------------------------------ buttons

void SaveButtonPair(const fs::path& gameDir, const std::string& base, int w, int h, std::string_view caption,
                    const ButtonStyle& st) {
  Save(gameDir, "date/button/" + base + "1.dat", ButtonPicture(w, h, caption, false, st));
  Save(gameDir, "date/button/" + base + "2.dat", ButtonPicture(w, h, caption, true, st));
}

void WriteButtons(const fs::path& gameDir) {
  // The bottom bar's four buttons (33 x 33) and the character window's side buttons.
  ButtonStyle bar;
  SaveButtonPair(gameDir, "bt1", 33, 33, "系统", bar);
  SaveButtonPair(gameDir, "bt2", 33, 33, "属性", bar);
  SaveButtonPair(gameDir, "bt3", 33, 33, "包裹", bar);
  SaveButtonPair(gameDir, "bt9", 33, 33, "技能", bar);
  ButtonStyle side;
  side.vertical = true;
  side.px = 11;
  SaveButtonPair(gameDir, "bt4", 22, 35, "装备", side);
  SaveButtonPair(gameDir, "bt5", 22, 35, "属性", side);
  SaveButtonPair(gameDir, "bt6", 22, 35, "包裹", side);
  SaveButtonPair(gameDir, "bt7", 22, 35, "技能", side);
  ButtonStyle close;
  close.face = Rgba{120, 44, 36, 255};
  SaveButtonPair(gameDir, "bt8", 22, 23, "关", close);

  // The hotkey images F1..F8 (25 x 25).
  ButtonStyle key;
  key.face = Rgba{52, 70, 104, 255};
  key.px = 11;
  for (int n = 1; n <= 8; ++n) SaveButtonPair(gameDir, "F" + std::to_string(n), 25, 25, "F" + std::to_string(n), key);

  // The difficulty buttons (100 x 25): allowed, pressed, and locked.
  const char* names[] = {"", "普通难度", "困难难度", "地狱难度"};
  ButtonStyle level;
  for (int d = 1; d <= 3; ++d) {
    const std::string base = "date/button/level" + std::to_string(d);
    Save(gameDir, base + ".dat", ButtonPicture(100, 25, names[d], false, level));
    Save(gameDir, base + "2.dat", ButtonPicture(100, 25, names[d], true, level));
  }
  ButtonStyle locked;
  locked.face = kFaceLocked;
  locked.label = kLabelLocked;
  locked.px = 11;
  Save(gameDir, "date/button/level2lock.dat", ButtonPicture(100, 25, "困难（未开启）", false, locked));
  Save(gameDir, "date/button/level3lock.dat", ButtonPicture(100, 25, "地狱（未开启）", false, locked));

  // The minimap toggle (15 x 15): a small button with a folded map on it.
  Canvas toggle = ButtonPicture(15, 15, "", false, ButtonStyle{});
  toggle.FillRect(4, 4, 7, 7, Rgba{210, 190, 140, 255});
  toggle.FrameRect(4, 4, 7, 7, Rgba{60, 44, 30, 255});
  toggle.FillRect(7, 4, 1, 7, Rgba{140, 120, 84, 255});
  Save(gameDir, "date/button/minimap.dat", toggle);
}

// ------------------------------------------------------------------ skill icons

struct SkillLook {
  const char* mark;  // the character on the icon
  Rgba colour;
};

// Skills 1..15: the warrior's chain in red, the corpse spell in violet, the Taoist's chain
// in green and the mage's chain in blue.
const std::array<SkillLook, 16>& SkillLooks() {
  static const std::array<SkillLook, 16> looks = {{
      {"", {}},
      {"准", {168, 52, 40, 255}}, {"斩", {168, 52, 40, 255}}, {"火", {188, 70, 30, 255}}, {"震", {168, 52, 40, 255}},
      {"炼", {110, 56, 140, 255}},
      {"自", {48, 130, 60, 255}}, {"盾", {48, 130, 60, 255}}, {"生", {48, 130, 60, 255}}, {"灵", {48, 130, 60, 255}},
      {"冰", {60, 140, 150, 255}},
      {"雷", {50, 80, 170, 255}}, {"石", {50, 80, 170, 255}}, {"风", {50, 80, 170, 255}}, {"驰", {50, 80, 170, 255}},
      {"炎", {150, 60, 120, 255}},
  }};
  return looks;
}

Canvas SkillIcon(int k) {
  const SkillLook& look = SkillLooks()[static_cast<std::size_t>(k)];
  Canvas c(kSkillIcon, kSkillIcon, kRimDark);
  c.Gradient(1, 1, kSkillIcon - 2, kSkillIcon - 2, Shade(look.colour, 1.35), Shade(look.colour, 0.55));
  c.Glow(kSkillIcon / 2.0, kSkillIcon / 2.0, 12, Rgba{255, 240, 200, 90});
  c.FrameRect(1, 1, kSkillIcon - 2, kSkillIcon - 2, Shade(look.colour, 1.9));
  CentredText(c, look.mark, 0, 0, kSkillIcon, kSkillIcon, 17, Rgba{255, 250, 235, 255}, true, Rgba{30, 20, 14, 255},
              true);
  return c;
}

// The icon of a skill not yet learned: grey and dim.
Canvas Darkened(const Canvas& src) {
  Canvas c(src.W(), src.H());
  for (int y = 0; y < src.H(); ++y) {
    for (int x = 0; x < src.W(); ++x) {
      const Rgba p = src.Get(x, y);
      const int grey = (p.r * 30 + p.g * 59 + p.b * 11) / 100;
      const auto v = static_cast<std::uint8_t>(std::max(1, grey * 45 / 100));
      c.Set(x, y, Rgba{v, v, v, 255});
    }
  }
  return c;
}

void WriteSkillIcons(const fs::path& gameDir) {
  for (int k = 1; k <= 15; ++k) {
    const Canvas icon = SkillIcon(k);
    Save(gameDir, "date/mgc/ico/" + std::to_string(k) + ".bmp", icon);
    Save(gameDir, "date/mgc/ico/dark/" + std::to_string(k) + ".bmp", Darkened(icon));
  }
}

// ------------------------------------------------------------------ item icons

// The frame colour of an item by its type (potions by what they restore).
Rgba TypeColour(long type, long hp, long mp) {
  switch (type) {
    case 0: return {214, 150, 60, 255};  // usable
    case 1:
    case 2: return hp >= mp ? Rgba{214, 64, 56, 255} : Rgba{70, 110, 230, 255};
    case 3: return {150, 140, 128, 255};   // material
    case 10: return {170, 184, 200, 255};  // helmet
    case 11: return {236, 200, 70, 255};   // necklace
    case 12: return {170, 116, 70, 255};   // body armour
    case 13: return {70, 190, 180, 255};   // bracelet
    case 14: return {190, 110, 220, 255};  // ring
    case 15: return {150, 170, 80, 255};   // boots
    case 20: return {130, 170, 240, 255};  // weapon
    case 21: return {200, 140, 90, 255};   // shield
    default: return {240, 150, 190, 255};  // story items and the rest
  }
}

bool IsSetItem(const std::string& name) {
  static const char* prefixes[] = {"剧毒", "魔血", "圣战", "法神", "狂战", "圣尊", "魔神", "死神", "皇族", "精忠", "魔术"};
  return std::any_of(std::begin(prefixes), std::end(prefixes), [&](const char* p) { return name.rfind(p, 0) == 0; });
}

// An item: its first character in a frame coloured by its type, on the transparent
// black of a ground sprite (the corners stay black). When other items begin with the same
// character, the last character of the name stands small in the lower right corner
// (金创药小, 金创药中 and 金创药大 differ there).
Canvas ItemIcon(const std::string& name, long type, long hp, long mp, bool sharedMark) {
  const Rgba col = TypeColour(type, hp, mp);
  Canvas c(kIconW, kIconH, art::kBlack);
  c.FillRect(2, 1, kIconW - 4, kIconH - 2, Shade(col, 0.3));
  c.FillRect(1, 2, kIconW - 2, kIconH - 4, Shade(col, 0.3));
  c.Gradient(2, 2, kIconW - 4, kIconH - 4, Shade(col, 0.55), Shade(col, 0.22));
  c.FrameRect(2, 2, kIconW - 4, kIconH - 4, col);
  if (IsSetItem(name)) {
    const Rgba gold{255, 220, 90, 255};
    for (auto [x, y] : {std::pair{3, 3}, {kIconW - 5, 3}, {3, kIconH - 5}, {kIconW - 5, kIconH - 5}}) {
      c.FillRect(x, y, 2, 2, gold);
    }
  }
  const auto chars = plat::Chars(name);
  const std::string mark = chars.empty() ? "?" : chars.front();
  const Rgba ink{255, 248, 230, 255}, edge{24, 16, 10, 255};
  if (sharedMark && chars.size() >= 2) {
    CentredText(c, mark, 2, 1, 17, 17, 14, ink, true, edge, true);
    CentredText(c, chars.back(), 14, 12, 12, 12, 10, Lighter(col), true, edge, true);
  } else {
    CentredText(c, mark, 0, 0, kIconW, kIconH, 16, ink, true, edge, true);
  }
  return c;
}

// Gold lying on the ground: piles of 1, 3, 6, 10 and 15 coins for icons 1 to 5.
Canvas GoldPile(int n) {
  Canvas c(kIconW, kIconH, art::kBlack);
  const Rgba rim{150, 104, 20, 255}, face{244, 200, 64, 255}, shine{255, 246, 190, 255};
  for (int row = 0; row < n; ++row) {
    const int coins = n - row;
    const double y = kIconH - 5 - row * 3.2;
    const double width = (coins - 1) * 5.2;
    for (int i = 0; i < coins; ++i) {
      const double x = kIconW / 2.0 - width / 2.0 + i * 5.2;
      c.FillEllipse(x, y, 3.6, 2.4, rim);
      c.FillEllipse(x, y - 0.4, 2.8, 1.7, face);
      c.Set(static_cast<int>(x) - 1, static_cast<int>(y) - 1, shine);
    }
  }
  return c;
}

void WriteItemIcons(const fs::path& dataDir, const fs::path& gameDir) {
  const TextTable items = ReadTextTable(dataDir / "tables" / "items.tsv");
  std::map<std::string, int> firstChars;
  for (const TextRow& row : items.rows) {
    const auto chars = plat::Chars(items.Field(row, "Name"));
    if (!chars.empty()) ++firstChars[chars.front()];
  }
  std::set<long> done;
  for (const TextRow& row : items.rows) {
    const std::string where = items.Where(row);
    const long icon = ParseLong(items.Field(row, "Pic1"), where);
    if (icon < kFirstItemIcon || icon > kLastItemIcon) {
      throw SourceError(where + ": icon " + std::to_string(icon) + " lies outside 6..440");
    }
    if (!done.insert(icon).second) continue;
    const long type = ParseLong(items.Field(row, "Type"), where);
    const long hp = ParseLong(items.Field(row, "Hp"), where);
    const long mp = ParseLong(items.Field(row, "Mp"), where);
    const std::string& name = items.Field(row, "Name");
    const auto chars = plat::Chars(name);
    const bool shared = !chars.empty() && firstChars[chars.front()] > 1;
    Save(gameDir, "date/Item/" + std::to_string(icon) + ".bmp", ItemIcon(name, type, hp, mp, shared));
  }
  for (int n = 1; n <= 5; ++n) Save(gameDir, "date/Item/" + std::to_string(n) + ".bmp", GoldPile(n));
}

// ------------------------------------------------------------------ damage digits

void WriteDigits(const fs::path& gameDir) {
  // White on the transparent black, so that the drawing can colour them; a dark edge
  // keeps them readable over the ground.
  const Rgba edge{64, 64, 64, 255};
  for (int d = 0; d <= 9; ++d) {
    Canvas c(10, 14, art::kBlack);
    CentredText(c, std::to_string(d), 0, 0, 10, 14, 13, art::kWhite, true, edge, true);
    Save(gameDir, "date/Number/" + std::to_string(d) + ".bmp", c);
  }
  Canvas miss(34, 14, art::kBlack);
  CentredText(miss, "MISS", 0, 0, 34, 14, 11, Rgba{255, 236, 150, 255}, true, edge, true);
  Save(gameDir, "date/Number/10.bmp", miss);
}

}  // namespace

std::string PanelPicturePath(std::string_view panelName) {
  std::string path = "\\";
  for (char ch : kPanelFolder) path += ch == '/' ? '\\' : ch;
  path += '\\';
  path += panelName;
  path += ".bmp";
  return path;
}

void WriteInterfacePictures(const fs::path& dataDir, const fs::path& gameDir) {
  WriteItemIcons(dataDir, gameDir);
  WriteSkillIcons(gameDir);
  WriteDigits(gameDir);
  WriteButtons(gameDir);
  WriteMainWindowPanels(gameDir);
}

void WriteHelpPage(const fs::path& dataDir, const fs::path& gameDir) {
  const fs::path source = dataDir / "help" / "help.htm";
  const auto bytes = plat::ReadAllBytes(source);
  if (!bytes) throw SourceError(source.string() + ": the help page cannot be read");
  const fs::path file = plat::ResolvePathIn(gameDir, "Help/help.htm");
  if (!plat::MakeFolder(file.parent_path())) {
    throw std::runtime_error("cannot make the folder " + file.parent_path().string());
  }
  if (!plat::WriteFileAtomically(file, *bytes)) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace tools
