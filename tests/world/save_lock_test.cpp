// One user of a save, however the save is reached: a second game folder that shares the
// saves of the first (through a link or a bind mount) meets the same lock; the lock
// outlasts the writes of the save and its file stands only while it is held; a lock that
// cannot be taken says so.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_lock.h"
#include "save_fixture.h"
#include "world/save_game.h"

namespace {

using namespace savetest;
using plat::FileLock;

const std::string kId = "阿青";

// How a second game folder reaches the save of the first.
struct Reach {
  const char* what;
  void (*make)(const fs::path& first, const fs::path& second);
};

void LinkSaveFolder(const fs::path& first, const fs::path& second) {
  fs::create_directories(second);
  fs::create_directory_symlink(first / "Save", second / "Save");
}

void LinkSaveFile(const fs::path& first, const fs::path& second) {
  fs::create_directories(second / "Save");
  fs::create_symlink(first / "Save" / fs::u8path(kId + ".kzs"), second / "Save" / fs::u8path(kId + ".kzs"));
}

void LinkGameFolder(const fs::path& first, const fs::path& second) {
  fs::create_directory_symlink(first, second);
}

const Reach kReaches[] = {
    {"a linked save folder", LinkSaveFolder},
    {"a linked save file", LinkSaveFile},
    {"a linked game folder", LinkGameFolder},
};

class SaveLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSave(first.SaveFile(kId), kId, "战士", true, {},
             [](plat::db::Connection& c) { c.Execute("UPDATE Save1 SET M20 = '普通'"); });
  }
  void TearDown() override { plat::SetProgramFolder(first.path()); }

  // The files of the first game folder's Save folder.
  std::vector<std::string> SaveFolderFiles() const {
    auto names = plat::ListFiles(first.Save());
    std::sort(names.begin(), names.end());
    return names;
  }

  GameFolder first;  // the program folder unless a test moves it
  testsupport::TempDir others;
};

TEST_F(SaveLockTest, EveryWayToOneSaveMeetsOneLock) {
  int n = 0;
  for (const Reach& reach : kReaches) {
    const fs::path second = others.path() / std::to_string(++n);
    reach.make(first.path(), second);
    // Either folder holds the save (as a trade or a game does), the other is refused.
    for (const auto& [mine, theirs] : {std::pair(first.path(), second), std::pair(second, first.path())}) {
      SCOPED_TRACE(std::string(reach.what) + (mine == second ? ", held through it" : ", held directly"));
      plat::SetProgramFolder(mine);
      TradeSave bag;
      FileLock held;
      ASSERT_EQ(LoadSaveForTrade(kId, bag, held), TradeLoadError::None);
      // A commit renames a new file over the save: the lock is still there afterwards.
      ASSERT_TRUE(WriteItemRows(kId, bag.items));
      plat::SetProgramFolder(theirs);
      FileLock other;
      EXPECT_EQ(LockSave(kId, other), FileLock::Result::Busy);  // Continue and Delete
      EXPECT_EQ(LoadSaveForTrade(kId, bag, other), TradeLoadError::InUse);
      EXPECT_FALSE(other.Held());
      held.Unlock();
      EXPECT_EQ(LoadSaveForTrade(kId, bag, other), TradeLoadError::None);
      other.Unlock();
      // The lock file went with the last lock.
      EXPECT_EQ(SaveFolderFiles(), std::vector<std::string>{kId + ".kzs"});
    }
  }
}

// A bind mount shows the first Save folder in the second game folder: the same folder,
// so the same lock file. Mounting needs a mount namespace of our own (a privileged test
// run): skipped where there is none.
TEST_F(SaveLockTest, ASaveFolderMountedInTwoPlacesMeetsOneLock) {
  const fs::path second = others.path() / "mounted";
  fs::create_directories(second / "Save");
  FileLock held;
  ASSERT_EQ(LockSave(kId, held), FileLock::Result::Locked);
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(first.Save().c_str(), (second / "Save").c_str(), nullptr, MS_BIND, nullptr) != 0) {
      _exit(2);
    }
    plat::SetProgramFolder(second);
    FileLock other;
    TradeSave bag;
    const bool refused = LockSave(kId, other) == FileLock::Result::Busy &&
                         LoadSaveForTrade(kId, bag, other) == TradeLoadError::InUse;
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "no bind mount here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save was taken through the mounted folder";
}

// A lock that cannot be taken is not "in use" and not a damaged save; the save stays as
// it was, and no trade loads it.
TEST_F(SaveLockTest, ALockThatCannotBeTakenIsALockFailure) {
  struct Case {
    const char* what;
    bool needsUser;  // the superuser writes into read-only folders
    void (*breakIt)(const fs::path& save);
    void (*mend)(const fs::path& save);
  };
  const Case cases[] = {
      {"a folder in place of the lock file", false,
       [](const fs::path&) { fs::create_directory(SaveLockPath(kId)); },
       [](const fs::path&) { fs::remove(SaveLockPath(kId)); }},
      {"a save folder that may not be written", true,
       [](const fs::path& save) { chmod(save.parent_path().c_str(), 0555); },
       [](const fs::path& save) { chmod(save.parent_path().c_str(), 0755); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsUser && geteuid() == 0) continue;
    const Bytes before = ReadFile(first.SaveFile(kId));
    c.breakIt(first.SaveFile(kId));
    FileLock lock;
    EXPECT_EQ(LockSave(kId, lock), FileLock::Result::Failed);
    TradeSave bag;
    EXPECT_EQ(LoadSaveForTrade(kId, bag, lock), TradeLoadError::LockFailed);
    EXPECT_FALSE(lock.Held());
    c.mend(first.SaveFile(kId));
    EXPECT_EQ(ReadFile(first.SaveFile(kId)), before);
    EXPECT_EQ(SaveFolderFiles(), std::vector<std::string>{kId + ".kzs"});
  }
}

// The lock file stands while its lock is held; letting go removes it, but never a file
// that another holder has put in its place.
TEST(FileLockFile, StandsOnlyWhileHeldAndIsNeverTakenFromAnotherHolder) {
  testsupport::TempDir dir;
  const fs::path file = dir / "x.lock";
  FileLock a;
  ASSERT_EQ(a.TryLock(file), FileLock::Result::Locked);
  EXPECT_TRUE(fs::exists(file));
  a.Unlock();
  EXPECT_FALSE(fs::exists(file));

  ASSERT_EQ(a.TryLock(file), FileLock::Result::Locked);
  fs::remove(file);  // removed by hand: the next user makes and locks a new one
  FileLock b;
  ASSERT_EQ(b.TryLock(file), FileLock::Result::Locked);
  a.Unlock();
  EXPECT_TRUE(fs::exists(file));
  FileLock c;
  EXPECT_EQ(c.TryLock(file), FileLock::Result::Busy);
}

}  // namespace
