#include "graphics/hud.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <string_view>

#include "common/game_state.h"
#include "graphics/characters.h"
#include "graphics/resources.h"
#include "graphics/scene_draw.h"
#include "graphics/texture_cache.h"
#include "platform/text.h"

namespace {

float F(std::int64_t v) { return static_cast<float>(v); }

// Texts of numbers are put together in a buffer on the stack: the head-up display is
// drawn every frame and needs no allocation.
class TextBuffer {
 public:
  TextBuffer& Add(std::string_view s) {
    // A text that does not fit is cut at a character boundary.
    std::size_t n = std::min(s.size(), buf_.size() - len_);
    if (n < s.size()) {
      while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buf_.data() + len_, s.data(), n);
    len_ += n;
    return *this;
  }
  TextBuffer& Add(std::int64_t v) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, v);
    return Add(std::string_view(digits, static_cast<std::size_t>(res.ptr - digits)));
  }
  std::string_view View() const { return std::string_view(buf_.data(), len_); }

 private:
  std::array<char, 256> buf_{};
  std::size_t len_ = 0;
};

constexpr int kBarLength = 100;
constexpr int kBarHeight = 10;
constexpr int kOrbSize = 39;
constexpr int kTargetBarLength = 230;
constexpr int kTargetBarHeight = 22;
constexpr float kFlashScaleX = 360.0f;
constexpr float kFlashScaleY = 220.0f;
constexpr std::int32_t kFloatingTextLife = 120;

// The fill of the experience orb, 0..1.
double ExpRatio(std::int64_t ex, std::int64_t level) {
  const double needed = static_cast<double>(level) * static_cast<double>(level) * 10.0;
  return BarRatio(static_cast<double>(ex), needed);
}

void DrawBar(plat::Texture bar, float x, float y, std::int32_t value, std::int32_t max, float textY,
             plat::Color textColour) {
  DrawSpritePart(bar, plat::Rect{0, 0, BarWidth(value, max), kBarHeight}, x, y, plat::Color::White());
  TextBuffer t;
  t.Add(value).Add("/").Add(max);
  DrawSceneText(t.View(), textColour, 103.0f, textY, 200, 20);
}

// The digit picture of one character of a floating number.
std::int32_t DigitOf(char ch) { return ch >= '0' && ch <= '9' ? ch - '0' : 0; }

void DrawFloatingText(FloatingText& t) {
  const std::int64_t age = std::min<std::int64_t>(static_cast<std::int64_t>(t.Age) + 2, INT32_MAX);
  t.Age = static_cast<std::int32_t>(age);
  const std::int64_t x = (static_cast<std::int64_t>(t.X) - G.ViewX) * kCellWidth + G.ScrollX;
  const std::int64_t y = (static_cast<std::int64_t>(t.Y) - G.ViewY) * kCellHeight + G.ScrollY - age;
  const std::int64_t alpha = age < 100 ? 255 : 1255 - 10 * age;
  if (t.Text == "MISS") {
    DrawSpriteAt(DigitTexture(10), F(x), F(y), Rgba(255, 255, 255, alpha));
  } else {
    const plat::Color colour = Rgba(t.R, t.G, t.B, alpha);
    std::int64_t k = 0;
    for (const char ch : t.Text) {
      if ((static_cast<unsigned char>(ch) & 0xC0) == 0x80) continue;  // inside a character
      ++k;
      DrawSpriteAt(DigitTexture(DigitOf(ch)), F(x + 10 * k), F(y), colour);
    }
  }
  if (age > kFloatingTextLife) t.Age = 0;
}

}  // namespace

int BarWidth(std::int64_t value, std::int64_t max) {
  return static_cast<int>(
      plat::RoundHalfEven(BarRatio(static_cast<double>(value), static_cast<double>(max)) * kBarLength));
}

int ExpFillTop(std::int64_t ex, std::int64_t level) {
  const double y = 59.0 - ExpRatio(ex, level) * kOrbSize;
  return std::clamp(static_cast<int>(plat::RoundHalfEven(y - 20.0)), 0, kOrbSize);
}

void DrawHud() {
  const PlayerRecord& p = G.Player;
  if (G.CheatMode == 0) {
    DrawSpriteAt(Gfx.HudFrameTex, 20.0f, 20.0f, plat::Color::White());
    const double y = 59.0 - ExpRatio(p.Ex, p.Level) * kOrbSize;
    const int top = ExpFillTop(p.Ex, p.Level);
    DrawSpritePart(Gfx.ExpOrbTex, plat::Rect{0, top, kOrbSize, kOrbSize - top}, 20.0f, static_cast<float>(y),
                   plat::Color::White());
  }
  DrawBar(Gfx.HpBarTex, 75.0f, 27.0f, p.HP, p.HpMax, 26.0f, Rgba(0, 0, 255));
  DrawBar(Gfx.MpBarTex, 75.0f, 43.0f, p.Mp, p.MpMax, 42.0f, Rgba(255, 0, 0));
  TextBuffer fps;
  fps.Add(G.Fps);
  DrawSceneText(fps.View(), Rgba(255, 0, 0), 8.0f, 8.0f, 20, 20);
}

void DrawFloatingTexts() {
  if (G.ShowDamage != 1) return;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(kMaxFloatingTexts); ++i) {
    FloatingText& t = G.FloatingTexts[i];
    if (t.Age > 0) DrawFloatingText(t);
  }
}

void DrawLocation() {
  TextBuffer t;
  if (G.SubMap >= 0 && G.SubMap <= kMaxParts) t.Add(G.PartNames[static_cast<std::size_t>(G.SubMap)]);
  t.Add(" (").Add(static_cast<std::int64_t>(G.ViewX) + 7).Add(",").Add(static_cast<std::int64_t>(G.ViewY) + 7).Add(")");
  DrawSceneText(t.View(), plat::Color::White(), 14.0f, 384.0f, 300, 20);
}

void DrawTargetBar() {
  if (G.ShowAllMonHp != 0 || G.TargetTimer <= 0) return;
  G.TargetTimer -= 1;
  const MonsterKind* kind = KindOfMonster(G.TargetMon);
  if (kind == nullptr) return;
  const double ratio = BarRatio(G.Monsters[static_cast<std::size_t>(G.TargetMon)].HP, kind->Hp);
  const int w = static_cast<int>(plat::RoundHalfEven(ratio * kTargetBarLength));
  DrawSpriteAt(Gfx.TargetBarTex, 240.0f, 15.0f, Rgba(0, 0, 255));
  DrawSpritePart(Gfx.TargetBarTex, plat::Rect{0, 0, w, kTargetBarHeight}, 240.0f, 15.0f, plat::Color::White());
  DrawSceneText(PadName(kind->MonName), plat::Color::White(), 330.0f, 20.0f, 200, 50);
}

void DrawSysMessages() {
  for (int i = 1; i <= kSysMessageLines; ++i) {
    const SysMessage& m = G.SysMessages[static_cast<std::size_t>(i)];
    if (m.Life > 0) DrawSceneText(m.Text, Rgba(m.R, m.G, m.B, 255), 15.0f, static_cast<float>(60 + 16 * i), 400, 30);
  }
}

void DrawFlash() {
  if (G.FlashMode == 1 || G.FlashMode == 2) {
    if (G.FlashAlpha < 5) G.FlashAlpha = 50;
    G.FlashAlpha = static_cast<std::uint8_t>(G.FlashAlpha - 2);
  }
  if (G.FlashMode == 0) return;
  Gfx.ScalingX = kFlashScaleX;
  Gfx.ScalingY = kFlashScaleY;
  DrawSpriteAt(Gfx.FlashTex, 0.0f, 0.0f, Rgba(G.FlashR, G.FlashG, G.FlashB, G.FlashAlpha));
  Gfx.ScalingX = Gfx.ScalingY = 1.0f;
}
