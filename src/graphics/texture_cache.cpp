#include "graphics/texture_cache.h"

#include <array>
#include <string>

#include "common/game_state.h"
#include "graphics/number_table.h"
#include "graphics/pictures.h"

namespace {

constexpr std::array<int, kEffectSetLast + 1> kEffectFrames{0, 8, 6, 4, 8, 7, 8, 8, 8, 6, 7};

// A skill set's frame files: how many, their extension, and whether "xy.txt" gives
// their offsets. Sets with no frames have no pictures.
struct SkillSet {
  int frames = 0;
  const char* ext = ".tga";
  bool offsets = false;
};

SkillSet SkillSetOf(long n) {
  switch (n) {
    case 2: return {48, ".tga", true};
    case 3: return {48, ".tga", true};
    case 4: return {32, ".tga", true};
    case 5: return {10, ".tga", true};
    case 7: return {6, ".tga", true};
    case 8: return {10, ".tga", true};
    case 9: return {6, ".bmp", true};
    case 10: return {3, ".tga", false};
    case 11: return {8, ".tga", true};
    case 12: return {8, ".bmp", true};
    case 13: return {12, ".tga", true};
    case 15: return {12, ".tga", true};
    default: return {};
  }
}

bool InRange(long v, long first, long last) { return v >= first && v <= last; }

std::size_t Ix(long v) { return static_cast<std::size_t>(v); }

int I(long v) { return static_cast<int>(v); }

void EmptySet(std::vector<plat::Texture>& tex, std::vector<std::int32_t>& flags) {
  for (auto& t : tex) ReleaseTex(t);
  for (auto& f : flags) f = 0;
}

void EmptySet(Table2<plat::Texture>& tex) {
  for (auto& t : tex.All()) ReleaseTex(t);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Loaders

void LoadFloorTile(long n) {
  if (!InRange(n, 0, kFloorTileLast) || Gfx.Device == nullptr) return;
  plat::Surface& slot = Gfx.FloorSurf[Ix(n)];
  ReleaseSurf(slot);
  slot = Gfx.Device->CreateSurface(kFloorTileWidth, kFloorTileHeight);
  LoadSurfacePack(slot, "\\date\\floor", n);
  Gfx.FloorLoaded[Ix(n)] = 1;
}

void LoadNpcTex(long n, long f) {
  if (!InRange(n, 0, kNpcPictureLast) || !InRange(f, 0, kNpcFrameLast)) return;
  LoadTexPack(Gfx.NpcTex(I(n), I(f)), "\\date\\NPC\\" + std::to_string(n), f);
  Gfx.NpcLoaded(I(n), I(f)) = 1;
}

void LoadDeadTex(long n) {
  if (!InRange(n, 1, kDeadKindLast)) return;
  for (int i = 1; i <= kDeadFrameLast; ++i) {
    LoadTexFile(Gfx.DeadTex(I(n), i), "\\date\\Dead\\" + std::to_string(n) + "\\" + std::to_string(i) + ".tga");
  }
  Gfx.DeadLoaded[Ix(n)] = 1;
}

void LoadEffectTex(long n) {
  if (!InRange(n, 0, kEffectSetLast)) return;
  if (n >= 1) {
    for (int i = 1; i <= kEffectFrames[Ix(n)]; ++i) {
      LoadTexFile(Gfx.EffectTex(I(n), i), "\\date\\mgc\\sp" + std::to_string(n) + "\\" + std::to_string(i) + ".tga");
    }
  }
  Gfx.EffectLoaded[Ix(n)] = 1;
}

void LoadSkillTex(long n) {
  if (!InRange(n, 0, kSkillSetLast)) return;
  const SkillSet set = SkillSetOf(n);
  const std::string folder = "\\date\\mgc\\" + std::to_string(n) + "\\";
  if (set.frames > 0) {
    const std::string xyPath = folder + "xy.txt";
    std::optional<NumberTable> xy;
    if (set.offsets) {
      xy.emplace(xyPath);
      if (!xy->IsOpen()) ShowMissingFile(xyPath);
    }
    for (int i = 1; i <= set.frames; ++i) {
      if (xy) {
        const auto x = xy->NextFloor();
        const auto y = x ? xy->NextFloor() : std::nullopt;
        if (!x || !y) ShowMissingFile(xyPath);
        Gfx.SkillXy(I(n), i) = FrameOffset{*x, *y};
      }
      LoadTexFile(Gfx.SkillTex(I(n), i), folder + std::to_string(i) + set.ext);
    }
  }
  Gfx.SkillLoaded[Ix(n)] = 1;
}

void LoadFjTex(long set, long n) {
  if (!InRange(set, 1, kFjSetCount) || !InRange(n, 0, kFjLast[Ix(set)])) return;
  Gfx.FjLoaded[Ix(set)][Ix(n)] = 1;
  LoadTexPack(Gfx.FjTex[Ix(set)][Ix(n)], "\\date\\fj\\" + std::to_string(set), n);
}

void LoadMonsterTex(long id, long f) {
  if (!InRange(id, 0, kMonsterPictureLast) || !InRange(f, 0, kMonsterFrameLast)) return;
  if (G.LowMemoryMode == 2 && G.MonsterTexCount >= kLowMemoryMonsterLimit) {
    EmptyMonsterTex();
    G.MonsterTexCount = 0;
    EmptyFjTex();
  }
  LoadTexPack(Gfx.MonsterTex(I(id), I(f)), "\\Date\\Mon\\" + std::to_string(id), f);
  Gfx.MonsterLoaded(I(id), I(f)) = 1;
  G.MonsterTexCount += 1;
}

void LoadRpgTex() {
  const long frame = G.Player.FrameNo;
  if (!InRange(frame, 0, kPlayerFrameLast)) return;
  LoadTexPack(Gfx.BodyTex[Ix(frame)], "\\date\\Rpg\\" + std::to_string(G.BodyNo), frame);
  Gfx.BodyLoaded[Ix(frame)] = 1;
}

void LoadWeaponTex() {
  const long frame = G.Player.FrameNo;
  if (!InRange(frame, 0, kPlayerFrameLast)) return;
  LoadTexPack(Gfx.WeaponTex[Ix(frame)], "\\date\\weapon\\" + std::to_string(G.WeaponNo), frame);
  Gfx.WeaponLoaded[Ix(frame)] = 1;
}

void LoadItemTex(long n) {
  if (!InRange(n, 0, kItemIconLast)) return;
  LoadTexFile(Gfx.ItemTex[Ix(n)], "Date\\Item\\" + std::to_string(n) + ".bmp");
  Gfx.ItemLoaded[Ix(n)] = 1;
}

// ---------------------------------------------------------------------------------
// Emptying

void EmptyFloorTiles() {
  for (auto& s : Gfx.FloorSurf) ReleaseSurf(s);
  for (auto& f : Gfx.FloorLoaded) f = 0;
}

void EmptyNpcTex() {
  EmptySet(Gfx.NpcTex);
  Gfx.NpcLoaded.Reset();
}

void EmptyDeadTex() {
  EmptySet(Gfx.DeadTex);
  for (auto& f : Gfx.DeadLoaded) f = 0;
}

void EmptyEffectTex() {
  EmptySet(Gfx.EffectTex);
  for (auto& f : Gfx.EffectLoaded) f = 0;
}

void EmptyFjTex() {
  for (int set = 1; set <= kFjSetCount; ++set) EmptySet(Gfx.FjTex[Ix(set)], Gfx.FjLoaded[Ix(set)]);
}

void EmptyMonsterTex() {
  EmptySet(Gfx.MonsterTex);
  Gfx.MonsterLoaded.Reset();
}

void EmptyBodyTex() { EmptySet(Gfx.BodyTex, Gfx.BodyLoaded); }

void EmptyWeaponTex() { EmptySet(Gfx.WeaponTex, Gfx.WeaponLoaded); }

void EmptyMapTextureSets() {
  EmptyFloorTiles();
  EmptyNpcTex();
  EmptyDeadTex();
  EmptyEffectTex();
  EmptyFjTex();
  EmptyMonsterTex();
  G.MonsterTexCount = 0;
}

// ---------------------------------------------------------------------------------
// Accessors

plat::Surface FloorTile(long n) {
  if (!InRange(n, 1, kFloorTileLast)) return {};
  if (Gfx.FloorLoaded[Ix(n)] == 0) LoadFloorTile(n);
  return Gfx.FloorSurf[Ix(n)];
}

plat::Texture NpcTexture(long n, long f) {
  if (!InRange(n, 0, kNpcPictureLast) || !InRange(f, 1, kNpcFrameLast)) return {};
  if (Gfx.NpcLoaded(I(n), I(f)) == 0) LoadNpcTex(n, f);
  return Gfx.NpcTex(I(n), I(f));
}

plat::Texture DeadTexture(long n, long frame) {
  if (!InRange(n, 1, kDeadKindLast) || !InRange(frame, 1, kDeadFrameLast)) return {};
  if (Gfx.DeadLoaded[Ix(n)] == 0) LoadDeadTex(n);
  return Gfx.DeadTex(I(n), I(frame));
}

plat::Texture EffectTexture(long n, long frame) {
  if (!InRange(n, 1, kEffectSetLast) || !InRange(frame, 1, kEffectFrameLast)) return {};
  if (Gfx.EffectLoaded[Ix(n)] == 0) LoadEffectTex(n);
  return Gfx.EffectTex(I(n), I(frame));
}

plat::Texture SkillTexture(long n, long frame) {
  if (!InRange(n, 0, kSkillSetLast) || !InRange(frame, 1, kSkillFrameLast)) return {};
  if (Gfx.SkillLoaded[Ix(n)] == 0) LoadSkillTex(n);
  return Gfx.SkillTex(I(n), I(frame));
}

FrameOffset SkillOffset(long n, long frame) {
  if (!InRange(n, 0, kSkillSetLast) || !InRange(frame, 1, kSkillFrameLast)) return {};
  if (Gfx.SkillLoaded[Ix(n)] == 0) LoadSkillTex(n);
  return Gfx.SkillXy(I(n), I(frame));
}

plat::Texture FjTexture(long set, long n) {
  if (!InRange(set, 1, kFjSetCount) || !InRange(n, 1, kFjLast[Ix(set)])) return {};
  if (Gfx.FjLoaded[Ix(set)][Ix(n)] == 0) LoadFjTex(set, n);
  return Gfx.FjTex[Ix(set)][Ix(n)];
}

plat::Texture MonsterTexture(long id, long f) {
  if (!InRange(id, 0, kMonsterPictureLast) || !InRange(f, 1, kMonsterFrameLast)) return {};
  if (Gfx.MonsterLoaded(I(id), I(f)) == 0) LoadMonsterTex(id, f);
  return Gfx.MonsterTex(I(id), I(f));
}

plat::Texture BodyTexture() {
  const long frame = G.Player.FrameNo;
  if (!InRange(frame, 1, kPlayerFrameLast)) return {};
  if (Gfx.BodyLoaded[Ix(frame)] == 0) LoadRpgTex();
  return Gfx.BodyTex[Ix(frame)];
}

plat::Texture WeaponTexture() {
  const long frame = G.Player.FrameNo;
  if (!InRange(frame, 1, kPlayerFrameLast)) return {};
  if (Gfx.WeaponLoaded[Ix(frame)] == 0) LoadWeaponTex();
  return Gfx.WeaponTex[Ix(frame)];
}

plat::Texture ItemTexture(long n) {
  if (!InRange(n, 0, kItemIconLast)) return {};
  if (Gfx.ItemLoaded[Ix(n)] == 0) LoadItemTex(n);
  return Gfx.ItemTex[Ix(n)];
}

plat::Texture HeadTexture(long f) {
  if (!InRange(f, 1, kPlayerFrameLast)) return {};
  return Gfx.HeadTex[Ix(f)];
}

FrameOffset HeadOffset(long f) {
  if (!InRange(f, 1, kPlayerFrameLast)) return {};
  return Gfx.HeadZb[Ix(f)];
}

FrameOffset NpcOffset(long n, long f) {
  if (!InRange(n, 1, kNpcPictureLast) || !InRange(f, 1, kNpcFrameLast)) return {};
  return Gfx.NpcZb(I(n), I(f));
}

FrameOffset MonsterOffset(long id, long f) {
  if (!InRange(id, 1, kMonsterPictureLast) || !InRange(f, 1, kMonsterFrameLast)) return {};
  return Gfx.MonsterZb(I(id), I(f));
}

plat::Texture DigitTexture(long d) {
  if (!InRange(d, 0, kDigitLast)) return {};
  return Gfx.DigitTex[Ix(d)];
}
