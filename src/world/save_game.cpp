#include "world/save_game.h"

#include <array>
#include <cmath>
#include <ctime>
#include <limits>
#include <system_error>

#include "common/game_state.h"
#include "common/numbers.h"
#include "graphics/effects.h"
#include "graphics/look.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "world/file_marker.h"
#include "world/game_loop.h"
#include "world/player_record.h"
#include "world/status.h"

namespace fs = std::filesystem;
using plat::db::Recordset;
using plat::db::Value;

namespace {

constexpr std::string_view kSavePassword = "qm25170894";
constexpr int kShieldKind = 7;           // skill effect of 精神护盾
constexpr int kTransformationKind = 8;   // screen effect of the spirit items

// ------------------------------------------------------------------ ending effects

// The spirit shield ends at once, taking off the bonus it gave at its first frame
// (3 x L defence, L magic defence, L kept in P2) from the record that holds it; one not
// yet started gave none.
void EndShield() {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxSkillEffects); ++i) {
    SkillEffect& e = G.SkillEffects[i];
    if (e.Kind != kShieldKind) continue;
    const bool bonusGiven = e.Frame >= 1;
    const std::int64_t level = e.P2;
    e.Kind = 0;
    e.Frame = 0;
    AddScreenEffect(2, 0, 0, 0);
    if (bonusGiven) {
      AddLastingStat(&PlayerRecord::DfMax, -3 * level);
      AddLastingStat(&PlayerRecord::MfMax, -level);
    }
    RefreshStatus();
  }
}

// A transformation plays its animation once more and is then freed without
// transforming; one in force gives the stats and the normal look back.
void EndTransformation() {
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxScreenEffects); ++i) {
    ScreenEffect& e = G.ScreenEffects[i];
    if (e.Kind != kTransformationKind) continue;
    e.Frame = 0;
    e.P = 0;
    if (FormWorn()) {
      RestorePlayerStats();
      RefreshStatus2();
      LoadLookFrames();
    }
  }
}

// ------------------------------------------------------------------------ writing

void WriteSave1(MarkedDatabase& db) {
  const PlayerRecord& p = G.Player;
  Recordset rs;
  rs.Open("Select * from Save1 where id=?", db.Db(), {Value(p.ID)});
  if (rs.Eof()) throw SaveFormatError("the save has no character row for " + p.ID);
  db.BeforeWrite();
  auto put = [&rs](std::string_view column, std::int64_t v) { rs.SetField(column, Value(static_cast<long long>(v))); };
  put("MainMap", G.MainMap);
  put("SubMap", G.SubMap);
  put("X", static_cast<std::int64_t>(G.ViewX) + 7);
  put("Y", static_cast<std::int64_t>(G.ViewY) + 7);
  put("GoMain", G.GoMain);
  put("GoSub", G.GoSub);
  put("GoX", G.GoX);
  put("GoY", G.GoY);
  put("HP", p.HP);
  put("HpMax", p.HpMax);
  put("Mp", p.Mp);
  put("MpMax", p.MpMax);
  put("Dc", p.Dc);
  put("DcMax", p.DcMax);
  put("Mc", p.Mc);
  put("McMax", p.McMax);
  put("Df", p.Df);
  put("DfMax", p.DfMax);
  put("Mf", p.Mf);
  put("MfMax", p.MfMax);
  put("Nb", p.Nb);
  put("Acc", p.Acc);
  put("DcSpeed", p.DcSpeed);
  put("XiHP", p.XiHP);
  put("MaBi", p.MaBi);
  put("zd", p.zd);
  put("Luck", p.Luck);
  put("Heavy", p.Heavy);
  put("Level", p.Level);
  put("Ex", p.Ex);
  put("LevelPoint", p.LevelPoint);
  put("SpPoint", p.SpPoint);
  put("Direction", p.Direction);
  put("Money", p.Money);
  put("Bank", p.Bank);
  put("NowMc", p.NowMc);
  rs.SetField("Date", Value(CurrentDateText()));
  put("MapS", p.MapS);
  put("SP", p.SP);
  for (int i = 1; i <= kQuestFlags; ++i) put("Et" + std::to_string(i), G.Et[static_cast<std::size_t>(i)]);
  for (int i = 1; i <= kSkillStrings; ++i) rs.SetField("M" + std::to_string(i), Value(p.M[static_cast<std::size_t>(i)]));
  rs.Update();
  rs.Close();
}

// The Save2 item columns of a slot with their values, in the order they are written.
std::vector<std::pair<std::string_view, Value>> ItemColumns(const ItemRecord& it) {
  std::vector<std::pair<std::string_view, Value>> c;
  c.reserve(31);
  auto put = [&c](std::string_view column, std::int32_t v) { c.emplace_back(column, Value(static_cast<long long>(v))); };
  put("Type", it.Type);
  c.emplace_back("Type2", Value(it.Type2.empty() ? std::string(" ") : plat::Left(it.Type2, 1)));
  put("Pic1", it.Pic1);
  put("Pic2", it.Pic2);
  c.emplace_back("Name", Value(it.Name.empty() ? std::string(" ") : it.Name));
  put("Hp", it.Hp);
  put("Mp", it.Mp);
  put("Dc", it.Dc);
  put("DcMax", it.DcMax);
  put("DcSpeed", it.DcSpeed);
  put("Mc", it.Mc);
  put("McMax", it.McMax);
  put("Df", it.Df);
  put("DfMax", it.DfMax);
  put("mf", it.Mf);
  put("mfMax", it.MfMax);
  put("Nb", it.Nb);
  put("xihp", it.XiHP);
  put("mabi", it.MaBi);
  put("zd", it.zd);
  put("dzlevel", it.dzlevel);
  put("luck", it.Luck);
  put("Acc", it.Acc);
  put("Weight", it.Weight);
  put("Money", it.Money);
  put("NdDc", it.NdDc);
  put("NdMc", it.NdMc);
  put("NdLevel", it.NdLevel);
  put("JP", it.JP);
  put("SP", it.SP);
  put("Ex", it.Ex);
  return c;
}

void WriteItemColumns(Recordset& rs, const ItemRecord& it) {
  for (const auto& [column, value] : ItemColumns(it)) rs.SetField(column, value);
}

// Slot i goes into every row whose No is i; a file without a row for some slot is not
// a save this game can write.
void WriteSave2(MarkedDatabase& db) {
  Recordset rs;
  rs.Open("Select * from Save2 where id=?", db.Db(), {Value(G.Player.ID)});
  std::array<bool, kItemSlots + 1> written{};
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::int32_t no = SaveFieldLong(rs, "No");
    if (no < 1 || no > kItemSlots) continue;
    db.BeforeWrite();
    WriteItemColumns(rs, G.Player.Items[static_cast<std::size_t>(no)]);
    rs.Update();
    written[static_cast<std::size_t>(no)] = true;
  }
  rs.Close();
  for (int i = 1; i <= kItemSlots; ++i) {
    if (!written[static_cast<std::size_t>(i)]) {
      throw SaveFormatError("the save has no item row for slot " + std::to_string(i));
    }
  }
}

// Runs a writer on the save file; false when anything failed (the file is unchanged).
template <typename Work>
bool WriteSaveFile(const fs::path& file, Work work) {
  try {
    MarkedDatabase db(file, MarkedDatabase::Mode::Write);
    work(db);
    db.Commit();
    return true;
  } catch (const plat::ProgramEnded&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
}

// ------------------------------------------------------------------------ loading

// What a save holds, read in full before any of it reaches the game state.
struct LoadedSave {
  PlayerRecord player;
  std::array<std::int32_t, kQuestFlags + 1> et{};
  std::int32_t mainMap = 0, subMap = 0, goMain = 0, goSub = 0, goX = 0, goY = 0;
};

void ReadSave1(Recordset& rs, LoadedSave& s) {
  PlayerRecord& p = s.player;
  p.ID = SaveFieldText(rs, "ID");
  p.ZhiYe = SaveFieldText(rs, "zhiye");
  s.mainMap = SaveFieldLong(rs, "MainMap");
  s.subMap = SaveFieldLong(rs, "SubMap");
  s.goMain = SaveFieldLong(rs, "GoMain");
  s.goSub = SaveFieldLong(rs, "GoSub");
  s.goX = SaveFieldLong(rs, "GoX");
  s.goY = SaveFieldLong(rs, "GoY");
  p.X = SaveFieldLong(rs, "X");
  p.Y = SaveFieldLong(rs, "Y");
  const std::int32_t mapS = SaveFieldLong(rs, "MapS");
  if (mapS < 0 || mapS > 255) throw SaveFormatError("MapS out of range");
  p.MapS = static_cast<std::uint8_t>(mapS);
  p.HP = SaveFieldLong(rs, "HP");
  p.HpMax = SaveFieldLong(rs, "HpMax");
  p.Mp = SaveFieldLong(rs, "Mp");
  p.MpMax = SaveFieldLong(rs, "MpMax");
  p.Dc = SaveFieldLong(rs, "Dc");
  p.DcMax = SaveFieldLong(rs, "DcMax");
  p.Mc = SaveFieldLong(rs, "Mc");
  p.McMax = SaveFieldLong(rs, "McMax");
  p.Df = SaveFieldLong(rs, "Df");
  p.DfMax = SaveFieldLong(rs, "DfMax");
  p.Mf = SaveFieldLong(rs, "Mf");
  p.MfMax = SaveFieldLong(rs, "MfMax");
  p.Nb = SaveFieldLong(rs, "Nb");
  p.Acc = SaveFieldLong(rs, "Acc");
  p.DcSpeed = SaveFieldLong(rs, "DcSpeed");
  p.XiHP = SaveFieldLong(rs, "XiHP");
  p.MaBi = SaveFieldLong(rs, "MaBi");
  p.zd = SaveFieldLong(rs, "zd");
  p.Luck = SaveFieldLong(rs, "Luck");
  p.Heavy = SaveFieldLong(rs, "Heavy");
  p.Level = SaveFieldLong(rs, "Level");
  p.Ex = SaveFieldLong(rs, "Ex");
  p.LevelPoint = SaveFieldLong(rs, "LevelPoint");
  p.SpPoint = SaveFieldLong(rs, "SpPoint");
  p.Direction = SaveFieldLong(rs, "Direction");
  p.ActState = ActionState::Stand;
  p.Money = SaveFieldLong(rs, "Money");
  p.Bank = SaveFieldLong(rs, "Bank");
  p.SP = SaveFieldLong(rs, "SP");
  for (int i = 1; i <= kQuestFlags; ++i) s.et[static_cast<std::size_t>(i)] = SaveFieldLong(rs, "Et" + std::to_string(i));
  for (int i = 1; i <= kSkillStrings; ++i) p.M[static_cast<std::size_t>(i)] = SaveFieldText(rs, "M" + std::to_string(i));
}

ItemRecord ReadItemRow(const Recordset& rs) {
  ItemRecord it;
  it.Type = SaveFieldLong(rs, "Type");
  // One character; a blank one is no Type2 at all.
  it.Type2 = plat::Left(SaveFieldText(rs, "Type2"), 1);
  if (it.Type2 == " ") it.Type2.clear();
  it.Pic1 = SaveFieldLong(rs, "Pic1");
  it.Pic2 = SaveFieldLong(rs, "Pic2");
  it.Name = plat::Trim(SaveFieldText(rs, "Name"));
  it.Hp = SaveFieldLong(rs, "Hp");
  it.Mp = SaveFieldLong(rs, "Mp");
  it.Dc = SaveFieldLong(rs, "Dc");
  it.DcMax = SaveFieldLong(rs, "DcMax");
  it.DcSpeed = SaveFieldLong(rs, "DcSpeed");
  it.Mc = SaveFieldLong(rs, "Mc");
  it.McMax = SaveFieldLong(rs, "McMax");
  it.Df = SaveFieldLong(rs, "Df");
  it.DfMax = SaveFieldLong(rs, "DfMax");
  it.Mf = SaveFieldLong(rs, "mf");
  it.MfMax = SaveFieldLong(rs, "mfMax");
  it.Nb = SaveFieldLong(rs, "Nb");
  it.XiHP = SaveFieldLong(rs, "xihp");
  it.MaBi = SaveFieldLong(rs, "mabi");
  it.zd = SaveFieldLong(rs, "zd");
  it.dzlevel = SaveFieldLong(rs, "dzlevel");
  it.Luck = SaveFieldLong(rs, "luck");
  it.Acc = SaveFieldLong(rs, "Acc");
  it.Weight = SaveFieldLong(rs, "Weight");
  it.Money = SaveFieldLong(rs, "Money");
  it.NdDc = SaveFieldLong(rs, "NdDc");
  it.NdMc = SaveFieldLong(rs, "NdMc");
  it.NdLevel = SaveFieldLong(rs, "NdLevel");
  it.JP = SaveFieldLong(rs, "JP");
  it.SP = SaveFieldLong(rs, "SP");
  it.Ex = SaveFieldLong(rs, "Ex");
  return it;
}

void ReadSave2(Recordset& rs, LoadedSave& s) {
  std::array<bool, kItemSlots + 1> found{};
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::int32_t no = SaveFieldLong(rs, "No");
    if (no < 1 || no > kItemSlots) continue;
    s.player.Items[static_cast<std::size_t>(no)] = ReadItemRow(rs);
    found[static_cast<std::size_t>(no)] = true;
  }
  for (int i = 1; i <= kItemSlots; ++i) {
    if (!found[static_cast<std::size_t>(i)]) throw SaveFormatError("no item row for slot " + std::to_string(i));
  }
}

}  // namespace

// --------------------------------------------------------------------------- public

std::string SaveConnectionString(std::string_view path) {
  std::string s = "Provider=Microsoft.Jet.OLEDB.4.0;";
  s += "Persist Security Info=False;";
  s += "Data Source=";
  s += path;
  s += ";Jet OLEDB:Database Password=";
  s += kSavePassword;
  s += ";";
  return s;
}

bool IsUsableSaveName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '\0') return false;
  }
  return true;
}

fs::path SaveFilePath(std::string_view name) { return plat::ResolvePath("\\Save\\" + std::string(name) + ".kzs"); }

std::string CurrentDateText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

std::int32_t SaveFieldLong(const Recordset& rs, std::string_view column) {
  const Value* v = nullptr;
  try {
    v = &rs.Field(column);
  } catch (const plat::db::Error& e) {
    throw SaveFormatError(e.what());
  }
  if (v->IsNull()) throw SaveFormatError("no value in column " + std::string(column));
  std::int64_t n;
  if (v->IsText()) {
    const auto number = plat::StrictNumber(v->AsText(), plat::NumberForm::Fraction);
    if (!number) throw SaveFormatError("column " + std::string(column) + " is not a number");
    const double d = *number;
    if (!(d > -2147483648.5 && d < 2147483647.5)) throw SaveFormatError("column " + std::string(column) + " out of range");
    n = plat::RoundHalfEven(d);
  } else if (*v == Value(v->AsInt())) {
    n = v->AsInt();
  } else {
    const double d = v->AsReal();
    if (!(d > -2147483648.5 && d < 2147483647.5)) throw SaveFormatError("column " + std::string(column) + " out of range");
    n = plat::RoundHalfEven(d);
  }
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
    throw SaveFormatError("column " + std::string(column) + " out of range");
  }
  return static_cast<std::int32_t>(n);
}

std::string SaveFieldText(const Recordset& rs, std::string_view column) {
  const Value* v = nullptr;
  try {
    v = &rs.Field(column);
  } catch (const plat::db::Error& e) {
    throw SaveFormatError(e.what());
  }
  if (v->IsNull()) throw SaveFormatError("no value in column " + std::string(column));
  return v->AsText();
}

bool SaveGame() {
  EndShield();
  EndTransformation();

  if (G.SavePath.empty()) {
    if (!IsUsableSaveName(G.Player.ID)) {
      AddSysMessage("存档失败，原存档未改动", 255, 0, 0);
      return false;
    }
    G.SavePath = SaveFilePath(G.Player.ID);
    G.SaveConnStr = SaveConnectionString(G.SavePath.string());
  }
  const bool saved = WriteSaveFile(G.SavePath, [](MarkedDatabase& db) {
    WriteSave1(db);
    WriteSave2(db);
  });
  if (!saved) {
    AddSysMessage("存档失败，原存档未改动", 255, 0, 0);
    return false;
  }
  AddSysMessage("游戏已存档", 255, 0, 0);
  return true;
}

bool SaveItemTable() {
  if (!IsUsableSaveName(G.Player.ID)) return false;
  const fs::path file = SaveFilePath(G.Player.ID);
  G.SavePath = file;
  G.SaveConnStr = SaveConnectionString(file.string());
  return WriteItemRows(G.Player.ID, G.Player.Items);
}

bool WriteItemRows(std::string_view id, const FixedArray<ItemRecord, kItemSlots + 1>& items) {
  if (!IsUsableSaveName(id)) return false;
  std::string sql = "UPDATE Save2 SET ";
  for (const auto& [column, value] : ItemColumns(ItemRecord{})) {
    if (sql.back() == '?') sql += ", ";
    sql += column;
    sql += " = ?";
  }
  sql += " WHERE ID = ? AND No = ?";
  const std::string key(id);
  return WriteSaveFile(SaveFilePath(id), [&](MarkedDatabase& db) {
    plat::db::PreparedStatement update(db.Db(), sql);  // one statement for the 120 rows
    for (int slot = 1; slot <= kItemSlots; ++slot) {
      db.BeforeWrite();
      std::vector<Value> params;
      for (auto& [column, value] : ItemColumns(items[static_cast<std::size_t>(slot)])) params.push_back(std::move(value));
      params.emplace_back(key);
      params.emplace_back(static_cast<long long>(slot));
      if (update.Run(params) != 1) {
        throw SaveFormatError("not exactly one item row for slot " + std::to_string(slot));
      }
    }
  });
}

// Why the lock lies where it lies. Two game folders may share their saves (a "Save"
// folder or a save file that is a link, one folder mounted in two places), so a lock kept
// per game folder would let both use one save at once. The lock must belong to the save
// file itself; but a lock on the save's own file would not last, since every write puts
// a new file in place of the old one by rename and the lock would stay on the old one.
// So the lock is taken on a file of its own beside the save, in the folder that really
// holds it: the path is resolved through every link, and a bind mount shows that same
// folder, so all ways to the save meet at one lock file. Nothing renames over it, so it
// outlasts every write of the save; it stands only while the lock is held; it is hidden,
// and its name does not end in "kzs", so the save list and the removal of working
// leftovers pass it by.
fs::path SaveLockPath(std::string_view name) {
  const fs::path save = SaveFilePath(name);
  std::error_code ec;
  fs::path real = fs::weakly_canonical(save, ec);  // a missing save: where it would be
  if (ec) real = save;
  std::string lock = real.filename().string();
  lock.insert(lock.begin(), '.');
  lock += ".lock";
  return real.parent_path() / lock;
}

plat::FileLock::Result LockSave(std::string_view name, plat::FileLock& lock) {
  if (!IsUsableSaveName(name)) return plat::FileLock::Result::Failed;
  return lock.TryLock(SaveLockPath(name));
}

TradeLoadError LoadSaveForTrade(std::string_view name, TradeSave& out, plat::FileLock& lock) {
  out = TradeSave{};
  const std::string id = plat::Trim(name);
  if (!IsUsableSaveName(id) || !plat::FileExists(SaveFilePath(id))) return TradeLoadError::Unreadable;
  plat::FileLock held;
  switch (LockSave(id, held)) {
    case plat::FileLock::Result::Locked: break;
    case plat::FileLock::Result::Busy: return TradeLoadError::InUse;
    case plat::FileLock::Result::Failed: return TradeLoadError::LockFailed;
  }
  TradeSave loaded;
  try {
    MarkedDatabase db(SaveFilePath(id), MarkedDatabase::Mode::Read);
    Recordset rs;
    rs.Open("Select * from Save1 where id=?", db.Db(), {Value(id)});
    if (rs.Eof()) return TradeLoadError::Unreadable;
    loaded.id = plat::Trim(SaveFieldText(rs, "ID"));
    loaded.mode = SaveFieldText(rs, "M" + std::to_string(kSkillStrings));
    rs.Close();
    if (loaded.id != id) return TradeLoadError::Unreadable;
    if (loaded.mode != "普通" && loaded.mode != "专家") return TradeLoadError::NotTradable;

    rs.Open("Select * from Save2 where id=?", db.Db(), {Value(id)});
    std::array<bool, kItemSlots + 1> seen{};
    int rows = 0;
    for (; !rs.Eof(); rs.MoveNext()) {
      const std::int32_t no = SaveFieldLong(rs, "No");
      if (no < 1 || no > kItemSlots || seen[static_cast<std::size_t>(no)]) return TradeLoadError::BadItemRows;
      seen[static_cast<std::size_t>(no)] = true;
      loaded.items[static_cast<std::size_t>(no)] = ReadItemRow(rs);
      ++rows;
    }
    if (rows != kItemSlots) return TradeLoadError::BadItemRows;
  } catch (const plat::ProgramEnded&) {
    throw;
  } catch (const WorkCopyError&) {
    return TradeLoadError::NoWorkCopy;
  } catch (const std::exception&) {
    return TradeLoadError::Unreadable;
  }
  out = std::move(loaded);
  lock = std::move(held);
  return TradeLoadError::None;
}

SaveLoadResult LoadSaveGame(std::string_view name) {
  const SaveLoadResult unreadable{SaveLoadError::Unreadable};
  const std::string id = plat::Trim(name);
  if (!IsUsableSaveName(id)) return unreadable;
  const fs::path file = SaveFilePath(id);

  LoadedSave s;
  s.player = G.Player;
  try {
    MarkedDatabase db(file, MarkedDatabase::Mode::Read);
    Recordset rs;
    rs.Open("Select * from Save1 where id=?", db.Db(), {Value(id)});
    if (rs.Eof()) return unreadable;
    ReadSave1(rs, s);
    rs.Close();
    rs.Open("Select * from Save2 where id=?", db.Db(), {Value(id)});
    ReadSave2(rs, s);
    rs.Close();
  } catch (const plat::ProgramEnded&) {
    throw;
  } catch (const WorkCopyError&) {
    return SaveLoadResult{SaveLoadError::NoWorkCopy};
  } catch (const std::exception&) {
    return unreadable;
  }

  G.Player = std::move(s.player);
  G.Et = s.et;
  G.MainMap = s.mainMap;
  G.SubMap = s.subMap;
  G.GoMain = s.goMain;
  G.GoSub = s.goSub;
  G.GoX = s.goX;
  G.GoY = s.goY;
  G.ViewX = Saturate32(static_cast<std::int64_t>(G.Player.X) - 7);
  G.ViewY = Saturate32(static_cast<std::int64_t>(G.Player.Y) - 7);
  const std::string& mode = G.Player.M[static_cast<std::size_t>(kSkillStrings)];
  if (mode == "作弊") G.CheatMode = 1;
  if (mode == "专家") G.ExpertMode = 1;
  G.SavePath = file;
  G.SaveConnStr = SaveConnectionString(file.string());
  return {};
}
