#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <stdexcept>

#include "platform/files.h"
#include "platform/paths.h"
#include "text_table.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// FNV-1a: the seed of a sound and the pitch of an unknown monster stem.
std::uint32_t Hash(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

enum class Wave { Sine, Square, Saw, Triangle };

double Oscillator(Wave w, double phase) {
  const double p = phase - std::floor(phase);  // 0..1
  switch (w) {
    case Wave::Sine: return std::sin(kTwoPi * p);
    case Wave::Square: return p < 0.5 ? 0.7 : -0.7;
    case Wave::Saw: return 2.0 * p - 1.0;
    case Wave::Triangle: return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p;
  }
  return 0.0;
}

enum class Band { Low, Mid, High };

// A tone or noise burst inside a sound.
struct Part {
  double start = 0;      // seconds
  double length = 0.1;   // seconds
  double amp = 0.5;
  double attack = 0.004;  // seconds of linear rise
  double decay = 0;       // time constant of the fall in seconds; 0 = hold until the end
};

// A sound being synthesized: a buffer of samples and a random source seeded by its name.
class Synth {
 public:
  Synth(double seconds, std::uint32_t seed)
      : buf_(static_cast<std::size_t>(std::lround(seconds * kSoundRate)), 0.0f), state_(seed | 1u) {}

  // A tone gliding (exponentially) from f0 to f1 hertz, with optional vibrato.
  void Tone(const Part& p, double f0, double f1, Wave w, double vibRate = 0, double vibDepth = 0) {
    double phase = 0;
    ForEach(p, [&](double t, double env) {
      const double k = p.length > 0 ? t / p.length : 0;
      double f = f0 * std::pow(f1 / f0, k);
      if (vibRate > 0) f *= 1.0 + vibDepth * std::sin(kTwoPi * vibRate * t);
      phase += f / kSoundRate;
      return env * Oscillator(w, phase);
    });
  }

  // Filtered noise whose centre moves from fc0 to fc1 hertz.
  void Noise(const Part& p, double fc0, double fc1, Band band, double q = 0.7) {
    double low = 0, mid = 0;
    ForEach(p, [&](double t, double env) {
      const double k = p.length > 0 ? t / p.length : 0;
      const double fc = std::clamp(fc0 * std::pow(fc1 / fc0, k), 20.0, kSoundRate * 0.2);
      const double f = 2.0 * std::sin(std::numbers::pi * fc / kSoundRate);
      const double in = Random() * 2.0 - 1.0;
      low += f * mid;
      const double high = in - low - q * mid;
      mid += f * high;
      const double out = band == Band::Low ? low : band == Band::Mid ? mid : high;
      return env * out;
    });
  }

  // Short clicks at random times (rattling bones, crackling fire, coins).
  void Clicks(const Part& p, int count, double pitch) {
    for (int i = 0; i < count; ++i) {
      Part c = p;
      c.start = p.start + Random() * std::max(0.0, p.length - 0.02);
      c.length = 0.02;
      c.attack = 0.0005;
      c.decay = 0.004;
      c.amp = p.amp * (0.6 + 0.4 * Random());
      Tone(c, pitch * (0.8 + 0.4 * Random()), pitch * 0.7, Wave::Square);
    }
  }

  double Random() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (state_ >> 8) / 16777216.0;  // 0..1
  }

  // Scales the loudest sample to 0.85 and softens both ends against clicks.
  std::vector<float> Finish() {
    float peak = 0;
    for (float s : buf_) peak = std::max(peak, std::fabs(s));
    const float gain = peak > 0 ? 0.85f / peak : 0.0f;
    const std::size_t fade = std::min<std::size_t>(buf_.size() / 2, kSoundRate / 500);  // 2 ms
    for (std::size_t i = 0; i < buf_.size(); ++i) {
      float s = buf_[i] * gain;
      if (i < fade) s *= static_cast<float>(i) / static_cast<float>(fade);
      if (buf_.size() - 1 - i < fade) s *= static_cast<float>(buf_.size() - 1 - i) / static_cast<float>(fade);
      buf_[i] = s;
    }
    return std::move(buf_);
  }

 private:
  template <class F>
  void ForEach(const Part& p, F&& sample) {
    const long first = std::lround(p.start * kSoundRate);
    const long count = std::lround(p.length * kSoundRate);
    const double release = std::min(0.01, p.length / 4);
    for (long i = 0; i < count; ++i) {
      const long at = first + i;
      if (at < 0) continue;
      if (static_cast<std::size_t>(at) >= buf_.size()) break;
      const double t = static_cast<double>(i) / kSoundRate;
      double env = p.amp;
      if (t < p.attack) env *= t / p.attack;
      if (p.decay > 0) env *= std::exp(-(t - std::min(t, p.attack)) / p.decay);
      const double left = p.length - t;
      if (left < release) env *= left / release;
      buf_[static_cast<std::size_t>(at)] += static_cast<float>(sample(t, env));
    }
  }

  std::vector<float> buf_;
  std::uint32_t state_;
};

Part At(double start, double length, double amp, double decay = 0, double attack = 0.004) {
  Part p;
  p.start = start;
  p.length = length;
  p.amp = amp;
  p.decay = decay;
  p.attack = attack;
  return p;
}

// A metallic ring: a few inharmonic partials decaying together.
void Ring(Synth& s, double start, double length, double base, double amp, double decay) {
  const double ratios[] = {1.0, 2.76, 5.40};
  const double weights[] = {1.0, 0.5, 0.25};
  for (int i = 0; i < 3; ++i) s.Tone(At(start, length, amp * weights[i], decay / (1 + i), 0.001), base * ratios[i], base * ratios[i], Wave::Sine);
}

// A rising or falling run of notes.
void Arpeggio(Synth& s, double start, double step, const std::vector<double>& notes, Wave w, double amp) {
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const double at = start + step * static_cast<double>(i);
    s.Tone(At(at, step * 2.2, amp, step * 1.2), notes[i], notes[i], w);
  }
}

using Recipe = std::function<void(Synth&)>;

struct GameSound {
  const char* name;
  double seconds;
  Recipe make;
};

// The game's own sounds, each made to fit what it accompanies.
const std::vector<GameSound>& GameSounds() {
  static const std::vector<GameSound> sounds = {
      // Interface.
      {"按键1", 0.06, [](Synth& s) { s.Tone(At(0, 0.05, 0.8, 0.012, 0.001), 1900, 1500, Wave::Sine); }},
      {"按键2", 0.08, [](Synth& s) {
         s.Tone(At(0, 0.03, 0.6, 0.008, 0.001), 1200, 1000, Wave::Triangle);
         s.Tone(At(0.035, 0.04, 0.5, 0.01, 0.001), 1600, 1400, Wave::Triangle);
       }},
      {"选取", 0.12, [](Synth& s) {
         s.Tone(At(0, 0.05, 0.6, 0.02), 880, 880, Wave::Sine);
         s.Tone(At(0.05, 0.07, 0.6, 0.03), 1320, 1320, Wave::Sine);
       }},
      // Picking things up.
      {"钱", 0.32, [](Synth& s) {
         Ring(s, 0.0, 0.15, 2600, 0.5, 0.05);
         Ring(s, 0.07, 0.15, 3100, 0.45, 0.05);
         Ring(s, 0.15, 0.17, 2800, 0.4, 0.06);
       }},
      {"衣服", 0.18, [](Synth& s) { s.Noise(At(0, 0.18, 0.8, 0, 0.05), 900, 2500, Band::Mid, 1.2); }},
      {"项链", 0.3, [](Synth& s) {
         Ring(s, 0.0, 0.3, 2100, 0.4, 0.1);
         Ring(s, 0.05, 0.25, 3150, 0.3, 0.08);
       }},
      {"武器", 0.25, [](Synth& s) {
         s.Noise(At(0, 0.04, 0.7, 0.01, 0.001), 3000, 2000, Band::Mid);
         Ring(s, 0.0, 0.25, 620, 0.5, 0.08);
       }},
      {"药水", 0.35, [](Synth& s) {
         for (int i = 0; i < 4; ++i) {
           const double at = 0.02 + 0.08 * i;
           s.Tone(At(at, 0.06, 0.5, 0.03), 280 + 40 * i, 650 + 60 * i, Wave::Sine);
         }
       }},
      // Footsteps by floor.
      {"走", 0.08, [](Synth& s) {
         s.Noise(At(0, 0.08, 0.9, 0.02, 0.002), 500, 200, Band::Low);
         s.Tone(At(0, 0.05, 0.4, 0.015, 0.002), 110, 80, Wave::Sine);
       }},
      {"草地", 0.1, [](Synth& s) { s.Noise(At(0, 0.1, 0.8, 0.03, 0.01), 3500, 2000, Band::Mid, 1.4); }},
      {"砖地", 0.07, [](Synth& s) {
         s.Noise(At(0, 0.03, 0.8, 0.006, 0.001), 2500, 1500, Band::Mid);
         s.Tone(At(0, 0.06, 0.5, 0.012, 0.001), 700, 500, Wave::Triangle);
       }},
      {"沼地", 0.15, [](Synth& s) {
         s.Noise(At(0, 0.15, 0.7, 0.05, 0.01), 250, 700, Band::Mid, 0.3);
         s.Tone(At(0.02, 0.1, 0.4, 0.04), 180, 90, Wave::Sine, 25, 0.2);
       }},
      {"水地", 0.15, [](Synth& s) {
         s.Noise(At(0, 0.15, 0.8, 0.04, 0.003), 1200, 3500, Band::Mid, 0.5);
         s.Tone(At(0.01, 0.08, 0.3, 0.03), 500, 1100, Wave::Sine);
       }},
      // Fighting.
      {"徒手", 0.12, [](Synth& s) {
         s.Noise(At(0, 0.12, 0.9, 0.03, 0.002), 400, 150, Band::Low);
         s.Tone(At(0, 0.08, 0.5, 0.02, 0.002), 140, 70, Wave::Sine);
       }},
      {"剑击", 0.2, [](Synth& s) {
         s.Noise(At(0, 0.05, 0.7, 0.012, 0.001), 4000, 1500, Band::Mid);
         Ring(s, 0.0, 0.2, 1900, 0.45, 0.06);
       }},
      {"挥空", 0.18, [](Synth& s) { s.Noise(At(0, 0.18, 0.9, 0, 0.06), 600, 3000, Band::Mid, 1.0); }},
      {"斩空", 0.32, [](Synth& s) {
         s.Noise(At(0, 0.3, 0.8, 0, 0.05), 500, 5000, Band::Mid, 0.8);
         s.Tone(At(0.08, 0.22, 0.3, 0.08), 2400, 1200, Wave::Sine);
       }},
      {"会心一击", 0.32, [](Synth& s) {
         s.Noise(At(0, 0.12, 0.9, 0.04, 0.001), 1500, 300, Band::Low);
         s.Tone(At(0, 0.25, 0.6, 0.08, 0.001), 260, 60, Wave::Saw);
         Ring(s, 0.02, 0.3, 1400, 0.3, 0.08);
       }},
      {"被攻击", 0.22, [](Synth& s) {
         s.Tone(At(0, 0.2, 0.6, 0.08, 0.01), 190, 120, Wave::Saw, 30, 0.05);
         s.Noise(At(0, 0.06, 0.5, 0.02, 0.001), 700, 300, Band::Low);
       }},
      {"死亡", 0.5, [](Synth& s) {
         s.Tone(At(0, 0.5, 0.7, 0.25, 0.01), 420, 70, Wave::Saw, 6, 0.04);
         s.Noise(At(0, 0.4, 0.3, 0.15), 800, 150, Band::Low);
       }},
      // Progress.
      {"升级", 0.5, [](Synth& s) { Arpeggio(s, 0, 0.08, {523, 659, 784, 1047, 1319}, Wave::Triangle, 0.5); }},
      {"升级成功", 0.45, [](Synth& s) {
         Arpeggio(s, 0, 0.07, {659, 784, 988, 1319}, Wave::Triangle, 0.5);
         Ring(s, 0.28, 0.17, 2637, 0.25, 0.06);
       }},
      {"升级失败", 0.45, [](Synth& s) {
         s.Tone(At(0, 0.2, 0.5, 0.1), 330, 311, Wave::Square);
         s.Tone(At(0.18, 0.27, 0.5, 0.12), 247, 233, Wave::Square);
       }},
      {"变身", 0.5, [](Synth& s) {
         s.Tone(At(0, 0.5, 0.5, 0, 0.05), 200, 1200, Wave::Saw, 9, 0.06);
         s.Noise(At(0.1, 0.4, 0.3, 0.2, 0.1), 500, 4000, Band::Mid);
       }},
      {"传送", 0.5, [](Synth& s) {
         s.Tone(At(0, 0.25, 0.45, 0, 0.02), 300, 1500, Wave::Sine, 14, 0.08);
         s.Tone(At(0.25, 0.25, 0.45, 0.12), 1500, 400, Wave::Sine, 14, 0.08);
         s.Noise(At(0, 0.5, 0.2, 0.25), 3000, 6000, Band::High);
       }},
      // Magic.
      {"HP恢复", 0.4, [](Synth& s) {
         s.Tone(At(0, 0.4, 0.5, 0, 0.05), 520, 880, Wave::Sine, 7, 0.03);
         s.Tone(At(0.05, 0.35, 0.25, 0, 0.05), 780, 1320, Wave::Sine, 7, 0.03);
       }},
      {"下毒", 0.35, [](Synth& s) {
         for (int i = 0; i < 5; ++i) s.Tone(At(0.06 * i, 0.07, 0.45, 0.03), 160 + 25 * (i % 3), 320, Wave::Sine);
         s.Tone(At(0, 0.35, 0.25, 0.2), 90, 70, Wave::Saw, 8, 0.1);
       }},
      {"精灵", 0.3, [](Synth& s) {
         for (int i = 0; i < 6; ++i) {
           const double f = 1800 + 1400 * s.Random();
           s.Tone(At(0.04 * i, 0.08, 0.35, 0.03, 0.002), f, f * 1.1, Wave::Sine);
         }
       }},
      {"寒风", 0.5, [](Synth& s) {
         s.Noise(At(0, 0.5, 0.9, 0, 0.12), 700, 2200, Band::Mid, 0.25);
         s.Noise(At(0.1, 0.4, 0.4, 0, 0.1), 3000, 1500, Band::Mid, 0.3);
       }},
      {"地狱火焰", 0.5, [](Synth& s) {
         s.Noise(At(0, 0.5, 0.8, 0, 0.04), 300, 180, Band::Low, 0.5);
         s.Clicks(At(0, 0.5, 0.5), 14, 2500);
       }},
      {"怒石", 0.45, [](Synth& s) {
         s.Noise(At(0, 0.45, 0.9, 0.2, 0.02), 250, 90, Band::Low, 0.4);
         s.Tone(At(0, 0.3, 0.6, 0.1, 0.002), 80, 45, Wave::Sine);
       }},
      {"旋风", 0.5, [](Synth& s) {
         s.Noise(At(0, 0.5, 0.9, 0, 0.08), 400, 1600, Band::Mid, 0.2);
         s.Tone(At(0, 0.5, 0.2, 0, 0.08), 300, 600, Wave::Sine, 12, 0.2);
       }},
      {"雷电2", 0.45, [](Synth& s) {
         s.Noise(At(0, 0.06, 1.0, 0.015, 0.0005), 6000, 3000, Band::High);
         s.Noise(At(0.03, 0.42, 0.8, 0.15, 0.01), 200, 60, Band::Low, 0.5);
       }},
      {"精神盾", 0.42, [](Synth& s) {
         for (double f : {330.0, 415.0, 494.0}) s.Tone(At(0, 0.42, 0.3, 0, 0.08), f, f * 1.5, Wave::Triangle, 5, 0.01);
         s.Noise(At(0.1, 0.32, 0.15, 0.1), 4000, 7000, Band::High);
       }},
      {"炼尸咒", 0.45, [](Synth& s) {
         s.Tone(At(0, 0.45, 0.5, 0, 0.05), 300, 120, Wave::Triangle, 11, 0.08);
         s.Tone(At(0, 0.45, 0.3, 0, 0.05), 317, 127, Wave::Triangle, 11, 0.08);
         s.Noise(At(0, 0.45, 0.2, 0.2), 600, 200, Band::Mid);
       }},
  };
  return sounds;
}

// How a monster sounds: its voice's pitch and kind.
enum class Voice { Voiced, Squeak, Rattle, Chitter, Deep };

struct MonsterVoice {
  double pitch;
  Voice voice;
};

MonsterVoice VoiceOf(const std::string& stem) {
  static const std::map<std::string, MonsterVoice> known = {
      {"鸡", {900, Voice::Squeak}},    {"羊", {420, Voice::Voiced}},   {"鹿", {520, Voice::Voiced}},
      {"狼", {360, Voice::Voiced}},    {"野猪", {190, Voice::Voiced}}, {"蝙蝠", {2200, Voice::Squeak}},
      {"蛆", {260, Voice::Chitter}},   {"蜘蛛", {900, Voice::Chitter}}, {"骷髅", {1200, Voice::Rattle}},
      {"僵尸", {130, Voice::Deep}},    {"法师", {300, Voice::Voiced}}, {"卫士", {240, Voice::Voiced}},
      {"树妖", {150, Voice::Deep}},    {"半兽人", {200, Voice::Voiced}}, {"牛魔", {110, Voice::Deep}},
      {"恶魔", {140, Voice::Deep}},    {"魔王", {90, Voice::Deep}},    {"精灵", {1300, Voice::Squeak}},
  };
  auto it = known.find(stem);
  if (it != known.end()) return it->second;
  const std::uint32_t h = Hash(stem);
  return {120.0 + static_cast<double>(h % 700), static_cast<Voice>((h >> 12) % 5)};
}

Wave WaveOf(Voice v) {
  switch (v) {
    case Voice::Squeak: return Wave::Sine;
    case Voice::Chitter: return Wave::Square;
    case Voice::Deep: return Wave::Saw;
    default: return Wave::Saw;
  }
}

std::vector<float> MonsterSound(const std::string& stem, int event) {
  const MonsterVoice mv = VoiceOf(stem);
  const double f = mv.pitch;
  const Wave w = WaveOf(mv.voice);
  const std::uint32_t seed = Hash(stem) ^ static_cast<std::uint32_t>(event * 0x9E3779B9u);
  switch (event) {
    case 1: {  // idle call
      Synth s(0.36, seed);
      if (mv.voice == Voice::Rattle) {
        s.Clicks(At(0, 0.34, 0.6), 10, f);
      } else if (mv.voice == Voice::Chitter) {
        for (int i = 0; i < 5; ++i) s.Tone(At(0.06 * i, 0.04, 0.5, 0.015, 0.001), f, f * 0.8, w);
      } else {
        s.Tone(At(0, 0.16, 0.6, 0, 0.02), f, f * 1.25, w, 6, 0.03);
        s.Tone(At(0.17, 0.18, 0.6, 0.1, 0.01), f * 1.2, f * 0.9, w, 6, 0.03);
      }
      return s.Finish();
    }
    case 2: {  // attack
      Synth s(0.26, seed);
      s.Noise(At(0, 0.2, 0.6, 0, 0.04), 500, 2500, Band::Mid, 0.8);
      if (mv.voice == Voice::Rattle) {
        s.Clicks(At(0.05, 0.2, 0.5), 6, f);
      } else {
        s.Tone(At(0.02, 0.22, 0.6, 0.1, 0.01), f * 0.9, f * 1.3, w, 18, 0.08);
      }
      return s.Finish();
    }
    case 3: {  // hit
      Synth s(0.18, seed);
      s.Noise(At(0, 0.06, 0.6, 0.02, 0.001), 800, 300, Band::Low);
      if (mv.voice == Voice::Rattle) {
        s.Clicks(At(0, 0.16, 0.6), 8, f * 1.3);
      } else {
        s.Tone(At(0, 0.16, 0.7, 0.06, 0.002), f * 1.6, f, w);
      }
      return s.Finish();
    }
    default: {  // death
      Synth s(0.5, seed);
      if (mv.voice == Voice::Rattle) {
        s.Clicks(At(0, 0.45, 0.7), 18, f);
        s.Noise(At(0.05, 0.4, 0.3, 0.15), 1500, 400, Band::Mid);
      } else {
        s.Tone(At(0, 0.5, 0.7, 0.22, 0.01), f * 1.2, f * 0.35, w, 7, 0.05);
        s.Noise(At(0.05, 0.4, 0.25, 0.15), 600, 150, Band::Low);
      }
      return s.Finish();
    }
  }
}

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void WriteOne(const fs::path& gameDir, const std::string& fileName, const std::vector<float>& samples) {
  const fs::path file = plat::ResolvePathIn(gameDir, "Sound/" + fileName);
  if (!plat::MakeFolder(file.parent_path())) throw std::runtime_error("cannot make the folder " + file.parent_path().string());
  if (!plat::WriteFileAtomically(file, EncodeWave(samples))) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

const std::vector<std::string>& GameSoundNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const GameSound& s : GameSounds()) n.emplace_back(s.name);
    return n;
  }();
  return names;
}

std::vector<std::string> MonsterSoundStems(const fs::path& dataDir) {
  std::vector<std::string> stems;
  std::set<std::string> seen;
  for (const char* table : {"mon1.tsv", "mon2.tsv", "mon3.tsv"}) {
    const TextTable t = ReadTextTable(dataDir / "tables" / table);
    for (const TextRow& row : t.rows) {
      const std::string& wav = t.Field(row, "Wav");
      // The databases refuse such stems too; the sound files must never leave "Sound".
      if (wav.empty() || wav.find_first_of("\\/") != std::string::npos || wav == "." || wav == "..") {
        throw SourceError(t.Where(row) + ": sound stem \"" + wav + "\" must be a plain name");
      }
      if (seen.insert(wav).second) stems.push_back(wav);
    }
  }
  return stems;
}

std::vector<std::uint8_t> EncodeWave(const std::vector<float>& samples, int rate) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataBytes);
  for (char c : std::string("RIFF")) out.push_back(static_cast<std::uint8_t>(c));
  PutLE(out, 36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<std::uint8_t>(c));
  PutLE(out, 16, 4);                                      // size of the format block
  PutLE(out, 1, 2);                                       // PCM
  PutLE(out, 1, 2);                                       // mono
  PutLE(out, static_cast<std::uint32_t>(rate), 4);        // samples a second
  PutLE(out, static_cast<std::uint32_t>(rate) * 2, 4);    // bytes a second
  PutLE(out, 2, 2);                                       // bytes a sample frame
  PutLE(out, 16, 2);                                      // bits a sample
  for (char c : std::string("data")) out.push_back(static_cast<std::uint8_t>(c));
  PutLE(out, dataBytes, 4);
  for (float s : samples) {
    const float c = std::clamp(s, -1.0f, 1.0f);
    const auto v = static_cast<std::int16_t>(std::lround(c * 32767.0f));
    PutLE(out, static_cast<std::uint16_t>(v), 2);
  }
  return out;
}

std::vector<float> SynthesizeSound(const std::string& name, int monsterEvent) {
  if (monsterEvent != 0) return MonsterSound(name, monsterEvent);
  for (const GameSound& g : GameSounds()) {
    if (name == g.name) {
      Synth s(g.seconds, Hash(name));
      g.make(s);
      return s.Finish();
    }
  }
  throw std::invalid_argument("no sound named " + name);
}

void WriteSounds(const fs::path& dataDir, const fs::path& gameDir) {
  const std::vector<std::string> stems = MonsterSoundStems(dataDir);
  for (const std::string& name : GameSoundNames()) WriteOne(gameDir, name + ".wav", SynthesizeSound(name));
  for (const std::string& stem : stems) {
    for (int e = 1; e <= 4; ++e) {
      WriteOne(gameDir, stem + "-" + std::to_string(e) + ".wav", SynthesizeSound(stem, e));
    }
  }
}

}  // namespace tools
