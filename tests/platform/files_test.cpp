#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// ---------------------------------------------------------------------------------------
// Byte access

TEST(FileBytes, ReadWholeAndParts) {
  TempDir dir;
  fs::path p = dir / "a.dat";
  EXPECT_FALSE(plat::ReadAllBytes(p).has_value());
  EXPECT_FALSE(plat::FileLength(p).has_value());
  ASSERT_TRUE(plat::WriteAllBytes(p, Bytes("0123456789")));
  EXPECT_EQ(plat::FileLength(p), 10u);
  EXPECT_EQ(*plat::ReadAllBytes(p), Bytes("0123456789"));
  EXPECT_EQ(*plat::ReadBytes(p, 3, 4), Bytes("3456"));
  // The read that runs past the end gets what is there.
  EXPECT_EQ(*plat::ReadBytes(p, 8, 5), Bytes("89"));
  EXPECT_EQ(plat::ReadBytes(p, 10, 1)->size(), 0u);
  EXPECT_FALSE(plat::ReadBytes(p, 11, 1).has_value());
  EXPECT_FALSE(plat::ReadBytes(dir.path(), 0, 1).has_value());
  // A folder is not a file.
  EXPECT_FALSE(plat::FileExists(dir.path()));
  EXPECT_FALSE(plat::ReadAllBytes(dir.path()).has_value());
  EXPECT_FALSE(plat::WriteAllBytes(dir / "missing" / "x.dat", Bytes("x")));
}

TEST(FileBytes, WriteAllBytesTruncates) {
  TempDir dir;
  fs::path p = dir / "a.dat";
  ASSERT_TRUE(plat::WriteAllBytes(p, Bytes("long old content")));
  ASSERT_TRUE(plat::WriteAllBytes(p, Bytes("new")));
  EXPECT_EQ(ReadText(p), "new");
}

// ---------------------------------------------------------------------------------------
// Atomic write

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(FileAtomic, ReplacesTheWholeFileAndLeavesNoTemporary) {
  TempDir dir;
  fs::path p = dir / "存档.kzs";
  WriteText(p, std::string(5000, 'o'));
  ::chmod(p.c_str(), 0640);
  ASSERT_TRUE(plat::WriteFileAtomically(p, Bytes("short new file")));
  EXPECT_EQ(ReadText(p), "short new file");
  EXPECT_EQ(plat::ListFiles(dir.path()), std::vector<std::string>{"存档.kzs"});
  EXPECT_EQ(fs::status(p).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A new file is created as well.
  ASSERT_TRUE(plat::WriteFileAtomically(dir / "new.kzs", Bytes("n")));
  EXPECT_EQ(ReadText(dir / "new.kzs"), "n");
  EXPECT_EQ(Sorted(plat::ListFiles(dir.path())), Sorted({"存档.kzs", "new.kzs"}));
}

TEST(FileAtomic, FailedWriteKeepsTheOldFileComplete) {
  TempDir dir;
  fs::path p = dir / "a.kzs";
  const std::string old = "the complete old save";
  WriteText(p, old);
  // The file size limit makes the write fail half-way, even for the superuser.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool ok = plat::WriteFileAtomically(p, Bytes(std::string(4096, 'n')));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadText(p), old);
  EXPECT_EQ(plat::ListFiles(dir.path()), std::vector<std::string>{"a.kzs"});
}

TEST(FileAtomic, ReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  TempDir dir;
  fs::create_directories(dir / "ro");
  fs::path p = dir / "ro" / "a.kzs";
  WriteText(p, "old");
  ::chmod((dir / "ro").c_str(), 0555);
  bool ok = plat::WriteFileAtomically(p, Bytes("new"));
  ::chmod((dir / "ro").c_str(), 0755);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadText(p), "old");
}

// The file keeps its mode; a link stays a link and its target gets the content; a
// read-only file (for the superuser too) and a link leading nowhere are left alone.
TEST(FileAtomic, ModeLinksAndReadOnlyFiles) {
  const struct {
    const char* what;
    mode_t mode;
    int link;  // 0 none, 1 absolute, 2 relative, 3 leading nowhere
    bool written;
  } cases[] = {
      {"0600", 0600, 0, true},          {"0644", 0644, 0, true},
      {"0444", 0444, 0, false},         {"0400", 0400, 0, false},
      {"link to 0600", 0600, 1, true},  {"relative link to 0640", 0640, 2, true},
      {"link to 0444", 0444, 1, false}, {"link leading nowhere", 0600, 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "Save");
    const fs::path real = dir / "real" / "a.db";
    WriteText(real, "old");
    ::chmod(real.c_str(), c.mode);
    fs::path p = real;
    if (c.link != 0) {
      p = dir / "Save" / "a.kzs";
      if (c.link == 1) fs::create_symlink(real, p);
      if (c.link == 2) fs::create_symlink("../real/a.db", p);
      if (c.link == 3) fs::create_symlink(dir / "real" / "gone.db", p);
    }
    EXPECT_EQ(plat::WriteFileAtomically(p, Bytes("new")), c.written);
    EXPECT_EQ(ReadText(real), c.written ? "new" : "old");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    if (c.link != 0) {
      EXPECT_TRUE(fs::is_symlink(p));
    }
    // Nothing left beside the link or beside its target.
    for (const char* folder : {"Save", "real"}) {
      std::vector<std::string> names;
      for (const auto& e : fs::directory_iterator(dir / folder))
        names.push_back(e.path().filename().string());
      EXPECT_EQ(names.size(), c.link != 0 || std::string(folder) == "real" ? 1u : 0u) << folder;
    }
    ::chmod(real.c_str(), 0600);
  }
}

TEST(FileAtomic, MissingFolderOrFolderInTheWayFails) {
  TempDir dir;
  EXPECT_FALSE(plat::WriteFileAtomically(dir / "nofolder" / "a.kzs", Bytes("x")));
  fs::create_directories(dir / "sub");
  EXPECT_FALSE(plat::WriteFileAtomically(dir / "sub", Bytes("x")));
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
  EXPECT_TRUE(plat::ListFiles(dir.path()).empty());
}

// ---------------------------------------------------------------------------------------
// Copy, delete, folders, listing

TEST(FileOps, CopyRespectsOverwrite) {
  TempDir dir;
  WriteText(dir / "a", "aaa");
  WriteText(dir / "b", "bbb");
  EXPECT_FALSE(plat::CopyFileTo(dir / "a", dir / "b", false));
  EXPECT_EQ(ReadText(dir / "b"), "bbb");
  EXPECT_TRUE(plat::CopyFileTo(dir / "a", dir / "b", true));
  EXPECT_EQ(ReadText(dir / "b"), "aaa");
  EXPECT_TRUE(plat::CopyFileTo(dir / "a", dir / "c", false));
  EXPECT_EQ(ReadText(dir / "c"), "aaa");
  EXPECT_TRUE(plat::CopyFileTo(dir / "a", dir / "a", true));
  EXPECT_EQ(ReadText(dir / "a"), "aaa");
  EXPECT_FALSE(plat::CopyFileTo(dir / "missing", dir / "d", true));
  EXPECT_FALSE(fs::exists(dir / "d"));
  EXPECT_EQ(Sorted(plat::ListFiles(dir.path())), Sorted({"a", "b", "c"}));
}

TEST(FileOps, DeleteMakeFolderAndList) {
  TempDir dir;
  EXPECT_TRUE(plat::MakeFolder(dir / "x" / "y"));
  EXPECT_TRUE(plat::MakeFolder(dir / "x" / "y"));
  WriteText(dir / "x" / "1.kzs", "1");
  WriteText(dir / "x" / "角色.kzs", "2");
  EXPECT_EQ(Sorted(plat::ListFiles(dir / "x")), Sorted({"1.kzs", "角色.kzs"}));
  EXPECT_TRUE(plat::ListFiles(dir / "none").empty());
  EXPECT_TRUE(plat::DeleteFile(dir / "x" / "1.kzs"));
  EXPECT_FALSE(fs::exists(dir / "x" / "1.kzs"));
  EXPECT_TRUE(plat::DeleteFile(dir / "x" / "1.kzs"));  // already gone
  EXPECT_FALSE(plat::DeleteFile(dir / "x" / "y"));     // a folder is not deleted
  EXPECT_TRUE(fs::is_directory(dir / "x" / "y"));
  WriteText(dir / "file", "f");
  EXPECT_FALSE(plat::MakeFolder(dir / "file"));
}

// ---------------------------------------------------------------------------------------
// Free-format reader

TEST(FileReader, QuotedItemsBlanksAndLineEnds) {
  TempDir dir;
  fs::path p = dir / "a.txt";
  WriteText(p, "  1 , 2,\"战士, 道士\"  ,  x y  \r\n\"q\"\nlast");
  plat::TextReader r(p);
  ASSERT_TRUE(r.IsOpen());
  EXPECT_EQ(r.ReadItem(), "1");
  EXPECT_EQ(r.ReadItem(), "2");
  EXPECT_EQ(r.ReadItem(), "战士, 道士");
  EXPECT_EQ(r.ReadItem(), "x y");
  EXPECT_EQ(r.ReadItem(), "q");
  EXPECT_FALSE(r.AtEnd());
  EXPECT_EQ(r.ReadItem(), "last");
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.ReadItem().has_value());
}

TEST(FileReader, EmptyItemsAndEmptyLines) {
  TempDir dir;
  fs::path p = dir / "a.txt";
  WriteText(p, "a,,b\r\n\r\n\"\",c\r\n");
  plat::TextReader r(p);
  EXPECT_EQ(r.ReadItem(), "a");
  EXPECT_EQ(r.ReadItem(), "");
  EXPECT_EQ(r.ReadItem(), "b");
  EXPECT_EQ(r.ReadItem(), "");
  EXPECT_EQ(r.ReadItem(), "");
  EXPECT_EQ(r.ReadItem(), "c");
  EXPECT_TRUE(r.AtEnd());
}

TEST(FileReader, NumbersEndAtCommaBlankOrLineEnd) {
  TempDir dir;
  fs::path p = dir / "xy.txt";
  WriteText(p, "12,-3\r\n4 5\n  6 , 7.5\r\n1200,35000   8");
  plat::TextReader r(p);
  std::vector<double> got;
  while (auto v = r.ReadNumber()) got.push_back(*v);
  EXPECT_EQ(got, (std::vector<double>{12, -3, 4, 5, 6, 7.5, 1200, 35000, 8}));
}

TEST(FileReader, FirstItemOfAConfigLine) {
  TempDir dir;
  fs::path p = dir / "DisplayMemory.cfg";
  WriteText(p, "2,7");
  plat::TextReader r(p);
  EXPECT_EQ(r.ReadNumber(), 2.0);
  WriteText(p, "\"abc\",1");
  plat::TextReader q(p);
  EXPECT_EQ(q.ReadNumber(), 0.0);
  EXPECT_EQ(q.ReadNumber(), 1.0);
}

TEST(FileReader, EmptyAndMissingFiles) {
  TempDir dir;
  WriteText(dir / "empty.txt", "");
  plat::TextReader r(dir / "empty.txt");
  EXPECT_TRUE(r.IsOpen());
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.ReadItem().has_value());
  EXPECT_FALSE(r.ReadNumber().has_value());
  EXPECT_FALSE(r.ReadLine().has_value());
  plat::TextReader m(dir / "missing.txt");
  EXPECT_FALSE(m.IsOpen());
  EXPECT_FALSE(m.ReadItem().has_value());
}

TEST(FileReader, UnclosedQuoteEndsAtTheLineEnd) {
  TempDir dir;
  fs::path p = dir / "a.txt";
  WriteText(p, "\"open, item\r\nnext\r\n\"a\"junk,b");
  plat::TextReader r(p);
  EXPECT_EQ(r.ReadItem(), "open, item");
  EXPECT_EQ(r.ReadItem(), "next");
  EXPECT_EQ(r.ReadItem(), "a");
  EXPECT_EQ(r.ReadItem(), "b");
  EXPECT_TRUE(r.AtEnd());
}

TEST(FileReader, ReadLineTakesTheRestOfTheLine) {
  TempDir dir;
  fs::path p = dir / "a.txt";
  WriteText(p, "\xEF\xBB\xBF" "5,#SAY \"你好\", 朋友\r\n\r\nend");
  plat::TextReader r(p);
  EXPECT_EQ(r.ReadNumber(), 5.0);
  EXPECT_EQ(r.ReadLine(), "#SAY \"你好\", 朋友");
  EXPECT_EQ(r.ReadLine(), "");
  EXPECT_EQ(r.ReadLine(), "end");
  EXPECT_FALSE(r.ReadLine().has_value());
}

// ---------------------------------------------------------------------------------------
// Writer

TEST(FileWriter, ExactBytes) {
  TempDir dir;
  fs::path p = dir / "Config.cfg";
  {
    plat::TextWriter w(p);
    ASSERT_TRUE(w.IsOpen());
    w.WriteItems({1L, 0L, 0L, 0L, 1L, 0L, 0L, 0L});
    w.WriteItems({std::string("战士"), -5L, std::string("a,b")});
    w.PrintLine("plain text");
    w.WriteItems({});
    EXPECT_TRUE(w.Close());
    // On the disk once closed, before the writer goes.
    EXPECT_EQ(ReadText(p), "1,0,0,0,1,0,0,0\r\n\"战士\",-5,\"a,b\"\r\nplain text\r\n\r\n");
  }
  // What was written reads back item by item.
  plat::TextReader r(p);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(r.ReadNumber(), (i == 0 || i == 4) ? 1.0 : 0.0);
  EXPECT_EQ(r.ReadItem(), "战士");
  EXPECT_EQ(r.ReadNumber(), -5.0);
  EXPECT_EQ(r.ReadItem(), "a,b");
}

TEST(FileWriter, EmptiesTheOldFile) {
  TempDir dir;
  fs::path p = dir / "a.txt";
  WriteText(p, "old old old old");
  plat::TextWriter w(p);
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(ReadText(p), "");
}

TEST(FileWriter, FailureIsReported) {
  TempDir dir;
  plat::TextWriter w(dir / "missing" / "a.txt");
  EXPECT_FALSE(w.IsOpen());
  w.PrintLine("x");
  EXPECT_FALSE(w.Close());
  if (fs::exists("/dev/full")) {
    plat::TextWriter full("/dev/full");
    ASSERT_TRUE(full.IsOpen());
    for (int i = 0; i < 2000; ++i) full.PrintLine("a line that cannot be stored");
    EXPECT_FALSE(full.Close());
  }
}

}  // namespace
