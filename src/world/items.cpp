#include "world/items.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>

#include "common/numbers.h"
#include "platform/clock.h"
#include "platform/db.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/ground_items.h"
#include "world/item_pictures.h"
#include "world/status.h"

namespace {

std::size_t At(std::int32_t i) { return static_cast<std::size_t>(i); }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

constexpr std::string_view kGold = "金币";

}  // namespace

// The item table stays open between items.
bool ReadItemTableRow(const std::string& name, ItemRecord& rec) {
  try {
    if (!G.ItemQuery) G.ItemQuery = std::make_unique<plat::db::KeptQuery>("select * from Item where name=?");
    if (!G.ItemQuery->Run(G.ItemDbPath, {plat::db::Value(name)})) return false;
    const plat::db::KeptQuery& rs = *G.ItemQuery;
    auto num = [&rs](std::string_view column) { return Saturate32(rs[column].AsInt()); };
    ItemRecord r;
    r.Name = rs["Name"].AsText();
    r.Type = num("Type");
    const std::string type2 = rs["Type2"].AsText();
    r.Type2 = type2.empty() ? std::string(" ") : plat::Left(type2, 1);
    r.Pic1 = num("Pic1");
    r.Pic2 = num("Pic2");
    r.Hp = num("Hp");
    r.Mp = num("Mp");
    r.Dc = num("Dc");
    r.DcMax = num("DcMax");
    r.DcSpeed = num("DcSpeed");
    r.Mc = num("Mc");
    r.McMax = num("McMax");
    r.Df = num("Df");
    r.DfMax = num("DfMax");
    r.Mf = num("Mf");
    r.MfMax = num("MfMax");
    r.Nb = num("Nb");
    r.XiHP = num("XiHP");
    r.MaBi = num("MaBi");
    r.zd = num("zd");
    r.Luck = num("Luck");
    r.Acc = num("Acc");
    r.Weight = num("Weight");
    r.Money = num("Money");
    r.NdDc = num("NdDc");
    r.NdLevel = num("NdLevel");
    r.NdMc = num("NdMc");
    rec = std::move(r);
    return true;
  } catch (const plat::db::Error&) {
    return false;
  }
}

namespace {

// One test of the bonus table: "k in n", plus a condition looked at after the draw.
bool Chance(long k, long n, bool condition = true) { return plat::RandomInt(n) < k && condition; }

void Raise(std::int32_t& field, long long by, std::int32_t& points, std::int32_t score) {
  field = Saturate32(static_cast<long long>(field) + by);
  points += score;
}

void RollType10(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10)) Raise(r.Df, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mf, 1, p, 2);
  if (Chance(3, 10)) Raise(r.MfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Acc, 1, p, 2);
  if (Chance(1, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.McMax, 1, p, 1);
}

void RollType11(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10)) Raise(r.Acc, 1, p, 1);
  if (Chance(1, 10, r.Nb < 2)) Raise(r.Nb, 1, p, 1);
  if (Chance(3, 10)) Raise(r.DfMax, 1, p, 1);
  if (Chance(3, 10)) Raise(r.MfMax, 1, p, 1);
  if (Chance(3, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(3, 10)) Raise(r.McMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.XiHP, 1, p, 3);
}

void RollType12(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10, r.Nb == 0)) Raise(r.Nb, 1, p, 2);
  if (Chance(1, 10)) Raise(r.Df, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mf, 1, p, 2);
  if (Chance(3, 10)) Raise(r.MfMax, 1, p, 1);
  if (Chance(2, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(2, 10)) Raise(r.McMax, 1, p, 1);
}

void RollType13(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10)) Raise(r.Acc, 1, p, 2);
  if (Chance(1, 10)) Raise(r.Df, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mf, 1, p, 2);
  if (Chance(3, 10)) Raise(r.MfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Dc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.McMax, 1, p, 1);
}

void RollType14(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10)) Raise(r.Dc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.McMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Acc, 1, p, 2);
  if (Chance(1, 15, r.MaBi < 6)) Raise(r.MaBi, 1 + plat::RandomInt(3), p, 3);
  if (Chance(1, 10)) Raise(r.zd, 1 + plat::RandomInt(5), p, 3);
}

void RollType15(ItemRecord& r, std::int32_t& p) {
  if (Chance(3, 10, r.Nb < 2)) Raise(r.Nb, 1, p, 1);
  if (Chance(1, 10)) Raise(r.DfMax, 1, p, 1);
  if (Chance(3, 10)) Raise(r.MfMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.McMax, 1, p, 1);
}

void RollType20(ItemRecord& r, std::int32_t& p) {
  if (Chance(1, 10)) Raise(r.Dc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.DcMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Mc, 1, p, 2);
  if (Chance(3, 10)) Raise(r.McMax, 1, p, 1);
  if (Chance(1, 10)) Raise(r.Acc, 1, p, 2);
  if (Chance(1, 10)) Raise(r.XiHP, 1, p, 3);
  if (Chance(1, 10)) Raise(r.Luck, 1, p, 3);
  if (Chance(1, 15, r.MaBi < 6)) Raise(r.MaBi, 1 + plat::RandomInt(3), p, 3);
  if (Chance(1, 50, r.DcSpeed < 2)) Raise(r.DcSpeed, 1, p, 4);
  if (Chance(1, 40, r.SP == 0)) {
    // Skills 5 and 6 never come on a weapon.
    long sp = 0;
    do {
      sp = 1 + plat::RandomInt(15);
    } while (sp == 5 || sp == 6);
    r.SP = static_cast<std::int32_t>(sp);
    p += 5;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// Bag operations

void ClearItem(std::int32_t i) {
  if (i < 1 || i > kItemSlots) return;
  G.Player.Items[At(i)] = ItemRecord{};
  ShowItemPictures();
  RefreshStatus2();
}

void RemoveItemByName(std::string_view name) {
  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[At(i)].Name == name) {
      G.Player.Items[At(i)] = ItemRecord{};
      ShowItemPictures();
      RefreshStatus();
      return;
    }
  }
}

std::int32_t CountItemInBag(std::string_view name) {
  if (StartsWith(name, kGold)) return 0;
  std::int32_t n = 0;
  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[At(i)].Name == name) ++n;
  }
  return n;
}

std::int32_t CountFreeBagSlots() {
  std::int32_t n = 0;
  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    if (G.Player.Items[At(i)].Name.empty()) ++n;
  }
  return n;
}

std::int32_t FreeWeight() {
  long long carried = 0;
  for (std::int32_t i = 1; i <= kBagLast; ++i) {
    if (i >= 17 && i <= 20) continue;
    const ItemRecord& it = G.Player.Items[At(i)];
    if (!it.Name.empty()) carried += it.Weight;
  }
  return Saturate32(static_cast<long long>(G.Player.Heavy) - carried);
}

// ---------------------------------------------------------------------------------
// Item creation

ItemRecord MakeItemFromDb(std::string& name) {
  ItemRecord rec;
  bool bonus = false;
  if (!name.empty() && name[0] == '?') {
    bonus = true;
    name.erase(0, 1);
  }

  if (!StartsWith(name, kGold)) {
    if (ReadItemTableRow(name, rec)) {
      rec.Money /= 2;  // the table holds the shop price
      if (G.CheatMode == 1) rec.dzlevel = 9;
      if (rec.Type == 20) rec.Ex = static_cast<std::int32_t>(G.GAMELEVEL) * 2000 - 1999;
    }
  } else if (const std::optional<double> amount =
                 plat::StrictNumber(std::string_view(name).substr(kGold.size()), plat::NumberForm::Fraction)) {
    G.Player.Money = Saturate32(static_cast<long long>(G.Player.Money) + plat::RoundHalfEven(*amount));
    rec.Name = std::string(kGold);
  }  // a gold form without a number gives nothing

  if (bonus) {
    if (plat::RandomInt(10) < 1) RollItemBonus(rec);
    if (plat::RandomInt(10) < 1) RollItemBonus(rec);
    const long a = plat::RandomInt(10);
    const long b = plat::RandomInt(10);
    if ((G.GAMELEVEL > 1 && a < 1) || (G.ExpertMode == 1 && b < 1)) RollItemBonus(rec);
    if (plat::RandomInt(10) < 1 && G.GAMELEVEL > 2) RollItemBonus(rec);
    if (plat::RandomInt(10) < 1 && G.GAMELEVEL > 2) RollItemBonus(rec);
  }
  return rec;
}

void RollItemBonus(ItemRecord& rec) {
  std::int32_t p = 0;
  switch (rec.Type) {
    case 10: RollType10(rec, p); break;
    case 11: RollType11(rec, p); break;
    case 12:
    case 21: RollType12(rec, p); break;
    case 13: RollType13(rec, p); break;
    case 14: RollType14(rec, p); break;
    case 15: RollType15(rec, p); break;
    case 20: RollType20(rec, p); break;
    default: break;
  }
  // The common tail of every type.
  if (Chance(1, 10, rec.Weight > 1)) Raise(rec.Weight, -1, p, 2);
  if (Chance(1, 12, rec.NdLevel > 1)) Raise(rec.NdLevel, -1, p, 2);
  if (Chance(1, 12, rec.NdDc > 1)) Raise(rec.NdDc, -1, p, 2);
  if (Chance(1, 12, rec.NdMc > 1)) Raise(rec.NdMc, -1, p, 2);

  if (p > 0) {
    rec.Money = Saturate32(static_cast<long long>(rec.Money) + static_cast<long long>(rec.Money / 3) * p);
    rec.JP = p;
  }
}

GivePlace GiveItem(std::string& name) {
  ItemRecord rec = MakeItemFromDb(name);
  if (rec.Name == kGold) return GivePlace::Gold;
  if (rec.Name.empty()) return GivePlace::Nowhere;  // a name the table does not hold

  for (std::int32_t i = kBagFirst; i <= kBagLast; ++i) {
    ItemRecord& slot = G.Player.Items[At(i)];
    if (!slot.Name.empty()) continue;
    slot = std::move(rec);
    if (plat::Control* icon = ui::Form1.Iitem(i)) icon->Picture = ItemPicturePath(slot);
    if (ui::Form1.Lfz != nullptr) {
      const long long heavy = G.Player.Heavy;
      ui::Form1.Lfz->Caption = std::to_string(heavy - FreeWeight()) + "/" + std::to_string(heavy);
    }
    return GivePlace::Bag;
  }
  return DropNamedItem(name) ? GivePlace::Ground : GivePlace::Nowhere;
}
