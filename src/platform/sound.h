// Sound: an asynchronous wave player that plays one sound at a time, and numbered
// channels (close, open, play, length) that sound together, on SDL2_mixer. A file that
// is missing or cannot be decoded is silent. Tests install a recording device instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plat {

namespace fs = std::filesystem;

// Channels 0..kSoundChannels-1 of the multimedia player.
constexpr int kSoundChannels = 9;

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Starts the file on the one-at-a-time player and returns at once; the sound this
  // player still plays stops. A missing or undecodable file plays nothing.
  virtual void PlayWave(const fs::path& file) = 0;
  // Stops the channel's sound and forgets its file; harmless on a channel that holds
  // nothing or a channel number out of range.
  virtual void Close(int channel) = 0;
  // Loads the file onto the channel (which must be closed). False when the file is
  // missing or undecodable, or the channel number is out of range; the channel then
  // holds nothing.
  virtual bool Open(int channel, const fs::path& file) = 0;
  // Starts the channel's sound from its beginning and returns at once; nothing when
  // the channel holds no file.
  virtual void Play(int channel) = 0;
  // Length of the channel's sound in milliseconds; 0 when it holds none.
  virtual std::int64_t LengthMs(int channel) = 0;
};

// The device in use: the mixer unless a test installed another. nullptr puts the mixer
// back. The mixer opens the audio output on first use; without one everything is silent.
void SetSoundDevice(SoundDevice* device);
SoundDevice& CurrentSoundDevice();

// A device for tests: plays nothing, records every call as a line of text
// ("wave <path>", "close <n>", "open <path> <n>", "play <n>", "length <n>") and answers
// Open by whether the file exists.
class RecordingSound : public SoundDevice {
 public:
  std::vector<std::string> calls;
  void PlayWave(const fs::path& file) override;
  void Close(int channel) override;
  bool Open(int channel, const fs::path& file) override;
  void Play(int channel) override;
  std::int64_t LengthMs(int channel) override;
};

}  // namespace plat
