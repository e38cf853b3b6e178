// The two sound players over the recording device, and the mixer itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/sound.h"
#include "graphics/test_pictures.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "support/test_support.h"

namespace {

// A wave file of `ms` milliseconds: 16-bit mono PCM at 22050 Hz, a quiet square wave.
testpics::Bytes Wave(int ms) {
  const std::uint32_t rate = 22050;
  const std::uint32_t samples = rate * static_cast<std::uint32_t>(ms) / 1000;
  const std::uint32_t dataBytes = samples * 2;
  testpics::Bytes b;
  auto put = [&b](const std::string& s) { b.insert(b.end(), s.begin(), s.end()); };
  auto u32 = [&b](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&b](std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put("RIFF");
  u32(36 + dataBytes);
  put("WAVEfmt ");
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  put("data");
  u32(dataBytes);
  for (std::uint32_t i = 0; i < samples; ++i) u16((i / 50) % 2 ? 0x0800 : 0xF800);
  return b;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    G = GameState{};
    G.SoundAliasCount = 8;
    plat::SetSoundDevice(&recorder);
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    testpics::WriteBytes(dir / "Sound/按键1.wav", Wave(50));
    testpics::WriteBytes(dir / "Sound/传 送.wav", Wave(50));
  }
  void TearDown() override {
    plat::SetSoundDevice(nullptr);
    std::filesystem::current_path(cwd_);
    G = GameState{};
  }

  std::string Path(const std::string& gamePath) { return plat::ResolvePath(gamePath).string(); }

  testsupport::TempDir dir;
  plat::RecordingSound recorder;

 private:
  std::filesystem::path cwd_;
};

TEST_F(SoundTest, TenSoundsRotateOverTheNineChannels) {
  for (int i = 0; i < 10; ++i) PlaySoundMci("Sound\\按键1.wav");
  const std::string file = Path("Sound\\按键1.wav");
  std::vector<std::string> expected;
  for (int a : {1, 2, 3, 4, 5, 6, 7, 8, 0, 1}) {
    const std::string n = std::to_string(a);
    expected.insert(expected.end(), {"close " + n, "open " + file + " " + n, "play " + n, "length " + n});
  }
  EXPECT_EQ(recorder.calls, expected);
  EXPECT_EQ(G.SoundAlias, 1);
}

TEST_F(SoundTest, AMissingFileIsClosedAndOpenedAndNothingMore) {
  PlaySoundMci("Sound\\无此声.wav");
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"close 1", "open " + Path("Sound\\无此声.wav") + " 1"}));
}

TEST_F(SoundTest, AFileWithABlankInItsNamePlays) {
  PlaySoundMci("Sound\\传 送.wav");
  ASSERT_EQ(recorder.calls.size(), 4u);
  EXPECT_EQ(recorder.calls[2], "play 1");
}

TEST_F(SoundTest, NoAliasCountMeansOneAndTwoChannelsAlternate) {
  G.SoundAliasCount = 0;
  PlaySoundMci("Sound\\按键1.wav");
  PlaySoundMci("Sound\\按键1.wav");
  PlaySoundMci("Sound\\按键1.wav");
  EXPECT_EQ(G.SoundAliasCount, 1);
  EXPECT_EQ(recorder.calls[0], "close 1");
  EXPECT_EQ(recorder.calls[4], "close 0");
  EXPECT_EQ(recorder.calls[8], "close 1");
}

TEST_F(SoundTest, TheWavePlayerTakesTheFileFromTheWorkingFolder) {
  PlayWav("Sound\\按键1.wav");
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"wave " + (dir.path() / "Sound/按键1.wav").string()}));
}

// The mixer on SDL's dummy audio output.
TEST_F(SoundTest, TheMixerLoadsWavesAndRefusesWhatItCannotPlay) {
  plat::SetSoundDevice(nullptr);
  plat::SoundDevice& mixer = plat::CurrentSoundDevice();
  ASSERT_NE(&mixer, &recorder);
  testpics::WriteBytes(dir / "Sound/long.wav", Wave(400));
  testpics::WriteText(dir / "Sound/broken.wav", "RIFF but not a wave at all");

  ASSERT_TRUE(mixer.Open(3, dir / "Sound/long.wav"));
  EXPECT_NEAR(static_cast<double>(mixer.LengthMs(3)), 400.0, 2.0);
  mixer.Play(3);
  ASSERT_TRUE(mixer.Open(4, dir / "Sound/传 送.wav"));
  mixer.Play(4);
  mixer.Close(3);
  EXPECT_EQ(mixer.LengthMs(3), 0);
  mixer.Close(3);  // closing again is harmless

  EXPECT_FALSE(mixer.Open(5, dir / "Sound/none.wav"));
  EXPECT_FALSE(mixer.Open(5, dir / "Sound/broken.wav"));
  EXPECT_EQ(mixer.LengthMs(5), 0);
  mixer.Play(5);  // nothing to play: nothing happens
  EXPECT_FALSE(mixer.Open(9, dir / "Sound/long.wav"));
  EXPECT_FALSE(mixer.Open(-1, dir / "Sound/long.wav"));

  mixer.PlayWave(dir / "Sound/long.wav");
  mixer.PlayWave(dir / "Sound/按键1.wav");  // replaces the first
  mixer.PlayWave(dir / "Sound/none.wav");  // silent
  for (int c = 0; c < plat::kSoundChannels; ++c) mixer.Close(c);
}

}  // namespace
