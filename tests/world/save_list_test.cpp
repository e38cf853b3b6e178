// The title screen's character list: row layout and which files are listed; a damaged
// save ends the program without harming any file.
#include "world/save_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "platform/text.h"
#include "save_fixture.h"
#include "world/save_game.h"

namespace {

using namespace savetest;
using plat::db::Connection;
using plat::db::Value;

const char* const kUnreadable = "无法识别的存档文件！请将它移出存档文件夹！";

TEST(SaveListRow, NameIsPaddedToNineGbkBytesAndReadBack) {
  const struct {
    std::string name, padded, readBack;
  } names[] = {
      {"甲", "甲" + std::string(7, ' '), "甲"},
      {"甲乙", "甲乙" + std::string(5, ' '), "甲乙"},
      {"甲乙丙", "甲乙丙" + std::string(3, ' '), "甲乙丙"},
      {"甲乙丙丁", "甲乙丙丁" + std::string(1, ' '), "甲乙丙丁"},
      {"ab", "ab" + std::string(7, ' '), "ab"},
      {"abcdefghij", "abcdefghij", "abcd"},  // the list shows a name longer than four cut
  };
  for (const auto& n : names) {
    const std::string row = SaveListRow(n.name, "战士", 12, "2024-01-02 03:04:05", "普通");
    EXPECT_EQ(row, n.padded + " 战士 等级：12 2024-01-02 03:04:05 普通") << n.name;
    EXPECT_EQ(RowName(row), n.readBack) << n.name;
    EXPECT_EQ(RowMode(row), "普通") << n.name;
  }
  EXPECT_EQ(RowMode(SaveListRow("甲乙丙", "法师", 7, "2024-01-02 03:04:05", "专家")), "专家");
}

TEST(SaveListRow, LevelIsPaddedToTwoCharacters) {
  EXPECT_EQ(SaveListRow("甲乙丙丁", "道士", 7, "D", "作弊"), "甲乙丙丁  道士 等级：7  D 作弊");
  EXPECT_EQ(SaveListRow("甲乙丙丁", "道士", 12, "D", "作弊"), "甲乙丙丁  道士 等级：12 D 作弊");
  EXPECT_EQ(SaveListRow("甲乙丙丁", "道士", 120, "D", "作弊"), "甲乙丙丁  道士 等级：120 D 作弊");
  // An empty date adds nothing between its two blanks.
  EXPECT_EQ(SaveListRow("甲", "战士", 1, "", "普通"), "甲        战士 等级：1   普通");
}

TEST(SaveListRow, SpacesOfZeroOrLessIsEmpty) {
  EXPECT_EQ(Spaces(3), "   ");
  EXPECT_EQ(Spaces(0), "");
  EXPECT_EQ(Spaces(-2), "");
}

class SaveListTest : public ::testing::Test {
 protected:
  void Make(const std::string& file, const std::string& id, long level, const std::string& mode,
            const std::string& date = "2024-05-06 07:08:09") {
    MakeSave(folder.Save() / fs::u8path(file), id, "战士", true, {}, [&](Connection& c) {
      c.Execute("UPDATE Save1 SET Level = ?, M20 = ?, Date = ?", {Value(level), Value(mode), Value(date)});
    });
  }
  std::vector<std::string> Rows() const { return ui::Form1.IdList->Items; }

  GameFolder folder;
};

TEST_F(SaveListTest, ListsFilesEndingInKzsByFileName) {
  Make("b.kzs", "乙", 12, "专家");
  Make("a.kzs", "甲", 7, "普通");
  Make("akzs", "丙丙丙", 120, "作弊");
  Make("a.KZS", "丁", 1, "普通");
  Make("a.kzs.bak", "戊", 1, "普通");
  ui::Form1.IdList->AddItem("stale row");
  const auto before = Snapshot(folder.Save());

  ListSaveGames();

  EXPECT_EQ(Rows(), (std::vector<std::string>{
                        "甲        战士 等级：7  2024-05-06 07:08:09 普通",
                        "丙丙丙    战士 等级：120 2024-05-06 07:08:09 作弊",
                        "乙        战士 等级：12 2024-05-06 07:08:09 专家",
                    }));
  EXPECT_EQ(plat::db::DataSourceOf(G.SaveConnStr), (folder.Save() / "b.kzs").string());
  EXPECT_EQ(Snapshot(folder.Save()), before);  // only read
}

TEST_F(SaveListTest, RowShowsTheNameStoredInTheFile) {
  Make("renamed.kzs", "甲乙", 30, "普通");
  Make("twin.kzs", "甲乙", 31, "普通");
  ListSaveGames();
  ASSERT_EQ(Rows().size(), 2u);
  EXPECT_EQ(plat::Trim(plat::Left(Rows()[0], 4)), "甲乙");
  EXPECT_EQ(plat::Trim(plat::Left(Rows()[1], 4)), "甲乙");
}

TEST_F(SaveListTest, UnmarkedSaveIsListedAndLeftAsItIs) {
  MakeSave(folder.SaveFile("甲"), "甲", "法师", false, {}, [](Connection&) {});
  const auto before = Snapshot(folder.Save());
  ListSaveGames();
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(Rows()[0], "甲        法师 等级：1   普通");
  EXPECT_EQ(Snapshot(folder.Save()), before);
}

TEST_F(SaveListTest, EmptyOrMissingFolderGivesAnEmptyList) {
  ui::Form1.IdList->AddItem("stale row");
  ListSaveGames();
  EXPECT_TRUE(Rows().empty());
  fs::remove(folder.Save());
  ui::Form1.IdList->AddItem("stale row");
  ListSaveGames();
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SaveListTest, DamagedSaveShowsTheMessageAndEndsWithEveryFileIntact) {
  std::mt19937 rng(7);
  Bytes random(5000);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  const struct {
    const char* what;
    std::function<void(const fs::path&)> make;
  } damaged[] = {
      {"random bytes", [&](const fs::path& f) { ASSERT_TRUE(plat::WriteAllBytes(f, random)); }},
      {"marker and random bytes",
       [&](const fs::path& f) {
         Bytes b = FileHeaderBytes();
         b.insert(b.end(), random.begin(), random.end());
         ASSERT_TRUE(plat::WriteAllBytes(f, b));
       }},
      {"an empty file", [](const fs::path& f) { ASSERT_TRUE(plat::WriteAllBytes(f, {})); }},
      {"no Save1 table",
       [](const fs::path& f) {
         MakeSave(f, "乙", "战士", true, {}, [](Connection& c) { c.Execute("DROP TABLE Save1"); });
       }},
      {"no character row",
       [](const fs::path& f) {
         MakeSave(f, "乙", "战士", true, {}, [](Connection& c) { c.Execute("DELETE FROM Save1"); });
       }},
      {"no M20 column",
       [](const fs::path& f) {
         MakeSave(f, "乙", "战士", true, {}, [](Connection& c) { c.Execute("ALTER TABLE Save1 DROP COLUMN M20"); });
       }},
  };
  Make("a.kzs", "甲", 7, "普通");
  Make("c.kzs", "丙", 9, "普通");
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.what);
    fs::path bad = folder.Save() / "b.kzs";
    fs::remove(bad);
    d.make(bad);
    const auto before = Snapshot(folder.Save());
    testsupport::ScopedDialogs dialogs;
    testsupport::ScopedEndThrows endThrows;
    EXPECT_THROW(ListSaveGames(), plat::ProgramEnded);
    ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.dialogs.shown[0].text, kUnreadable);
    EXPECT_EQ(dialogs.dialogs.shown[0].buttons, plat::kOkOnly);
    EXPECT_EQ(Snapshot(folder.Save()), before);
  }
}

}  // namespace
