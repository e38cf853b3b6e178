// Every picture of the built sample game folder passes the checks in front of the decoder
// and decodes on the device: each stored picture of every pack (the nested ones among
// them) and every single picture file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "graphics/pictures.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/render.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

class SamplePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = plat::ProgramFolder();
    plat::SetProgramFolder(testsupport::GameDir());
    r = plat::Renderer::CreateHeadless(8, 8);
  }
  void TearDown() override { plat::SetProgramFolder(old_); }

  // Decodes, releases and tells whether it worked.
  ::testing::AssertionResult Decodes(const std::vector<std::uint8_t>& bytes) {
    const plat::Texture t = r->LoadTexture(bytes);
    if (!t) return ::testing::AssertionFailure() << r->LastError();
    r->ReleaseTexture(t);
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<plat::Renderer> r;

 private:
  fs::path old_;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST_F(SamplePictures, EveryPackPictureAndPictureFileDecodes) {
  int packs = 0, pictures = 0, files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(testsupport::GameDir())) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = Lower(entry.path().extension().string());
    if (ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".tga") {
      ++files;
      const auto bytes = plat::ReadBytes(entry.path(), 0, static_cast<std::size_t>(entry.file_size()));
      ASSERT_TRUE(bytes) << entry.path();
      EXPECT_TRUE(Decodes(*bytes)) << entry.path();
      continue;
    }
    if (ext != ".mxx") continue;
    ++packs;
    std::string base = "\\";
    base += fs::relative(entry.path(), testsupport::GameDir()).replace_extension().string();
    std::replace(base.begin(), base.end(), '/', '\\');
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    const long records = static_cast<long>(entry.file_size() / kPackRecordBytes);
    for (long n = 1; n <= records; ++n) {
      const auto record = ReadPackRecord(base, n);
      ASSERT_TRUE(record) << base << " record " << n;
      if (!seen.insert({record->Start, record->End}).second) continue;
      const auto bytes = ReadPackPicture(base, n);
      ASSERT_TRUE(bytes) << base << " picture " << n;
      ++pictures;
      EXPECT_TRUE(Decodes(*bytes)) << base << " picture " << n;
    }
  }
  EXPECT_GT(packs, 90);
  EXPECT_GT(pictures, 1000);
  EXPECT_GT(files, 100);
}

}  // namespace
