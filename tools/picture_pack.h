// The picture kit of the game-folder builder: an RGBA canvas with a few drawing
// primitives and text, encoders for the picture formats the game reads (BMP, PNG, TGA,
// JPG), and the writer of picture packs (".Mxx" index + ".dat" data).
//
// Everything here is deterministic: the same calls give the same bytes on every run.
// Sprites are drawn on pure black, which the game turns transparent: never draw a
// figure with exactly (0, 0, 0); use kNearBlack or a dark grey instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tools::art {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// The transparent background of sprites and a black that stays visible.
inline constexpr Rgba kBlack{0, 0, 0, 255};
inline constexpr Rgba kNearBlack{0, 0, 1, 255};
inline constexpr Rgba kWhite{255, 255, 255, 255};

// Colour helpers: mix a toward b by t (0 = a, 1 = b); lighter/darker by a factor.
Rgba Mix(Rgba a, Rgba b, double t);
Rgba Lighter(Rgba c, double t);   // toward white
Rgba Darker(Rgba c, double t);    // toward black, never reaching pure black
// Turns pure black into kNearBlack; any other colour stays.
Rgba NotBlack(Rgba c);

struct Point {
  double x = 0, y = 0;
};

// Text placement for Canvas::Text.
enum class Align { Left, Centre, Right };

class Canvas {
 public:
  Canvas() = default;
  // A w x h picture filled with `fill` (opaque black by default). Sizes below 1 become 1.
  Canvas(int w, int h, Rgba fill = kBlack);

  int W() const { return w_; }
  int H() const { return h_; }
  // Pixels row by row, top to bottom, 4 bytes r, g, b, a each.
  const std::vector<std::uint8_t>& Pixels() const { return px_; }

  // Pixel access; outside the canvas Get gives opaque black and Set does nothing.
  Rgba Get(int x, int y) const;
  void Set(int x, int y, Rgba c);
  // Blends c over the pixel by c.a (255 = replace).
  void Blend(int x, int y, Rgba c);

  // All shapes are clipped to the canvas and blended by the colour's alpha.
  void Fill(Rgba c);
  void FillRect(int x, int y, int w, int h, Rgba c);
  void FrameRect(int x, int y, int w, int h, Rgba c, int thickness = 1);  // inside the rectangle
  // Top colour to bottom colour (or left to right when horizontal).
  void Gradient(int x, int y, int w, int h, Rgba from, Rgba to, bool horizontal = false);
  void FillCircle(double cx, double cy, double r, Rgba c);
  void Circle(double cx, double cy, double r, Rgba c, double thickness = 1.0);
  void FillEllipse(double cx, double cy, double rx, double ry, Rgba c);
  // A line of the given width with round ends.
  void Line(double x0, double y0, double x1, double y1, Rgba c, double width = 1.0);
  // Even-odd fill of any simple or self-crossing polygon.
  void FillPolygon(const std::vector<Point>& pts, Rgba c);
  // A soft round glow: alpha falls from c.a at the centre to 0 at radius r.
  void Glow(double cx, double cy, double r, Rgba c);

  // Copies another canvas onto this one at (x, y); with skipBlack, pure black source
  // pixels are left out (the sprite background).
  void Draw(const Canvas& src, int x, int y, bool skipBlack = true);
  // A copy scaled to w x h (nearest pixel).
  Canvas Scaled(int w, int h) const;
  // A copy mirrored left to right.
  Canvas Mirrored() const;
  // Mixes every non-black pixel toward c by t (a red tint for "hit", and so on).
  void Tint(Rgba c, double t);

  // Text in the game's font (WenQuanYi Micro Hei) at `pixels` size, UTF-8, one line.
  // (x, y) is the top of the line; with Align::Centre x is the middle, with Right the
  // right edge. Returns the width drawn (0 when the font cannot be opened).
  int Text(std::string_view utf8, int x, int y, int pixels, Rgba c, Align align = Align::Left, bool bold = false);
  // Width and height of one line of text at that size (0, 0 without the font).
  static std::pair<int, int> MeasureText(std::string_view utf8, int pixels, bool bold = false);

  // Encoded pictures. BMP is 24-bit (alpha dropped); TGA is 32-bit run-length encoded
  // with alpha, bottom-left origin; PNG keeps alpha and is written with as few colours as the
  // picture has (a palette when it has at most 256), so small flat sprites stay small;
  // JPG (quality 1..100) drops alpha. Each throws std::runtime_error on failure.
  std::vector<std::uint8_t> EncodeBmp() const;
  std::vector<std::uint8_t> EncodePng() const;
  std::vector<std::uint8_t> EncodeTga() const;
  std::vector<std::uint8_t> EncodeJpg(int quality = 90) const;
  // Writes the file in the format its extension names (".bmp", ".png", ".tga", ".jpg",
  // case ignored), making its folder when missing. Throws std::runtime_error on failure.
  void Save(const std::filesystem::path& file) const;

 private:
  int w_ = 0, h_ = 0;
  std::vector<std::uint8_t> px_;
};

// Writes a picture pack: base + ".Mxx" (record n = the 11 bytes at (n - 1) * 11, holding
// "start,end" padded with blanks) and base + ".dat" (picture n = bytes start .. end - 1).
// Records may share one stored picture. Every record must close its second number inside
// its 11 bytes, so a picture's start may have at most 4 digits when its end has 5. When
// the pictures, back to back, would start too late, and all of them are PNG pictures,
// they are nested instead: each PNG carries the next ones inside an ancillary chunk
// ("skIp", which decoders pass over) right after its header, so picture i starts at
// 41 * i and every record still names one complete picture. Write throws when even that
// does not fit (keep a pack's pictures small: under about 100 KB in all).
class PackWriter {
 public:
  // Stores a new picture and gives it the next record; returns the record number (1-based).
  int Add(std::vector<std::uint8_t> encoded);
  // Gives the next record the same stored picture as record `n`; returns the new number.
  int Repeat(int n);
  // Stores the picture once even when the same bytes are added again (equal frames share
  // one stored copy); returns the new record's number.
  int AddShared(std::vector<std::uint8_t> encoded);
  int Count() const { return static_cast<int>(records_.size()); }
  // Bytes stored so far in the data file.
  std::size_t DataSize() const { return data_.size(); }
  // Writes both files (making the folder). Throws std::runtime_error on failure or when
  // a record does not fit in 11 bytes.
  void Write(const std::filesystem::path& base) const;
  // The 11-byte record text for a start and end (throws when it does not fit).
  static std::string Record(std::size_t start, std::size_t end);

 private:
  struct Stored {
    std::size_t start = 0, end = 0;
  };
  std::vector<std::uint8_t> data_;
  std::vector<Stored> records_;
  std::map<std::vector<std::uint8_t>, int> shared_;  // stored bytes -> its first record
};

// Writes a text file as it stands (bytes), making its folder. Throws on failure.
void WriteTextFile(const std::filesystem::path& file, std::string_view text);

}  // namespace tools::art
