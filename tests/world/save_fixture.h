// A throw-away game folder with save files built from the save template's schema.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/db.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/file_marker.h"

namespace savetest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline std::string TemplateSchema() {
  std::ifstream in(testsupport::DataDir() / "tables" / "save_template.sql");
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline Bytes ReadFile(const fs::path& p) { return plat::ReadAllBytes(p).value_or(Bytes{}); }

// Every file of a folder with its bytes, by name.
inline std::vector<std::pair<std::string, Bytes>> Snapshot(const fs::path& dir) {
  std::vector<std::pair<std::string, Bytes>> out;
  for (const auto& e : fs::directory_iterator(dir)) out.emplace_back(e.path().filename().string(), ReadFile(e.path()));
  std::sort(out.begin(), out.end());
  return out;
}

// A program folder of its own with an empty "Save" folder, a fresh game state and a
// fresh main window; the earlier program folder comes back at the end.
class GameFolder {
 public:
  GameFolder() : previous_(plat::ProgramFolder()) {
    plat::SetProgramFolder(dir_.path());
    fs::create_directories(dir_.path() / "Save");
    G = GameState{};
    ui::BuildMainWindow();
  }
  ~GameFolder() {
    plat::SetProgramFolder(previous_);
    MarkedDbFaults() = {};
  }
  const fs::path& path() const { return dir_.path(); }
  fs::path Save() const { return dir_.path() / "Save"; }
  fs::path SaveFile(const std::string& id) const { return Save() / fs::u8path(id + ".kzs"); }

 private:
  testsupport::TempDir dir_;
  fs::path previous_;
};

// Builds a save the way character creation does: the template's tables, one Save1 row
// (ID, ZhiYe) and 120 Save2 rows (ID, No) in the given order of No, then the marker.
// `prepare` may change the database before it is marked.
template <typename Prepare>
void MakeSave(const fs::path& file, const std::string& id, const std::string& zhiYe, bool marked,
              std::vector<int> order, Prepare prepare) {
  if (order.empty()) {
    for (int i = 1; i <= 120; ++i) order.push_back(i);
  }
  fs::path scratch = file;
  scratch += ".build";
  {
    plat::db::Connection c;
    c.Create(scratch);
    c.ExecuteScript(TemplateSchema());
    c.Begin();
    c.Execute("INSERT INTO Save1 (ID, ZhiYe) VALUES (?, ?)", {plat::db::Value(id), plat::db::Value(zhiYe)});
    for (int no : order) {
      c.Execute("INSERT INTO Save2 (ID, No) VALUES (?, ?)", {plat::db::Value(id), plat::db::Value(no)});
    }
    c.Commit();
    prepare(c);
  }
  Bytes db = ReadFile(scratch);
  fs::remove(scratch);
  Bytes out = marked ? FileHeaderBytes() : Bytes{};
  out.insert(out.end(), db.begin(), db.end());
  ASSERT_TRUE(plat::WriteAllBytes(file, out));
}

inline void MakeSave(const fs::path& file, const std::string& id, const std::string& zhiYe = "战士") {
  MakeSave(file, id, zhiYe, true, {}, [](plat::db::Connection&) {});
}

// Runs a query on a save file without changing it.
template <typename Work>
void Inspect(const fs::path& file, Work work) {
  MarkedDatabase db(file, MarkedDatabase::Mode::Read);
  work(db.Db());
}

// Changes a save file in place (marker kept).
template <typename Work>
void Modify(const fs::path& file, Work work) {
  MarkedDatabase db(file, MarkedDatabase::Mode::Write);
  work(db.Db());
  db.Commit();
}

// Writes a ".zb" table of 280 pairs starting from `base`.
inline void MakeZb(const fs::path& file, int base, int pairs = 280) {
  fs::create_directories(file.parent_path());
  std::string text;
  for (int f = 1; f <= pairs; ++f) text += std::to_string(base + f) + "," + std::to_string(-(base + f)) + "\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(file, Bytes(text.begin(), text.end())));
}

// True when a system message line shows the text.
inline bool HasMessage(const std::string& text) {
  for (const auto& m : G.SysMessages) {
    if (m.Life > 0 && m.Text == text) return true;
  }
  return false;
}

inline const SysMessage* FindMessage(const std::string& text) {
  for (const auto& m : G.SysMessages) {
    if (m.Life > 0 && m.Text == text) return &m;
  }
  return nullptr;
}

}  // namespace savetest
