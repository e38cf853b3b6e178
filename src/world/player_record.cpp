#include "world/player_record.h"

#include "common/game_state.h"

void BackupPlayerRecord() {
  G.PlayerBackup = G.Player;
  G.Player.Mc = 0;
  G.Player.McMax = 0;
}

void RestorePlayerStats() {
  PlayerRecord& p = G.Player;
  const PlayerRecord& b = G.PlayerBackup;
  p.Dc = b.Dc;
  p.DcMax = b.DcMax;
  p.Mc = b.Mc;
  p.McMax = b.McMax;
  p.Df = b.Df;
  p.DfMax = b.DfMax;
  p.Mf = b.Mf;
  p.MfMax = b.MfMax;
  p.Nb = b.Nb;
  p.Acc = b.Acc;
  p.DcSpeed = b.DcSpeed;
  p.XiHP = b.XiHP;
  p.MaBi = b.MaBi;
  p.zd = b.zd;
}
