#include "world/status.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"

namespace {

constexpr std::uint32_t kRed = 0x0000FF;  // colours are 0xBBGGRR
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0xFF0000;

void SetCaption(plat::Control* c, std::string text) {
  if (c != nullptr) c->Caption = std::move(text);
}

std::string Num(std::int64_t v) { return std::to_string(v); }

std::string Range(std::int32_t lo, std::int32_t hi) { return Num(lo) + "-" + Num(hi); }

// Experience towards the next level in percent, rounded half to even. A level below 1
// counts as level 1.
std::string ExperiencePercent(const PlayerRecord& p) {
  const double level = p.Level < 1 ? 1.0 : static_cast<double>(p.Level);
  const double needed = level * level * 10.0;
  const double percent = static_cast<double>(p.Ex) / needed * 100.0;
  return Num(plat::RoundHalfEven(percent)) + "%";
}

// Summed weight of the worn items, the belt and the bag.
std::int64_t CarriedWeight(const PlayerRecord& p) {
  std::int64_t sum = 0;
  for (int i = 1; i <= 56; ++i) {
    if (i >= 17 && i <= 20) continue;
    const ItemRecord& it = p.Items[static_cast<std::size_t>(i)];
    if (!it.Name.empty()) sum += it.Weight;
  }
  return sum;
}

const char* DodgeRating(std::int32_t nb) {
  if (nb <= 3) return "低";
  if (nb <= 5) return "中";
  return "高";
}

const char* AccuracyRating(std::int32_t acc) {
  if (acc <= 5) return "很低";
  if (acc <= 7) return "低";
  if (acc <= 9) return "一般";
  if (acc <= 11) return "好";
  return "很好";
}

// The level of skill k: its last character read as a number.
long SkillLevel(const std::string& m) { return static_cast<long>(plat::Val(plat::Right(m, 1))); }

// A skill string with a last character other than "0" is a learned skill; an empty
// string is none.
bool Learned(const std::string& m) { return !m.empty() && plat::Right(m, 1) != "0"; }

// The icon of skill k, or no picture when its file is not there.
std::string SkillIcon(int k) {
  const std::filesystem::path file = plat::ResolvePath("\\date\\mgc\\ico\\" + std::to_string(k) + ".bmp");
  return plat::FileExists(file) ? file.string() : std::string();
}

void Colour(plat::Control* line, std::uint32_t colour) {
  if (line != nullptr) line->BorderColor = colour;
}

}  // namespace

void RefreshStatus() {
  const PlayerRecord& p = G.Player;
  auto& w = ui::Form1;

  SetCaption(w.Llevel, Num(p.Level));
  SetCaption(w.Lspot, Num(p.LevelPoint));
  SetCaption(w.LspPoint, Num(p.SpPoint));
  SetCaption(w.Lmoney, Num(p.Money));
  SetCaption(w.Lex, ExperiencePercent(p));
  SetCaption(w.Ldc, Range(p.Dc, p.DcMax));
  SetCaption(w.Lmc, Range(p.Mc, p.McMax));
  SetCaption(w.Ldf, Range(p.Df, p.DfMax));
  SetCaption(w.Lmf, Range(p.Mf, p.MfMax));
  SetCaption(w.Lhp, Num(p.HpMax));
  SetCaption(w.Lmp, Num(p.MpMax));
  SetCaption(w.Lfz, Num(CarriedWeight(p)) + "/" + Num(p.Heavy));

  // A negative value leaves its rating as it was.
  if (p.Nb >= 0) SetCaption(w.Lnb, DodgeRating(p.Nb));
  if (p.Acc >= 0) SetCaption(w.Lacc, AccuracyRating(p.Acc));

  for (int k = 1; k <= 15; ++k) {
    const std::string& m = p.M[static_cast<std::size_t>(k)];
    // A skill at level 0 keeps whatever picture its icon had.
    if (Learned(m)) {
      if (plat::Control* icon = w.McI(k)) icon->Picture = SkillIcon(k);
    }
    SetCaption(w.Lsp(k), plat::Left(m, 2));
  }

  // The links of the skill tree light when the skill they leave reaches level 2; they
  // are never put out again.
  auto atLeast2 = [&p](int k) { return SkillLevel(p.M[static_cast<std::size_t>(k)]) >= 2; };
  if (atLeast2(1)) {
    Colour(w.Line11, kRed);
    Colour(w.Line21, kGreen);
  }
  if (atLeast2(2)) Colour(w.Line12, kRed);
  if (atLeast2(3)) Colour(w.Line13, kRed);
  if (atLeast2(6)) Colour(w.Line22, kGreen);
  if (atLeast2(7)) Colour(w.Line23, kGreen);
  if (atLeast2(8)) Colour(w.Line24, kGreen);
  if (atLeast2(9)) Colour(w.Line25, kGreen);
  if (atLeast2(11)) Colour(w.Line31, kBlue);
  if (atLeast2(12)) Colour(w.Line32, kBlue);
  if (atLeast2(13)) Colour(w.Line33, kBlue);
  if (atLeast2(14)) Colour(w.Line34, kBlue);
}

void RefreshStatus2() { RefreshStatus(); }
