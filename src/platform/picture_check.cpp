#include "platform/picture_check.h"

#include <algorithm>

namespace plat {

namespace {

using Bytes = const std::uint8_t*;

std::uint32_t Be16(Bytes p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Be32(Bytes p) { return (Be16(p) << 16) | Be16(p + 2); }
std::uint32_t Le16(Bytes p) { return (std::uint32_t{p[1]} << 8) | p[0]; }
std::uint32_t Le32(Bytes p) { return (Le16(p + 2) << 16) | Le16(p); }

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::optional<PictureHeader> Fail(std::string& error, std::string why) {
  error = "bad picture: " + std::move(why);
  return std::nullopt;
}

// The size, once it is known to lie within the limits.
std::optional<PictureHeader> Sized(PictureFormat f, std::int64_t w, std::int64_t h, std::string& error) {
  if (w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide) {
    return Fail(error, std::string(PictureFormatName(f)) + " of " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels (1 to " + std::to_string(kMaxPictureSide) + " each way)");
  }
  return PictureHeader{f, static_cast<int>(w), static_cast<int>(h)};
}

std::optional<PictureHeader> CheckPng(Bytes d, std::size_t size, std::string& error) {
  std::optional<PictureHeader> header;
  std::size_t pos = 8;
  for (;;) {
    if (size - pos < 12) return Fail(error, "PNG ends before its IEND chunk");
    const std::uint64_t length = Be32(d + pos);
    if (length > size - pos - 12) return Fail(error, "PNG chunk of " + std::to_string(length) + " bytes runs past the end");
    const std::string type(reinterpret_cast<const char*>(d + pos + 4), 4);
    if (pos == 8) {
      if (type != "IHDR" || length != 13) return Fail(error, "PNG without its IHDR chunk first");
      header = Sized(PictureFormat::Png, Be32(d + pos + 8), Be32(d + pos + 12), error);
      if (!header) return std::nullopt;
    }
    pos += 12 + static_cast<std::size_t>(length);
    if (type == "IEND") return header;
  }
}

bool IsFrameHeader(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

std::optional<PictureHeader> CheckJpg(Bytes d, std::size_t size, std::string& error) {
  std::size_t pos = 2;
  for (;;) {
    if (pos >= size || d[pos] != 0xFF) return Fail(error, "JPG without a frame header");
    while (pos < size && d[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= size) return Fail(error, "JPG without a frame header");
    const std::uint8_t marker = d[pos++];
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length
    if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
      return Fail(error, "JPG without a frame header");
    }
    if (size - pos < 2) return Fail(error, "JPG segment header runs past the end");
    const std::size_t length = Be16(d + pos);
    if (length < 2 || length > size - pos) return Fail(error, "JPG segment runs past the end");
    if (IsFrameHeader(marker)) {
      if (length < 8) return Fail(error, "JPG frame header too short");
      return Sized(PictureFormat::Jpg, Be16(d + pos + 5), Be16(d + pos + 3), error);
    }
    pos += length;
  }
}

std::optional<PictureHeader> CheckBmp(Bytes d, std::size_t size, std::string& error) {
  if (size < 18) return Fail(error, "BMP header cut short");
  const std::uint64_t infoSize = Le32(d + 14);
  if (infoSize != 12 && infoSize < 40) return Fail(error, "BMP with an unknown info header");
  if (infoSize > size - 14) return Fail(error, "BMP header cut short");
  if (infoSize == 12) return Sized(PictureFormat::Bmp, Le16(d + 18), Le16(d + 20), error);
  const auto w = static_cast<std::int32_t>(Le32(d + 18));
  const auto h = static_cast<std::int32_t>(Le32(d + 22));  // negative: rows top to bottom
  return Sized(PictureFormat::Bmp, w, h < 0 ? -static_cast<std::int64_t>(h) : h, error);
}

bool IsColourDepth(std::uint32_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

std::optional<PictureHeader> CheckTga(Bytes d, std::size_t size, std::string& error) {
  if (size < 18) return Fail(error, "unknown picture format (or a TGA header cut short)");
  const std::uint32_t idLength = d[0], colourMapType = d[1], imageType = d[2];
  const std::uint32_t colours = Le16(d + 5), colourBits = d[7];
  const std::uint32_t w = Le16(d + 12), h = Le16(d + 14), pixelBits = d[16];
  const bool mapped = imageType == 1 || imageType == 9;
  const bool trueColour = imageType == 2 || imageType == 10;
  const bool grey = imageType == 3 || imageType == 11;
  if (colourMapType > 1 || !(mapped || trueColour || grey)) return Fail(error, "unknown picture format");
  if (colourMapType == 1 && !IsColourDepth(colourBits)) return Fail(error, "TGA colour map of an unknown depth");
  if (mapped && (colourMapType != 1 || pixelBits != 8 || colours < 1 || colours > 256)) {
    return Fail(error, "TGA colour-mapped picture without a usable colour map");
  }
  if ((trueColour && !IsColourDepth(pixelBits)) || (grey && pixelBits != 8)) {
    return Fail(error, "TGA of an unknown pixel depth");
  }
  auto header = Sized(PictureFormat::Tga, w, h, error);
  if (!header) return std::nullopt;
  // Every count is below 2^16 here: no product below can overflow.
  const std::uint64_t pixelBytes = (pixelBits + 7) / 8;
  const std::uint64_t pixels = std::uint64_t{w} * h;
  std::uint64_t need = 18 + idLength;
  if (colourMapType == 1) need += std::uint64_t{colours} * ((colourBits + 7) / 8);
  // A run-length packet holds at most 128 pixels.
  need += imageType >= 9 ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
  if (need > size) return Fail(error, "TGA of " + std::to_string(size) + " bytes is too short for its pixels");
  return header;
}

}  // namespace

const char* PictureFormatName(PictureFormat f) {
  switch (f) {
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Jpg: return "JPG";
    case PictureFormat::Tga: break;
  }
  return "TGA";
}

std::optional<PictureHeader> CheckPicture(const std::uint8_t* data, std::size_t size, std::string& error) {
  if (data == nullptr || size == 0) return Fail(error, "no picture data");
  if (size >= 8 && std::equal(kPngSignature, kPngSignature + 8, data)) return CheckPng(data, size, error);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return CheckJpg(data, size, error);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return CheckBmp(data, size, error);
  return CheckTga(data, size, error);
}

}  // namespace plat
