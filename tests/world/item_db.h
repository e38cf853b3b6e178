// Small item and NPC databases for tests, built from the game's own table schemas, and
// a fresh game state and main window on a throw-away program folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/db.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace itemdb {

namespace fs = std::filesystem;

inline std::string Schema(const std::string& file) {
  std::ifstream in(testsupport::DataDir() / "tables" / file);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// One row of table Item; every number defaults to 0.
struct ItemRow {
  std::string Name;
  int Type = 0;
  std::string Type2 = "x";
  int Pic1 = 0, Pic2 = 0, Hp = 0, Mp = 0, Dc = 0, DcMax = 0, DcSpeed = 0, Mc = 0, McMax = 0, Df = 0, DfMax = 0,
      Mf = 0, MfMax = 0, Nb = 0, XiHP = 0, MaBi = 0, zd = 0, Luck = 0, Acc = 0, Weight = 0, Money = 0, NdDc = 0,
      NdLevel = 0, NdMc = 0;
};

inline void CreateItemDb(const fs::path& file, const std::vector<ItemRow>& rows) {
  plat::db::Connection c;
  c.Create(file);
  c.ExecuteScript(Schema("item_table.sql"));
  for (const ItemRow& r : rows) {
    using V = plat::db::Value;
    c.Execute("INSERT INTO Item VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
              {V(r.Name), V(r.Type), V(r.Type2), V(r.Pic1), V(r.Pic2), V(r.Hp), V(r.Mp), V(r.Dc), V(r.DcMax),
               V(r.DcSpeed), V(r.Mc), V(r.McMax), V(r.Df), V(r.DfMax), V(r.Mf), V(r.MfMax), V(r.Nb), V(r.XiHP),
               V(r.MaBi), V(r.zd), V(r.Luck), V(r.Acc), V(r.Weight), V(r.Money), V(r.NdDc), V(r.NdLevel),
               V(r.NdMc)});
  }
  c.Close();
}

struct NpcRow {
  std::string NpcCode, map, Inf;
};

inline void CreateNpcDb(const fs::path& file, const std::vector<NpcRow>& rows) {
  plat::db::Connection c;
  c.Create(file);
  c.ExecuteScript(Schema("npc_table.sql"));
  for (const NpcRow& r : rows) {
    c.Execute("INSERT INTO NPC (NpcCode, map, Inf) VALUES (?,?,?)",
              {plat::db::Value(r.NpcCode), plat::db::Value(r.map), plat::db::Value(r.Inf)});
  }
  c.Close();
}

inline std::string ConnectionTo(const fs::path& file) { return "Data Source=" + file.string() + ";"; }

// A random draw that makes Int(n * u) come out 0 (a hit of any "k in n"), and one that
// makes it n - 1 (a miss of every "k in n" with k < n).
constexpr double kHit = 0.0;
constexpr double kMiss = 0.999;

// A fresh game state and main window on a program folder of its own, with the sound
// recorded, dialogs scripted and the end of the program turned into an exception.
class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ui::BuildMainWindow();
    plat::SetSoundDevice(&sound);
  }
  void TearDown() override {
    plat::SetSoundDevice(nullptr);
    plat::SetRandomSource(nullptr);
    G = GameState{};
    plat::SetProgramFolder(saved_);
  }

  // The item table of this test, and the game's connection string to it.
  void UseItems(const std::vector<ItemRow>& rows) {
    const fs::path file = dir / "items.dat";
    CreateItemDb(file, rows);
    G.ItemConnStr = ConnectionTo(file);
    G.ItemDbPath = file;
  }
  void UseNpcs(const std::vector<NpcRow>& rows) {
    const fs::path file = dir / "npcs.dat";
    CreateNpcDb(file, rows);
    G.NpcConnStr = ConnectionTo(file);
    G.NpcDbPath = file;
  }

  // Fills bag slots 21..56 with a filler item, leaving `freeSlots` at the end empty.
  void FillBag(int freeSlots, const std::string& filler = "石头") {
    for (int i = 21; i <= 56 - freeSlots; ++i) G.Player.Items[static_cast<std::size_t>(i)].Name = filler;
  }

  // A current part of w x h cells with the player on (px, py).
  void OnPart(int part, int w, int h, int px, int py) {
    SetPartSize(part, w, h);
    G.SubMap = part;
    G.ViewX = px - 8;
    G.ViewY = py - 8;
  }

  // The wave files played so far (file names only).
  std::vector<std::string> Waves() const {
    std::vector<std::string> out;
    for (const std::string& call : sound.calls) {
      if (call.rfind("wave ", 0) == 0) out.push_back(fs::u8path(call.substr(5)).filename().string());
    }
    return out;
  }

  int MessageCount() const {
    int n = 0;
    for (const auto& m : G.SysMessages) n += m.Life > 0 ? 1 : 0;
    return n;
  }
  const SysMessage* Message(const std::string& text) const {
    for (const auto& m : G.SysMessages) {
      if (m.Life > 0 && m.Text == text) return &m;
    }
    return nullptr;
  }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;
  plat::RecordingSound sound;

 private:
  fs::path saved_;
};

}  // namespace itemdb
