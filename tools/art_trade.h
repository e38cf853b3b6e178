// The trade window's pictures, drawn by the builder from the window's control tree in
// the look of the other interface pictures:
//
//   date/Panel/Form2.bmp        the window's background (643 x 393): the wells of the
//                               offer rows and the bag, their headings, the description
//                               strip and the quick-phrase frame
//   date/Panel/Plost.bmp        the discard box's background
//   date/Panel/Form2icon.bmp    the window's icon (32 x 32)
//   date/button/<name>1.dat, 2.dat  each button of the window, up and down
#pragma once

#include <filesystem>

namespace tools {

// Draws every picture listed above into `gameDir`. Throws std::runtime_error when a
// file cannot be written.
void WriteTradePictures(const std::filesystem::path& gameDir);

}  // namespace tools
