// The look shared by the builder's interface pictures: the wood and stone surfaces, the
// panel border, the recessed item wells, the raised buttons and their captions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "picture_pack.h"

namespace tools::uiart {

inline constexpr art::Rgba kWoodLight{92, 66, 44, 255};
inline constexpr art::Rgba kWoodDark{58, 40, 27, 255};
inline constexpr art::Rgba kStoneLight{74, 74, 80, 255};
inline constexpr art::Rgba kStoneDark{46, 46, 52, 255};
inline constexpr art::Rgba kRimLight{206, 178, 124, 255};
inline constexpr art::Rgba kRimDark{30, 22, 16, 255};
inline constexpr art::Rgba kRimInner{120, 96, 66, 255};
inline constexpr art::Rgba kWellFill{30, 24, 19, 255};
inline constexpr art::Rgba kWellShadow{16, 12, 9, 255};
inline constexpr art::Rgba kWellLight{132, 108, 78, 255};
inline constexpr art::Rgba kTitle{240, 204, 120, 255};
inline constexpr art::Rgba kCaption{226, 198, 146, 255};
inline constexpr art::Rgba kFaint{104, 88, 68, 255};
inline constexpr art::Rgba kTextShadow{20, 14, 10, 255};

inline constexpr art::Rgba kFace{104, 76, 50, 255};
inline constexpr art::Rgba kFaceLocked{70, 66, 62, 255};
inline constexpr art::Rgba kLabel{250, 232, 190, 255};
inline constexpr art::Rgba kLabelPressed{255, 214, 120, 255};
inline constexpr art::Rgba kLabelLocked{150, 144, 136, 255};

// A small deterministic random source, seeded per picture.
class Rng {
 public:
  explicit Rng(std::uint32_t seed) : s_(seed | 1u) {}
  double Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return (s_ >> 8) / 16777216.0;
  }

 private:
  std::uint32_t s_;
};

// FNV-1a of a name: the seed of its picture.
std::uint32_t Hash(std::string_view s);

art::Rgba Shade(art::Rgba c, double f);

// Writes a picture at a game path under the game folder, in the format its name asks for
// (".dat" button pictures are BMP). Throws std::runtime_error when it cannot be written.
void Save(const std::filesystem::path& gameDir, std::string_view gamePath, const art::Canvas& c);

struct TextSize {
  int w = 0, h = 0;
};
TextSize Measure(std::string_view text, int px, bool bold);

// Text centred in a box, with a one-pixel shadow or outline for legibility.
void CentredText(art::Canvas& c, std::string_view text, int boxX, int boxY, int boxW, int boxH, int px,
                 art::Rgba colour, bool bold, art::Rgba edge, bool outline);

enum class Material { Wood, Stone };

// Wood: planks with grain running across; stone: blocks with speckles and joints.
void Surface(art::Canvas& c, Material m, Rng& rng);
// The panel rim: dark, light, dark and a faint inner line.
void Border(art::Canvas& c);
// A recessed slot behind an item or icon image.
void Well(art::Canvas& c, int x, int y, int w, int h);

struct ButtonStyle {
  art::Rgba face = kFace;
  art::Rgba label = kLabel;
  int px = 12;
  bool vertical = false;  // the caption's characters stacked
};

// A raised button with its caption; pressed, it is sunk, darker and the caption moves
// one pixel down and right.
art::Canvas ButtonPicture(int w, int h, std::string_view caption, bool pressed, const ButtonStyle& st);

}  // namespace tools::uiart
