// Tests on a copy of the sample game folder with its real item table: items built by
// name, the list of every item the table holds, and the system messages shown.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "support/test_support.h"
#include "ui/game_folder_fixture.h"
#include "world/items.h"

namespace sampleitems {

// Every item name of the sample table, in its order.
inline std::vector<std::string> AllNames() {
  std::ifstream in(testsupport::DataDir() / "tables" / "items.tsv");
  std::vector<std::string> names;
  std::string line;
  int row = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (row++ == 0) continue;  // the column names
    names.push_back(line.substr(0, line.find('\t')));
  }
  return names;
}

inline ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

class SampleItemsTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    G.ItemDbPath = Folder() / "date" / "Mon" / "74.dat";
    G.ItemConnStr = "Data Source=" + G.ItemDbPath.string() + ";";
    G.GAMELEVEL = 1;
    G.Player.HP = G.Player.HpMax = 50;
    G.Player.Heavy = 1000;
  }

  // The item of that name as the sample table builds it (no bonus rolls).
  static ItemRecord Item(const std::string& name) {
    std::string n = name;
    ItemRecord r = MakeItemFromDb(n);
    EXPECT_EQ(r.Name, name) << "the sample table has no " << name;
    return r;
  }
  // The first sample item of a Type.
  static ItemRecord OfType(std::int32_t type) {
    for (const std::string& name : AllNames()) {
      ItemRecord r = Item(name);
      if (r.Type == type) return r;
    }
    ADD_FAILURE() << "no sample item of Type " << type;
    return {};
  }

  // Fills the bag, leaving the last `freeSlots` slots empty.
  static void FillBag(int freeSlots) {
    const ItemRecord stone = OfType(3);
    for (int i = 21; i <= 56 - freeSlots; ++i) Slot(i) = stone;
  }

  // The texts of the system messages shown, oldest first.
  static std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const SysMessage& m : G.SysMessages) {
      if (m.Life > 0) out.push_back(m.Text);
    }
    return out;
  }
};

}  // namespace sampleitems
