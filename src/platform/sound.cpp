#include "platform/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <array>

#include "platform/files.h"
#include "platform/process.h"

namespace plat {

namespace {

// Mixer channels: 0..8 are the numbered channels, 9 is the wave player.
constexpr int kWaveChannel = kSoundChannels;
constexpr int kMixerChannels = kSoundChannels + 1;

class MixerDevice : public SoundDevice {
 public:
  void PlayWave(const fs::path& file) override {
    if (!Ready()) return;
    Mix_HaltChannel(kWaveChannel);
    Free(wave_);
    wave_ = Load(file);
    if (wave_ != nullptr) Mix_PlayChannel(kWaveChannel, wave_, 0);
  }

  void Close(int channel) override {
    if (!Valid(channel) || !open_) return;
    Mix_HaltChannel(channel);
    Free(chunks_[static_cast<std::size_t>(channel)]);
  }

  bool Open(int channel, const fs::path& file) override {
    if (!Valid(channel) || !Ready()) return false;
    Mix_Chunk*& slot = chunks_[static_cast<std::size_t>(channel)];
    Mix_HaltChannel(channel);
    Free(slot);
    slot = Load(file);
    return slot != nullptr;
  }

  void Play(int channel) override {
    if (!Valid(channel) || !open_) return;
    Mix_Chunk* chunk = chunks_[static_cast<std::size_t>(channel)];
    if (chunk != nullptr) Mix_PlayChannel(channel, chunk, 0);
  }

  std::int64_t LengthMs(int channel) override {
    if (!Valid(channel) || !open_) return 0;
    const Mix_Chunk* chunk = chunks_[static_cast<std::size_t>(channel)];
    if (chunk == nullptr) return 0;
    int freq = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&freq, &format, &channels) == 0 || freq <= 0 || channels <= 0) return 0;
    const std::int64_t frameBytes = static_cast<std::int64_t>(SDL_AUDIO_BITSIZE(format) / 8) * channels;
    if (frameBytes <= 0) return 0;
    return static_cast<std::int64_t>(chunk->alen) * 1000 / (frameBytes * freq);
  }

  // Stops every sound and closes the output; the next call opens it again.
  void Shutdown() {
    if (!open_) return;
    Mix_HaltChannel(-1);
    for (auto& c : chunks_) Free(c);
    Free(wave_);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open_ = false;
    failed_ = false;
  }

 private:
  static bool Valid(int channel) { return channel >= 0 && channel < kSoundChannels; }

  static void Free(Mix_Chunk*& chunk) {
    if (chunk != nullptr) Mix_FreeChunk(chunk);
    chunk = nullptr;
  }

  static Mix_Chunk* Load(const fs::path& file) {
    if (!FileExists(file)) return nullptr;
    return Mix_LoadWAV(file.string().c_str());
  }

  // Opens the output once; a machine without one stays silent and is not asked again.
  bool Ready() {
    if (open_) return true;
    if (failed_) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      failed_ = true;
      return false;
    }
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      failed_ = true;
      return false;
    }
    Mix_AllocateChannels(kMixerChannels);
    open_ = true;
    AddShutdownHook([this] { Shutdown(); });
    return true;
  }

  std::array<Mix_Chunk*, kSoundChannels> chunks_{};
  Mix_Chunk* wave_ = nullptr;
  bool open_ = false;
  bool failed_ = false;
};

MixerDevice& Mixer() {
  static MixerDevice mixer;
  return mixer;
}

SoundDevice*& Installed() {
  static SoundDevice* device = nullptr;
  return device;
}

}  // namespace

void SetSoundDevice(SoundDevice* device) { Installed() = device; }

SoundDevice& CurrentSoundDevice() {
  SoundDevice* d = Installed();
  return d != nullptr ? *d : Mixer();
}

void RecordingSound::PlayWave(const fs::path& file) { calls.push_back("wave " + file.string()); }

void RecordingSound::Close(int channel) { calls.push_back("close " + std::to_string(channel)); }

bool RecordingSound::Open(int channel, const fs::path& file) {
  calls.push_back("open " + file.string() + " " + std::to_string(channel));
  return channel >= 0 && channel < kSoundChannels && FileExists(file);
}

void RecordingSound::Play(int channel) { calls.push_back("play " + std::to_string(channel)); }

std::int64_t RecordingSound::LengthMs(int channel) {
  calls.push_back("length " + std::to_string(channel));
  return 0;
}

}  // namespace plat
