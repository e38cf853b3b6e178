// Picture packs: the index records, the data slices, the loaders and their failure path.
#include <gtest/gtest.h>

#include "graphics/graphics_fixture.h"
#include "graphics/pictures.h"
#include "graphics/test_pictures.h"
#include "graphics/texture_cache.h"
#include "support/picture_bytes.h"

namespace {

using testpics::Bytes;

class PackTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    testpics::WriteBytes(dir / "date/Item/1.bmp", testpics::Numbered(1));
    a = testpics::Bmp(5, 4, plat::Color{200, 10, 10});
    b = testpics::Bmp(7, 3, plat::Color{10, 200, 10});
    c = testpics::Bmp(2, 9, plat::Color{10, 10, 200});
    testpics::WritePack(dir / "date/Game", {a, b, c});
  }

  // Replaces the index of the game pack.
  void WriteIndex(const std::string& text) { testpics::WriteText(dir / "date/Game.Mxx", text); }

  // Expects the texture error message and the end of the program from loading picture n.
  void ExpectTextureFailure(long n) {
    StartDevice();  // the previous end released it
    plat::Texture t;
    EXPECT_THROW(LoadTexPack(t, "\\date\\game", n), plat::ProgramEnded) << "picture " << n;
    ASSERT_FALSE(Shown().empty());
    EXPECT_EQ(Shown().back().text, kTextureErrorMessage);
  }

  Bytes a, b, c;
};

TEST_F(PackTest, RecordsOneAndTwoAndTheLastPictureOfTheData) {
  auto r1 = ReadPackRecord("\\date\\Game", 1);
  auto r2 = ReadPackRecord("\\date\\Game", 2);
  ASSERT_TRUE(r1 && r2);
  EXPECT_EQ(r1->Start, 0u);
  EXPECT_EQ(r1->End, a.size());
  EXPECT_EQ(r2->Start, a.size());
  EXPECT_EQ(r2->End, a.size() + b.size());
  EXPECT_EQ(ReadPackPicture("\\date\\Game", 1), a);
  EXPECT_EQ(ReadPackPicture("\\date\\Game", 2), b);
  // The last picture ends exactly at the end of the data file.
  EXPECT_EQ(ReadPackPicture("\\date\\game", 3), c);

  StartDevice();
  plat::Texture t;
  LoadTexPack(t, "\\DATE\\GAME", 3);  // names are matched without case
  EXPECT_EQ(Gfx.Device->TextureSize(t), (plat::Size{2, 9}));
  EXPECT_TRUE(Shown().empty());
}

TEST_F(PackTest, ARecordFromZeroTo1500GivesThoseBytes) {
  Bytes data(2000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  testpics::WriteBytes(dir / "date/Game.dat", data);
  WriteIndex(testpics::Record(0, 1500));
  auto p = ReadPackPicture("\\date\\Game", 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(*p, Bytes(data.begin(), data.begin() + 1500));
}

TEST_F(PackTest, RecordsMayEndInLineEndsOrTheEndOfTheFile) {
  WriteIndex("0,10\r\n     3,7");  // record 2 is the last 11 bytes, ended by the file's end
  auto r1 = ReadPackRecord("\\date\\Game", 1);
  auto r2 = ReadPackRecord("\\date\\Game", 2);
  ASSERT_TRUE(r1 && r2);
  EXPECT_EQ(r1->End, 10u);
  EXPECT_EQ(r2->Start, 3u);
  EXPECT_EQ(r2->End, 7u);
}

TEST_F(PackTest, BadRecordsAreRefusedBeforeAnyRead) {
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", 0));
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", -1));
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", 4));  // past the index
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", 2'000'000'000'000'000'000L));
  EXPECT_FALSE(ReadPackRecord("\\date\\Nothing", 1));

  const std::uint64_t size = a.size() + b.size() + c.size();
  WriteIndex(testpics::Record(30, 20) + testpics::Record(0, size + 1) + testpics::Record(5, 5) +
             "abc,def    " + "1234,567890" + "7,8");
  EXPECT_FALSE(ReadPackPicture("\\date\\Game", 1));  // start after end
  EXPECT_FALSE(ReadPackPicture("\\date\\Game", 2));  // end past the data file
  EXPECT_FALSE(ReadPackPicture("\\date\\Game", 3));  // no bytes
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", 4));   // not numbers
  EXPECT_FALSE(ReadPackRecord("\\date\\Game", 5));   // the end number runs into the next record
  EXPECT_TRUE(ReadPackRecord("\\date\\Game", 6));    // a short last record ended by the file

  std::filesystem::remove(dir / "date/Game.dat");
  EXPECT_FALSE(ReadPackPicture("\\date\\Game", 6));  // no data file
}

TEST_F(PackTest, BadEntriesTakeTheFailurePathToTheMessageAndTheEnd) {
  const std::uint64_t size = a.size() + b.size() + c.size();
  WriteIndex(testpics::Record(0, a.size()) + testpics::Record(30, 20) + testpics::Record(0, size + 1) +
             testpics::Record(1, 4));
  ExpectTextureFailure(0);
  ExpectTextureFailure(9);  // past the index
  ExpectTextureFailure(2);  // start after end
  ExpectTextureFailure(3);  // end past the data file
  ExpectTextureFailure(4);  // bytes that are no picture
  EXPECT_EQ(Shown().size(), 5u);
  EXPECT_EQ(Gfx.Device, nullptr);  // each end released the device
}

// Pictures whose decoding crashed, hung or asked for gigabytes end the program through
// the loader's own failure path instead, as a pack entry and as a single file alike.
TEST_F(PackTest, HostilePicturesTakeTheLoadersFailurePath) {
  const std::vector<std::pair<const char*, Bytes>> hostile = {
      {"16 x 0 TGA", picbytes::ZeroHeightTga()},
      {"0 x 16 TGA", picbytes::TgaHeader(2, 0, 16)},
      {"PNG chunk claiming 654 MB", picbytes::HugeChunkPng()},
      {"4097 x 1 TGA", picbytes::Tga(4097, 1, picbytes::Plain({9, 9, 9, 255}))},
  };
  const Bytes item = testpics::Numbered(1);
  for (const auto& [name, bytes] : hostile) {
    SCOPED_TRACE(name);
    dialogs.dialogs.shown.clear();
    testpics::WritePack(dir / "date/Game", {a, bytes});
    ExpectTextureFailure(2);
    EXPECT_EQ(Shown().size(), 1u);

    StartDevice();
    plat::Surface s = Gfx.Device->CreateSurface(20, 10);
    EXPECT_THROW(LoadSurfacePack(s, "\\date\\Game", 2), plat::ProgramEnded);
    ASSERT_EQ(Shown().size(), 2u);
    EXPECT_NE(Shown()[1].text.find("\\date\\Game.dat (2)"), std::string::npos);

    StartDevice();
    testpics::WriteBytes(dir / "date/Mgc/Tz.tga", bytes);
    plat::Texture t;
    EXPECT_THROW(LoadTexFile(t, "\\date\\Mgc\\Tz.tga"), plat::ProgramEnded);
    ASSERT_EQ(Shown().size(), 3u);
    EXPECT_EQ(Shown()[2].text, "文件缺失，程序不能进行\r\n\\date\\Mgc\\Tz.tga");

    // As the first item picture, filled into the floor surface at start-up.
    testpics::WriteBytes(dir / "date/Item/1.bmp", bytes);
    EXPECT_THROW(StartDevice(), plat::ProgramEnded);
    ASSERT_EQ(Shown().size(), 4u);
    EXPECT_EQ(Shown()[3].text, "文件缺失，程序不能进行\r\n\\date\\Item\\1.bmp");
    testpics::WriteBytes(dir / "date/Item/1.bmp", item);
  }
}

TEST_F(PackTest, TheFallbackDropsTheMonsterTexturesOnceWhenMoreThan300WereMade) {
  StartDevice();
  testpics::WriteNumberedPack(dir / "date/Mon/7", 3);
  LoadMonsterTex(7, 1);
  LoadMonsterTex(7, 2);
  ASSERT_EQ(Gfx.MonsterLoaded(7, 2), 1);
  ASSERT_TRUE(Gfx.MonsterTex(7, 2));

  G.MonsterTexCount = 301;
  plat::Texture t;
  EXPECT_THROW(LoadTexPack(t, "\\date\\Game", 99), plat::ProgramEnded);
  // The monster set was emptied and the count reset before the second round failed too;
  // the message came once.
  EXPECT_EQ(G.MonsterTexCount, 0);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, kTextureErrorMessage);
}

TEST_F(PackTest, At300MonsterTexturesTheFailureEndsWithoutAFlush) {
  StartDevice();
  testpics::WriteNumberedPack(dir / "date/Mon/7", 3);
  LoadMonsterTex(7, 1);
  G.MonsterTexCount = 300;
  plat::Texture t;
  EXPECT_THROW(LoadTexPackManaged(t, "\\date\\Game", 99), plat::ProgramEnded);
  EXPECT_EQ(G.MonsterTexCount, 300);
  EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(PackTest, SurfacesAreFilledScaledAndABadEntryNamesThePack) {
  StartDevice();
  plat::Surface s = Gfx.Device->CreateSurface(20, 10);
  LoadSurfacePack(s, "\\date\\Game", 2);
  // Picture 2 is plain green, scaled to fill the surface.
  ASSERT_TRUE(Gfx.Device->CopyRect(s, plat::Rect{0, 0, 20, 10}, 0, 0));
  EXPECT_EQ(Gfx.Device->ReadPixel(19, 9), (plat::Color{10, 200, 10, 255}));

  EXPECT_THROW(LoadSurfacePack(s, "\\date\\Game", 17), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_NE(Shown()[0].text.find("文件缺失，程序不能进行"), std::string::npos);
  EXPECT_NE(Shown()[0].text.find("\\date\\Game.dat (17)"), std::string::npos);
}

TEST_F(PackTest, AMissingSinglePictureEndsWithItsName) {
  StartDevice();
  plat::Texture t;
  EXPECT_THROW(LoadTexFile(t, "\\date\\Mgc\\Tz.tga"), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, "文件缺失，程序不能进行\r\n\\date\\Mgc\\Tz.tga");
}

}  // namespace
