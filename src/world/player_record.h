// The two record copies of the transformation: the whole character saved aside, and
// its fighting stats put back; and the one place every lasting change to the
// character's stats goes while a form is worn.
#pragma once

#include <cstdint>

#include "common/game_state.h"

// PlayerBackup = Player (everything, items and skill strings included); then the
// player's Mc and McMax become 0, which marks the character as transformed. From here
// until RestorePlayerStats a form is worn (FormWorn).
void BackupPlayerRecord();

// Copies back from PlayerBackup exactly Dc, DcMax, Mc, McMax, Df, DfMax, Mf, MfMax, Nb,
// Acc, DcSpeed, XiHP, MaBi and zd. Hit points, magic points, luck, capacity, money,
// experience, items and skill strings keep their current values. The form is off.
void RestorePlayerStats();

// True while a spirit form is worn: the fourteen stats above are then the form's, and
// the character's own wait in PlayerBackup.
bool FormWorn();

// Where a lasting change to a field of the character belongs: while a form is worn,
// the backup's copy of one of the fourteen stats the form gives back at its end;
// otherwise, and for every other field, the player's own. Wearing, oils, level gains,
// attribute and skill points, script changes and the shield's bonus all go through it,
// so that nothing is lost or kept twice when the form ends.
std::int32_t& LastingStat(std::int32_t PlayerRecord::*field);

// The same for a field given by its address: a field of Player is moved to the record
// that holds it; any other address (game state outside the character) comes back as it
// is. nullptr stays nullptr.
std::int32_t* LastingStat(std::int32_t* field);

// LastingStat(field) += delta, held inside the 32-bit range.
void AddLastingStat(std::int32_t PlayerRecord::*field, std::int64_t delta);
