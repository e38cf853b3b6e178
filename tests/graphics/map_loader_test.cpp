// The map loader: the part count, the extraction from "Ham.dll", the part files read
// into cells, occupancy templates, spawns and scripts, and the refusal of files that
// are missing, damaged or larger than the arrays.
#include <gtest/gtest.h>

#include <zip.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/map_loader.h"
#include "graphics/resources.h"
#include "platform/archive.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kMissing = "文件缺失，程序不能进行";

// Writes a zip archive holding the given members (name -> bytes).
void WriteZip(const fs::path& file, const std::map<std::string, std::string>& members) {
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, bytes] : members) {
    zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    ASSERT_NE(src, nullptr);
    ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE), 0);
  }
  ASSERT_EQ(zip_close(z), 0);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// A part file: name, size, then fields of every cell (x outer, y inner), then script items.
// Cells not named are four empty fields.
struct PartText {
  std::string name = "测试地";
  int w = 3, h = 2;
  std::map<std::pair<int, int>, std::array<std::string, 4>> cells;
  std::vector<std::string> script;  // written as they stand (quote them yourself)

  std::string Text() const {
    std::string out = Quoted(name) + "," + std::to_string(w) + "," + std::to_string(h) + "\r\n";
    for (int x = 1; x <= w; ++x)
      for (int y = 1; y <= h; ++y) {
        auto it = cells.find({x, y});
        std::array<std::string, 4> f = it == cells.end() ? std::array<std::string, 4>{} : it->second;
        out += Quoted(f[0]) + "," + Quoted(f[1]) + "," + Quoted(f[2]) + "," + Quoted(f[3]) + "\r\n";
      }
    for (const auto& l : script) out += l + "\r\n";
    return out;
  }
};

class MapLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    ui::BuildMainWindow();
    fs::create_directories(dir.path() / "map");
    AddKind("鸡", 10, 255, 250, 245, 240);
    AddKind("羊", 25, 1, 2, 3, 4);
    AddKind("羊", 99, 0, 0, 0, 0);  // a second kind of the same name is never found
  }
  void TearDown() override {
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::SetProgramFolder(savedFolder_);
  }

  void AddKind(const std::string& name, int hp, int r, int g, int b, int a) {
    MonsterKind k;
    k.MonName = name;
    k.Hp = hp;
    k.R = r;
    k.G = g;
    k.B = b;
    k.A = a;
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
  }

  // Map `map` with its parts: the part-count file and the archive.
  void WriteMap(int map, const std::vector<PartText>& parts, std::string count = "") {
    WriteIndex(map, count.empty() ? std::to_string(parts.size()) : count);
    std::map<std::string, std::string> members;
    for (std::size_t i = 0; i < parts.size(); ++i)
      members[MapPartFileName(map, static_cast<int>(i) + 1)] = parts[i].Text();
    WriteZip(dir.path() / "Ham.dll", members);
  }
  void WriteIndex(int map, const std::string& text) {
    ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "map" / MapIndexFileName(map),
                                    std::vector<std::uint8_t>(text.begin(), text.end())));
  }

  // Loads and expects the program to end with the missing-file message.
  void ExpectRefused(int map) {
    EXPECT_THROW(LoadMap(map), plat::ProgramEnded);
    ASSERT_FALSE(dialogs.dialogs.shown.empty());
    EXPECT_EQ(dialogs.dialogs.shown.back().text, kMissing);
  }

  std::string Slurp(const fs::path& p) {
    auto b = plat::ReadAllBytes(p);
    return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
  }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;

 private:
  fs::path savedFolder_;
};

TEST(MapFileNames, UseAtLeastTwoDigitsForPartFilesAndPlainNumbersForTheCount) {
  EXPECT_EQ(MapPartFileName(1, 3), "0103.map");
  EXPECT_EQ(MapPartFileName(5, 12), "0512.map");
  EXPECT_EQ(MapPartFileName(123, 1), "12301.map");
  EXPECT_EQ(MapIndexFileName(12), "12.Mxx");
  EXPECT_EQ(MapIndexFileName(1), "1.Mxx");
  EXPECT_EQ(MinimapFileName(1, 3), "0103.dat");
}

TEST_F(MapLoaderTest, ReadsCellsTemplatesSpawnsAndScriptsOfEveryPart) {
  PartText a;
  a.name = "镇安村";
  a.w = 4;
  a.h = 3;
  a.cells[{1, 1}] = {"5", "10003", "0", ""};
  a.cells[{2, 1}] = {"5", "", "0-", ""};
  a.cells[{3, 1}] = {"1", "20001", "1", ""};
  a.cells[{4, 1}] = {"1", "", "2", "010200030004"};
  a.cells[{1, 2}] = {"9", "", "N村长1001", ""};
  a.cells[{2, 2}] = {"9", "", "*N小翠1007", ""};
  a.cells[{3, 2}] = {"9", "", "M鸡", ""};
  a.cells[{4, 2}] = {"9", "", "M狼王", ""};  // no such kind: a free cell, no spawn
  a.cells[{4, 3}] = {"9", "", "M羊", ""};
  a.script = {Quoted("#IF ET1 = 1"), Quoted("你好，朋友"), "甲,乙", Quoted("#ENDIF")};
  PartText b;
  b.name = "镇安村郊";
  b.w = 2;
  b.h = 2;
  b.cells[{2, 2}] = {"1", "", "M鸡", ""};
  WriteMap(7, {a, b});

  LoadMap(7);

  EXPECT_EQ(G.MainMap, 7);
  EXPECT_EQ(G.PartNames[1], "镇安村");
  EXPECT_EQ(G.PartNames[2], "镇安村郊");
  EXPECT_EQ(G.PartWidths[1], 4);
  EXPECT_EQ(G.PartHeights[1], 3);
  EXPECT_EQ(G.PartWidths[2], 2);
  EXPECT_EQ(CellField(1, 1, 1, 1), "5");
  EXPECT_EQ(CellField(1, 1, 1, 2), "10003");
  EXPECT_EQ(CellField(1, 3, 1, 2), "20001");
  EXPECT_EQ(CellField(1, 4, 1, 4), "010200030004");
  EXPECT_EQ(CellField(1, 1, 2, 3), "N村长1001");
  EXPECT_EQ(CellField(1, 2, 2, 3), "*N小翠1007");
  // Spawn cells lose their kind text, found or not.
  EXPECT_EQ(CellField(1, 3, 2, 3), "");
  EXPECT_EQ(CellField(1, 4, 2, 3), "");
  EXPECT_EQ(CellField(1, 4, 3, 3), "");

  // Blocked: "0", "0-" and NPC cells; "1", "2" and hidden NPCs are free.
  EXPECT_EQ(PartGridText(1, 1, 1), "1");
  EXPECT_EQ(PartGridText(1, 2, 1), "1");
  EXPECT_EQ(PartGridText(1, 3, 1), "");
  EXPECT_EQ(PartGridText(1, 4, 1), "");
  EXPECT_EQ(PartGridText(1, 1, 2), "1");
  EXPECT_EQ(PartGridText(1, 2, 2), "");
  // Spawns numbered in reading order without a gap for the unknown kind.
  EXPECT_EQ(PartGridText(1, 3, 2), "M0001");
  EXPECT_EQ(PartGridText(1, 4, 2), "");
  EXPECT_EQ(PartGridText(1, 4, 3), "M0002");
  const MonsterInstance& s1 = G.MonsterSpawns[1][1];
  EXPECT_EQ(s1.X, 3);
  EXPECT_EQ(s1.Y, 2);
  EXPECT_EQ(s1.Kind, 1);
  EXPECT_EQ(s1.HP, 10);
  const MonsterInstance& s2 = G.MonsterSpawns[1][2];
  EXPECT_EQ(s2.X, 4);
  EXPECT_EQ(s2.Y, 3);
  EXPECT_EQ(s2.Kind, 2);  // the first kind of that name
  EXPECT_EQ(s2.HP, 25);
  // The next part numbers its spawns from 1 again.
  EXPECT_EQ(PartGridText(2, 2, 2), "M0001");
  EXPECT_EQ(G.MonsterSpawns[2][1].X, 2);
  EXPECT_EQ(G.MonsterCount, 1);  // the spawn count of the last part read

  // The script: every item a line; a quoted comma stays, a bare one splits the line.
  EXPECT_EQ(G.PartScripts[1], "#IF ET1 = 1\r\n你好，朋友\r\n甲\r\n乙\r\n#ENDIF\r\n");
  EXPECT_EQ(G.PartScripts[2], "");
  // The live grid is empty until a part is entered.
  for (int x = 1; x <= 4; ++x)
    for (int y = 1; y <= 3; ++y) EXPECT_EQ(G.Grid[static_cast<std::size_t>(x - 1) * 200 + (y - 1)], kGridFree);
  // The extracted copies stay in the folder "map".
  EXPECT_EQ(Slurp(dir.path() / "map" / "0701.map"), a.Text());
  EXPECT_EQ(Slurp(dir.path() / "map" / "0702.map"), b.Text());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

TEST_F(MapLoaderTest, HidesTheFrameWhileLoadingAndLeavesTheCharacterWindowHidden) {
  using ui::Form1;
  Form1.Psys2->Visible = true;
  for (plat::Control* c : {Form1.PbkUp, Form1.PbkLeft, Form1.PbkRight, Form1.PBkDown1, Form1.PbkDown2, Form1.Pminimap})
    c->Visible = false;
  // What a dialog during the load would see: the frame is hidden then.
  PartText a;
  a.cells[{1, 1}] = {"0", "", "", ""};
  WriteMap(1, {a});
  bool frameHiddenDuringLoad = false;
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  struct Watch : plat::DialogProvider {
    bool* seen;
    plat::ScriptedDialogs* inner;
    int ShowMessage(const std::string& text, int buttons, const std::string& title) override {
      *seen = !ui::Form1.PbkUp->Visible && !ui::Form1.Pminimap->Visible && !ui::Form1.Psys2->Visible;
      return inner->ShowMessage(text, buttons, title);
    }
    std::optional<std::string> ShowInput(const std::string& p, const std::string& t, const std::string& d) override {
      return inner->ShowInput(p, t, d);
    }
  } watch;
  watch.seen = &frameHiddenDuringLoad;
  watch.inner = &dialogs.dialogs;
  plat::SetDialogProvider(&watch);
  LoadMap(1);
  plat::SetDialogProvider(&dialogs.dialogs);
  EXPECT_TRUE(frameHiddenDuringLoad);
  for (plat::Control* c : {Form1.PbkUp, Form1.PbkLeft, Form1.PbkRight, Form1.PBkDown1, Form1.PbkDown2, Form1.Pminimap})
    EXPECT_TRUE(c->Visible) << c->Name;
  EXPECT_FALSE(Form1.Psys2->Visible);
}

TEST_F(MapLoaderTest, ShowsOneLoadingFrameWithTheFrameHidden) {
  // A headless game screen with the two loading pictures in colours of their own; the
  // small one has a marked last pixel, so a short copy shows.
  Gfx.OwnDevice = plat::Renderer::CreateHeadless(722, 450);
  Gfx.Device = Gfx.OwnDevice.get();
  plat::Renderer& dev = *Gfx.Device;
  const plat::Color small{200, 40, 40, 255}, corner{10, 220, 10, 255}, large{30, 60, 210, 255};
  Gfx.LoadingSurfSmall = dev.CreateSurface(180, 40);
  Gfx.LoadingSurfLarge = dev.CreateSurface(190, 190);
  dev.FillSurfaceRect(Gfx.LoadingSurfSmall, plat::Rect{0, 0, 180, 40}, small);
  dev.FillSurfaceRect(Gfx.LoadingSurfSmall, plat::Rect{179, 39, 1, 1}, corner);
  dev.FillSurfaceRect(Gfx.LoadingSurfLarge, plat::Rect{0, 0, 190, 190}, large);
  dev.Clear(plat::Color::White());  // what the screen showed before

  struct Probe {
    int x, y;
    plat::Color want;
  };
  const std::vector<Probe> probes = {
      {500, 400, small}, {678, 438, small}, {679, 439, corner}, {680, 400, plat::Color::Black()},
      {499, 400, plat::Color::Black()}, {500, 440, plat::Color::Black()}, {260, 120, large},
      {449, 309, large}, {450, 200, plat::Color::Black()}, {300, 310, plat::Color::Black()},
      {259, 119, plat::Color::Black()}, {0, 0, plat::Color::Black()}, {721, 449, plat::Color::Black()},
  };
  int presents = 0;
  std::vector<plat::Color> seen;
  bool frameHidden = false, mapSet = false;
  Gfx.ShowFrame = [&] {
    if (++presents > 1) return;
    for (const Probe& p : probes) seen.push_back(dev.ReadPixel(p.x, p.y));
    using ui::Form1;
    frameHidden = true;
    for (plat::Control* c : {Form1.PbkUp, Form1.PbkLeft, Form1.PbkRight, Form1.PBkDown1, Form1.PbkDown2,
                             Form1.Pminimap, Form1.Psys2})
      frameHidden = frameHidden && !c->Visible;
    mapSet = G.MainMap == 4 && G.PartNames[1].empty();  // before the parts are read
  };
  for (plat::Control* c : {ui::Form1.PbkUp, ui::Form1.Pminimap, ui::Form1.Psys2}) c->Visible = true;
  PartText a;
  a.name = "载入";
  WriteMap(4, {a});

  LoadMap(4);

  EXPECT_EQ(presents, 1);
  ASSERT_EQ(seen.size(), probes.size());
  for (std::size_t i = 0; i < probes.size(); ++i) {
    const plat::Color& c = seen[i];
    EXPECT_EQ(c, probes[i].want) << "at " << probes[i].x << "," << probes[i].y << ": " << int(c.r) << " "
                                 << int(c.g) << " " << int(c.b) << " " << int(c.a);
  }
  EXPECT_TRUE(frameHidden);
  EXPECT_TRUE(mapSet);
  EXPECT_EQ(G.PartNames[1], "载入");
  EXPECT_TRUE(ui::Form1.PbkUp->Visible);
}

TEST_F(MapLoaderTest, WarnsOfFloorAndObjectFieldsWithoutANumberAndGoesOn) {
  PartText a;
  a.cells[{1, 1}] = {"0", "0", "", ""};
  a.cells[{2, 1}] = {"", "", "", ""};   // empty fields: no warning
  a.cells[{3, 1}] = {"林", "12", "", ""};  // a text that does not begin with a number
  a.cells[{3, 2}] = {"00", "30004", "", ""};
  WriteMap(1, {a});
  LoadMap(1);
  std::vector<std::string> texts;
  for (const auto& d : dialogs.dialogs.shown) texts.push_back(d.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"1 0", "2 0", "1 林", "1 00"}));
  EXPECT_EQ(CellField(1, 1, 1, 1), "0");  // stored as read
  EXPECT_EQ(CellField(1, 3, 2, 2), "30004");
}

TEST_F(MapLoaderTest, KeepsAtMost999ScriptLines) {
  PartText a, b;
  for (int i = 1; i <= 1000; ++i) a.script.push_back(Quoted(std::string("L").append(std::to_string(i))));
  for (int i = 1; i <= 999; ++i) b.script.push_back(Quoted(std::string("L").append(std::to_string(i))));
  WriteMap(1, {a, b});
  LoadMap(1);
  const auto count = [](const std::string& s) {
    std::size_t n = 0;
    for (std::size_t p = s.find("\r\n"); p != std::string::npos; p = s.find("\r\n", p + 2)) ++n;
    return n;
  };
  EXPECT_EQ(count(G.PartScripts[1]), 999u);
  EXPECT_EQ(G.PartScripts[1].substr(G.PartScripts[1].size() - 6), "L999\r\n");
  EXPECT_EQ(count(G.PartScripts[2]), 999u);
}

TEST_F(MapLoaderTest, ExtractionReplacesAnOldCopyAndAMissingCopyIsFine) {
  PartText a, b;
  a.name = "新的一";
  b.name = "新的二";
  WriteMap(3, {a, b});
  // Part 1 has a stale copy from an older game folder, part 2 has none.
  const std::string stale = "\"旧的\",1,1\r\n\"1\",\"\",\"\",\"\"\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "map" / "0301.map", std::vector<std::uint8_t>(stale.begin(), stale.end())));
  LoadMap(3);
  EXPECT_EQ(G.PartNames[1], "新的一");
  EXPECT_EQ(G.PartNames[2], "新的二");
  EXPECT_EQ(Slurp(dir.path() / "map" / "0301.map"), a.Text());
  EXPECT_EQ(Slurp(dir.path() / "map" / "0302.map"), b.Text());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

TEST_F(MapLoaderTest, APartMissingFromTheArchiveIsNeverReadFromAStaleCopy) {
  PartText a;
  WriteMap(1, {a}, "2");  // the count names a part the archive does not hold
  const std::string stale = "\"旧的\",1,1\r\n\"1\",\"\",\"\",\"\"\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "map" / "0102.map", std::vector<std::uint8_t>(stale.begin(), stale.end())));
  ExpectRefused(1);
  EXPECT_FALSE(fs::exists(dir.path() / "map" / "0102.map"));
}

TEST_F(MapLoaderTest, RefusesAMissingOrBadPartCount) {
  PartText a;
  WriteMap(1, {a});
  fs::remove(dir.path() / "map" / "1.Mxx");
  ExpectRefused(1);  // no count file
  for (const char* bad : {"", "abc", "0", "-1", "31", "2x"}) {
    SCOPED_TRACE(bad);
    WriteIndex(1, bad);
    ExpectRefused(1);
  }
  // The archive is missing altogether.
  WriteIndex(1, "1");
  fs::remove(dir.path() / "Ham.dll");
  ExpectRefused(1);
}

TEST_F(MapLoaderTest, RefusesPartsOutsideTheArrays) {
  struct Case {
    const char* what;
    std::string text;
  };
  std::vector<Case> cases = {
      {"wider than 200", "\"宽\",201,1\r\n"},
      {"higher than 200", "\"高\",1,201\r\n"},
      {"no width", "\"无\",0,1\r\n"},
      {"negative height", "\"负\",1,-3\r\n"},
      {"width not a number", "\"字\",abc,1\r\n"},
      {"height with letters", "\"字\",1,2b\r\n"},
      {"no size at all", "\"空\"\r\n"},
      {"ends inside the cells", "\"短\",2,2\r\n\"1\",\"\",\"\",\"\"\r\n\"1\",\"\"\r\n"},
      {"empty file", ""},
      {"binary garbage", std::string("\x01\x02\xff\xfe\x00,\x10\x80,\"\x00", 11)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteIndex(2, "1");
    WriteZip(dir.path() / "Ham.dll", {{"0201.map", c.text}});
    ExpectRefused(2);
  }
}

TEST_F(MapLoaderTest, RefusesMoreThan300SpawnsInAPart) {
  PartText a;
  a.w = 200;
  a.h = 2;
  for (int x = 1; x <= 200; ++x) a.cells[{x, 1}] = {"1", "", "M鸡", ""};
  for (int x = 1; x <= 100; ++x) a.cells[{x, 2}] = {"1", "", "M羊", ""};
  WriteMap(1, {a});
  LoadMap(1);  // exactly 300 fit
  EXPECT_EQ(G.MonsterCount, 300);
  // Numbered x outer, y inner: the last cell read is the 300th spawn.
  EXPECT_EQ(PartGridText(1, 100, 2), "M0200");
  EXPECT_EQ(PartGridText(1, 200, 1), "M0300");
  a.cells[{101, 2}] = {"1", "", "M羊", ""};
  WriteMap(1, {a});
  ExpectRefused(1);
}

TEST_F(MapLoaderTest, AFullSizedPartAndThirtyPartsLoad) {
  std::vector<PartText> parts(30);
  for (int i = 0; i < 30; ++i) {
    parts[static_cast<std::size_t>(i)].name = "第" + std::to_string(i + 1);
    parts[static_cast<std::size_t>(i)].w = 1;
    parts[static_cast<std::size_t>(i)].h = 1;
  }
  parts[29].w = 200;
  parts[29].h = 200;
  parts[29].cells[{200, 200}] = {"7", "", "0", "010100010001"};
  WriteMap(1, parts);
  LoadMap(1);
  EXPECT_EQ(G.PartNames[30], "第30");
  EXPECT_EQ(CellField(30, 200, 200, 4), "010100010001");
  EXPECT_EQ(PartGridText(30, 200, 200), "1");
  EXPECT_EQ(PartGridText(30, 199, 200), "");
}

TEST_F(MapLoaderTest, ANewMapReplacesTheOldOne) {
  PartText a, b, c;
  a.name = "甲";
  a.script = {Quoted("#GOMAP")};
  b.name = "乙";
  b.cells[{1, 1}] = {"1", "", "M鸡", ""};
  b.cells[{2, 1}] = {"1", "", "M鸡", ""};
  WriteMap(1, {a, b});
  LoadMap(1);
  ASSERT_EQ(G.MonsterSpawns[2][2].X, 2);
  c.name = "丙";
  c.w = 2;
  c.h = 1;
  c.cells[{2, 1}] = {"3", "", "", ""};
  WriteIndex(2, "1");
  WriteZip(dir.path() / "Ham.dll", {{"0201.map", c.Text()}});
  LoadMap(2);
  EXPECT_EQ(G.MainMap, 2);
  EXPECT_EQ(G.PartNames[1], "丙");
  EXPECT_EQ(G.PartScripts[1], "");
  EXPECT_EQ(CellField(1, 2, 1, 1), "3");
  EXPECT_EQ(CellField(1, 3, 1, 3), "0");  // outside the new, narrower part
  EXPECT_EQ(G.PartNames[2], "");
  EXPECT_EQ(G.PartWidths[2], 0);
  EXPECT_EQ(CellField(2, 1, 1, 3), "0");
  // The spawn table keeps what it held beyond the new parts.
  EXPECT_EQ(G.MonsterSpawns[2][2].X, 2);
}

// ---------------------------------------------------------------------------------
// The archive itself

TEST_F(MapLoaderTest, ExtractMemberWritesExactlyTheNamedMember) {
  WriteZip(dir.path() / "a.zip", {{"0101.map", "one"}, {"0102.map", std::string(70000, 'x')}, {"sub/0101.map", "deep"}});
  const fs::path out = dir.path() / "out";
  fs::create_directories(out);
  ASSERT_TRUE(plat::WriteAllBytes(out / "0101.map", std::vector<std::uint8_t>(10, 'o')));
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "0101.map", out), plat::ExtractResult::Ok);
  EXPECT_EQ(Slurp(out / "0101.map"), "one");
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "0102.map", out), plat::ExtractResult::Ok);
  EXPECT_EQ(Slurp(out / "0102.map"), std::string(70000, 'x'));
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "0103.map", out), plat::ExtractResult::NoMember);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "0101.MAP", out), plat::ExtractResult::NoMember);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "sub/0101.map", out), plat::ExtractResult::BadName);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "../0101.map", out), plat::ExtractResult::BadName);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "..", out), plat::ExtractResult::BadName);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "none.zip", "0101.map", out), plat::ExtractResult::NoArchive);
  EXPECT_EQ(plat::ExtractMember(dir.path() / "a.zip", "0101.map", dir.path() / "no-folder"),
            plat::ExtractResult::WriteFailed);
  // Nothing but the extracted files is left in the folder.
  std::vector<std::string> names = plat::ListFiles(out);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"0101.map", "0102.map"}));
}

TEST_F(MapLoaderTest, ExtractMemberRefusesADamagedArchive) {
  WriteZip(dir.path() / "a.zip", {{"0101.map", std::string(5000, 'a') + std::string(5000, 'b')}});
  auto bytes = *plat::ReadAllBytes(dir.path() / "a.zip");
  // Not a zip at all.
  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "junk.zip", std::vector<std::uint8_t>(100, 0x42)));
  EXPECT_EQ(plat::ExtractMember(dir.path() / "junk.zip", "0101.map", dir.path()), plat::ExtractResult::NoArchive);
  // The compressed data damaged: the member cannot be read whole, and no file appears.
  for (std::size_t i = 40; i < 60 && i < bytes.size(); ++i) bytes[i] ^= 0x5A;
  ASSERT_TRUE(plat::WriteAllBytes(dir.path() / "bad.zip", bytes));
  const fs::path out = dir.path() / "out";
  fs::create_directories(out);
  EXPECT_NE(plat::ExtractMember(dir.path() / "bad.zip", "0101.map", out), plat::ExtractResult::Ok);
  EXPECT_FALSE(fs::exists(out / "0101.map"));
  EXPECT_TRUE(plat::ListFiles(out).empty());
}

}  // namespace
