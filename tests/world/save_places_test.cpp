// Where saves and databases live: game folders whose paths hold ';', blanks, quotes or
// Chinese characters; a system temporary folder that cannot be used; a save folder
// where no working copy can be made; and the save file's permissions and links.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <optional>

#include "item_db.h"
#include "platform/text.h"
#include "save_fixture.h"
#include "script/script.h"
#include "ui/game_start.h"
#include "world/save_create.h"
#include "world/save_game.h"
#include "world/save_list.h"

namespace {

using namespace savetest;

const char* const kSaved = "游戏已存档";
const char* const kNotSaved = "存档失败，原存档未改动";

// A game folder at <temp>/<name> with the save template, a "Save" folder, the NPC table
// and the monster database; the earlier program folder comes back at the end.
class NamedGameFolder {
 public:
  explicit NamedGameFolder(const std::string& name) : previous_(plat::ProgramFolder()) {
    path_ = root_ / name;
    fs::create_directories(path_ / "date" / "Mon");
    fs::create_directories(path_ / "date" / "rpg");
    fs::create_directories(path_ / "Save");
    fs::copy_file(testsupport::GameDir() / "date" / "Sk.dat", path_ / "date" / "Sk.dat");
    fs::copy_file(testsupport::GameDir() / "date" / "rpg" / "21.dat", path_ / "date" / "rpg" / "21.dat");
    itemdb::CreateNpcDb(path_ / "date" / "Mon" / "75.dat", {{"N村长", "镇安村", "hello"}});
    plat::SetProgramFolder(path_);
    G = GameState{};
    ui::BuildMainWindow();
  }
  ~NamedGameFolder() { plat::SetProgramFolder(previous_); }
  const fs::path& path() const { return path_; }
  fs::path SaveFile(const std::string& id) const { return path_ / "Save" / fs::u8path(id + ".kzs"); }

 private:
  testsupport::TempDir root_;
  fs::path path_;
  fs::path previous_;
};

void ClearMessages() {
  for (auto& m : G.SysMessages) m = SysMessage{};
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* v = ::getenv(name)) old_ = v;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Files may grow to `bytes` at most while the object lives (a full disk, for the
// superuser too).
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, handler_);
  }

 private:
  struct rlimit saved_ {};
  void (*handler_)(int) = SIG_DFL;
};

// Creates, lists, continues and saves a character, rewrites its items after a trade,
// and reads the NPC table and the monster database, all in the current program folder.
void PlayThrough(const fs::path& folder, const std::string& id) {
  ASSERT_TRUE(CreateSaveGame(id, "法师", false));
  const fs::path file = folder / "Save" / fs::u8path(id + ".kzs");
  ASSERT_TRUE(fs::exists(file));

  ListSaveGames();
  ASSERT_EQ(ui::Form1.IdList->Items.size(), 1u);
  EXPECT_EQ(plat::Trim(plat::Left(ui::Form1.IdList->Items[0], 4)), id);

  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(id));
  EXPECT_EQ(G.SavePath, file);
  G.Player.Money = 4321;
  G.Player.Items[9].Name = "木剑";
  ClearMessages();
  ASSERT_TRUE(SaveGame());
  EXPECT_TRUE(HasMessage(kSaved));
  G.Player.Items[10].Name = "布衣";
  ASSERT_TRUE(SaveItemTable());

  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(id));
  EXPECT_EQ(G.Player.Money, 4321);
  EXPECT_EQ(G.Player.Items[9].Name, "木剑");
  EXPECT_EQ(G.Player.Items[10].Name, "布衣");
  EXPECT_TRUE(HasFileHeader(ReadFile(file)));

  // The databases the graphics start names, opened by their paths.
  G.NpcDbPath = plat::ResolvePath("\\Date\\Mon\\75.dat");
  G.MonDbPath = plat::ResolvePath("\\Date\\rpg\\21.dat");
  G.DbConn = std::make_unique<plat::db::Connection>();
  G.DbRecordset = std::make_unique<plat::db::Recordset>();
  G.SubMap = 1;
  G.PartNames[1] = "镇安村";
  TalkToNpc("N村长");
  EXPECT_EQ(G.ScriptText, "HELLO");
  EXPECT_TRUE(ui::ReadMonsterKinds(1));
  EXPECT_GT(G.MonsterKindCount, 0);
}

TEST(SavePlaces, GameFolderPathsWithAwkwardCharacters) {
  const char* const folders[] = {"a;b",       "游戏;存档",      "with blanks  here", "quote\"and'apostrophe",
                                 "中文 目录", "Data Source=x;y"};
  for (const char* name : folders) {
    SCOPED_TRACE(name);
    testsupport::ScopedDialogs dialogs;
    NamedGameFolder folder(name);
    PlayThrough(folder.path(), "乙丙");
    EXPECT_TRUE(dialogs.dialogs.shown.empty());
    // Nothing but the save is left in the save folder.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.path() / "Save"))
      names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"乙丙.kzs"});
  }
}

TEST(SavePlaces, AnUnusableSystemTempFolderIsNotNeeded) {
  testsupport::TempDir elsewhere;
  // "/proc" takes no new files, even from the superuser; a missing folder neither.
  const std::string temps[] = {"/proc", (elsewhere / "missing").string()};
  for (const auto& temp : temps) {
    SCOPED_TRACE(temp);
    GameFolder folder;
    MakeSave(folder.SaveFile("甲"), "甲");
    ScopedEnv tmp("TMPDIR", temp);
    testsupport::ScopedDialogs dialogs;
    testsupport::ScopedEndThrows endThrows;
    ASSERT_NO_THROW(ListSaveGames());
    EXPECT_EQ(ui::Form1.IdList->Items.size(), 1u);
    ASSERT_TRUE(LoadSaveGame("甲"));
    ASSERT_TRUE(SaveGame());
    EXPECT_TRUE(dialogs.dialogs.shown.empty());
    EXPECT_EQ(Snapshot(folder.Save()).size(), 1u);
  }
}

TEST(SavePlaces, NoRoomForTheWorkingCopySaysSoAndKeepsTheSave) {
  GameFolder folder;
  MakeSave(folder.SaveFile("甲"), "甲");
  const auto before = Snapshot(folder.Save());
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows endThrows;
  {
    ScopedFileSizeLimit full(512);
    EXPECT_THROW(ListSaveGames(), plat::ProgramEnded);
    EXPECT_EQ(LoadSaveGame("甲").error, SaveLoadError::NoWorkCopy);
  }
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.dialogs.shown[0].text, kMsgNoWorkCopy);
  EXPECT_EQ(Snapshot(folder.Save()), before);
  // With room again, the same save lists and loads.
  ListSaveGames();
  EXPECT_EQ(ui::Form1.IdList->Items.size(), 1u);
  EXPECT_TRUE(LoadSaveGame("甲"));
}

// ------------------------------------------------------------------ permissions, links

fs::perms ModeOf(const fs::path& p) { return fs::status(p).permissions() & fs::perms::mask; }

TEST(SavePlaces, SavingKeepsTheModeAndWritesThroughLinks) {
  struct Case {
    const char* what;
    fs::perms mode;
    bool link;          // the save is a link to a file in another folder
    bool relativeLink;  // ... given relative to the save folder
    bool saved;
  };
  using P = fs::perms;
  const Case cases[] = {
      {"0600", P::owner_read | P::owner_write, false, false, true},
      {"0640", P::owner_read | P::owner_write | P::group_read, false, false, true},
      {"0666",
       P::owner_read | P::owner_write | P::group_read | P::group_write | P::others_read | P::others_write,
       false, false, true},
      {"0444 read-only", P::owner_read | P::group_read | P::others_read, false, false, false},
      {"link to 0600", P::owner_read | P::owner_write, true, false, true},
      {"relative link to 0640", P::owner_read | P::owner_write | P::group_read, true, true, true},
      {"link to 0444", P::owner_read | P::group_read | P::others_read, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameFolder folder;
    const fs::path save = folder.SaveFile("甲");
    fs::path real = save;
    if (c.link) {
      fs::create_directories(folder.path() / "elsewhere");
      real = folder.path() / "elsewhere" / "real.db";
      MakeSave(real, "甲");
      fs::create_symlink(c.relativeLink ? fs::path("../elsewhere/real.db") : real, save);
    } else {
      MakeSave(save, "甲");
    }
    fs::permissions(real, c.mode);
    ASSERT_TRUE(LoadSaveGame("甲"));
    const Bytes before = ReadFile(real);
    G.Player.Money = 777;
    ClearMessages();
    EXPECT_EQ(SaveGame(), c.saved);
    EXPECT_TRUE(HasMessage(c.saved ? kSaved : kNotSaved));
    EXPECT_EQ(ModeOf(real), c.mode);
    if (c.link) {
      EXPECT_TRUE(fs::is_symlink(save));
      EXPECT_EQ(fs::canonical(save), fs::canonical(real));
    }
    if (c.saved) {
      EXPECT_NE(ReadFile(real), before);
      G = GameState{};
      ASSERT_TRUE(LoadSaveGame("甲"));
      EXPECT_EQ(G.Player.Money, 777);
    } else {
      EXPECT_EQ(ReadFile(real), before);
    }
    // No working file is left beside the save or beside the file it leads to.
    EXPECT_EQ(Snapshot(folder.Save()).size(), 1u);
    if (c.link) {
      EXPECT_EQ(Snapshot(folder.path() / "elsewhere").size(), 1u);
    }
    fs::permissions(real, P::owner_all);
  }
}

}  // namespace
