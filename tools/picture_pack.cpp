#include "picture_pack.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace tools::art {

namespace {

namespace fs = std::filesystem;

std::uint8_t Clamp8(double v) {
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<std::uint8_t>(std::lround(v));
}

// ---- PNG chunks ----

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

std::uint32_t GetBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t n) {
  PutBe32(out, static_cast<std::uint32_t>(n));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (n > 0) out.insert(out.end(), data, data + n);
  PutBe32(out, Crc32(out.data() + typeAt, n + 4));
}

struct PngChunk {
  std::string type;
  std::size_t at = 0;  // offset of the chunk's length field
  std::size_t size = 0;
};

// The chunks of a PNG file; throws when the bytes are not one.
std::vector<PngChunk> PngChunks(const std::vector<std::uint8_t>& png) {
  if (png.size() < 8 || std::memcmp(png.data(), kPngSignature, 8) != 0) throw std::runtime_error("not a PNG picture");
  std::vector<PngChunk> chunks;
  std::size_t pos = 8;
  while (pos + 12 <= png.size()) {
    const std::size_t n = GetBe32(png.data() + pos);
    if (pos + 12 + n > png.size()) throw std::runtime_error("PNG chunk runs past the end");
    chunks.push_back({std::string(reinterpret_cast<const char*>(png.data() + pos + 4), 4), pos, n});
    pos += 12 + n;
    if (chunks.back().type == "IEND") break;
  }
  if (chunks.empty() || chunks.front().type != "IHDR" || chunks.back().type != "IEND")
    throw std::runtime_error("PNG picture without IHDR or IEND");
  return chunks;
}

// The surface helpers own what SDL hands out.
struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

// Runs an SDL_image saver into memory.
template <typename SaveFn>
std::vector<std::uint8_t> SaveToMemory(SaveFn save, const char* what) {
  // A growing memory stream of our own (SDL has none): a custom RWops.
  struct Sink {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
  } sink;
  SDL_RWops* out = SDL_AllocRW();
  if (out == nullptr) throw std::runtime_error(std::string("cannot encode ") + what);
  out->type = SDL_RWOPS_UNKNOWN;
  out->hidden.unknown.data1 = &sink;
  out->size = [](SDL_RWops* ctx) -> Sint64 {
    return static_cast<Sint64>(static_cast<Sink*>(ctx->hidden.unknown.data1)->bytes.size());
  };
  out->seek = [](SDL_RWops* ctx, Sint64 offset, int whence) -> Sint64 {
    auto* s = static_cast<Sink*>(ctx->hidden.unknown.data1);
    Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? static_cast<Sint64>(s->pos)
                                                                   : static_cast<Sint64>(s->bytes.size());
    const Sint64 to = base + offset;
    if (to < 0) return -1;
    s->pos = static_cast<std::size_t>(to);
    return to;
  };
  out->read = [](SDL_RWops*, void*, size_t, size_t) -> size_t { return 0; };
  out->write = [](SDL_RWops* ctx, const void* ptr, size_t size, size_t num) -> size_t {
    auto* s = static_cast<Sink*>(ctx->hidden.unknown.data1);
    const std::size_t n = size * num;
    if (s->pos + n > s->bytes.size()) s->bytes.resize(s->pos + n);
    if (n > 0) std::memcpy(s->bytes.data() + s->pos, ptr, n);
    s->pos += n;
    return num;
  };
  out->close = [](SDL_RWops* ctx) -> int {
    SDL_FreeRW(ctx);
    return 0;
  };
  const int rc = save(out);
  SDL_RWclose(out);
  if (rc != 0) throw std::runtime_error(std::string("cannot encode ") + what + ": " + IMG_GetError());
  return std::move(sink.bytes);
}

void InitImageLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    if (TTF_WasInit() == 0) TTF_Init();
  });
}

// Fonts by (pixels, bold), opened once; text drawing is serialised.
std::mutex& FontMutex() {
  static std::mutex m;
  return m;
}

// The fonts opened so far, closed when the program ends.
class FontCache {
 public:
  ~FontCache() {
    for (auto& [key, font] : fonts_)
      if (font != nullptr) TTF_CloseFont(font);
  }
  TTF_Font* Get(int pixels, bool bold) {
    const auto key = std::make_pair(pixels, bold);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    TTF_Font* f = TTF_OpenFontIndex("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", pixels, 0);
    if (f != nullptr && bold) TTF_SetFontStyle(f, TTF_STYLE_BOLD);
    fonts_[key] = f;
    return f;
  }

 private:
  std::map<std::pair<int, bool>, TTF_Font*> fonts_;
};

TTF_Font* Font(int pixels, bool bold) {
  InitImageLibraries();
  static FontCache fonts;
  return fonts.Get(pixels, bold);
}

void WriteFile(const fs::path& file, const std::uint8_t* data, std::size_t n) {
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + file.string());
  if (n > 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string LowerExtension(const fs::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

// ---- Colours ----

Rgba Mix(Rgba a, Rgba b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return Rgba{Clamp8(a.r + (b.r - a.r) * t), Clamp8(a.g + (b.g - a.g) * t), Clamp8(a.b + (b.b - a.b) * t),
              Clamp8(a.a + (b.a - a.a) * t)};
}

Rgba Lighter(Rgba c, double t) { return Mix(c, Rgba{255, 255, 255, c.a}, t); }

Rgba Darker(Rgba c, double t) { return NotBlack(Mix(c, Rgba{0, 0, 0, c.a}, t)); }

Rgba NotBlack(Rgba c) {
  if (c.r == 0 && c.g == 0 && c.b == 0) c.b = 1;
  return c;
}

// ---- Canvas ----

Canvas::Canvas(int w, int h, Rgba fill) : w_(std::max(1, w)), h_(std::max(1, h)) {
  px_.resize(static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_) * 4);
  Fill(fill);
}

Rgba Canvas::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return kBlack;
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)) * 4;
  return Rgba{px_[i], px_[i + 1], px_[i + 2], px_[i + 3]};
}

void Canvas::Set(int x, int y, Rgba c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)) * 4;
  px_[i] = c.r;
  px_[i + 1] = c.g;
  px_[i + 2] = c.b;
  px_[i + 3] = c.a;
}

void Canvas::Blend(int x, int y, Rgba c) {
  if (c.a == 255) {
    Set(x, y, c);
    return;
  }
  if (c.a == 0 || x < 0 || y < 0 || x >= w_ || y >= h_) return;
  const Rgba d = Get(x, y);
  const double a = c.a / 255.0;
  // Over an empty (black) background the colour keeps its own alpha; over a drawn pixel
  // it is mixed into it.
  if (d == kBlack) {
    Set(x, y, c);
    return;
  }
  Set(x, y, NotBlack(Rgba{Clamp8(d.r + (c.r - d.r) * a), Clamp8(d.g + (c.g - d.g) * a),
                          Clamp8(d.b + (c.b - d.b) * a), Clamp8(d.a + (255 - d.a) * a)}));
}

void Canvas::Fill(Rgba c) {
  for (std::size_t i = 0; i < px_.size(); i += 4) {
    px_[i] = c.r;
    px_[i + 1] = c.g;
    px_[i + 2] = c.b;
    px_[i + 3] = c.a;
  }
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba c) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(w_, x + w), y1 = std::min(h_, y + h);
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx) Blend(xx, yy, c);
}

void Canvas::FrameRect(int x, int y, int w, int h, Rgba c, int thickness) {
  if (w <= 0 || h <= 0) return;
  const int t = std::max(1, std::min({thickness, (w + 1) / 2, (h + 1) / 2}));
  FillRect(x, y, w, t, c);
  FillRect(x, y + h - t, w, t, c);
  FillRect(x, y + t, t, h - 2 * t, c);
  FillRect(x + w - t, y + t, t, h - 2 * t, c);
}

void Canvas::Gradient(int x, int y, int w, int h, Rgba from, Rgba to, bool horizontal) {
  if (w <= 0 || h <= 0) return;
  if (horizontal) {
    for (int i = 0; i < w; ++i) FillRect(x + i, y, 1, h, Mix(from, to, w == 1 ? 0.0 : double(i) / (w - 1)));
  } else {
    for (int i = 0; i < h; ++i) FillRect(x, y + i, w, 1, Mix(from, to, h == 1 ? 0.0 : double(i) / (h - 1)));
  }
}

void Canvas::FillCircle(double cx, double cy, double r, Rgba c) { FillEllipse(cx, cy, r, r, c); }

void Canvas::Circle(double cx, double cy, double r, Rgba c, double thickness) {
  if (r <= 0) return;
  const double inner = std::max(0.0, r - thickness);
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - r))), x1 = std::min(w_ - 1, static_cast<int>(std::ceil(cx + r)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - r))), y1 = std::min(h_ - 1, static_cast<int>(std::ceil(cy + r)));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      const double d2 = dx * dx + dy * dy;
      if (d2 <= r * r && d2 >= inner * inner) Blend(x, y, c);
    }
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgba c) {
  if (rx <= 0 || ry <= 0) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - rx))), x1 = std::min(w_ - 1, static_cast<int>(std::ceil(cx + rx)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - ry))), y1 = std::min(h_ - 1, static_cast<int>(std::ceil(cy + ry)));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) Blend(x, y, c);
    }
}

void Canvas::Line(double x0, double y0, double x1, double y1, Rgba c, double width) {
  const double r = std::max(0.5, width / 2.0);
  const int bx0 = std::max(0, static_cast<int>(std::floor(std::min(x0, x1) - r)));
  const int bx1 = std::min(w_ - 1, static_cast<int>(std::ceil(std::max(x0, x1) + r)));
  const int by0 = std::max(0, static_cast<int>(std::floor(std::min(y0, y1) - r)));
  const int by1 = std::min(h_ - 1, static_cast<int>(std::ceil(std::max(y0, y1) + r)));
  const double vx = x1 - x0, vy = y1 - y0;
  const double len2 = vx * vx + vy * vy;
  for (int y = by0; y <= by1; ++y)
    for (int x = bx0; x <= bx1; ++x) {
      const double px = x + 0.5 - x0, py = y + 0.5 - y0;
      double t = len2 > 0 ? (px * vx + py * vy) / len2 : 0.0;
      t = std::clamp(t, 0.0, 1.0);
      const double dx = px - t * vx, dy = py - t * vy;
      if (dx * dx + dy * dy <= r * r) Blend(x, y, c);
    }
}

void Canvas::FillPolygon(const std::vector<Point>& pts, Rgba c) {
  if (pts.size() < 3) return;
  double minY = pts[0].y, maxY = pts[0].y;
  for (const Point& p : pts) {
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const int y0 = std::max(0, static_cast<int>(std::floor(minY))), y1 = std::min(h_ - 1, static_cast<int>(std::ceil(maxY)));
  std::vector<double> xs;
  for (int y = y0; y <= y1; ++y) {
    const double sy = y + 0.5;
    xs.clear();
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const Point& a = pts[i];
      const Point& b = pts[(i + 1) % pts.size()];
      if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy)) xs.push_back(a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
      const int xa = std::max(0, static_cast<int>(std::ceil(xs[i] - 0.5)));
      const int xb = std::min(w_ - 1, static_cast<int>(std::floor(xs[i + 1] - 0.5)));
      for (int x = xa; x <= xb; ++x) Blend(x, y, c);
    }
  }
}

void Canvas::Glow(double cx, double cy, double r, Rgba c) {
  if (r <= 0) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - r))), x1 = std::min(w_ - 1, static_cast<int>(std::ceil(cx + r)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - r))), y1 = std::min(h_ - 1, static_cast<int>(std::ceil(cy + r)));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      const double d = std::sqrt(dx * dx + dy * dy) / r;
      if (d >= 1.0) continue;
      Rgba k = c;
      k.a = Clamp8(c.a * (1.0 - d));
      Blend(x, y, k);
    }
}

void Canvas::Draw(const Canvas& src, int x, int y, bool skipBlack) {
  for (int sy = 0; sy < src.H(); ++sy)
    for (int sx = 0; sx < src.W(); ++sx) {
      const Rgba c = src.Get(sx, sy);
      if (skipBlack && c == kBlack) continue;
      Blend(x + sx, y + sy, c);
    }
}

Canvas Canvas::Scaled(int w, int h) const {
  Canvas out(w, h);
  for (int y = 0; y < out.H(); ++y)
    for (int x = 0; x < out.W(); ++x)
      out.Set(x, y, Get(static_cast<int>(static_cast<long>(x) * w_ / out.W()), static_cast<int>(static_cast<long>(y) * h_ / out.H())));
  return out;
}

Canvas Canvas::Mirrored() const {
  Canvas out(w_, h_);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) out.Set(w_ - 1 - x, y, Get(x, y));
  return out;
}

void Canvas::Tint(Rgba c, double t) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      const Rgba p = Get(x, y);
      if (p == kBlack) continue;
      Rgba m = Mix(p, Rgba{c.r, c.g, c.b, p.a}, t);
      Set(x, y, NotBlack(m));
    }
}

int Canvas::Text(std::string_view utf8, int x, int y, int pixels, Rgba c, Align align, bool bold) {
  if (utf8.empty()) return 0;
  std::lock_guard<std::mutex> lock(FontMutex());
  TTF_Font* font = Font(pixels, bold);
  if (font == nullptr) return 0;
  const std::string text(utf8);
  SurfacePtr rendered(TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{255, 255, 255, 255}));
  if (!rendered) return 0;
  SurfacePtr argb(SDL_ConvertSurfaceFormat(rendered.get(), SDL_PIXELFORMAT_RGBA32, 0));
  if (!argb) return 0;
  const int w = argb->w;
  int left = x;
  if (align == Align::Centre) left = x - w / 2;
  if (align == Align::Right) left = x - w;
  SDL_LockSurface(argb.get());
  const auto* pixelsIn = static_cast<const std::uint8_t*>(argb->pixels);
  for (int yy = 0; yy < argb->h; ++yy)
    for (int xx = 0; xx < w; ++xx) {
      const std::uint8_t a = pixelsIn[yy * argb->pitch + xx * 4 + 3];
      if (a == 0) continue;
      Rgba k = c;
      k.a = static_cast<std::uint8_t>(c.a * a / 255);
      Blend(left + xx, y + yy, k);
    }
  SDL_UnlockSurface(argb.get());
  return w;
}

std::pair<int, int> Canvas::MeasureText(std::string_view utf8, int pixels, bool bold) {
  std::lock_guard<std::mutex> lock(FontMutex());
  TTF_Font* font = Font(pixels, bold);
  if (font == nullptr) return {0, 0};
  int w = 0, h = 0;
  const std::string text(utf8);
  if (TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0) return {0, 0};
  return {w, h};
}

// ---- Encoders ----

std::vector<std::uint8_t> Canvas::EncodeBmp() const {
  const std::size_t rowBytes = (static_cast<std::size_t>(w_) * 3 + 3) & ~static_cast<std::size_t>(3);
  const std::size_t dataBytes = rowBytes * static_cast<std::size_t>(h_);
  std::vector<std::uint8_t> out;
  out.reserve(54 + dataBytes);
  auto le16 = [&](std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto le32 = [&](std::uint32_t v) {
    le16(v & 0xFFFF);
    le16(v >> 16);
  };
  out.push_back('B');
  out.push_back('M');
  le32(static_cast<std::uint32_t>(54 + dataBytes));
  le32(0);
  le32(54);
  le32(40);
  le32(static_cast<std::uint32_t>(w_));
  le32(static_cast<std::uint32_t>(h_));
  le16(1);
  le16(24);
  le32(0);
  le32(static_cast<std::uint32_t>(dataBytes));
  le32(2835);
  le32(2835);
  le32(0);
  le32(0);
  for (int y = h_ - 1; y >= 0; --y) {
    for (int x = 0; x < w_; ++x) {
      const Rgba c = Get(x, y);
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (std::size_t p = static_cast<std::size_t>(w_) * 3; p < rowBytes; ++p) out.push_back(0);
  }
  return out;
}

std::vector<std::uint8_t> Canvas::EncodeTga() const {
  std::vector<std::uint8_t> out = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   static_cast<std::uint8_t>(w_ & 0xFF), static_cast<std::uint8_t>(w_ >> 8),
                                   static_cast<std::uint8_t>(h_ & 0xFF), static_cast<std::uint8_t>(h_ >> 8),
                                   32, 8};
  auto put = [&](Rgba c) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(c.a);
  };
  // Run-length packets never cross a row: rows bottom to top.
  for (int y = h_ - 1; y >= 0; --y) {
    int x = 0;
    while (x < w_) {
      int run = 1;
      while (x + run < w_ && run < 128 && Get(x + run, y) == Get(x, y)) ++run;
      if (run >= 2) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
        put(Get(x, y));
        x += run;
        continue;
      }
      int raw = 1;
      while (x + raw < w_ && raw < 128 && !(x + raw + 1 < w_ && Get(x + raw, y) == Get(x + raw + 1, y))) ++raw;
      out.push_back(static_cast<std::uint8_t>(raw - 1));
      for (int i = 0; i < raw; ++i) put(Get(x + i, y));
      x += raw;
    }
  }
  return out;
}

std::vector<std::uint8_t> Canvas::EncodePng() const {
  InitImageLibraries();
  // The colours of the picture, in first-seen order, the translucent ones first so the
  // transparency chunk stays short.
  std::map<std::uint32_t, int> index;
  std::vector<Rgba> colours;
  for (std::size_t i = 0; i < px_.size() && colours.size() <= 256; i += 4) {
    const std::uint32_t key = (std::uint32_t{px_[i]} << 24) | (std::uint32_t{px_[i + 1]} << 16) |
                              (std::uint32_t{px_[i + 2]} << 8) | px_[i + 3];
    if (index.emplace(key, 0).second) colours.push_back(Rgba{px_[i], px_[i + 1], px_[i + 2], px_[i + 3]});
  }
  if (colours.size() > 256) {
    // Too many colours for a palette: a full-colour picture with alpha.
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w_, h_, 32, SDL_PIXELFORMAT_RGBA32));
    if (!s) throw std::runtime_error("cannot make a picture surface");
    for (int y = 0; y < h_; ++y)
      std::memcpy(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch, px_.data() + static_cast<std::size_t>(y) * w_ * 4,
                  static_cast<std::size_t>(w_) * 4);
    std::vector<std::uint8_t> png = SaveToMemory([&](SDL_RWops* rw) { return IMG_SavePNG_RW(s.get(), rw, 0); }, "PNG");
    // Keep only the chunks a decoder needs.
    std::vector<std::uint8_t> out(kPngSignature, kPngSignature + 8);
    for (const PngChunk& c : PngChunks(png))
      if (c.type == "IHDR" || c.type == "IDAT" || c.type == "IEND")
        out.insert(out.end(), png.begin() + static_cast<long>(c.at), png.begin() + static_cast<long>(c.at + 12 + c.size));
    return out;
  }
  std::stable_sort(colours.begin(), colours.end(), [](const Rgba& a, const Rgba& b) {
    return (a.a < 255) > (b.a < 255);
  });
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const Rgba& c = colours[i];
    index[(std::uint32_t{c.r} << 24) | (std::uint32_t{c.g} << 16) | (std::uint32_t{c.b} << 8) | c.a] = static_cast<int>(i);
  }
  SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w_, h_, 8, SDL_PIXELFORMAT_INDEX8));
  if (!s) throw std::runtime_error("cannot make a picture surface");
  std::vector<SDL_Color> pal(256, SDL_Color{0, 0, 0, 255});
  for (std::size_t i = 0; i < colours.size(); ++i) pal[i] = SDL_Color{colours[i].r, colours[i].g, colours[i].b, 255};
  SDL_SetPaletteColors(s->format->palette, pal.data(), 0, 256);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      const std::size_t i = (static_cast<std::size_t>(y) * w_ + x) * 4;
      const std::uint32_t key = (std::uint32_t{px_[i]} << 24) | (std::uint32_t{px_[i + 1]} << 16) |
                                (std::uint32_t{px_[i + 2]} << 8) | px_[i + 3];
      static_cast<std::uint8_t*>(s->pixels)[y * s->pitch + x] = static_cast<std::uint8_t>(index[key]);
    }
  const std::vector<std::uint8_t> png =
      SaveToMemory([&](SDL_RWops* rw) { return IMG_SavePNG_RW(s.get(), rw, 0); }, "PNG");
  // Rebuilt with a palette of only the colours used and their transparency.
  std::vector<std::uint8_t> out(kPngSignature, kPngSignature + 8);
  const std::vector<PngChunk> chunks = PngChunks(png);
  for (const PngChunk& c : chunks) {
    if (c.type == "IHDR") {
      out.insert(out.end(), png.begin() + static_cast<long>(c.at), png.begin() + static_cast<long>(c.at + 12 + c.size));
      if (png[c.at + 8 + 9] != 3) throw std::runtime_error("the PNG writer gave no palette picture");
      std::vector<std::uint8_t> plte;
      std::vector<std::uint8_t> trns;
      for (const Rgba& k : colours) {
        plte.push_back(k.r);
        plte.push_back(k.g);
        plte.push_back(k.b);
        if (k.a < 255) trns.push_back(k.a);
      }
      PutChunk(out, "PLTE", plte.data(), plte.size());
      if (!trns.empty()) PutChunk(out, "tRNS", trns.data(), trns.size());
    } else if (c.type == "IDAT" || c.type == "IEND") {
      out.insert(out.end(), png.begin() + static_cast<long>(c.at), png.begin() + static_cast<long>(c.at + 12 + c.size));
    }
  }
  return out;
}

std::vector<std::uint8_t> Canvas::EncodeJpg(int quality) const {
  InitImageLibraries();
  SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w_, h_, 24, SDL_PIXELFORMAT_RGB24));
  if (!s) throw std::runtime_error("cannot make a picture surface");
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      const Rgba c = Get(x, y);
      auto* p = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch + x * 3;
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  const int q = std::clamp(quality, 1, 100);
  return SaveToMemory([&](SDL_RWops* rw) { return IMG_SaveJPG_RW(s.get(), rw, 0, q); }, "JPG");
}

void Canvas::Save(const fs::path& file) const {
  const std::string ext = LowerExtension(file);
  std::vector<std::uint8_t> bytes;
  if (ext == ".bmp") {
    bytes = EncodeBmp();
  } else if (ext == ".png") {
    bytes = EncodePng();
  } else if (ext == ".tga") {
    bytes = EncodeTga();
  } else if (ext == ".jpg" || ext == ".jpeg") {
    bytes = EncodeJpg();
  } else {
    throw std::runtime_error("no picture format for " + file.string());
  }
  WriteFile(file, bytes.data(), bytes.size());
}

// ---- Packs ----

int PackWriter::Add(std::vector<std::uint8_t> encoded) {
  if (encoded.empty()) throw std::runtime_error("an empty picture cannot go into a pack");
  Stored s;
  s.start = data_.size();
  data_.insert(data_.end(), encoded.begin(), encoded.end());
  s.end = data_.size();
  records_.push_back(s);
  return Count();
}

int PackWriter::Repeat(int n) {
  if (n < 1 || n > Count()) throw std::runtime_error("no pack record " + std::to_string(n) + " to repeat");
  records_.push_back(records_[static_cast<std::size_t>(n - 1)]);
  return Count();
}

int PackWriter::AddShared(std::vector<std::uint8_t> encoded) {
  auto it = shared_.find(encoded);
  if (it != shared_.end()) return Repeat(it->second);
  const int n = Add(encoded);
  shared_.emplace(std::move(encoded), n);
  return n;
}

std::string PackWriter::Record(std::size_t start, std::size_t end) {
  std::string r = std::to_string(start) + "," + std::to_string(end);
  // The second number must be closed by a blank inside the record.
  if (r.size() > 10) throw std::runtime_error("pack record \"" + r + "\" does not fit in 11 bytes");
  r.resize(11, ' ');
  return r;
}

void PackWriter::Write(const fs::path& base) const {
  // The stored pictures, each once, in the order they were stored.
  std::vector<Stored> stored;
  for (const Stored& s : records_)
    if (stored.empty() || s.start >= stored.back().end) stored.push_back(s);
  auto fitsFlat = [&] {
    for (const Stored& s : stored)
      if ((std::to_string(s.start) + "," + std::to_string(s.end)).size() > 10) return false;
    return true;
  };
  std::vector<std::uint8_t> data;
  std::map<std::size_t, Stored> placed;  // stored start -> where it lies in the data file
  if (fitsFlat()) {
    data = data_;
    for (const Stored& s : stored) placed[s.start] = s;
  } else {
    // Too many pictures for their starts to stay short: the pictures are nested. Each PNG
    // carries the next one inside an ancillary chunk ("skIp", which decoders pass over)
    // right after its header, so every picture starts 41 bytes after the one before it,
    // and each record still names one complete picture.
    // The largest pictures go outermost: a record whose start has at most three digits
    // may end anywhere below 1000000, the others must end below 100000.
    const std::size_t headerBytes = 8 + 25 + 8;
    std::stable_sort(stored.begin(), stored.end(),
                     [](const Stored& x, const Stored& y) { return x.end - x.start > y.end - y.start; });
    std::vector<std::vector<std::uint8_t>> pictures;
    for (const Stored& s : stored) {
      std::vector<std::uint8_t> p(data_.begin() + static_cast<long>(s.start), data_.begin() + static_cast<long>(s.end));
      const auto chunks = PngChunks(p);  // throws for a picture that is no PNG
      if (chunks.front().at != 8 || chunks.front().size != 13)
        throw std::runtime_error("pack picture with an unusual PNG header");
      pictures.push_back(std::move(p));
    }
    std::vector<std::uint8_t> blob = pictures.back();
    for (std::size_t i = pictures.size() - 1; i-- > 0;) {
      const std::vector<std::uint8_t>& p = pictures[i];
      std::vector<std::uint8_t> outer(p.begin(), p.begin() + 33);
      PutChunk(outer, "skIp", blob.data(), blob.size());
      outer.insert(outer.end(), p.begin() + 33, p.end());
      blob = std::move(outer);
    }
    data = std::move(blob);
    // Picture i starts at i * 41; its length is its own size plus everything nested in it.
    std::size_t nestedBytes = 0;
    std::vector<std::size_t> lengths(pictures.size());
    for (std::size_t i = pictures.size(); i-- > 0;) {
      lengths[i] = pictures[i].size() + (i + 1 < pictures.size() ? 12 + nestedBytes : 0);
      nestedBytes = lengths[i];
    }
    for (std::size_t i = 0; i < stored.size(); ++i)
      placed[stored[i].start] = Stored{i * headerBytes, i * headerBytes + lengths[i]};
  }
  std::string index;
  index.reserve(records_.size() * 11);
  try {
    for (const Stored& s : records_) {
      const Stored& p = placed.at(s.start);
      index += Record(p.start, p.end);
    }
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(base.string() + ": " + e.what() + " (" + std::to_string(stored.size()) +
                             " pictures, " + std::to_string(data.size()) + " bytes)");
  }
  WriteFile(fs::path(base.string() + ".Mxx"), reinterpret_cast<const std::uint8_t*>(index.data()), index.size());
  WriteFile(fs::path(base.string() + ".dat"), data.data(), data.size());
}

void WriteTextFile(const fs::path& file, std::string_view text) {
  WriteFile(file, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace tools::art
