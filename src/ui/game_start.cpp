#include "ui/game_start.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#include "graphics/aura.h"
#include "graphics/device.h"
#include "graphics/map_loader.h"
#include "graphics/screens.h"
#include "platform/db.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "script/script.h"
#include "ui/cheat_panel.h"
#include "window/form1.h"
#include "world/file_marker.h"
#include "world/game_loop.h"
#include "world/item_pictures.h"
#include "world/options.h"
#include "world/status.h"

namespace fs = std::filesystem;

namespace ui {

namespace {

constexpr int kSkillCount = 15;  // McI(1..15), Lsp(1..15)
constexpr int kMinimapTwipsPerCell = 75;
// The view at rest covers columns 0..14 and rows 0..13.
constexpr std::int32_t kRestColLast = 14;
constexpr std::int32_t kRestRowLast = 13;

// The monster database as the game names it under its folder.
constexpr std::string_view kMonsterDatabase = "\\Date\\rpg\\21.dat";

void SetVisible(plat::Control* c, bool visible) {
  if (c != nullptr) c->Visible = visible;
}

void SetCaption(plat::Control* c, std::string text) {
  if (c != nullptr) c->Caption = std::move(text);
}

// A 64-bit value brought into the 32-bit range (data from files may hold anything).
std::int32_t ClampToLong(long long v) {
  return static_cast<std::int32_t>(std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

// A number in at least two digits, as the game formats map and part numbers.
std::string TwoDigits(std::int32_t n) {
  const long long v = n;
  std::string digits = std::to_string(v < 0 ? -v : v);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return v < 0 ? "-" + digits : digits;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The monster database file: MonDbPath, or the game's path when the graphics start has
// not set it.
fs::path MonsterDatabaseFile() {
  if (!G.MonDbPath.empty()) return G.MonDbPath;
  return plat::ResolvePath(kMonsterDatabase);
}

// The picture shown by a difficulty button; nothing for a button that is not there.
void ShowPressed(plat::Control* button, std::string_view picture) {
  if (button != nullptr) button->Picture = std::string(picture);
}

// The release on an open button: the choice is made and the game starts.
void ChooseDifficulty(int level) {
  if (!DifficultyAllowed(level)) return;
  G.GAMELEVEL = static_cast<std::uint8_t>(level);
  SetVisible(Form1.PLevel, false);
  ReadGameData();
}

void PressDifficulty(int level, plat::Control* button, std::string_view picture) {
  if (DifficultyAllowed(level)) ShowPressed(button, picture);
}

// Each class hides the icons, labels and lines of the branches it does not learn.
struct ClassBranches {
  std::string_view zhiYe;
  std::vector<int> hiddenSkills;
  std::vector<plat::Control* MainWindow::*> hiddenLines;
};

const std::vector<ClassBranches>& Branches() {
  using W = MainWindow;
  static const std::vector<ClassBranches> kBranches{
      {"战士",
       {7, 8, 9, 10, 12, 13, 14, 15},
       {&W::Line22, &W::Line23, &W::Line24, &W::Line25, &W::Line31, &W::Line32, &W::Line33, &W::Line34}},
      {"道士",
       {2, 3, 4, 12, 13, 14, 15},
       {&W::Line11, &W::Line12, &W::Line13, &W::Line31, &W::Line32, &W::Line33, &W::Line34}},
      {"法师",
       {2, 3, 4, 7, 8, 9, 10},
       {&W::Line11, &W::Line12, &W::Line13, &W::Line22, &W::Line23, &W::Line24, &W::Line25}},
  };
  return kBranches;
}

// The shared recordset and connection are closed however the reading ends.
struct SharedRecordsetClose {
  ~SharedRecordsetClose() {
    if (G.DbRecordset) G.DbRecordset->Close();
  }
};

// A column of the current row as a 32-bit number.
std::int32_t LongField(const plat::db::Recordset& rs, std::string_view column) {
  return ClampToLong(rs[column].AsInt());
}

}  // namespace

bool DifficultyAllowed(int level) {
  switch (level) {
    case 1: return true;
    case 2: return G.Et[20] >= 1;
    case 3: return G.Et[20] >= 2;
    default: return false;
  }
}

void I_Nm_MouseDown(int, int, int, int) { PressDifficulty(1, Form1.I_Nm, kNormalPressedPicture); }
void I_Hd_MouseDown(int, int, int, int) { PressDifficulty(2, Form1.I_Hd, kHardPressedPicture); }
void I_vHd_MouseDown(int, int, int, int) { PressDifficulty(3, Form1.I_vHd, kVeryHardPressedPicture); }
void I_Nm_MouseUp(int, int, int, int) { ChooseDifficulty(1); }
void I_Hd_MouseUp(int, int, int, int) { ChooseDifficulty(2); }
void I_vHd_MouseUp(int, int, int, int) { ChooseDifficulty(3); }

void ParseDropList(std::string_view items, std::array<std::array<std::string, 2>, kMonsterDrops + 1>& drops) {
  for (auto& row : drops) row = {};
  int count = 0;
  std::size_t pos = 0;
  while (pos < items.size() && count < kMonsterDrops) {
    // Every entry ends in a blank: a last entry without one is not read.
    const std::size_t end = items.find(' ', pos);
    if (end == std::string_view::npos) break;
    const std::string_view piece = items.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t slash = piece.find('/');
    if (slash == std::string_view::npos) continue;
    const std::string_view chance = piece.substr(0, slash);
    const std::string_view name = piece.substr(slash + 1);
    if (!AllDigits(chance) || name.empty()) continue;
    ++count;
    drops[static_cast<std::size_t>(count)][0] = std::string(name);
    drops[static_cast<std::size_t>(count)][1] = std::string(chance);
  }
  drops[0][0] = std::to_string(count);
}

bool ReadMonsterKinds(int level) {
  std::vector<MonsterKind> kinds(1);
  try {
    MarkedDatabase db(MonsterDatabaseFile(), MarkedDatabase::Mode::Read);
    if (!G.DbRecordset) G.DbRecordset = std::make_unique<plat::db::Recordset>();
    SharedRecordsetClose closing;
    G.DbSql = "Select * from Mon" + std::to_string(level);
    plat::db::Recordset& rs = *G.DbRecordset;
    rs.Open(G.DbSql, db.Db());
    const long count = rs.RecordCount();
    if (count < 1) return false;
    kinds.reserve(static_cast<std::size_t>(count) + 1);
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      MonsterKind k;
      k.MonName = rs["MonName"].AsText();
      k.Pic = LongField(rs, "Pic");
      k.Wav = rs["Wav"].AsText();
      k.Hp = LongField(rs, "Hp");
      if (G.ExpertMode == 1) {
        // Half again, the half rounded down.
        const long long hp = k.Hp;
        const long long half = hp >= 0 ? hp / 2 : -((-hp + 1) / 2);
        k.Hp = ClampToLong(hp + half);
      }
      k.Dc = LongField(rs, "Dc");
      k.DcMax = LongField(rs, "DcMax");
      k.Df = LongField(rs, "Df");
      k.DfMax = LongField(rs, "DfMax");
      k.mf = LongField(rs, "mf");
      k.MfMax = LongField(rs, "MfMax");
      k.Nb = LongField(rs, "Nb");
      k.Ex = LongField(rs, "Ex");
      k.Eye = LongField(rs, "Eye");
      k.Type = LongField(rs, "Type");
      k.ActType = LongField(rs, "ActType");
      k.XiHP = LongField(rs, "XiHP");
      k.MaBi = LongField(rs, "MaBi");
      k.zd = LongField(rs, "zd");
      k.DcSpeed = LongField(rs, "DcSpeed");
      k.StepSpeed = LongField(rs, "StepSpeed");
      k.DcSleep = LongField(rs, "DcSleep");
      k.R = LongField(rs, "R");
      k.G = LongField(rs, "G");
      k.B = LongField(rs, "B");
      k.A = LongField(rs, "A");
      k.Event = LongField(rs, "Event");
      ParseDropList(rs["Items"].AsText(), k.Drops);
      kinds.push_back(std::move(k));
    }
  } catch (const plat::db::Error&) {
    return false;
  } catch (const WorkCopyError&) {
    throw;  // nothing wrong with the file: the caller says what failed
  } catch (const MarkedDatabaseError&) {
    return false;
  }
  G.MonsterKindCount = static_cast<std::int32_t>(kinds.size()) - 1;
  G.MonsterKinds = std::move(kinds);
  return true;
}

std::int32_t RegenIntervalFor(std::string_view skill6, std::int32_t current) {
  const std::string last = plat::Right(skill6, 1);
  if (last == "0") return 8000;
  if (last == "1") return 6000;
  if (last == "2") return 5000;
  if (last == "3") return 3500;
  return current;
}

void ArrangeSkillPanel(std::string_view zhiYe) {
  MainWindow& w = Form1;
  for (int k = 1; k <= kSkillCount; ++k) {
    SetVisible(w.McI(k), true);
    SetVisible(w.Lsp(k), true);
  }
  for (plat::Control* line : {w.Line11, w.Line12, w.Line13, w.Line21, w.Line22, w.Line23, w.Line24, w.Line25,
                              w.Line31, w.Line32, w.Line33, w.Line34}) {
    SetVisible(line, true);
  }
  for (const ClassBranches& b : Branches()) {
    if (b.zhiYe != zhiYe) continue;
    for (int k : b.hiddenSkills) {
      SetVisible(w.McI(k), false);
      SetVisible(w.Lsp(k), false);
    }
    for (auto line : b.hiddenLines) SetVisible(w.*line, false);
  }
}

std::string ReturnPointMoveLine() {
  return "#move " + TwoDigits(G.GoMain) + TwoDigits(G.GoSub) + " " + std::to_string(G.GoX) + " " +
         std::to_string(G.GoY);
}

// 资料读取
void ReadGameData() {
  MainWindow& w = Form1;
  // The shared database objects, new.
  G.DbConn = std::make_unique<plat::db::Connection>();
  G.DbRecordset = std::make_unique<plat::db::Recordset>();

  // The monster kinds of the chosen difficulty. The file keeps its marker: it is read
  // from a copy.
  bool monstersRead = false;
  try {
    monstersRead = ReadMonsterKinds(G.GAMELEVEL);
  } catch (const WorkCopyError&) {
    plat::MsgBox(std::string(kMsgMonsterNoWorkCopy));
    EndGame();
  }
  if (!monstersRead) {
    plat::MsgBox(std::string(kMsgMonsterDataBad));
    EndGame();
  }

  G.RegenInterval = RegenIntervalFor(G.Player.M[6], G.RegenInterval);

  ShowItemPictures();
  RefreshStatus2();
  LoadConfig();

  // The quick-spell icon.
  if (w.Qmc != nullptr) {
    if (G.Player.NowMc > 0) {
      w.Qmc->Picture = plat::ResolvePath("\\date\\mgc\\ico\\" + std::to_string(G.Player.NowMc) + ".bmp").string();
    } else {
      w.Qmc->Picture.clear();
    }
  }

  ArrangeSkillPanel(G.Player.ZhiYe);
  FillCheatLists();

  // A first view and minimap from the saved place; the move below replaces both.
  G.ViewX = ClampToLong(static_cast<long long>(G.Player.X) - 7);
  G.ViewY = ClampToLong(static_cast<long long>(G.Player.Y) - 7);
  if (plat::Control* minimap = w.Iminimap) {
    const fs::path file = plat::ResolvePath("map\\" + TwoDigits(G.MainMap) + TwoDigits(G.SubMap) + ".dat");
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) {
      minimap->Picture = file.string();
    } else {
      minimap->Picture.clear();
    }
    minimap->Left = ClampToLong((2 - static_cast<long long>(G.ViewX)) * kMinimapTwipsPerCell);
    minimap->Top = ClampToLong((2 - static_cast<long long>(G.ViewY)) * kMinimapTwipsPerCell);
  }

  // The view at rest; the shop's price labels empty.
  G.DrawColFirst = 0;
  G.DrawColLast = kRestColLast;
  G.DrawRowFirst = 0;
  G.DrawRowLast = kRestRowLast;
  SetCaption(w.Lbuy, "");
  SetCaption(w.Lsell, "");

  // The map of the return point, and the player on its cell: a character always
  // resumes at its return point.
  std::int32_t map = G.GoMain;
  LoadMap(map);
  ScriptMove(ReturnPointMoveLine());

  plat::Application::Get().DoEvents();

  // The intro picture once per character (the flag is saved with the next save).
  if (G.Et[19] == 0) {
    G.Et[19] = 1;
    ShowIntroPicture();
  }

  CheckEquipSet();
  GameLoop();
}

void AttachGameStartHandlers() {
  MainWindow& w = Form1;
  if (w.I_Nm != nullptr) {
    w.I_Nm->OnMouseDown = I_Nm_MouseDown;
    w.I_Nm->OnMouseUp = I_Nm_MouseUp;
  }
  if (w.I_Hd != nullptr) {
    w.I_Hd->OnMouseDown = I_Hd_MouseDown;
    w.I_Hd->OnMouseUp = I_Hd_MouseUp;
  }
  if (w.I_vHd != nullptr) {
    w.I_vHd->OnMouseDown = I_vHd_MouseDown;
    w.I_vHd->OnMouseUp = I_vHd_MouseUp;
  }
}

}  // namespace ui
