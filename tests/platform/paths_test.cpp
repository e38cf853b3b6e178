#include "platform/paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

// Makes the given folder the program folder (and the working folder) for one test.
class GamePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldProgram_ = plat::ProgramFolder();
    oldWorking_ = fs::current_path();
    plat::SetProgramFolder(dir_.path());
  }
  void TearDown() override {
    plat::SetProgramFolder(oldProgram_);
    fs::current_path(oldWorking_);
  }
  TempDir dir_;

 private:
  fs::path oldProgram_;
  fs::path oldWorking_;
};

TEST_F(GamePathsTest, NamesMatchWithoutCase) {
  fs::create_directories(dir_ / "Date" / "game");
  Touch(dir_.path() / "Date" / "game" / "1.BMP");
  EXPECT_EQ(plat::ResolvePath("\\date\\Game"), dir_.path() / "Date" / "game");
  EXPECT_EQ(plat::ResolvePath("\\DATE\\GAME\\1.bmp"), dir_.path() / "Date" / "game" / "1.BMP");
  EXPECT_EQ(plat::ResolvePath("\\date/game\\1.bmp"), dir_.path() / "Date" / "game" / "1.BMP");
}

TEST_F(GamePathsTest, ExactNameWinsOverOtherSpelling) {
  fs::create_directories(dir_ / "save");
  fs::create_directories(dir_ / "Save");
  EXPECT_EQ(plat::ResolvePath("\\Save"), dir_.path() / "Save");
  EXPECT_EQ(plat::ResolvePath("\\save"), dir_.path() / "save");
  // Neither spelling exactly: one of the two, found without case.
  fs::path p = plat::ResolvePath("\\SAVE");
  EXPECT_TRUE(p == dir_.path() / "Save" || p == dir_.path() / "save") << p;
}

TEST_F(GamePathsTest, MissingNamesKeepTheirSpellingSoTheyCanBeCreated) {
  fs::create_directories(dir_ / "Save");
  fs::path p = plat::ResolvePath("\\save\\新角色.kzs");
  EXPECT_EQ(p, dir_.path() / "Save" / "新角色.kzs");
  std::ofstream(p) << "data";
  EXPECT_TRUE(fs::is_regular_file(dir_.path() / "Save" / "新角色.kzs"));
  // Below a missing folder the rest is kept as written.
  EXPECT_EQ(plat::ResolvePath("\\NoSuch\\Sub\\a.txt"), dir_.path() / "NoSuch" / "Sub" / "a.txt");
}

TEST_F(GamePathsTest, ChineseNamesAndDoubleSeparators) {
  fs::create_directories(dir_ / "Sound");
  Touch(dir_.path() / "Sound" / "钱.wav");
  EXPECT_EQ(plat::ResolvePath("\\\\sound\\\\钱.WAV"), dir_.path() / "Sound" / "钱.wav");
  EXPECT_EQ(plat::ResolvePath("\\sound//钱.wav/"), dir_.path() / "Sound" / "钱.wav");
}

TEST_F(GamePathsTest, NoLeadingSeparatorMeansTheWorkingFolder) {
  TempDir work;
  fs::create_directories(work / "Sound");
  Touch(work.path() / "Sound" / "a.wav");
  fs::current_path(work.path());
  EXPECT_EQ(plat::ResolvePath("sound\\A.wav"), work.path() / "Sound" / "a.wav");
  // The program folder is not searched for it.
  fs::create_directories(dir_ / "Other");
  EXPECT_EQ(plat::ResolvePath("other"), work.path() / "other");
}

TEST_F(GamePathsTest, AbsolutePosixPathStartsAtTheRoot) {
  fs::create_directories(dir_ / "Map");
  Touch(dir_.path() / "Map" / "12.Mxx");
  std::string absolute = dir_.path().string() + "/map/12.mxx";
  EXPECT_EQ(plat::ResolvePath(absolute), dir_.path() / "Map" / "12.Mxx");
}

TEST_F(GamePathsTest, ResolveInAGivenBase) {
  fs::create_directories(dir_ / "A" / "b");
  EXPECT_EQ(plat::ResolvePathIn(dir_.path() / "A", "B"), dir_.path() / "A" / "b");
  EXPECT_EQ(plat::ResolvePathIn(dir_.path(), ""), dir_.path());
}

TEST(ProgramFolder, ExecutableFolderHoldsTheRunningProgram) {
  fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(plat::ExecutableFolder(), exe.parent_path());
}

}  // namespace
