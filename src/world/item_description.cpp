#include "world/item_description.h"

#include <cstdint>

namespace {

std::string Num(std::int32_t v) { return std::to_string(v); }

// The text of a weapon's skill bonus; skills 5 and 6 never come on one.
const char* SkillBonus(std::int32_t sp) {
  switch (sp) {
    case 1: return " 精准打击+1";
    case 2: return " 斩空+1";
    case 3: return " 火龙剑+1";
    case 4: return " 震气斩+1";
    case 7: return " 精神之盾+1";
    case 8: return " 回生术+1";
    case 9: return " 精灵召唤+1";
    case 10: return " 冰雪寒空+1";
    case 11: return " 雷电术+1";
    case 12: return " 怒石+1";
    case 13: return " 疾风阵+1";
    case 14: return " 疾风奔驰+1";
    case 15: return " 太极炎阵+1";
    default: return "";
  }
}

void SetIfDifferent(plat::Control* label, const std::string& text) {
  if (label != nullptr && label->Caption != text) label->Caption = text;
}

}  // namespace

ItemLines DescribeItem(const ItemRecord& it) {
  ItemLines out;
  std::string& a = out.line1;
  a = it.Name + "『";
  if (it.NdLevel > 0) a += " 等级：" + Num(it.NdLevel);
  if (it.NdDc > 0) a += " 攻：" + Num(it.NdDc);
  if (it.NdMc > 0) a += " 魔：" + Num(it.NdMc);
  a += " 』重量：" + Num(it.Weight);
  a += SkillBonus(it.SP);
  if (it.dzlevel > 0) a += " 锻造+" + Num(it.dzlevel);
  if (it.Type == 20) a += " Lv：" + Num(it.Ex / 2000);  // the weapon level

  std::string& b = out.line2;
  auto entry = [&b](const std::string& text) { b += text + " "; };
  auto range = [](std::int32_t lo, std::int32_t hi) { return Num(lo) + "-" + Num(hi); };
  if (it.Hp > 0) entry("HP+" + Num(it.Hp));
  if (it.Mp > 0) entry("MP+" + Num(it.Mp));
  if (it.Dc > 0 || it.DcMax > 0) entry("攻击 " + range(it.Dc, it.DcMax));
  if (it.Mc > 0 || it.McMax > 0) entry("魔法 " + range(it.Mc, it.McMax));
  if (it.Df > 0 || it.DfMax > 0) entry("防御 " + range(it.Df, it.DfMax));
  if (it.Mf > 0 || it.MfMax > 0) entry("魔防 " + range(it.Mf, it.MfMax));
  if (it.Acc > 0) entry("准确+" + Num(it.Acc));
  if (it.Nb > 0) entry("躲避+" + Num(it.Nb));
  if (it.Luck > 0) entry("幸运+" + Num(it.Luck));
  if (it.XiHP > 0) entry("吸血+" + Num(it.XiHP));
  if (it.MaBi > 0) entry(Num(it.MaBi) + "%麻痹");
  if (it.zd > 0) entry(Num(it.zd) + "%中毒");
  if (it.DcSpeed == 1) entry("快攻");
  if (it.DcSpeed == 2) entry("急攻");
  if (it.Type == 2) entry("快速恢复");
  return out;
}

void ShowItemDescription(plat::Control* line1, plat::Control* line2, const ItemRecord& item) {
  const ItemLines lines = DescribeItem(item);
  SetIfDifferent(line1, lines.line1);
  SetIfDifferent(line2, lines.line2);
}
