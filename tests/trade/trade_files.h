// Game folders and saves for trades between real processes, and what every run checks on
// the files: conservation of the items over both saves, the integrity of each save, and
// the journal of the rounds.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "trade/wire.h"
#include "world/file_marker.h"
#include "world/items.h"
#include "world/save_fixture.h"

namespace tradefiles {

namespace fs = std::filesystem;
using Bag = std::array<ItemRecord, kItemSlots + 1>;  // 1..120

// One trading side: a game folder of its own with the item table and a character save.
struct Party {
  fs::path folder;
  std::string name;
  fs::path SaveFile() const { return folder / "Save" / fs::u8path(name + ".kzs"); }
  fs::path Journal() const { return folder / "Save" / fs::u8path(name + ".trade.log"); }
};

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The item table of the built game folder; the test process reads it too.
inline fs::path ItemTable() { return testsupport::GameDir() / "date" / "Mon" / "74.dat"; }

// Rows of the item table that fit an offer, n of them, each made unique by its Ex value
// (firstEx, firstEx + 1, ...): Ex is not checked against the table. The table is read once,
// under a lock: runs on several threads share it.
inline std::vector<ItemRecord> TestItems(int n, int firstEx) {
  static std::mutex mutex;
  static std::vector<ItemRecord> fitting;
  std::lock_guard<std::mutex> hold(mutex);
  if (fitting.empty()) {
    G.ItemDbPath = ItemTable();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(ItemTable().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, "SELECT Name FROM Item ORDER BY rowid", -1, &st, nullptr);
      while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ItemRecord item;
        if (ReadItemTableRow(name, item) && trade::EncodeOffer(1, item).payload) fitting.push_back(item);
      }
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
  }
  std::vector<ItemRecord> out;
  for (int i = 0; i < n && i < static_cast<int>(fitting.size()); ++i) {
    out.push_back(fitting[static_cast<std::size_t>(i)]);
    out.back().Ex = firstEx + i;
  }
  return out;
}

// Takes an item out of a party's copy of the item table; true when a row went.
inline bool DropFromItemTable(const Party& p, const std::string& name) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2((p.folder / "date" / "Mon" / "74.dat").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK;
  sqlite3_stmt* st = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "DELETE FROM Item WHERE Name = ?", -1, &st, nullptr) == SQLITE_OK;
  ok = ok && sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
       sqlite3_step(st) == SQLITE_DONE && sqlite3_changes(db) > 0;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return ok;
}

// A party in `folder`: the item table copied in, and a save for `name` holding `items`
// (slot -> item; every other slot empty).
inline Party MakeParty(const fs::path& folder, const std::string& name,
                       const std::map<int, ItemRecord>& items) {
  Party p{folder, name};
  fs::create_directories(folder / "Save");
  fs::create_directories(folder / "date" / "Mon");
  fs::copy_file(ItemTable(), folder / "date" / "Mon" / "74.dat", fs::copy_options::overwrite_existing);
  savetest::MakeSave(p.SaveFile(), name, "战士", true, {}, [&](plat::db::Connection& c) {
    c.Execute("UPDATE Save1 SET M20 = '普通', Money = 777, Level = 12");
    c.Execute("UPDATE Save2 SET Name = ' ', Type2 = ' '");
    for (const auto& [slot, it] : items) {
      c.Execute(
          "UPDATE Save2 SET Name=?, Type=?, Type2=?, Pic1=?, Pic2=?, Hp=?, Mp=?, Dc=?, DcMax=?, DcSpeed=?, "
          "Mc=?, "
          "McMax=?, Df=?, DfMax=?, mf=?, mfMax=?, Nb=?, xihp=?, mabi=?, zd=?, dzlevel=?, luck=?, Acc=?, "
          "Weight=?, "
          "Money=?, NdDc=?, NdMc=?, NdLevel=?, JP=?, SP=?, Ex=? WHERE No=?",
          {plat::db::Value(it.Name),
           it.Type,
           plat::db::Value(it.Type2.empty() ? std::string(" ") : it.Type2),
           it.Pic1,
           it.Pic2,
           it.Hp,
           it.Mp,
           it.Dc,
           it.DcMax,
           it.DcSpeed,
           it.Mc,
           it.McMax,
           it.Df,
           it.DfMax,
           it.Mf,
           it.MfMax,
           it.Nb,
           it.XiHP,
           it.MaBi,
           it.zd,
           it.dzlevel,
           it.Luck,
           it.Acc,
           it.Weight,
           it.Money,
           it.NdDc,
           it.NdMc,
           it.NdLevel,
           it.JP,
           it.SP,
           it.Ex,
           slot});
    }
  });
  return p;
}

// The database of a marked save, opened read-only from a copy without the marker.
class SaveReader {
 public:
  explicit SaveReader(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = plat::ReadAllBytes(file).value_or(std::vector<std::uint8_t>{});
    const std::vector<std::uint8_t> marker = FileHeaderBytes();
    marked_ = bytes.size() > marker.size() && std::equal(marker.begin(), marker.end(), bytes.begin());
    if (!marked_) return;
    const fs::path copy = dir_.path() / "save.db";
    plat::WriteAllBytes(
        copy, std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(marker.size()), bytes.end()));
    if (sqlite3_open_v2(copy.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
  }
  ~SaveReader() { sqlite3_close(db_); }
  bool Marked() const { return marked_; }
  bool Open() const { return db_ != nullptr; }

  // Every row of the query, each column as text ("" for null).
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const {
    std::vector<std::vector<std::string>> out;
    sqlite3_stmt* st = nullptr;
    if (db_ == nullptr || sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return out;
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* t = sqlite3_column_text(st, i);
        row.push_back(t != nullptr ? reinterpret_cast<const char*>(t) : "");
      }
      out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return out;
  }

 private:
  testsupport::TempDir dir_;
  sqlite3* db_ = nullptr;
  bool marked_ = false;
};

// The item rows 1..120 of character id (an empty slot reads as an empty record).
inline Bag ReadBag(const fs::path& file, const std::string& id) {
  Bag bag{};
  SaveReader r(file);
  const auto rows = r.Rows(
      "SELECT No, Name, Type, Type2, Pic1, Pic2, Hp, Mp, Dc, DcMax, DcSpeed, Mc, McMax, Df, DfMax, mf, "
      "mfMax, Nb, "
      "xihp, mabi, zd, dzlevel, luck, Acc, Weight, Money, NdDc, NdMc, NdLevel, JP, SP, Ex FROM Save2 WHERE "
      "ID = " +
      Quote(id));
  for (const auto& row : rows) {
    const int no = std::stoi(row[0]);
    if (no < 1 || no > kItemSlots) continue;
    ItemRecord& it = bag[static_cast<std::size_t>(no)];
    std::int32_t* const numbers[] = {&it.Type,    &it.Pic1,    &it.Pic2, &it.Hp,     &it.Mp,    &it.Dc,
                                     &it.DcMax,   &it.DcSpeed, &it.Mc,   &it.McMax,  &it.Df,    &it.DfMax,
                                     &it.Mf,      &it.MfMax,   &it.Nb,   &it.XiHP,   &it.MaBi,  &it.zd,
                                     &it.dzlevel, &it.Luck,    &it.Acc,  &it.Weight, &it.Money, &it.NdDc,
                                     &it.NdMc,    &it.NdLevel, &it.JP,   &it.SP,     &it.Ex};
    it.Name = row[1] == " " ? "" : row[1];
    it.Type2 = row[3] == " " ? "" : row[3];
    std::size_t col = 2;
    for (std::int32_t* n : numbers) {
      if (col == 3) ++col;  // Type2
      *n = std::stoi(row[col++]);
    }
    if (it.Name.empty()) it = ItemRecord{};
  }
  return bag;
}

// The character row as text, to see that a trade leaves it alone.
inline std::string Save1Row(const fs::path& file) {
  SaveReader r(file);
  std::string s;
  for (const auto& row : r.Rows("SELECT * FROM Save1")) {
    for (const std::string& v : row) s += v + "|";
  }
  return s;
}

// An item's identity over both saves: its name and its unique Ex.
inline std::string Identity(const ItemRecord& it) { return it.Name + "#" + std::to_string(it.Ex); }

// The filled slots of a bag with their items' identities, for messages and comparisons.
inline std::string BagText(const Bag& bag) {
  std::string s;
  for (std::size_t i = 1; i < bag.size(); ++i) {
    if (!bag[i].Name.empty()) s += std::to_string(i) + ":" + Identity(bag[i]) + " ";
  }
  return s;
}

inline std::multiset<std::string> Identities(const Bag& bag) {
  std::multiset<std::string> out;
  for (std::size_t i = 1; i < bag.size(); ++i) {
    if (!bag[i].Name.empty()) out.insert(Identity(bag[i]));
  }
  return out;
}

// The save is whole: the marker, a database that passes its integrity check, exactly the
// item rows 1..120 of the character, and the character row as it was.
inline void ExpectIntact(const Party& p, const std::string& save1Before) {
  SCOPED_TRACE(p.name);
  SaveReader r(p.SaveFile());
  ASSERT_TRUE(r.Marked()) << "the 20-byte marker";
  ASSERT_TRUE(r.Open());
  const auto check = r.Rows("PRAGMA integrity_check");
  ASSERT_EQ(check.size(), 1u);
  EXPECT_EQ(check[0][0], "ok");
  const auto nos = r.Rows("SELECT No FROM Save2 WHERE ID = " + Quote(p.name) + " ORDER BY No");
  ASSERT_EQ(nos.size(), 120u);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(nos[static_cast<std::size_t>(i)][0], std::to_string(i + 1));
  EXPECT_EQ(r.Rows("SELECT COUNT(*) FROM Save2")[0][0], "120");
  EXPECT_EQ(Save1Row(p.SaveFile()), save1Before);
}

// The journal's lines ("" when there is none).
inline std::string JournalText(const Party& p) {
  const auto bytes = plat::ReadAllBytes(p.Journal());
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

}  // namespace tradefiles
