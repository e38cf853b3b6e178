#include "world/item_pictures.h"

#include <cstddef>
#include <filesystem>

#include "platform/files.h"
#include "platform/paths.h"
#include "window/form1.h"

std::string ItemPicturePath(const ItemRecord& item) {
  if (item.Name.empty()) return std::string();
  const std::filesystem::path file = plat::ResolvePath("\\Date\\Item\\" + std::to_string(item.Pic1) + ".bmp");
  // An icon file that is not there shows no picture.
  return plat::FileExists(file) ? file.string() : std::string();
}

void ShowItemPictures() {
  G.PathText = plat::ResolvePath("\\Date\\Item").string() + "/";
  auto show = [](std::int32_t i) {
    if (plat::Control* icon = ui::Form1.Iitem(i)) {
      icon->Picture = ItemPicturePath(G.Player.Items[static_cast<std::size_t>(i)]);
    }
  };
  for (std::int32_t i = 1; i <= 16; ++i) show(i);
  for (std::int32_t i = 21; i <= 56; ++i) show(i);
}
