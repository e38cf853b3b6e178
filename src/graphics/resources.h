// Everything the graphics hold: the device they draw with, the off-screen map surface,
// the lazily filled texture caches with their loaded flags, and the pictures and
// frame-offset tables loaded once at start. One global object, `Gfx`; a test starts
// over with ResetGraphics().
//
// Textures and surfaces are handles owned by the device. A cache slot holds an empty
// handle until its picture is loaded; its flag is 0 (not loaded) or 1 (loaded).
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/render.h"

// ---------------------------------------------------------------------------------
// Bounds (the last valid index of each set; every set starts at 0)

constexpr int kFloorTileLast = 220;      // FloorSurf 0..220
constexpr int kNpcPictureLast = 53;      // NpcTex picture 0..53
constexpr int kNpcFrameLast = 12;        // NpcTex frame 0..12
constexpr int kDeadKindLast = 3;         // DeadTex kind 1..3
constexpr int kDeadFrameLast = 8;        // DeadTex frame 1..8
constexpr int kEffectSetLast = 10;       // EffectTex set 1..10 (flags 0..10)
constexpr int kEffectFrameLast = 8;      // EffectTex frame 1..8
constexpr int kSkillSetLast = 20;        // SkillTex set 0..20
constexpr int kSkillFrameLast = 48;      // SkillTex frame 1..48
constexpr int kFjSetCount = 4;           // map-object sets 1..4
constexpr std::array<int, kFjSetCount + 1> kFjLast{0, 673, 1388, 5074, 5551};
constexpr int kMonsterPictureLast = 119; // MonsterTex picture 0..119
constexpr int kMonsterFrameLast = 208;   // MonsterTex frame 0..208
constexpr int kPlayerFrameLast = 280;    // BodyTex, WeaponTex, HeadTex 0..280
constexpr int kItemIconLast = 440;       // ItemTex 0..440
constexpr int kDigitLast = 10;           // DigitTex 0..9 and 10 for "MISS"

// The sizes the device works with.
constexpr int kMapSurfaceWidth = 912;
constexpr int kMapSurfaceHeight = 576;
constexpr int kFloorTileWidth = 48;
constexpr int kFloorTileHeight = 32;

// Monster textures cached at most in the low-memory mode, and the count above which a
// failed texture creation may drop them all once.
constexpr int kLowMemoryMonsterLimit = 141;
constexpr int kFailureFlushLimit = 300;

class FrameRecorder;  // graphics/scene_draw.h

// One frame's drawing offset.
struct FrameOffset {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const FrameOffset&) const = default;
};

// A two-index table with bounds 0..last1 x 0..last2, kept on the heap.
template <typename T>
class Table2 {
 public:
  Table2(int last1, int last2)
      : n1_(last1 + 1), n2_(last2 + 1), v_(static_cast<std::size_t>(n1_) * static_cast<std::size_t>(n2_)) {}
  bool In(int a, int b) const { return a >= 0 && a < n1_ && b >= 0 && b < n2_; }
  T& operator()(int a, int b) {
    assert(In(a, b));
    return v_[Index(a, b)];
  }
  const T& operator()(int a, int b) const {
    assert(In(a, b));
    return v_[Index(a, b)];
  }
  int Last1() const { return n1_ - 1; }
  int Last2() const { return n2_ - 1; }
  std::vector<T>& All() { return v_; }
  const std::vector<T>& All() const { return v_; }
  void Reset() {
    for (auto& e : v_) e = T{};
  }

 private:
  std::size_t Index(int a, int b) const {
    return static_cast<std::size_t>(a) * static_cast<std::size_t>(n2_) + static_cast<std::size_t>(b);
  }
  int n1_, n2_;
  std::vector<T> v_;
};

struct GraphicsResources {
  GraphicsResources();

  // --- the device
  plat::Renderer* Device = nullptr;           // what everything draws with
  std::unique_ptr<plat::Renderer> OwnDevice;  // a headless device made by InitD3D when none was attached
  plat::Texture BackBuffer;                   // the game screen's target; empty = the device's output
  std::function<void()> ShowFrame;            // shows a finished frame (the host's present)
  plat::Surface MapSurface;                   // 912 x 576, where the floor is composed
  float RotCenterX = 1.0f, RotCenterY = 1.0f;
  float ScalingX = 1.0f, ScalingY = 1.0f;
  FrameRecorder* Recorder = nullptr;          // watches the steps of each frame (tests)

  // --- texture caches, filled on first draw
  std::vector<plat::Surface> FloorSurf;  // 0..220
  std::vector<std::int32_t> FloorLoaded;
  Table2<plat::Texture> NpcTex;  // 0..53 x 0..12
  Table2<std::int32_t> NpcLoaded;
  Table2<plat::Texture> DeadTex;  // 0..3 x 0..8
  std::vector<std::int32_t> DeadLoaded;  // 0..3
  Table2<plat::Texture> EffectTex;  // 0..10 x 0..8
  std::vector<std::int32_t> EffectLoaded;  // 0..10
  Table2<plat::Texture> SkillTex;  // 0..20 x 0..48
  Table2<FrameOffset> SkillXy;
  std::vector<std::int32_t> SkillLoaded;  // 0..20
  std::array<std::vector<plat::Texture>, kFjSetCount + 1> FjTex;  // FjTex[1..4], each 0..kFjLast[set]
  std::array<std::vector<std::int32_t>, kFjSetCount + 1> FjLoaded;
  Table2<plat::Texture> MonsterTex;  // 0..119 x 0..208
  Table2<std::int32_t> MonsterLoaded;
  std::vector<plat::Texture> BodyTex;  // 0..280
  std::vector<std::int32_t> BodyLoaded;
  std::vector<plat::Texture> WeaponTex;  // 0..280
  std::vector<std::int32_t> WeaponLoaded;
  std::vector<plat::Texture> ItemTex;  // 0..440
  std::vector<std::int32_t> ItemLoaded;

  // --- loaded once at start
  plat::Surface LoadingSurfSmall;  // 180 x 40
  plat::Surface LoadingSurfLarge;  // 190 x 190
  std::vector<plat::Texture> HeadTex;  // 1..280
  std::vector<FrameOffset> HeadZb;     // 1..280
  Table2<FrameOffset> NpcZb;           // picture 1..53, frame 1..12
  Table2<FrameOffset> MonsterZb;       // picture 1..119, frame 1..208
  plat::Texture HudFrameTex, ExpOrbTex, HpBarTex, MpBarTex, MonHpFillTex, MonHpFrameTex, TargetBarTex;
  std::array<plat::Texture, kDigitLast + 1> DigitTex{};
  plat::Texture AuraTex, SpiritGlowTex, FlashTex;
};

extern GraphicsResources Gfx;

// Releases every texture and surface, drops a device InitD3D made for itself, forgets
// an attached display and starts over with empty caches.
void ResetGraphics();

// Releases one texture or surface on the device and empties the slot.
void ReleaseTex(plat::Texture& tex);
void ReleaseSurf(plat::Surface& surf);

// Releases every texture and surface the caches and start-up sets hold and clears
// their flags and offsets; the device and the map surface stay.
void ReleaseAllPictures();
