// The two record copies of the transformation: the whole character saved aside, and
// its fighting stats put back.
#pragma once

// PlayerBackup = Player (everything, items and skill strings included); then the
// player's Mc and McMax become 0, which marks the character as transformed.
void BackupPlayerRecord();

// Copies back from PlayerBackup exactly Dc, DcMax, Mc, McMax, Df, DfMax, Mf, MfMax, Nb,
// Acc, DcSpeed, XiHP, MaBi and zd. Hit points, magic points, luck, capacity, money,
// experience, items and skill strings keep their current values.
void RestorePlayerStats();
