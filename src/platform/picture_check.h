// The gate in front of the picture decoder. Picture bytes come from files and packs we
// do not trust; a damaged header can make the image library spin for ever or ask for
// gigabytes. So before any byte reaches it, the header is read here: only the four
// formats the game uses pass, each recognised by its own signature (TGA, which has none,
// by the sanity of its header fields), and only with a width and height of 1..4096.
//  - PNG: the signature, IHDR first, and every chunk, up to IEND, inside the data.
//  - JPG: the SOI marker, and the segments up to the first frame header inside the data.
//  - BMP: "BM" and an info header of a known kind, complete.
//  - TGA: a colour-map type of 0 or 1, an image type and pixel depth the decoder reads,
//    and the id field, colour map and pixels (their least possible run-length coded size)
//    inside the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace plat {

enum class PictureFormat { Bmp, Png, Jpg, Tga };

// The image library's name for the format.
const char* PictureFormatName(PictureFormat f);

// Largest width and height accepted.
constexpr int kMaxPictureSide = 4096;

struct PictureHeader {
  PictureFormat format = PictureFormat::Tga;
  int w = 0, h = 0;
};

// The format and size of an encoded picture, or nothing (with the reason in `error`) when
// the bytes are not a picture the decoder may be given.
std::optional<PictureHeader> CheckPicture(const std::uint8_t* data, std::size_t size, std::string& error);

}  // namespace plat
