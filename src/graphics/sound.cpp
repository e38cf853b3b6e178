#include "graphics/sound.h"

#include "common/game_state.h"
#include "platform/paths.h"
#include "platform/sound.h"

void PlaySoundMci(std::string_view file) {
  if (G.SoundAliasCount == 0) G.SoundAliasCount = 1;
  // One past the highest alias wraps to 0.
  G.SoundAlias = (G.SoundAlias < 0 || G.SoundAlias >= G.SoundAliasCount) ? 0 : G.SoundAlias + 1;
  const int alias = G.SoundAlias;

  plat::SoundDevice& dev = plat::CurrentSoundDevice();
  dev.Close(alias);
  // The path goes to the device whole: names with blanks play.
  if (!dev.Open(alias, plat::ResolvePath(file))) return;
  dev.Play(alias);
  (void)dev.LengthMs(alias);
}

void PlayWav(std::string_view file) { plat::CurrentSoundDevice().PlayWave(plat::ResolvePath(file)); }
