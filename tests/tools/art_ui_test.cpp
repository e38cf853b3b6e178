// The interface pictures, sounds and help page of the built sample game folder: every
// file the game opens by name is there, decodes, and fits the control or place that
// shows it. The folder is only read; the builder runs again into temporary folders.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/db.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "tools/builder_process.h"
#include "window/form1.h"
#include "window/form2.h"
#include "world/file_marker.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// Every sound the game plays by name, as the game writes the names ("Sound\" + name).
const std::vector<std::string> kGameSounds = {
    "HP恢复.Wav", "下毒.wav", "会心一击.wav", "传送.wav",   "剑击.wav",   "升级.wav",   "升级失败.wav",
    "升级成功.wav", "变身.wav", "地狱火焰.wav", "寒风.Wav",  "徒手.wav",   "怒石.wav",   "按键1.wav",
    "按键2.wav",  "挥空.wav", "斩空.wav",     "旋风.wav",   "武器.wav",   "死亡.wav",   "水地.wav",
    "沼地.wav",   "炼尸咒.wav", "砖地.wav",   "精灵.wav",   "精神盾.wav", "草地.wav",   "药水.wav",
    "衣服.wav",   "被攻击.wav", "走.wav",       "选取.wav",   "钱.wav",     "雷电2.wav",  "项链.wav"};

fs::path Built(std::string_view gamePath) { return plat::ResolvePathIn(testsupport::GameDir(), gamePath); }

std::vector<std::uint8_t> Bytes(const fs::path& file) {
  auto b = plat::ReadAllBytes(file);
  return b ? *b : std::vector<std::uint8_t>{};
}

// ---------------------------------------------------------------- pictures

struct Picture {
  int w = 0, h = 0;
  std::vector<std::uint32_t> argb;  // row by row
  std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y) * w + x] & 0x00FFFFFFu; }
};

// Decodes a picture file the way the game does: any format recognised from its bytes,
// TGA as the fallback.
std::optional<Picture> Decode(const fs::path& file) {
  std::vector<std::uint8_t> b = Bytes(file);
  if (b.empty()) return std::nullopt;
  SDL_Surface* raw = IMG_Load_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1);
  if (raw == nullptr) raw = IMG_LoadTyped_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1, "TGA");
  if (raw == nullptr) return std::nullopt;
  SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(raw);
  if (s == nullptr) return std::nullopt;
  Picture p;
  p.w = s->w;
  p.h = s->h;
  p.argb.resize(static_cast<std::size_t>(p.w) * p.h);
  for (int y = 0; y < p.h; ++y) {
    std::memcpy(&p.argb[static_cast<std::size_t>(y) * p.w], static_cast<std::uint8_t*>(s->pixels) + y * s->pitch,
                static_cast<std::size_t>(p.w) * 4);
  }
  SDL_FreeSurface(s);
  return p;
}

// The picture at a game path; fails the test when it is missing or does not decode.
std::optional<Picture> Load(const std::string& gamePath) {
  const fs::path file = Built(gamePath);
  if (!plat::FileExists(file)) {
    ADD_FAILURE() << gamePath << " is missing";
    return std::nullopt;
  }
  auto p = Decode(file);
  if (!p) ADD_FAILURE() << gamePath << " does not decode";
  return p;
}

bool AnyLit(const Picture& p) {
  return std::any_of(p.argb.begin(), p.argb.end(), [](std::uint32_t c) { return (c & 0x00FFFFFFu) != 0; });
}

// The main window's controls with their design sizes.
struct Window {
  Window() { ui::BuildMainWindow(); }
  plat::Control& operator()(const char* name, int index = -1) {
    plat::Control* c = ui::Form1.Form->Find(name, index);
    EXPECT_NE(c, nullptr) << name << "(" << index << ")";
    return *c;
  }
};

void CollectPanels(const plat::Control& c, std::vector<const plat::Control*>& out) {
  for (const auto& child : c.Children()) {
    if (child->Kind == plat::ControlKind::Panel) out.push_back(child.get());
    CollectPanels(*child, out);
  }
}

// ---------------------------------------------------------------- databases

std::vector<plat::db::Value> Column(const fs::path& database, bool marked, const std::string& sql,
                                    const std::string& column) {
  TempDir dir;
  const fs::path copy = dir.path() / "copy.dat";
  EXPECT_TRUE(plat::CopyFileTo(database, copy, true)) << database;
  if (marked) {
    EXPECT_TRUE(::StripFileHeader(copy));
  }
  plat::db::Connection db;
  db.Open("Data Source=" + copy.string() + ";");
  plat::db::Recordset rs;
  rs.Open(sql, db);
  std::vector<plat::db::Value> values;
  for (; !rs.Eof(); rs.MoveNext()) values.push_back(rs.Field(column));
  rs.Close();
  db.Close();
  return values;
}

std::set<long> ItemIcons() {
  std::set<long> icons;
  for (const auto& v : Column(Built("date/Mon/74.dat"), false, "Select * from Item", "Pic1")) icons.insert(v.AsLong());
  return icons;
}

std::set<std::string> MonsterStems() {
  std::set<std::string> stems;
  for (int level = 1; level <= 3; ++level) {
    const std::string table = "Mon" + std::to_string(level);
    for (const auto& v : Column(Built("date/rpg/21.dat"), true, "Select * from " + table, "Wav")) {
      stems.insert(v.AsText());
    }
  }
  return stems;
}

// ---------------------------------------------------------------- wave files

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// A RIFF/WAVE PCM file: its chunks in order, a PCM format block, 16-bit samples, and a
// data chunk of whole sample frames lasting 0.05 to 0.5 seconds, not all silent.
::testing::AssertionResult IsShortPcmWave(const fs::path& file) {
  if (!plat::FileExists(file)) return ::testing::AssertionFailure() << file << " is missing";
  const std::vector<std::uint8_t> b = Bytes(file);
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
    return ::testing::AssertionFailure() << file << " is no RIFF/WAVE file";
  }
  if (Le(b, 4, 4) != b.size() - 8) return ::testing::AssertionFailure() << file << ": RIFF size is not the file's";
  std::uint32_t rate = 0, channels = 0, bits = 0, format = 0, data = 0;
  std::size_t dataAt = 0;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
    const std::uint32_t size = Le(b, at + 4, 4);
    if (at + 8 + size > b.size()) return ::testing::AssertionFailure() << file << ": chunk " << id << " runs past the end";
    if (id == "fmt " && size >= 16) {
      format = Le(b, at + 8, 2);
      channels = Le(b, at + 10, 2);
      rate = Le(b, at + 12, 4);
      bits = Le(b, at + 22, 2);
    } else if (id == "data") {
      data = size;
      dataAt = at + 8;
    }
    at += 8 + size + (size & 1);
  }
  if (format != 1 || bits != 16 || channels == 0 || rate == 0) {
    return ::testing::AssertionFailure() << file << ": format " << format << ", " << bits << " bits, " << channels
                                         << " channels, " << rate << " Hz";
  }
  if (data == 0 || dataAt == 0 || data % (2 * channels) != 0) {
    return ::testing::AssertionFailure() << file << ": data chunk of " << data << " bytes";
  }
  const double seconds = static_cast<double>(data) / (2.0 * channels * rate);
  if (seconds < 0.05 || seconds > 0.5) return ::testing::AssertionFailure() << file << " lasts " << seconds << " s";
  bool sound = false;
  for (std::size_t i = dataAt; i + 1 < dataAt + data; i += 2) sound = sound || Le(b, i, 2) != 0;
  if (!sound) return ::testing::AssertionFailure() << file << " is silent";
  // The mixer's own reader must take it too.
  SDL_AudioSpec wave;
  Uint8* buf = nullptr;
  Uint32 len = 0;
  if (SDL_LoadWAV_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1, &wave, &buf, &len) == nullptr) {
    return ::testing::AssertionFailure() << file << ": " << SDL_GetError();
  }
  SDL_FreeWAV(buf);
  if (len != data) return ::testing::AssertionFailure() << file << ": " << len << " bytes read of " << data;
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- the builder

int RunBuilder(const fs::path& data, const fs::path& game, const fs::path& log) {
  return buildertest::RunBuilderProcess({data.string(), game.string()}, log);
}

void ReplaceInFile(const fs::path& file, const std::string& from, const std::string& to) {
  auto b = Bytes(file);
  std::string text(b.begin(), b.end());
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << file;
  text.replace(at, from.size(), to);
  ASSERT_TRUE(plat::WriteAllBytes(file, std::vector<std::uint8_t>(text.begin(), text.end())));
}

std::string LogOf(const fs::path& log) {
  auto b = Bytes(log);
  return std::string(b.begin(), b.end());
}

// ================================================================ item icons

TEST(InterfacePictures, EveryItemIconAndGoldPileIsASpriteThatFitsItsSlots) {
  Window w;
  int slotW = 1000, slotH = 1000;
  for (int s : {1, 5, 10, 11, 16, 21, 56}) {
    slotW = std::min(slotW, w("Iitem", s).PixelWidth());
    slotH = std::min(slotH, w("Iitem", s).PixelHeight());
  }
  std::set<long> icons = ItemIcons();
  ASSERT_GE(icons.size(), 100u);
  for (long gold = 1; gold <= 5; ++gold) icons.insert(gold);
  for (long icon : icons) {
    SCOPED_TRACE("icon " + std::to_string(icon));
    ASSERT_TRUE(icon >= 1 && icon <= 440) << "the game keeps icons 0..440";
    // The game writes the folder both ways: "\Date\Item\" and "date\item\".
    auto p = Load("\\Date\\Item\\" + std::to_string(icon) + ".bmp");
    if (!p) continue;
    EXPECT_EQ(Built("date/item/" + std::to_string(icon) + ".bmp"), Built("Date/Item/" + std::to_string(icon) + ".bmp"));
    EXPECT_LE(p->w, slotW);
    EXPECT_LE(p->h, slotH);
    EXPECT_GE(p->w, 16);
    EXPECT_GE(p->h, 16);
    // Lying on the ground the icon is a sprite: its corner is the transparent black, its
    // middle is drawn.
    EXPECT_EQ(p->At(0, 0), 0u);
    EXPECT_TRUE(AnyLit(*p));
  }
}

TEST(InterfacePictures, GoldPilesGrowWithTheirNumber) {
  long last = 0;
  for (int n = 1; n <= 5; ++n) {
    auto p = Load("date/Item/" + std::to_string(n) + ".bmp");
    ASSERT_TRUE(p);
    const long lit = std::count_if(p->argb.begin(), p->argb.end(), [](std::uint32_t c) { return (c & 0xFFFFFF) != 0; });
    EXPECT_GT(lit, last) << "pile " << n;
    last = lit;
  }
}

// ================================================================ skill icons, digits, effects

TEST(InterfacePictures, SkillIconsFitTheSkillPanelAndTheSpellSlot) {
  Window w;
  const plat::Control& qmc = w("Qmc");
  for (int k = 1; k <= 15; ++k) {
    SCOPED_TRACE("skill " + std::to_string(k));
    const plat::Control& icon = w("McI", k);
    for (const std::string& path : {"\\date\\mgc\\ico\\" + std::to_string(k) + ".bmp",
                                   "date/mgc/ico/dark/" + std::to_string(k) + ".bmp"}) {
      auto p = Load(path);
      if (!p) continue;
      EXPECT_LE(p->w, icon.PixelWidth()) << path;
      EXPECT_LE(p->h, icon.PixelHeight()) << path;
      EXPECT_LE(p->w, qmc.PixelWidth()) << path;
      EXPECT_LE(p->h, qmc.PixelHeight()) << path;
    }
    // The icon of a skill not learned looks different from the learned one.
    EXPECT_NE(Bytes(Built("date/mgc/ico/" + std::to_string(k) + ".bmp")),
              Bytes(Built("date/mgc/ico/dark/" + std::to_string(k) + ".bmp")));
  }
}

TEST(InterfacePictures, DamageDigitsAreSpritesTenPixelsApart) {
  for (int d = 0; d <= 10; ++d) {
    SCOPED_TRACE("digit picture " + std::to_string(d));
    auto p = Load("\\date\\Number\\" + std::to_string(d) + ".bmp");
    if (!p) continue;
    // Digits are drawn 10 pixels apart: a wider one would run into the next.
    if (d < 10) {
      EXPECT_LE(p->w, 10);
    }
    EXPECT_LE(p->h, 20);
    EXPECT_EQ(p->At(0, 0), 0u) << "the background must be the transparent black";
    EXPECT_TRUE(AnyLit(*p));
  }
  // Each digit is a picture of its own.
  std::set<std::vector<std::uint8_t>> distinct;
  for (int d = 0; d <= 10; ++d) distinct.insert(Bytes(Built("date/Number/" + std::to_string(d) + ".bmp")));
  EXPECT_EQ(distinct.size(), 11u);
}

TEST(InterfacePictures, StartUpEffectPicturesDecode) {
  // The aura, the spirit's glow and the screen flash are single files read at start.
  for (const char* path : {"\\date\\Mgc\\Tz.tga", "\\date\\Mgc\\Sp.bmp", "\\date\\Mgc\\Lj.bmp"}) {
    auto p = Load(path);
    if (p) {
      EXPECT_TRUE(AnyLit(*p)) << path;
    }
  }
}

// ================================================================ panels and buttons

TEST(InterfacePictures, EveryPanelHasABackgroundOfItsOwnSize) {
  Window w;
  std::vector<const plat::Control*> panels;
  CollectPanels(*ui::Form1.Form, panels);
  const std::set<std::string> buttons = {"SysB1", "SysB2", "SysB3", "SysB4"};
  int checked = 0;
  for (const plat::Control* panel : panels) {
    if (buttons.count(panel->Name) != 0) continue;
    SCOPED_TRACE(panel->Name);
    auto p = Load("\\date\\Panel\\" + panel->Name + ".bmp");
    if (!p) continue;
    EXPECT_EQ(p->w, panel->PixelWidth() - 2 * panel->ClientInset());
    EXPECT_EQ(p->h, panel->PixelHeight() - 2 * panel->ClientInset());
    ++checked;
  }
  EXPECT_GE(checked, 20);
  // The title screen, the character window and the system menu are among them.
  for (const char* name : {"MainMeun", "Psys2", "Psys1", "PLevel", "Pspt"}) {
    EXPECT_TRUE(plat::FileExists(Built(std::string("date/Panel/") + name + ".bmp"))) << name;
  }
  // The trade window (643 x 393) and its discard box (3045 x 2775 twips).
  if (auto p = Load("date/Panel/Form2.bmp")) {
    EXPECT_EQ(p->w, 643);
    EXPECT_EQ(p->h, 393);
  }
  if (auto p = Load("date/Panel/Plost.bmp")) {
    EXPECT_EQ(p->w, 3045 / 15);
    EXPECT_EQ(p->h, 2775 / 15);
  }
}

struct ButtonPictures {
  std::string released, pressed;
  int w, h;  // the size the control shows it at
};

void ExpectButton(const ButtonPictures& b) {
  SCOPED_TRACE(b.released + " / " + b.pressed);
  auto up = Load(b.released);
  auto down = Load(b.pressed);
  if (!up || !down) return;
  EXPECT_EQ(up->w, b.w);
  EXPECT_EQ(up->h, b.h);
  EXPECT_EQ(down->w, b.w);
  EXPECT_EQ(down->h, b.h);
  EXPECT_NE(up->argb, down->argb) << "pressing must show";
}

TEST(InterfacePictures, PictureButtonsHaveTheirReleasedAndPressedPictures) {
  // The bottom bar's picture boxes draw them unscaled at 33 x 33; the side buttons of
  // the character window show 22 x 35 and 22 x 23.
  const std::vector<ButtonPictures> system = {
      {"\\date\\button\\bt11.dat", "\\date\\button\\bt12.dat", 33, 33},
      {"\\date\\button\\bt21.dat", "\\date\\button\\bt22.dat", 33, 33},
      {"\\date\\button\\bt31.dat", "\\date\\button\\bt32.dat", 33, 33},
      {"\\date\\button\\bt91.dat", "\\date\\button\\bt92.dat", 33, 33},
      {"\\date\\button\\bt41.dat", "\\date\\button\\bt42.dat", 22, 35},
      {"\\date\\button\\bt51.dat", "\\date\\button\\bt52.dat", 22, 35},
      {"\\date\\button\\bt61.dat", "\\date\\button\\bt62.dat", 22, 35},
      {"\\date\\button\\bt71.dat", "\\date\\button\\bt72.dat", 22, 35},
      {"\\date\\button\\bt81.dat", "\\date\\button\\bt82.dat", 22, 23},
  };
  for (const ButtonPictures& b : system) ExpectButton(b);

  Window w;
  for (const char* name : {"SysB1", "SysB2", "SysB3", "SysB4"}) {
    EXPECT_GE(w(name).PixelWidth(), 32) << name << " cannot show its 33-pixel picture";
  }
  // The hotkey images F1..F8, written "\DATE\Button\F" & n & "1.dat".
  for (int n = 1; n <= 8; ++n) {
    const plat::Control& f = w("F", n);
    const std::string base = "\\DATE\\Button\\F" + std::to_string(n);
    ExpectButton({base + "1.dat", base + "2.dat", f.PixelWidth(), f.PixelHeight()});
  }
  // The difficulty buttons: relative paths, each with its allowed and pressed look; the
  // locked look of 2 and 3 differs from the allowed one.
  const plat::Control& level = w("I_Nm");
  ExpectButton({"date\\button\\level1.dat", "date\\button\\level12.dat", level.PixelWidth(), level.PixelHeight()});
  ExpectButton({"date\\button\\level2.dat", "date\\button\\level22.dat", level.PixelWidth(), level.PixelHeight()});
  ExpectButton({"date\\button\\level3.dat", "date\\button\\level32.dat", level.PixelWidth(), level.PixelHeight()});
  ExpectButton({"date\\button\\level2lock.dat", "date\\button\\level2.dat", level.PixelWidth(), level.PixelHeight()});
  ExpectButton({"date\\button\\level3lock.dat", "date\\button\\level3.dat", level.PixelWidth(), level.PixelHeight()});
  // The minimap toggle.
  if (auto p = Load("date/button/minimap.dat")) {
    EXPECT_EQ(p->w, w("Image1").PixelWidth());
    EXPECT_EQ(p->h, w("Image1").PixelHeight());
  }
}

// Every picture the trade window's tree names: the background, the discard box, the
// icon, and each button's released and pressed pictures at the size it shows them.
TEST(InterfacePictures, TheTradeWindowHasEveryPictureItNames) {
  ui::BuildTradeWindow();
  const ui::TradeWindow& w = ui::Form2;
  ASSERT_NE(w.Form, nullptr);
  EXPECT_TRUE(plat::FileExists(Built(w.Form->Picture)));
  if (auto icon = Load(w.Form->Icon)) {
    EXPECT_EQ(icon->w, 32);
    EXPECT_EQ(icon->h, 32);
  }
  for (const plat::Control* c : {w.CMY, w.CDF, w.Command1, w.Command2, w.Command3, w.Command4, w.Command6}) {
    ExpectButton({c->Picture, c->DownPicture, c->PixelWidth(), c->PixelHeight()});
  }
  // The background's wells lie where the slots are: darker than the wood around them.
  if (auto bg = Load(w.Form->Picture)) {
    const auto luma = [&](int x, int y) {
      const std::uint32_t p = bg->At(x, y);
      return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    };
    for (const plat::ControlArray* row : {&w.Idf, &w.Imy, &w.Iitem}) {
      for (const auto& [k, slot] : row->All()) {
        EXPECT_EQ(luma(slot->ScreenX() + 5, slot->ScreenY() + 5), 30 + 24 + 19) << slot->Name << k;
      }
      const plat::Control* first = row->All().begin()->second;
      EXPECT_GT(luma(first->ScreenX() - 6, first->ScreenY() + 5), 30 + 24 + 19) << first->Name;
    }
  }
}

// ================================================================ sounds

TEST(Sounds, EverySoundTheGamePlaysIsAShortPcmWave) {
  for (const std::string& name : kGameSounds) {
    EXPECT_TRUE(IsShortPcmWave(Built("Sound\\" + name))) << name;
  }
}

TEST(Sounds, EveryMonsterStemHasItsFourSounds) {
  const std::set<std::string> stems = MonsterStems();
  ASSERT_GE(stems.size(), 10u);
  for (const std::string& stem : stems) {
    for (int e = 1; e <= 4; ++e) {
      EXPECT_TRUE(IsShortPcmWave(Built("Sound\\" + stem + "-" + std::to_string(e) + ".wav"))) << stem;
    }
    // Idle call, attack, hit and death sound different.
    std::set<std::vector<std::uint8_t>> distinct;
    for (int e = 1; e <= 4; ++e) distinct.insert(Bytes(Built("Sound/" + stem + "-" + std::to_string(e) + ".wav")));
    EXPECT_EQ(distinct.size(), 4u) << stem;
  }
}

// ================================================================ help page

TEST(HelpPage, IsTheSourcePageInUtf8) {
  const std::vector<std::uint8_t> built = Bytes(Built("\\Help\\help.htm"));
  ASSERT_FALSE(built.empty()) << "Help/help.htm is missing";
  EXPECT_EQ(built, Bytes(testsupport::DataDir() / "help" / "help.htm"));
  const std::string text(built.begin(), built.end());
  EXPECT_NE(text.find("charset=\"utf-8\""), std::string::npos);
  for (const char* word : {"操作方法", "战士", "道士", "法师", "F1"}) EXPECT_NE(text.find(word), std::string::npos) << word;
}

// ================================================================ the builder

// A monster stem with a blank still gets its four files; the second run into a fresh
// folder writes the same interface pictures and sounds byte for byte.
TEST(Builder, StemsWithBlanksWorkAndTheOutputIsTheSameEveryRun) {
  TempDir tmp;
  const fs::path data = tmp / "data";
  fs::copy(testsupport::DataDir(), data, fs::copy_options::recursive);
  ReplaceInFile(data / "tables" / "mon1.tsv", "鸡\t1\t鸡\t", "鸡\t1\t山 鸡\t");
  const fs::path game = tmp / "game";
  ASSERT_EQ(RunBuilder(data, game, tmp / "log.txt"), 0) << LogOf(tmp / "log.txt");
  for (int e = 1; e <= 4; ++e) {
    EXPECT_TRUE(IsShortPcmWave(game / "Sound" / fs::u8path("山 鸡-" + std::to_string(e) + ".wav"))) << e;
  }
  int compared = 0;
  for (const char* folder : {"date/Item", "date/Panel", "date/button", "date/Number", "date/mgc/ico"}) {
    for (const std::string& name : plat::ListFiles(plat::ResolvePathIn(game, folder))) {
      const std::string path = std::string(folder) + "/" + name;
      EXPECT_EQ(Bytes(plat::ResolvePathIn(game, path)), Bytes(Built(path))) << path;
      ++compared;
    }
  }
  for (const std::string& name : kGameSounds) {
    EXPECT_EQ(Bytes(plat::ResolvePathIn(game, "Sound/" + name)), Bytes(Built("Sound/" + name))) << name;
  }
  EXPECT_GE(compared, 150);
}

TEST(Builder, RefusesAnItemIconOutsideTheIconCacheAndAMissingHelpPage) {
  TempDir tmp;
  {
    const fs::path data = tmp / "data1";
    fs::copy(testsupport::DataDir(), data, fs::copy_options::recursive);
    ReplaceInFile(data / "tables" / "items.tsv", "\t438\t", "\t441\t");
    EXPECT_EQ(RunBuilder(data, tmp / "game1", tmp / "log1.txt"), 1);
    const std::string log = LogOf(tmp / "log1.txt");
    EXPECT_NE(log.find("items.tsv"), std::string::npos) << log;
    EXPECT_NE(log.find("441"), std::string::npos) << log;
  }
  {
    const fs::path data = tmp / "data2";
    fs::copy(testsupport::DataDir(), data, fs::copy_options::recursive);
    fs::remove(data / "help" / "help.htm");
    EXPECT_EQ(RunBuilder(data, tmp / "game2", tmp / "log2.txt"), 1);
    EXPECT_NE(LogOf(tmp / "log2.txt").find("help.htm"), std::string::npos) << LogOf(tmp / "log2.txt");
  }
}

}  // namespace
