// The trade's view of a save: loading a character's bag with every check, the
// all-or-nothing rewrite of its item rows, and the lock that keeps one user per save.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "save_fixture.h"
#include "world/save_game.h"

namespace {

using namespace savetest;
using plat::FileLock;
using plat::db::Connection;
using plat::db::Value;

const std::string kId = "阿青";

ItemRecord Sword(int n) {
  ItemRecord it;
  it.Name = "剑" + std::to_string(n);
  it.Type = 11;
  it.Type2 = "A";
  it.Pic1 = n;
  it.Dc = n * 3;
  it.Money = 100 + n;
  return it;
}

class TradeSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSave(folder.SaveFile(kId), kId, "战士", true, {}, [](Connection& c) {
      c.Execute("UPDATE Save1 SET M20 = '普通'");
      c.Execute("UPDATE Save2 SET Name = ' ', Type2 = ' '");
      c.Execute("UPDATE Save2 SET Name = '剑7', Type = 11, Type2 = 'A', Pic1 = 7, Dc = 21, Money = 107 WHERE No = 25");
    });
  }
  GameFolder folder;
};

TEST_F(TradeSaveTest, LoadReadsEveryRowByItsNumberAndHoldsTheLock) {
  TradeSave bag;
  bag.items[30].Name = "留下的";
  FileLock lock;
  ASSERT_EQ(LoadSaveForTrade(" " + kId + "  ", bag, lock), TradeLoadError::None);
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(bag.id, kId);
  EXPECT_EQ(bag.mode, "普通");
  EXPECT_EQ(bag.items[25], Sword(7));
  EXPECT_EQ(bag.items[30], ItemRecord{});  // cleared before loading
  // A second user of the same save, in this process or another, is refused.
  TradeSave again;
  FileLock second;
  EXPECT_EQ(LoadSaveForTrade(kId, again, second), TradeLoadError::InUse);
  EXPECT_FALSE(second.Held());
  const pid_t child = fork();
  if (child == 0) {
    FileLock other;
    _exit(LockSave(kId, other) == FileLock::Result::Busy ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  lock.Unlock();
  EXPECT_EQ(LoadSaveForTrade(kId, again, second), TradeLoadError::None);
}

TEST_F(TradeSaveTest, LoadRefusesSavesThatCannotTrade) {
  struct Case {
    const char* what;
    const char* sql;
    TradeLoadError error;
  };
  const Case cases[] = {
      {"cheat account", "UPDATE Save1 SET M20 = '作弊'", TradeLoadError::NotTradable},
      {"old account", "UPDATE Save1 SET M20 = ''", TradeLoadError::NotTradable},
      {"missing row", "DELETE FROM Save2 WHERE No = 77", TradeLoadError::BadItemRows},
      {"duplicate row", "INSERT INTO Save2 (ID, No) VALUES ('阿青', 5)", TradeLoadError::BadItemRows},
      {"row 0", "UPDATE Save2 SET No = 0 WHERE No = 120", TradeLoadError::BadItemRows},
      {"row 121", "INSERT INTO Save2 (ID, No) VALUES ('阿青', 121)", TradeLoadError::BadItemRows},
      {"bad number", "UPDATE Save2 SET Dc = 'x' WHERE No = 3", TradeLoadError::Unreadable},
      {"no character row", "DELETE FROM Save1", TradeLoadError::Unreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(folder.SaveFile(kId));
    MakeSave(folder.SaveFile(kId), kId, "战士", true, {}, [&](Connection& db) {
      db.Execute("UPDATE Save1 SET M20 = '普通'");
      db.Execute(c.sql);
    });
    const auto before = Snapshot(folder.Save());
    TradeSave bag;
    FileLock lock;
    EXPECT_EQ(LoadSaveForTrade(kId, bag, lock), c.error);
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(Snapshot(folder.Save()), before);
  }
  TradeSave bag;
  FileLock lock;
  EXPECT_EQ(LoadSaveForTrade("无此人", bag, lock), TradeLoadError::Unreadable);
  EXPECT_EQ(LoadSaveForTrade("../阿青", bag, lock), TradeLoadError::Unreadable);
}

TEST_F(TradeSaveTest, RowsAreRewrittenAllOrNothing) {
  // Another character's rows in the same file, and the character row, stay as they are.
  Modify(folder.SaveFile(kId), [](Connection& c) {
    c.Execute("INSERT INTO Save2 (ID, No, Name) VALUES ('别人', 25, '他的剑')");
    c.Execute("UPDATE Save1 SET Level = 33");
  });
  TradeSave bag;
  FileLock lock;
  ASSERT_EQ(LoadSaveForTrade(kId, bag, lock), TradeLoadError::None);

  bag.items[25] = ItemRecord{};
  bag.items[40] = Sword(9);
  ASSERT_TRUE(WriteItemRows(kId, bag.items));
  Inspect(folder.SaveFile(kId), [](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT Level FROM Save1").AsLong(), 33);
    EXPECT_EQ(c.Scalar("SELECT COUNT(*) FROM Save2").AsLong(), 121);
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE ID = '别人'").AsText(), "他的剑");
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 25").AsText(), " ");
  });
  TradeSave back;
  FileLock other;
  lock.Unlock();
  ASSERT_EQ(LoadSaveForTrade(kId, back, other), TradeLoadError::None);
  for (int i = 1; i <= 120; ++i) EXPECT_EQ(back.items[static_cast<std::size_t>(i)], bag.items[static_cast<std::size_t>(i)]) << i;

  // A file where a slot has two rows, or none, is not written at all.
  for (const char* sql : {"INSERT INTO Save2 (ID, No) VALUES ('阿青', 120)", "DELETE FROM Save2 WHERE No = 120"}) {
    SCOPED_TRACE(sql);
    Modify(folder.SaveFile(kId), [&](Connection& c) { c.Execute(sql); });
    const auto before = Snapshot(folder.Save());
    bag.items[41] = Sword(10);
    EXPECT_FALSE(WriteItemRows(kId, bag.items));
    EXPECT_EQ(Snapshot(folder.Save()), before);
    Modify(folder.SaveFile(kId), [](Connection& c) {
      c.Execute("DELETE FROM Save2 WHERE No = 120");
      c.Execute("INSERT INTO Save2 (ID, No) VALUES ('阿青', 120)");
    });
  }
  // A failure at any write leaves the file as it was.
  const auto before = Snapshot(folder.Save());
  for (int write : {1, 60, 120}) {
    MarkedDbFaults() = {MarkedDbStep::Write, write};
    EXPECT_FALSE(WriteItemRows(kId, bag.items));
    MarkedDbFaults() = {};
    EXPECT_EQ(Snapshot(folder.Save()), before);
  }
  EXPECT_FALSE(WriteItemRows("无此人", bag.items));
}

TEST(FileLockTest, AppendsAreKeptAndLocksEndWithTheirHolder) {
  testsupport::TempDir dir;
  const fs::path log = dir.path() / "j.log";
  ASSERT_TRUE(plat::AppendDurably(log, "一\n"));
  ASSERT_TRUE(plat::AppendDurably(log, "two\n"));
  EXPECT_EQ(ReadFile(log), (Bytes{0xE4, 0xB8, 0x80, '\n', 't', 'w', 'o', '\n'}));
  EXPECT_FALSE(plat::AppendDurably(dir.path() / "missing" / "j.log", "x"));

  FileLock a;
  ASSERT_EQ(a.TryLock(dir.path() / "x.lock"), FileLock::Result::Locked);
  FileLock b;
  EXPECT_EQ(b.TryLock(dir.path() / "x.lock"), FileLock::Result::Busy);
  FileLock moved = std::move(a);
  EXPECT_EQ(b.TryLock(dir.path() / "x.lock"), FileLock::Result::Busy);
  moved.Unlock();
  EXPECT_EQ(b.TryLock(dir.path() / "x.lock"), FileLock::Result::Locked);
  EXPECT_EQ(a.TryLock(dir.path() / "none" / "x.lock"), FileLock::Result::Failed);
}

}  // namespace
