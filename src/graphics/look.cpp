#include "graphics/look.h"

#include <optional>
#include <string>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/text.h"

LookFrameTables Looks;

namespace {

// An item of a ".zb" table as a 16-bit whole number.
std::optional<std::int32_t> OffsetItem(const std::string& item) {
  const auto v = plat::StrictNumber(item, plat::NumberForm::Whole);
  if (!v || *v < -32768 || *v > 32767) return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

bool ReadTable(const std::string& gamePath, LookOffsetTable& table) {
  plat::TextReader in(plat::ResolvePath(gamePath));
  if (!in.IsOpen()) return false;
  LookOffsetTable read{};
  for (int f = 1; f <= kPlayerFrameLast; ++f) {
    std::int32_t xy[2];
    for (std::int32_t& v : xy) {
      auto item = in.ReadItem();
      if (!item) return false;
      auto number = OffsetItem(*item);
      if (!number) return false;
      v = *number;
    }
    read[static_cast<std::size_t>(f)] = FrameOffset{xy[0], xy[1]};
  }
  table = read;
  return true;
}

void ReleaseSet(std::vector<plat::Texture>& textures, std::vector<std::int32_t>& loaded) {
  for (auto& t : textures) ReleaseTex(t);
  for (auto& flag : loaded) flag = 0;
}

}  // namespace

void ReadLookTable(std::string_view gamePath, LookOffsetTable& table) {
  const std::string path(gamePath);
  if (ReadTable(path, table)) return;
  plat::MsgBox("文件缺失，程序不能进行\n" + path);
  EndGame();
}

void LoadLookFrames() {
  const std::int32_t weapon = G.Player.Items[1].Pic2;
  if (weapon != G.WeaponNo) {
    G.WeaponNo = weapon;
    if (weapon > 0) {
      ReleaseSet(Gfx.WeaponTex, Gfx.WeaponLoaded);
      ReadLookTable("\\date\\Weapon\\" + std::to_string(weapon) + ".zb", Looks.WeaponZb);
    }
  }
  const std::int32_t body = G.Player.Items[5].Pic2;
  if (body == G.BodyNo && G.GAMELEVEL != 0) return;
  G.BodyNo = body;
  ReleaseSet(Gfx.BodyTex, Gfx.BodyLoaded);
  ReadLookTable("\\date\\Rpg\\" + std::to_string(body) + ".zb", Looks.BodyZb);
}
