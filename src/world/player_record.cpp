#include "world/player_record.h"

#include <array>
#include <cstddef>

#include "common/numbers.h"

namespace {

using Field = std::int32_t PlayerRecord::*;

// The stats a form replaces and gives back at its end.
constexpr std::array<Field, 14> kFormStats{
    &PlayerRecord::Dc,   &PlayerRecord::DcMax, &PlayerRecord::Mc,      &PlayerRecord::McMax,
    &PlayerRecord::Df,   &PlayerRecord::DfMax, &PlayerRecord::Mf,      &PlayerRecord::MfMax,
    &PlayerRecord::Nb,   &PlayerRecord::Acc,   &PlayerRecord::DcSpeed, &PlayerRecord::XiHP,
    &PlayerRecord::MaBi, &PlayerRecord::zd,
};

bool IsFormStat(Field field) {
  for (Field f : kFormStats) {
    if (f == field) return true;
  }
  return false;
}

}  // namespace

void BackupPlayerRecord() {
  G.PlayerBackup = G.Player;
  G.Player.Mc = 0;
  G.Player.McMax = 0;
  G.FormWorn = true;
}

void RestorePlayerStats() {
  for (Field f : kFormStats) G.Player.*f = G.PlayerBackup.*f;
  G.FormWorn = false;
}

bool FormWorn() { return G.FormWorn; }

std::int32_t& LastingStat(Field field) {
  if (FormWorn() && IsFormStat(field)) return G.PlayerBackup.*field;
  return G.Player.*field;
}

std::int32_t* LastingStat(std::int32_t* field) {
  if (field == nullptr || !FormWorn()) return field;
  for (Field f : kFormStats) {
    if (field == &(G.Player.*f)) return &(G.PlayerBackup.*f);
  }
  return field;
}

void AddLastingStat(Field field, std::int64_t delta) {
  std::int32_t& v = LastingStat(field);
  v = Saturate32(static_cast<std::int64_t>(v) + delta);
}
