// The 20-byte marker of save files and the safe database work on marked files.
#include "world/file_marker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>

#include "platform/db.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Read(const fs::path& p) { return plat::ReadAllBytes(p).value_or(Bytes{}); }

void Write(const fs::path& p, const Bytes& b) { ASSERT_TRUE(plat::WriteAllBytes(p, b)); }

Bytes Marker() {
  Bytes m(20);
  std::iota(m.begin(), m.end(), 1);
  return m;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::string> FolderContents(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A marked database with one table T(v) holding the given value.
Bytes MarkedDatabaseBytes(const fs::path& scratch, long v) {
  {
    plat::db::Connection c;
    c.Create(scratch);
    c.ExecuteScript("CREATE TABLE T (v INTEGER NOT NULL);");
    c.Execute("INSERT INTO T (v) VALUES (?)", {plat::db::Value(v)});
  }
  Bytes db = Read(scratch);
  fs::remove(scratch);
  return Join(Marker(), db);
}

struct FaultReset {
  ~FaultReset() { MarkedDbFaults() = {}; }
};

TEST(FileMarker, RecognisedBySumOfFirstTwentyBytes) {
  EXPECT_TRUE(HasFileHeader(Marker()));
  EXPECT_TRUE(HasFileHeader(Join(Marker(), {9, 9, 9})));
  // Any 20 bytes that add up to 210 count, whatever they are.
  Bytes other(20, 0);
  other[0] = 200;
  other[19] = 10;
  EXPECT_TRUE(HasFileHeader(other));
  // Bytes are unsigned: 0xFF is 255, not -1.
  Bytes high(20, 0);
  high[3] = 0xFF;
  EXPECT_FALSE(HasFileHeader(high));
  Bytes off = Marker();
  off[5] += 1;
  EXPECT_FALSE(HasFileHeader(off));
  // Fewer than 20 bytes never count, even when they add up to 210.
  Bytes shortOne = {200, 10};
  EXPECT_FALSE(HasFileHeader(shortOne));
  EXPECT_FALSE(HasFileHeader(Bytes(19, 11)));
  EXPECT_FALSE(HasFileHeader({}));
}

TEST(FileMarker, StripTakesOffExactlyTwentyBytes) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes other(20, 0);
  other[7] = 110;
  other[8] = 100;
  Write(f, Join(other, {1, 2, 3}));
  EXPECT_TRUE(StripFileHeader(f));
  EXPECT_EQ(Read(f), (Bytes{1, 2, 3}));
  // The marker alone leaves an empty file.
  Write(f, Marker());
  EXPECT_TRUE(StripFileHeader(f));
  EXPECT_TRUE(Read(f).empty());
}

TEST(FileMarker, StripWithoutMarkerAndAddWithMarkerChangeNothing) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes plain = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
  Write(f, plain);
  EXPECT_TRUE(StripFileHeader(f));
  EXPECT_EQ(Read(f), plain);

  Bytes shortSum = {200, 10};  // < 20 bytes: never stripped
  Write(f, shortSum);
  EXPECT_TRUE(StripFileHeader(f));
  EXPECT_EQ(Read(f), shortSum);

  Bytes marked = Join(Marker(), {42});
  Write(f, marked);
  EXPECT_TRUE(AddFileHeader(f));
  EXPECT_EQ(Read(f), marked);  // never a second marker
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(FileMarker, AddPutsMarkerInFront) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Write(f, {1, 2, 3});
  EXPECT_TRUE(AddFileHeader(f));
  EXPECT_EQ(Read(f), Join(Marker(), {1, 2, 3}));
  EXPECT_TRUE(StripFileHeader(f));
  EXPECT_EQ(Read(f), (Bytes{1, 2, 3}));
  // A short file whose bytes happen to sum to 210 is not marked, so it gets one.
  Write(f, {200, 10});
  EXPECT_TRUE(AddFileHeader(f));
  EXPECT_EQ(Read(f), Join(Marker(), {200, 10}));
}

TEST(FileMarker, MissingFileIsAFailureAndCreatesNothing) {
  testsupport::TempDir dir;
  EXPECT_FALSE(StripFileHeader(dir / "none.kzs"));
  EXPECT_FALSE(AddFileHeader(dir / "none.kzs"));
  EXPECT_TRUE(FolderContents(dir.path()).empty());
}

TEST(MarkedDatabase, ReaderNeverTouchesTheOriginal) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes original = MarkedDatabaseBytes(dir / "scratch", 17);
  Write(f, original);
  fs::path copy;
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Read);
    copy = db.WorkCopy();
    EXPECT_TRUE(fs::exists(copy));
    // A hidden file beside the original that the save list would never take for a save.
    EXPECT_EQ(copy.parent_path(), dir.path());
    EXPECT_EQ(copy.filename().string().front(), '.');
    EXPECT_NE(plat::Right(copy.filename().string(), 3), "kzs");
    EXPECT_EQ(db.Db().Scalar("SELECT v FROM T").AsLong(), 17);
  }
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_EQ(Read(f), original);
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(MarkedDatabase, ReaderOfUnmarkedFileWorksToo) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes marked = MarkedDatabaseBytes(dir / "scratch", 3);
  Bytes plain(marked.begin() + 20, marked.end());
  Write(f, plain);
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Read);
    EXPECT_EQ(db.Db().Scalar("SELECT v FROM T").AsLong(), 3);
  }
  EXPECT_EQ(Read(f), plain);
}

TEST(MarkedDatabase, ReaderOfGarbageFailsAndLeavesNothing) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes junk = Join(Marker(), Bytes(3000, 0x5A));
  Write(f, junk);
  EXPECT_ANY_THROW(MarkedDatabase(f, MarkedDatabase::Mode::Read));
  EXPECT_EQ(Read(f), junk);
  EXPECT_ANY_THROW(MarkedDatabase(dir / "missing.kzs", MarkedDatabase::Mode::Read));
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(MarkedDatabase, CommittedWriteReplacesTheFileWithMarker) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Write(f, MarkedDatabaseBytes(dir / "scratch", 1));
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Write);
    db.BeforeWrite();
    db.Db().Execute("UPDATE T SET v = 2");
    db.Commit();
  }
  Bytes now = Read(f);
  EXPECT_TRUE(HasFileHeader(now));
  EXPECT_EQ(Bytes(now.begin(), now.begin() + 20), Marker());
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Read);
    EXPECT_EQ(db.Db().Scalar("SELECT v FROM T").AsLong(), 2);
  }
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(MarkedDatabase, UncommittedWriteLeavesTheOriginal) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes original = MarkedDatabaseBytes(dir / "scratch", 1);
  Write(f, original);
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Write);
    db.Db().Execute("UPDATE T SET v = 2");
  }
  EXPECT_EQ(Read(f), original);
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(MarkedDatabase, StaleWorkCopyAndJournalAreNotTakenForOurs) {
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Write(f, MarkedDatabaseBytes(dir / "scratch", 1));
  Write(dir / "a.kzs.saving", Bytes(100, 7));
  Write(dir / "a.kzs.saving-journal", Bytes(600, 9));
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Write);
    db.Db().Execute("UPDATE T SET v = 5");
    db.Commit();
  }
  {
    MarkedDatabase db(f, MarkedDatabase::Mode::Read);
    EXPECT_EQ(db.Db().Scalar("SELECT v FROM T").AsLong(), 5);
  }
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(MarkedDatabase, EveryInjectedFailureKeepsTheOriginal) {
  FaultReset reset;
  testsupport::TempDir dir;
  fs::path f = dir / "a.kzs";
  Bytes original = MarkedDatabaseBytes(dir / "scratch", 1);
  Write(f, original);
  for (MarkedDbStep step : {MarkedDbStep::Copy, MarkedDbStep::Open, MarkedDbStep::Write, MarkedDbStep::Close,
                            MarkedDbStep::Mark, MarkedDbStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(step));
    MarkedDbFaults() = {step, 2};
    EXPECT_THROW(
        {
          MarkedDatabase db(f, MarkedDatabase::Mode::Write);
          db.BeforeWrite();
          db.Db().Execute("UPDATE T SET v = 9");
          db.BeforeWrite();
          db.Commit();
        },
        MarkedDatabaseError);
    EXPECT_EQ(Read(f), original);
    EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"});
  }
}

// ---------------------------------------------------------------------------------------
// Leftovers of ended runs

TEST(WorkLeftovers, TheOwnerIsReadFromTheNameOnly) {
  const struct {
    const char* name;
    std::optional<long> owner;
  } rows[] = {
      {".a.kzs.tmp.123.0", 123},
      {".Config.cfg.tmp.7.15", 7},
      {".a.kzs.reading.456.3-99821", 456},
      {".a.kzs.reading.456.3-99821-journal", 456},
      {"a.kzs.saving.789", 789},
      {"a.kzs.saving.789-journal", 789},
      {"a.kzs.saving.789-wal", 789},
      {"张三.kzs.new.42", 42},
      {".张三.kzs.new.42.tmp.42.1", 42},
      {"张三.kzs.new.42.saving.42", 42},
      {"a.kzs.saving", 0},
      {"a.kzs.saving-journal", 0},
      {"张三.kzs.new", 0},
      // Saves and everything else are never working files.
      {"a.kzs", std::nullopt},
      {"x.saving.12.kzs", std::nullopt},
      {"a.tmp.1.2.KZS", std::nullopt},
      {"Config.cfg", std::nullopt},
      {".saving", std::nullopt},
      {".saving.12", std::nullopt},
      {"a.kzs.saving.", std::nullopt},
      {"a.kzs.saving.12x", std::nullopt},
      {"a.kzs.saving.1234567890", std::nullopt},
      {".a.kzs.tmp.12", std::nullopt},
      {"a.kzs.tmp.12.0", std::nullopt},  // temporary files are hidden
      {".a.kzs.reading.12.3", std::nullopt},
      {"map.zip.new", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(WorkFileOwner(r.name), r.owner) << r.name;
}

TEST(WorkLeftovers, OnlyTheFilesOfEndedProcessesAreRemoved) {
  testsupport::TempDir dir;
  const std::string ended = std::to_string(testsupport::EndedProcess());
  const std::string alive = std::to_string(::getpid());
  const std::vector<std::string> stay = {"a.kzs",
                                         "x.saving.12.kzs",
                                         "Config.cfg",
                                         ".a.kzs.tmp." + alive + ".0",
                                         "a.kzs.saving." + alive,
                                         ".a.kzs.reading." + alive + ".1-2",
                                         "b.kzs.new." + alive};
  const std::vector<std::string> go = {".a.kzs.tmp." + ended + ".0",
                                       "a.kzs.saving." + ended,
                                       "a.kzs.saving." + ended + "-journal",
                                       ".a.kzs.reading." + ended + ".1-2",
                                       "b.kzs.new." + ended,
                                       "a.kzs.saving",
                                       "b.kzs.new"};
  for (const auto& n : stay) Write(dir / n, Bytes(5, 1));
  for (const auto& n : go) Write(dir / n, Bytes(5, 2));
  RemoveWorkLeftovers(dir.path());
  std::vector<std::string> want = stay;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(FolderContents(dir.path()), want);
  RemoveWorkLeftovers(dir / "missing");  // a folder that is not there is no failure
}

// A program killed at a random moment while it saves leaves the save complete (old or
// new) and working copies that the next start removes, leaving the save alone.
TEST(WorkLeftovers, AKillDuringSavesLeavesNothingAfterTheNextStart) {
  testsupport::TempDir dir;
  const fs::path f = dir / "a.kzs";
  const unsigned seed = std::random_device{}();
  std::mt19937 draw(seed);
  for (int round = 0; round < 20; ++round) {
    Write(f, MarkedDatabaseBytes(dir / "scratch", 1));
    const bool killed = testsupport::KillWhileRunning(
        [&f](const std::function<void()>& started) {
          for (long n = 2;; ++n) {
            MarkedDatabase db(f, MarkedDatabase::Mode::Write);
            db.Db().Execute("UPDATE T SET v = ?", {plat::db::Value(n)});
            db.Commit();
            started();
          }
        },
        draw, 5000);
    ASSERT_TRUE(killed) << "the saving child failed";
    RemoveWorkLeftovers(dir.path());
    ASSERT_EQ(FolderContents(dir.path()), std::vector<std::string>{"a.kzs"})
        << "round " << round << ", seed " << seed;
    MarkedDatabase db(f, MarkedDatabase::Mode::Read);
    EXPECT_GE(db.Db().Scalar("SELECT v FROM T").AsLong(), 1);
  }
}

}  // namespace
