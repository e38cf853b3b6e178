// A new character's save made from the shipped template: its rows for each class and
// mode, loading it back, and the failures that must leave the save folder untouched.
#include "world/save_create.h"

#include <gtest/gtest.h>

#include "save_fixture.h"
#include "world/save_game.h"

namespace {

using namespace savetest;
using plat::db::Connection;
using plat::db::Recordset;
using plat::db::Value;

class SaveCreateTest : public ::testing::Test {
 protected:
  SaveCreateTest() {
    fs::create_directories(folder.path() / "date");
    fs::copy_file(testsupport::GameDir() / "date" / "Sk.dat", Template());
  }
  fs::path Template() const { return folder.path() / "date" / "Sk.dat"; }
  std::vector<std::string> SaveFolderNames() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.Save())) names.push_back(e.path().filename().string());
    return names;
  }

  GameFolder folder;
};

struct ClassCase {
  const char* zhiYe;
  ClassStartValues v;
};

const ClassCase kClasses[] = {
    {"战士", {30, 30, 30, 30, 1, 3, 0, 1, 1, 2, 0, 1, 35}},
    {"道士", {28, 28, 35, 35, 1, 2, 1, 2, 1, 1, 1, 1, 30}},
    {"法师", {25, 25, 40, 40, 0, 1, 1, 3, 0, 1, 1, 3, 25}},
};

TEST_F(SaveCreateTest, ShippedTemplateIsTheMarkedEmptySave) {
  EXPECT_TRUE(HasFileHeader(ReadFile(Template())));
  Inspect(Template(), [](Connection& db) {
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Save1").AsInt(), 0);
    EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Save2").AsInt(), 0);
  });
}

TEST_F(SaveCreateTest, EveryClassInBothModesStartsWithItsValues) {
  const char* const names[] = {"甲", "乙丙", "丁戊己", "庚辛壬癸", "ab", "中ab"};
  int n = 0;
  for (const ClassCase& c : kClasses) {
    for (bool expert : {false, true}) {
      SCOPED_TRACE(std::string(c.zhiYe) + (expert ? " 专家" : " 普通"));
      const std::string name = names[n++];
      const SaveCreateResult made = CreateSaveGame(name, c.zhiYe, expert);
      ASSERT_TRUE(made);
      EXPECT_EQ(made.file, folder.SaveFile(name));
      const Bytes bytes = ReadFile(made.file);
      ASSERT_GE(bytes.size(), kFileHeaderLength);
      EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + kFileHeaderLength), FileHeaderBytes());

      Inspect(made.file, [&](Connection& db) {
        EXPECT_EQ(db.Scalar("SELECT COUNT(*) FROM Save1").AsInt(), 1);
        Recordset rs;
        rs.Open("Select * from Save1", db);
        EXPECT_EQ(rs["ID"].AsText(), name);
        EXPECT_EQ(rs["ZhiYe"].AsText(), c.zhiYe);
        EXPECT_EQ(rs["M20"].AsText(), expert ? "专家" : "普通");
        EXPECT_EQ(rs["M1"].AsText(), "??0");  // left at the template's default
        EXPECT_EQ(rs["Bank"].AsInt(), 0);
        EXPECT_EQ(rs["Acc"].AsInt(), 5);
        EXPECT_EQ(rs["DcSpeed"].AsInt(), 5);
        EXPECT_EQ(rs["Ex"].AsInt(), 1);
        EXPECT_EQ(rs["Direction"].AsInt(), 3);
        EXPECT_EQ(rs["Money"].AsInt(), 50);
        for (const char* col : {"MainMap", "SubMap", "GoMain", "GoSub"}) EXPECT_EQ(rs[col].AsInt(), 1) << col;
        for (const char* col : {"X", "Y", "GoX", "GoY"}) EXPECT_EQ(rs[col].AsInt(), 13) << col;
        rs.Close();

        // 120 item rows in slot order, the cloth armour in slot 5 only.
        rs.Open("Select * from Save2", db);
        int no = 0;
        for (; !rs.Eof(); rs.MoveNext()) {
          ++no;
          EXPECT_EQ(rs["No"].AsInt(), no);
          EXPECT_EQ(rs["ID"].AsText(), name);
          EXPECT_EQ(rs["Name"].AsText(), no == 5 ? "布衣" : " ") << no;
        }
        EXPECT_EQ(no, 120);
      });

      G = GameState{};
      ASSERT_TRUE(LoadSaveGame(name));
      const PlayerRecord& p = G.Player;
      EXPECT_EQ(p.ID, name);
      EXPECT_EQ(p.ZhiYe, c.zhiYe);
      const std::int32_t got[] = {p.HP, p.HpMax, p.Mp, p.MpMax, p.Dc, p.DcMax, p.Mc,
                                  p.McMax, p.Df, p.DfMax, p.Mf, p.MfMax, p.Heavy};
      const std::int32_t want[] = {c.v.HP, c.v.HpMax, c.v.Mp, c.v.MpMax, c.v.Dc, c.v.DcMax, c.v.Mc,
                                   c.v.McMax, c.v.Df, c.v.DfMax, c.v.Mf, c.v.MfMax, c.v.Heavy};
      for (std::size_t k = 0; k < std::size(want); ++k) EXPECT_EQ(got[k], want[k]) << "value " << k;
      EXPECT_EQ(p.Level, 1);
      EXPECT_EQ(p.Ex, 1);
      EXPECT_EQ(p.LevelPoint, 1);
      EXPECT_EQ(p.SpPoint, 1);
      EXPECT_EQ(p.Nb, 0);
      EXPECT_EQ(p.Money, 50);
      EXPECT_EQ(p.Direction, 3);
      EXPECT_EQ(G.MainMap, 1);
      EXPECT_EQ(G.SubMap, 1);
      EXPECT_EQ(G.GoX, 13);
      EXPECT_EQ(G.GoY, 13);
      EXPECT_EQ(G.ViewX, 6);
      EXPECT_EQ(G.ViewY, 6);
      for (int i = 1; i <= kQuestFlags; ++i) EXPECT_EQ(G.Et[static_cast<std::size_t>(i)], 0);
      EXPECT_EQ(G.ExpertMode, expert ? 1 : 0);
      const ItemRecord& cloth = p.Items[5];
      EXPECT_EQ(cloth.Name, "布衣");
      EXPECT_EQ(cloth.Type, 12);
      EXPECT_EQ(cloth.Type2, "衣");
      EXPECT_EQ(cloth.Pic1, 32);
      EXPECT_EQ(cloth.Pic2, 1);
      EXPECT_EQ(cloth.DfMax, 1);
      EXPECT_EQ(cloth.Weight, 3);
      EXPECT_EQ(cloth.Money, 65);
      for (int i = 1; i <= kItemSlots; ++i) {
        if (i != 5) {
          EXPECT_EQ(p.Items[static_cast<std::size_t>(i)], ItemRecord{}) << i;
        }
      }
    }
  }
  EXPECT_EQ(SaveFolderNames().size(), 6u);  // no work files left behind
}

TEST_F(SaveCreateTest, AnExistingSaveIsNeverReplaced) {
  ASSERT_TRUE(CreateSaveGame("张三", "战士", false));
  const Bytes before = ReadFile(folder.SaveFile("张三"));
  EXPECT_EQ(CreateSaveGame("张三", "法师", true).error, SaveCreateError::AlreadyExists);
  EXPECT_EQ(ReadFile(folder.SaveFile("张三")), before);

  // A save whose name differs only in letter case is the same file to the game.
  MakeSave(folder.SaveFile("AB"), "AB");
  const Bytes ab = ReadFile(folder.SaveFile("AB"));
  EXPECT_EQ(CreateSaveGame("ab", "道士", false).error, SaveCreateError::AlreadyExists);
  EXPECT_EQ(ReadFile(folder.SaveFile("AB")), ab);
  EXPECT_FALSE(fs::exists(folder.SaveFile("ab")));
  EXPECT_EQ(SaveFolderNames().size(), 2u);
}

TEST_F(SaveCreateTest, RefusedNamesAndClassesMakeNoFile) {
  EXPECT_EQ(CreateSaveGame("", "战士", false).error, SaveCreateError::BadName);
  EXPECT_EQ(CreateSaveGame("a/b", "战士", false).error, SaveCreateError::BadName);
  EXPECT_EQ(CreateSaveGame("..", "战士", false).error, SaveCreateError::BadName);
  EXPECT_EQ(CreateSaveGame("张三", "选择", false).error, SaveCreateError::BadClass);
  EXPECT_EQ(CreateSaveGame("张三", "战士 ", false).error, SaveCreateError::BadClass);
  EXPECT_TRUE(SaveFolderNames().empty());
  EXPECT_FALSE(fs::exists(folder.path() / "a"));
}

TEST_F(SaveCreateTest, MissingTemplateLeavesNothing) {
  fs::remove(Template());
  EXPECT_EQ(CreateSaveGame("张三", "战士", false).error, SaveCreateError::NoTemplate);
  EXPECT_TRUE(SaveFolderNames().empty());
}

TEST_F(SaveCreateTest, DamagedTemplatesLeaveNothing) {
  // Not a database at all.
  ASSERT_TRUE(plat::WriteAllBytes(Template(), Bytes(4096, 0x5A)));
  EXPECT_EQ(CreateSaveGame("张三", "战士", false).error, SaveCreateError::WriteFailed);
  EXPECT_TRUE(SaveFolderNames().empty());

  // A database without the item table.
  fs::remove(Template());
  {
    Connection c;
    c.Create(Template());
    c.ExecuteScript("CREATE TABLE Save1 (ID TEXT, ZhiYe TEXT);");
  }
  EXPECT_EQ(CreateSaveGame("张三", "战士", false).error, SaveCreateError::WriteFailed);
  EXPECT_TRUE(SaveFolderNames().empty());

  // A template that already holds a character would give the save two of them.
  fs::remove(Template());
  MakeSave(Template(), "旧人");
  EXPECT_EQ(CreateSaveGame("张三", "战士", false).error, SaveCreateError::WriteFailed);
  EXPECT_TRUE(SaveFolderNames().empty());
}

TEST_F(SaveCreateTest, AFailureAtAnyStepLeavesNothing) {
  const MarkedDbFaultInjection faults[] = {
      {MarkedDbStep::Copy, 1},  {MarkedDbStep::Open, 1},   {MarkedDbStep::Write, 1},  {MarkedDbStep::Write, 60},
      {MarkedDbStep::Write, 121}, {MarkedDbStep::Close, 1}, {MarkedDbStep::Mark, 1},   {MarkedDbStep::Rename, 1},
  };
  for (const auto& f : faults) {
    SCOPED_TRACE(static_cast<int>(f.step) * 1000 + f.writeNumber);
    MarkedDbFaults() = f;
    EXPECT_EQ(CreateSaveGame("张三", "战士", false).error, SaveCreateError::WriteFailed);
    MarkedDbFaults() = {};
    EXPECT_TRUE(SaveFolderNames().empty());
  }
  // The last write (slot 120) is number 121: with it done the save is complete.
  MarkedDbFaults() = {MarkedDbStep::Write, 122};
  EXPECT_TRUE(CreateSaveGame("张三", "战士", false));
  MarkedDbFaults() = {};
}

TEST_F(SaveCreateTest, MissingSaveFolderIsMadeAndLeftoversAreIgnored) {
  fs::remove_all(folder.Save());
  ASSERT_TRUE(CreateSaveGame("李四", "道士", false));
  EXPECT_TRUE(fs::exists(folder.SaveFile("李四")));

  // A work file left by an interrupted creation does not stand in the way.
  fs::path leftover = folder.SaveFile("王五");
  leftover += ".new";
  ASSERT_TRUE(plat::WriteAllBytes(leftover, Bytes(10, 1)));
  ASSERT_TRUE(CreateSaveGame("王五", "法师", true));
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(LoadSaveGame("王五"));
  EXPECT_EQ(G.Player.ZhiYe, "法师");
}

TEST_F(SaveCreateTest, AnUnmarkedTemplateStillGivesAMarkedSave) {
  ASSERT_TRUE(StripFileHeader(Template()));
  ASSERT_FALSE(HasFileHeader(ReadFile(Template())));
  ASSERT_TRUE(CreateSaveGame("赵六", "战士", false));
  EXPECT_TRUE(HasFileHeader(ReadFile(folder.SaveFile("赵六"))));
}

}  // namespace
