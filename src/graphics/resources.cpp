#include "graphics/resources.h"

GraphicsResources Gfx;

namespace {

template <typename T>
std::vector<T> Slots(int last) {
  return std::vector<T>(static_cast<std::size_t>(last) + 1);
}

void ReleaseAll(std::vector<plat::Texture>& set) {
  for (auto& t : set) ReleaseTex(t);
}

void ReleaseAll(Table2<plat::Texture>& set) { ReleaseAll(set.All()); }

void Zero(std::vector<std::int32_t>& flags) {
  for (auto& f : flags) f = 0;
}

}  // namespace

GraphicsResources::GraphicsResources()
    : FloorSurf(Slots<plat::Surface>(kFloorTileLast)),
      FloorLoaded(Slots<std::int32_t>(kFloorTileLast)),
      NpcTex(kNpcPictureLast, kNpcFrameLast),
      NpcLoaded(kNpcPictureLast, kNpcFrameLast),
      DeadTex(kDeadKindLast, kDeadFrameLast),
      DeadLoaded(Slots<std::int32_t>(kDeadKindLast)),
      EffectTex(kEffectSetLast, kEffectFrameLast),
      EffectLoaded(Slots<std::int32_t>(kEffectSetLast)),
      SkillTex(kSkillSetLast, kSkillFrameLast),
      SkillXy(kSkillSetLast, kSkillFrameLast),
      SkillLoaded(Slots<std::int32_t>(kSkillSetLast)),
      MonsterTex(kMonsterPictureLast, kMonsterFrameLast),
      MonsterLoaded(kMonsterPictureLast, kMonsterFrameLast),
      BodyTex(Slots<plat::Texture>(kPlayerFrameLast)),
      BodyLoaded(Slots<std::int32_t>(kPlayerFrameLast)),
      WeaponTex(Slots<plat::Texture>(kPlayerFrameLast)),
      WeaponLoaded(Slots<std::int32_t>(kPlayerFrameLast)),
      ItemTex(Slots<plat::Texture>(kItemIconLast)),
      ItemLoaded(Slots<std::int32_t>(kItemIconLast)),
      HeadTex(Slots<plat::Texture>(kPlayerFrameLast)),
      HeadZb(Slots<FrameOffset>(kPlayerFrameLast)),
      NpcZb(kNpcPictureLast, kNpcFrameLast),
      MonsterZb(kMonsterPictureLast, kMonsterFrameLast) {
  for (int set = 1; set <= kFjSetCount; ++set) {
    FjTex[static_cast<std::size_t>(set)] = Slots<plat::Texture>(kFjLast[static_cast<std::size_t>(set)]);
    FjLoaded[static_cast<std::size_t>(set)] = Slots<std::int32_t>(kFjLast[static_cast<std::size_t>(set)]);
  }
}

void ReleaseTex(plat::Texture& tex) {
  if (tex && Gfx.Device != nullptr) Gfx.Device->ReleaseTexture(tex);
  tex = plat::Texture{};
}

void ReleaseSurf(plat::Surface& surf) {
  if (surf && Gfx.Device != nullptr) Gfx.Device->ReleaseSurface(surf);
  surf = plat::Surface{};
}

void ReleaseAllPictures() {
  GraphicsResources& g = Gfx;
  for (auto& s : g.FloorSurf) ReleaseSurf(s);
  Zero(g.FloorLoaded);
  ReleaseAll(g.NpcTex);
  g.NpcLoaded.Reset();
  ReleaseAll(g.DeadTex);
  Zero(g.DeadLoaded);
  ReleaseAll(g.EffectTex);
  Zero(g.EffectLoaded);
  ReleaseAll(g.SkillTex);
  g.SkillXy.Reset();
  Zero(g.SkillLoaded);
  for (int set = 1; set <= kFjSetCount; ++set) {
    ReleaseAll(g.FjTex[static_cast<std::size_t>(set)]);
    Zero(g.FjLoaded[static_cast<std::size_t>(set)]);
  }
  ReleaseAll(g.MonsterTex);
  g.MonsterLoaded.Reset();
  ReleaseAll(g.BodyTex);
  Zero(g.BodyLoaded);
  ReleaseAll(g.WeaponTex);
  Zero(g.WeaponLoaded);
  ReleaseAll(g.ItemTex);
  Zero(g.ItemLoaded);

  ReleaseSurf(g.LoadingSurfSmall);
  ReleaseSurf(g.LoadingSurfLarge);
  ReleaseAll(g.HeadTex);
  for (auto& o : g.HeadZb) o = FrameOffset{};
  g.NpcZb.Reset();
  g.MonsterZb.Reset();
  for (plat::Texture* t : {&g.HudFrameTex, &g.ExpOrbTex, &g.HpBarTex, &g.MpBarTex, &g.MonHpFillTex,
                           &g.MonHpFrameTex, &g.TargetBarTex, &g.AuraTex, &g.SpiritGlowTex, &g.FlashTex}) {
    ReleaseTex(*t);
  }
  for (auto& t : g.DigitTex) ReleaseTex(t);
}

void ResetGraphics() {
  ReleaseAllPictures();
  ReleaseSurf(Gfx.MapSurface);
  // The device goes last: every handle above belonged to it.
  Gfx = GraphicsResources{};
}
