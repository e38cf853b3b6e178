#include "game_databases.h"

#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/db.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "text_table.h"
#include "world/file_marker.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

// The kinds of monster tables must at least reach this row: row 83 is the look of the
// spirit companion, which is drawn with sprite set 83.
constexpr std::size_t kSpiritKindRow = 83;
constexpr long kSpiritSpriteSet = 83;
constexpr std::size_t kMaxDropEntries = 30;
// Icons 1 to 5 are the gold piles lying on the ground; 0 is no picture at all.
constexpr long kFirstItemIcon = 6;
// Body looks 100 and above are the transformed figures; body look 21 cannot exist,
// its data file name is taken by the monster database.
constexpr long kFirstTransformedLook = 100;
constexpr long kMissingBodyLook = 21;

// A database being built beside its place. Removed unless it was put in place.
class PendingFile {
 public:
  explicit PendingFile(fs::path target) : target_(std::move(target)) {
    temp_ = target_;
    temp_ += ".building";
    if (!plat::MakeFolder(target_.parent_path())) {
      throw std::runtime_error("cannot make the folder " + target_.parent_path().string());
    }
    RemoveTemp();
  }
  ~PendingFile() {
    if (!placed_) RemoveTemp();
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const fs::path& Temp() const { return temp_; }
  const fs::path& Target() const { return target_; }

  void PutInPlace() {
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (ec) throw std::runtime_error("cannot put " + target_.string() + " in place: " + ec.message());
    placed_ = true;
  }

 private:
  void RemoveTemp() {
    std::error_code ec;
    fs::remove(temp_, ec);
    fs::path journal = temp_;
    journal += "-journal";
    fs::remove(journal, ec);
  }

  fs::path target_;
  fs::path temp_;
  bool placed_ = false;
};

bool HasLowerCaseLatin(std::string_view s) {
  for (char c : s) {
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// A name that scripts and lookups can carry: scripts are upper-cased and split at blanks
// and "@", and the lookups quote names with apostrophes.
void CheckPlainName(const std::string& name, const std::string& what, const std::string& where) {
  if (name.empty()) throw SourceError(where + ": empty " + what);
  if (name.find_first_of(" \t'@/") != std::string::npos) {
    throw SourceError(where + ": " + what + " \"" + name + "\" holds a blank, apostrophe, \"@\" or \"/\"");
  }
  if (HasLowerCaseLatin(name)) {
    throw SourceError(where + ": " + what + " \"" + name + "\" holds lower-case letters, which scripts cannot name");
  }
}

bool IsGoldName(std::string_view name) {
  constexpr std::string_view kGold = "金币";
  if (name.substr(0, kGold.size()) != kGold || name.size() == kGold.size()) return false;
  for (char c : name.substr(kGold.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

long Number(const TextTable& t, const TextRow& row, std::string_view column) {
  return ParseLong(t.Field(row, column), t.Where(row) + " (" + std::string(column) + ")");
}

void CheckRange(const TextTable& t, const TextRow& row, std::string_view column, long low, long high) {
  long v = Number(t, row, column);
  if (v < low || v > high) {
    throw SourceError(t.Where(row) + ": " + std::string(column) + " " + std::to_string(v) + " is outside " +
                      std::to_string(low) + ".." + std::to_string(high));
  }
}

void CheckNotAbove(const TextTable& t, const TextRow& row, std::string_view low, std::string_view high) {
  if (Number(t, row, low) > Number(t, row, high)) {
    throw SourceError(t.Where(row) + ": " + std::string(low) + " is above " + std::string(high));
  }
}

// The item names, after checking what the game relies on in each row.
std::set<std::string> CheckItems(const TextTable& items) {
  std::set<std::string> names;
  std::set<long> icons;
  for (const TextRow& row : items.rows) {
    const std::string where = items.Where(row);
    const std::string& name = items.Field(row, "Name");
    CheckPlainName(name, "item name", where);
    if (name[0] == '?' || name.rfind("金币", 0) == 0) {
      throw SourceError(where + ": item name \"" + name + "\" has the form of a bonus item or of gold");
    }
    if (!names.insert(name).second) throw SourceError(where + ": item \"" + name + "\" given twice");
    if (plat::Len(items.Field(row, "Type2")) != 1) throw SourceError(where + ": Type2 must be one character");
    CheckRange(items, row, "Type", 0, 99);
    long icon = Number(items, row, "Pic1");
    if (icon < kFirstItemIcon) {
      throw SourceError(where + ": icon " + std::to_string(icon) + " is one of the gold piles (1-5) or no picture");
    }
    if (!icons.insert(icon).second) throw SourceError(where + ": icon " + std::to_string(icon) + " given twice");
    long type = Number(items, row, "Type");
    long look = Number(items, row, "Pic2");
    if (type == 12 && (look < 1 || look >= kFirstTransformedLook || look == kMissingBodyLook)) {
      throw SourceError(where + ": body look " + std::to_string(look) + " cannot be worn");
    }
    if (type == 20 && look < 1) throw SourceError(where + ": a weapon needs a look (Pic2) of 1 or more");
    CheckRange(items, row, "DcSpeed", 0, 10);
    CheckNotAbove(items, row, "Dc", "DcMax");
    CheckNotAbove(items, row, "Mc", "McMax");
    CheckNotAbove(items, row, "Df", "DfMax");
    CheckNotAbove(items, row, "Mf", "MfMax");
  }
  return names;
}

// Checks a monster table and rewrites its drop lists into the stored form.
TextTable CheckMonsters(TextTable kinds, const std::set<std::string>& itemNames) {
  if (kinds.rows.size() < kSpiritKindRow) {
    throw SourceError(kinds.file.string() + ": " + std::to_string(kinds.rows.size()) + " kinds; row " +
                      std::to_string(kSpiritKindRow) + " (the spirit companion) is needed");
  }
  if (Number(kinds, kinds.rows[kSpiritKindRow - 1], "Pic") != kSpiritSpriteSet) {
    throw SourceError(kinds.Where(kinds.rows[kSpiritKindRow - 1]) + ": the spirit companion's row must use sprite set " +
                      std::to_string(kSpiritSpriteSet));
  }
  int dropColumn = kinds.ColumnIndex("Items");
  if (dropColumn < 0) throw SourceError(kinds.file.string() + ": no column Items");
  for (TextRow& row : kinds.rows) {
    const std::string where = kinds.Where(row);
    CheckPlainName(kinds.Field(row, "MonName"), "monster name", where);
    const std::string& wav = kinds.Field(row, "Wav");
    if (wav.empty() || wav.find_first_of("\\/.") != std::string::npos) {
      throw SourceError(where + ": sound stem \"" + wav + "\" must be a plain name");
    }
    CheckRange(kinds, row, "Pic", 1, 119);
    long pic = Number(kinds, row, "Pic");
    if (pic == 74 || pic == 75) {
      throw SourceError(where + ": sprite set " + std::to_string(pic) + " is taken by a database file");
    }
    CheckRange(kinds, row, "Hp", 1, 1000000);
    CheckNotAbove(kinds, row, "Dc", "DcMax");
    CheckNotAbove(kinds, row, "Df", "DfMax");
    CheckNotAbove(kinds, row, "mf", "MfMax");
    CheckRange(kinds, row, "Type", 0, 3);
    long act = Number(kinds, row, "ActType");
    // A ranged attack shows a screen effect on the player; 1, 2, 8 and 10 are the level-up,
    // the end of a spell, the transformation and the teleport.
    if (act < 0 || act == 1 || act == 2 || act == 8 || act > 9) {
      throw SourceError(where + ": ActType " + std::to_string(act) + " is not 0 or a ranged attack effect (3-7, 9)");
    }
    CheckRange(kinds, row, "DcSpeed", 1, 1000);
    CheckRange(kinds, row, "StepSpeed", 1, 1000);
    CheckRange(kinds, row, "DcSleep", 0, 100000);
    CheckRange(kinds, row, "Eye", 0, 20);
    for (std::string_view c : {"R", "G", "B", "A"}) CheckRange(kinds, row, c, 0, 255);
    CheckRange(kinds, row, "Event", 0, 40);
    std::string& drops = row.fields[static_cast<std::size_t>(dropColumn)];
    drops = NormalizeDropList(drops, itemNames, where);
  }
  return kinds;
}

std::string ColumnType(plat::db::Connection& db, const std::string& table, const std::string& column) {
  return plat::UCase(
      db.Scalar("SELECT type FROM pragma_table_info(?1) WHERE name = ?2", {table, column}).AsText());
}

// Inserts every row of a source into a table; the source's columns must be exactly the
// table's columns (compared without case), in any order.
void LoadRows(plat::db::Connection& db, const std::string& table, const TextTable& source) {
  std::vector<std::string> columns = db.ColumnsOf(table);
  for (const std::string& c : source.columns) {
    bool known = false;
    for (const std::string& t : columns) known = known || plat::EqualsNoCase(c, t);
    if (!known) throw SourceError(source.file.string() + ": table " + table + " has no column \"" + c + "\"");
  }
  std::vector<std::size_t> sourceIndex;
  std::vector<bool> isNumber;
  std::string sql = "INSERT INTO \"" + table + "\" (";
  std::string marks;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    int s = source.ColumnIndex(columns[i]);
    if (s < 0) throw SourceError(source.file.string() + ": column \"" + columns[i] + "\" of table " + table + " is missing");
    sourceIndex.push_back(static_cast<std::size_t>(s));
    isNumber.push_back(ColumnType(db, table, columns[i]) == "INTEGER");
    sql += (i ? ", \"" : "\"") + columns[i] + "\"";
    marks += (i ? ", ?" : "?") + std::to_string(i + 1);
  }
  sql += ") VALUES (" + marks + ")";
  for (const TextRow& row : source.rows) {
    std::vector<plat::db::Value> values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::string& text = row.fields[sourceIndex[i]];
      if (isNumber[i]) {
        values.emplace_back(ParseLong(text, source.Where(row) + " (" + columns[i] + ")"));
      } else {
        values.emplace_back(text);
      }
    }
    try {
      db.Execute(sql, values);
    } catch (const plat::db::Error& e) {
      throw SourceError(source.Where(row) + ": " + e.what());
    }
  }
}

// Opens a fresh database in the pending file and runs the layout script.
void CreateDatabase(plat::db::Connection& db, const PendingFile& file, const fs::path& layoutScript) {
  db.Create(file.Temp());
  db.ExecuteScript(ReadSourceText(layoutScript));
}

void Mark(const PendingFile& file) {
  if (!::AddFileHeader(file.Temp())) throw std::runtime_error("cannot mark " + file.Temp().string());
}

// The NPC rows: NpcCode, map and the script text read from its file.
TextTable ReadNpcScripts(const fs::path& npcDir) {
  TextTable list = ReadTextTable(npcDir / "npcs.tsv");
  TextTable rows;
  rows.file = list.file;
  rows.columns = {"NpcCode", "map", "Inf"};
  for (const TextRow& row : list.rows) {
    const std::string where = list.Where(row);
    const std::string& code = list.Field(row, "NpcCode");
    if (code.size() < 2 || code[0] != 'N') throw SourceError(where + ": an NPC code is \"N\" and the NPC's name");
    const std::string& map = list.Field(row, "map");
    if (map.empty()) throw SourceError(where + ": no map part named");
    const std::string& script = list.Field(row, "Script");
    if (script.empty() || script.find('/') != std::string::npos) {
      throw SourceError(where + ": the script must be a file of " + npcDir.string());
    }
    std::string inf = WithCrLf(ReadSourceText(npcDir / script));
    if (inf.find('@') != std::string::npos) {
      throw SourceError((npcDir / script).string() + ": \"@\" would end a script line");
    }
    if (inf.empty()) throw SourceError((npcDir / script).string() + ": empty script");
    rows.rows.push_back(TextRow{row.line, {code, map, inf}});
  }
  return rows;
}

}  // namespace

std::string NormalizeDropList(std::string_view text, const std::set<std::string>& itemNames,
                              const std::string& where) {
  std::string out;
  std::size_t count = 0;
  for (const std::string& entry : plat::Split(text, " ")) {
    if (entry.empty()) continue;
    std::size_t slash = entry.find('/');
    if (slash == std::string::npos) throw SourceError(where + ": drop \"" + entry + "\" is not chance/name");
    long chance = ParseLong(entry.substr(0, slash), where + " (drop chance)");
    if (chance < 0) throw SourceError(where + ": drop \"" + entry + "\" has a negative chance");
    std::string name = entry.substr(slash + 1);
    if (name.empty() || name.find('/') != std::string::npos) {
      throw SourceError(where + ": drop \"" + entry + "\" is not chance/name");
    }
    if (!IsGoldName(name) && itemNames.count(name) == 0) {
      throw SourceError(where + ": drop \"" + name + "\" is no item");
    }
    if (++count > kMaxDropEntries) throw SourceError(where + ": more than 30 drops");
    out += entry;
    out += ' ';
  }
  return out;
}

void BuildGameDatabases(const fs::path& dataDir, const fs::path& gameDir) {
  const fs::path tables = dataDir / "tables";

  // Read and check every source before anything is written.
  TextTable items = ReadTextTable(tables / "items.tsv");
  std::set<std::string> itemNames = CheckItems(items);
  std::vector<TextTable> monsters;
  for (int level = 1; level <= 3; ++level) {
    monsters.push_back(
        CheckMonsters(ReadTextTable(tables / ("mon" + std::to_string(level) + ".tsv")), itemNames));
  }
  TextTable npcs = ReadNpcScripts(dataDir / "npc");

  auto place = [&](std::string_view gamePath) {
    return std::make_unique<PendingFile>(plat::ResolvePathIn(gameDir, gamePath));
  };
  std::vector<std::unique_ptr<PendingFile>> built;
  plat::db::Connection db;
  try {
    built.push_back(place(kItemDatabase));
    CreateDatabase(db, *built.back(), tables / "item_table.sql");
    db.Begin();
    LoadRows(db, "Item", items);
    db.Commit();
    db.Close();

    built.push_back(place(kNpcDatabase));
    CreateDatabase(db, *built.back(), tables / "npc_table.sql");
    db.Begin();
    LoadRows(db, "NPC", npcs);
    db.Commit();
    db.Close();

    built.push_back(place(kMonsterDatabase));
    CreateDatabase(db, *built.back(), tables / "monster_tables.sql");
    db.Begin();
    for (std::size_t i = 0; i < monsters.size(); ++i) LoadRows(db, "Mon" + std::to_string(i + 1), monsters[i]);
    db.Commit();
    db.Close();
    Mark(*built.back());

    built.push_back(place(kSaveTemplate));
    CreateDatabase(db, *built.back(), tables / "save_template.sql");
    db.Close();
    Mark(*built.back());
  } catch (const plat::db::Error& e) {
    db.Close();
    throw std::runtime_error(std::string("database: ") + e.what());
  } catch (...) {
    db.Close();
    throw;
  }
  for (auto& file : built) file->PutInPlace();
}

}  // namespace tools
