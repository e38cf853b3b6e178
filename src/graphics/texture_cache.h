// The texture caches: sprite sets loaded on first draw, each a fixed array of textures
// with a parallel array of loaded flags (in Gfx). The drawing code tests the flag of
// the picture it is about to draw and calls the set's loader only when it is 0; the
// accessors below do both and are the way to reach a cached picture.
//
// Picture numbers come from data (maps, tables, saves, the trade peer): every loader
// and accessor checks its indexes against the set's bounds first. Outside them a
// loader does nothing (no flag, no count) and an accessor gives an empty handle, which
// draws nothing.
#pragma once

#include <cstdint>

#include "graphics/resources.h"
#include "platform/render.h"

// ---- Loaders (the caller has found the flag at 0)

// Floor tile n (0..220): a 48 x 32 surface from picture n of "\date\floor".
void LoadFloorTile(long n);
// Frame f (0..12) of NPC picture n (0..53), from the pack "\date\NPC\<n>".
void LoadNpcTex(long n, long f);
// The eight frames of corpse kind n (1..3), "\date\Dead\<n>\<i>.tga".
void LoadDeadTex(long n);
// Every frame of screen-effect set n (1..10), "\date\mgc\sp<n>\<i>.tga"; the flag is set
// for any n of 0..10.
void LoadEffectTex(long n);
// Every frame and offset of skill set n, from "\date\mgc\<n>\xy.txt" and the frame
// files; sets without pictures only get their flag (any n of 0..20).
void LoadSkillTex(long n);
// Picture n of map-object set `set` (1..4), pack "\date\fj\<set>"; another set does
// nothing.
void LoadFjTex(long set, long n);
// Frame f (0..208) of monster picture id (0..119), pack "\Date\Mon\<id>". In the
// low-memory mode the load that finds 141 counted first drops every monster and
// map-object texture.
void LoadMonsterTex(long id, long f);
// Frame FrameNo of the body look BodyNo, pack "\date\Rpg\<BodyNo>".
void LoadRpgTex();
// Frame FrameNo of the weapon look WeaponNo, pack "\date\weapon\<WeaponNo>".
void LoadWeaponTex();
// Item icon n (0..440), "Date\Item\<n>.bmp" under the working folder.
void LoadItemTex(long n);

// ---- Emptying (textures released, flags 0)

void EmptyFloorTiles();
void EmptyNpcTex();
void EmptyDeadTex();
void EmptyEffectTex();
void EmptyFjTex();  // all four map-object sets
void EmptyMonsterTex();
void EmptyBodyTex();
void EmptyWeaponTex();
// What a map load drops: floor, NPC, corpse, screen-effect, map-object and monster
// sets; the monster count starts again at 0.
void EmptyMapTextureSets();

// ---- Accessors: load when needed, then give the picture (empty outside the bounds).
// Pack pictures are numbered from 1: a floor, NPC frame, map-object, monster frame or
// player frame number 0 draws nothing here (the loader itself would end the program).

plat::Surface FloorTile(long n);
plat::Texture NpcTexture(long n, long f);
plat::Texture DeadTexture(long n, long frame);      // frame 1..8
plat::Texture EffectTexture(long n, long frame);    // frame 1..8
plat::Texture SkillTexture(long n, long frame);     // frame 1..48
FrameOffset SkillOffset(long n, long frame);        // loads the set when needed
plat::Texture FjTexture(long set, long n);
plat::Texture MonsterTexture(long id, long f);
plat::Texture BodyTexture();    // frame FrameNo of BodyNo
plat::Texture WeaponTexture();  // frame FrameNo of WeaponNo
plat::Texture ItemTexture(long n);

// Start-up pictures and offsets (see LoadGraphics); {0, 0} / empty outside the bounds.
plat::Texture HeadTexture(long f);  // 1..280
FrameOffset HeadOffset(long f);
FrameOffset NpcOffset(long n, long f);      // 1..53, 1..12
FrameOffset MonsterOffset(long id, long f);  // 1..119, 1..208
plat::Texture DigitTexture(long d);         // 0..10
