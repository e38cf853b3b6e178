#include "platform/render.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/picture_check.h"

namespace plat {

namespace {

constexpr Uint32 kFormat = SDL_PIXELFORMAT_ARGB8888;
// Text textures kept for reuse (names and numbers are drawn every frame).
constexpr std::size_t kTextCacheLimit = 1024;
// Measured line widths and wrapped texts kept for reuse; each cache starts afresh when full.
constexpr std::size_t kWidthCacheLimit = 4096;
constexpr std::size_t kWrapCacheLimit = 1024;

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

void InitLibraries() {
  static bool done = false;
  if (done) return;
  done = true;
  IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
  if (TTF_WasInit() == 0) TTF_Init();
}

// Decodes a picture from memory: BMP, PNG, JPG or TGA, after its header has passed the
// checks of CheckPicture (nothing else reaches the image library). Returned in 32-bit
// ARGB, with at least one pixel.
SurfacePtr Decode(const void* data, std::size_t size, std::string& error) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    error = "picture data too large";
    return nullptr;
  }
  const auto header = CheckPicture(static_cast<const std::uint8_t*>(data), size, error);
  if (!header) return nullptr;
  // The format's own loader: the library's detection would also try formats of its own.
  SDL_Surface* raw = nullptr;
  if (SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size))) {
    switch (header->format) {
      case PictureFormat::Bmp: raw = IMG_LoadBMP_RW(rw); break;
      case PictureFormat::Png: raw = IMG_LoadPNG_RW(rw); break;
      case PictureFormat::Jpg: raw = IMG_LoadJPG_RW(rw); break;
      case PictureFormat::Tga: raw = IMG_LoadTGA_RW(rw); break;
    }
    SDL_RWclose(rw);
  }
  if (raw == nullptr) {
    error = std::string("cannot decode picture: ") + IMG_GetError();
    return nullptr;
  }
  SurfacePtr src(raw);
  if (src->w < 1 || src->h < 1 || src->pixels == nullptr) {
    error = "picture without pixels";
    return nullptr;
  }
  SDL_Surface* conv = SDL_ConvertSurfaceFormat(src.get(), kFormat, 0);
  if (conv == nullptr) {
    error = std::string("cannot convert picture: ") + SDL_GetError();
    return nullptr;
  }
  return SurfacePtr(conv);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string& error) {
  SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
  if (rw == nullptr) {
    error = "cannot open " + path;
    return false;
  }
  Sint64 size = SDL_RWsize(rw);
  if (size <= 0 || size > INT_MAX) {
    SDL_RWclose(rw);
    error = "cannot read " + path;
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  std::size_t got = SDL_RWread(rw, out.data(), 1, out.size());
  SDL_RWclose(rw);
  if (got != out.size()) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

// Opaque pure black (0, 0, 0, 255) becomes fully transparent; every other pixel, a
// half-transparent black among them, stays as it is.
void KeyBlack(SDL_Surface* s) {
  SDL_LockSurface(s);
  for (int y = 0; y < s->h; ++y) {
    auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch);
    for (int x = 0; x < s->w; ++x) {
      if (row[x] == 0xFF000000u) row[x] = 0;
    }
  }
  SDL_UnlockSurface(s);
}

void MakeOpaque(SDL_Surface* s) {
  SDL_LockSurface(s);
  for (int y = 0; y < s->h; ++y) {
    auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch);
    for (int x = 0; x < s->w; ++x) row[x] |= 0xFF000000u;
  }
  SDL_UnlockSurface(s);
}

// A copy of the picture scaled to w x h (the picture itself when it has that size).
SurfacePtr ScaleTo(SurfacePtr src, int w, int h, std::string& error) {
  if (src->w == w && src->h == h) return src;
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, kFormat);
  if (dst == nullptr) {
    error = std::string("cannot create picture: ") + SDL_GetError();
    return nullptr;
  }
  SurfacePtr out(dst);
  if (SDL_SoftStretchLinear(src.get(), nullptr, out.get(), nullptr) != 0) {
    // Fall back to the nearest pixel.
    SDL_SetSurfaceBlendMode(src.get(), SDL_BLENDMODE_NONE);
    if (SDL_BlitScaled(src.get(), nullptr, out.get(), nullptr) != 0) {
      error = std::string("cannot scale picture: ") + SDL_GetError();
      return nullptr;
    }
  }
  return out;
}

// Every pixel of a 32-bit ARGB picture has full alpha.
bool AllOpaque(const SDL_Surface* s) {
  if (s->format->format != kFormat) return false;
  for (int y = 0; y < s->h; ++y) {
    const auto* row =
        reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch);
    for (int x = 0; x < s->w; ++x) {
      if ((row[x] & 0xFF000000u) != 0xFF000000u) return false;
    }
  }
  return true;
}

// Length in bytes of the UTF-8 character starting at s[i] (1 for a broken sequence).
std::size_t CharLen(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = 1;
  if (c >= 0xF0 && c < 0xF8) n = 4;
  else if (c >= 0xE0) n = 3;
  else if (c >= 0xC0) n = 2;
  if (n > 1 && c >= 0xF8) n = 1;
  if (i + n > s.size()) return 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

// Byte offset after `chars` characters from the start.
std::size_t ByteOffset(std::string_view s, int chars) {
  std::size_t i = 0;
  for (int k = 0; k < chars && i < s.size(); ++k) i += CharLen(s, i);
  return i;
}

// Chinese typesetting keeps closing punctuation on the line it closes: none of these
// may start a line.
bool IsClosingPunctuation(std::string_view ch) {
  static constexpr std::string_view kClosing[] = {"。", "，", "、", "；", "：", "？", "！", "）", "」", "』",
                                                  "】", "》", "〉", "〕", "〗", "”",  "’",  "．", "…",  "］",
                                                  "｝", ",",  ".",  ";",  ":",  "?",  "!",  ")",  "]",  "}"};
  for (std::string_view c : kClosing) {
    if (ch == c) return true;
  }
  return false;
}

// Where a line of s that would end at `cut` ends instead so that the next line does not
// start with closing punctuation: the character before it goes down with it (and the one
// before that, for a run of them). A line that would be left empty keeps `cut`.
std::size_t BreakBeforeClosing(std::string_view s, std::size_t cut) {
  std::size_t at = cut;
  while (at > 0 && at < s.size() && IsClosingPunctuation(s.substr(at, CharLen(s, at)))) {
    do {
      --at;
    } while (at > 0 && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80);
  }
  return at > 0 ? at : cut;
}

// Lines of a text split at "\n" (a "\r" before it is dropped; a lone "\r" breaks too).
std::vector<std::string> SplitLines(std::string_view s) {
  std::vector<std::string> lines;
  std::string cur;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r') {
      lines.push_back(cur);
      cur.clear();
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  lines.push_back(cur);
  return lines;
}

std::optional<Rect> Intersect(const Rect& a, const Rect& b) {
  int x1 = std::max(a.x, b.x), y1 = std::max(a.y, b.y);
  int x2 = std::min(a.x + a.w, b.x + b.w), y2 = std::min(a.y + a.h, b.y + b.h);
  if (x2 <= x1 || y2 <= y1) return std::nullopt;
  return Rect{x1, y1, x2 - x1, y2 - y1};
}

// The renderer draws through an OpenGL library that rasterises on the processor.
bool RasterisesInSoftware(SDL_Renderer* ren) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(ren, &info) != 0 || info.name == nullptr) return false;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr) return false;
  constexpr unsigned int kGlRenderer = 0x1F01;
  const unsigned char* name = getString(kGlRenderer);
  if (name == nullptr) return false;
  const std::string n(reinterpret_cast<const char*>(name));
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (n.find(soft) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

struct Renderer::Impl {
  struct TexEntry {
    SDL_Texture* tex = nullptr;
    int w = 0, h = 0;
    bool target = false;
    bool opaque = false;        // every pixel has full alpha
    std::uint64_t version = 0;  // bumped by every draw into it (targets)
  };
  struct SurfEntry {
    SurfacePtr surf;
    SDL_Texture* upload = nullptr;  // the surface's copy on the device, refreshed when dirty
    bool dirty = true;
    bool opaque = true;  // every pixel has full alpha
  };
  struct TextEntry {
    SDL_Texture* tex = nullptr;
    int w = 0, h = 0;
    std::uint64_t lastUse = 0;
  };

  SDL_Renderer* ren = nullptr;
  SDL_Window* window = nullptr;  // not owned
  SurfacePtr output;             // the headless back end's picture
  bool headless = false;
  std::string error;
  std::unordered_map<std::uint32_t, TexEntry> textures;
  std::unordered_map<std::uint32_t, SurfEntry> surfaces;
  std::uint32_t nextId = 1;
  Texture target;
  std::optional<Rect> clip;
  TTF_Font* font = nullptr;
  // The same font emboldened; nullptr when it could not be opened (bold then draws regular).
  TTF_Font* boldFont = nullptr;
  int lineHeight = 0;
  // Keys of the text caches: the weight's letter, then the text.
  std::unordered_map<std::string, TextEntry> textCache;
  std::uint64_t useCounter = 0;
  mutable std::unordered_map<std::string, int> widthCache;
  // Key: the weight's letter, the width, '\n', the text.
  mutable std::unordered_map<std::string, std::vector<std::string>> wrapCache;
  // Content versions: every draw gives the current target the next number.
  std::uint64_t versionCounter = 0;
  std::uint64_t outputVersion = 0;
  std::uint64_t* targetVersion = &outputVersion;

  void Drew() { *targetVersion = ++versionCounter; }
  // A target keeps full alpha through blended draws and opaque fills; a copy of pixels
  // that may be see-through takes that away.
  void CopiedOnto(bool sourceOpaque) {
    Drew();
    if (!sourceOpaque && target) textures[target.id].opaque = false;
  }

  ~Impl() {
    for (auto& [k, t] : textCache) SDL_DestroyTexture(t.tex);
    for (auto& [k, t] : textures) SDL_DestroyTexture(t.tex);
    for (auto& [k, s] : surfaces) {
      if (s.upload != nullptr) SDL_DestroyTexture(s.upload);
    }
    CloseFonts();
    if (ren != nullptr) SDL_DestroyRenderer(ren);
  }

  std::uint32_t NewId() {
    while (nextId == 0 || textures.count(nextId) != 0 || surfaces.count(nextId) != 0) ++nextId;
    return nextId++;
  }

  const TexEntry* Tex(Texture t) const {
    auto it = textures.find(t.id);
    return it == textures.end() ? nullptr : &it->second;
  }
  SurfEntry* Surf(Surface s) {
    auto it = surfaces.find(s.id);
    return it == surfaces.end() ? nullptr : &it->second;
  }

  Texture AddTexture(SDL_Surface* pic) {
    SDL_Texture* tex = SDL_CreateTexture(ren, kFormat, SDL_TEXTUREACCESS_STATIC, pic->w, pic->h);
    if (tex == nullptr) {
      error = std::string("cannot create texture: ") + SDL_GetError();
      return {};
    }
    if (SDL_UpdateTexture(tex, nullptr, pic->pixels, pic->pitch) != 0) {
      error = std::string("cannot fill texture: ") + SDL_GetError();
      SDL_DestroyTexture(tex);
      return {};
    }
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(tex, SDL_ScaleModeNearest);
    std::uint32_t id = NewId();
    textures[id] = TexEntry{tex, pic->w, pic->h, false, AllOpaque(pic), 0};
    return Texture{id};
  }

  void ApplyClip() {
    if (clip) {
      SDL_Rect r{clip->x, clip->y, std::max(0, clip->w), std::max(0, clip->h)};
      if (r.w == 0 || r.h == 0) {
        // An empty clip shows nothing; SDL reads a zero-size rectangle as "no clip".
        r = SDL_Rect{-2, -2, 1, 1};
      }
      SDL_RenderSetClipRect(ren, &r);
    } else {
      SDL_RenderSetClipRect(ren, nullptr);
    }
  }

  void CloseFonts() {
    if (boldFont != nullptr) TTF_CloseFont(boldFont);
    if (font != nullptr) TTF_CloseFont(font);
    boldFont = font = nullptr;
  }

  TTF_Font* Face(FontWeight weight) const {
    return weight == FontWeight::Bold && boldFont != nullptr ? boldFont : font;
  }

  static std::string CacheKey(const std::string& line, FontWeight weight) {
    std::string key(1, weight == FontWeight::Bold ? 'B' : 'R');
    key += line;
    return key;
  }

  // The texture of one line of text in white (drawn in any colour by modulation).
  const TextEntry* LineTexture(const std::string& line, FontWeight weight) {
    if (font == nullptr || line.empty()) return nullptr;
    const std::string key = CacheKey(line, weight);
    auto it = textCache.find(key);
    if (it != textCache.end()) {
      it->second.lastUse = ++useCounter;
      return &it->second;
    }
    if (textCache.size() >= kTextCacheLimit) EvictText();
    SDL_Surface* s = TTF_RenderUTF8_Blended(Face(weight), line.c_str(), SDL_Color{255, 255, 255, 255});
    if (s == nullptr) {
      error = std::string("cannot draw text: ") + TTF_GetError();
      return nullptr;
    }
    SurfacePtr pic(s);
    SDL_Texture* tex = SDL_CreateTextureFromSurface(ren, pic.get());
    if (tex == nullptr) {
      error = std::string("cannot create text texture: ") + SDL_GetError();
      return nullptr;
    }
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
    auto& e = textCache[key];
    e = TextEntry{tex, pic->w, pic->h, ++useCounter};
    return &e;
  }

  // Drops the older half of the text textures.
  void EvictText() {
    std::vector<std::uint64_t> uses;
    uses.reserve(textCache.size());
    for (auto& [k, e] : textCache) uses.push_back(e.lastUse);
    std::nth_element(uses.begin(), uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2), uses.end());
    std::uint64_t cut = uses[uses.size() / 2];
    for (auto it = textCache.begin(); it != textCache.end();) {
      if (it->second.lastUse < cut) {
        SDL_DestroyTexture(it->second.tex);
        it = textCache.erase(it);
      } else {
        ++it;
      }
    }
  }

  void ClearTextCache() {
    for (auto& [k, e] : textCache) SDL_DestroyTexture(e.tex);
    textCache.clear();
    widthCache.clear();
    wrapCache.clear();
  }

  int TextWidth(const std::string& line, FontWeight weight) const {
    if (font == nullptr || line.empty()) return 0;
    std::string key = CacheKey(line, weight);
    auto it = widthCache.find(key);
    if (it != widthCache.end()) return it->second;
    int w = 0, h = 0;
    if (TTF_SizeUTF8(Face(weight), line.c_str(), &w, &h) != 0) return 0;
    if (widthCache.size() >= kWidthCacheLimit) widthCache.clear();
    widthCache.emplace(std::move(key), w);
    return w;
  }

  void DrawLine(const std::string& line, Color c, int x, int y, FontWeight weight) {
    const TextEntry* e = LineTexture(line, weight);
    if (e == nullptr) return;
    SDL_SetTextureColorMod(e->tex, c.r, c.g, c.b);
    SDL_SetTextureAlphaMod(e->tex, c.a);
    SDL_Rect dst{x, y, e->w, e->h};
    SDL_RenderCopy(ren, e->tex, nullptr, &dst);
    Drew();
  }
};

Renderer::Renderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Renderer::~Renderer() = default;

std::unique_ptr<Renderer> Renderer::CreateForWindow(SDL_Window* window) {
  if (window == nullptr) throw RenderError("no window for the renderer");
  InitLibraries();
  auto impl = std::make_unique<Impl>();
  impl->window = window;
  impl->ren = SDL_CreateRenderer(window, -1,
                                 SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE | SDL_RENDERER_PRESENTVSYNC);
  if (impl->ren != nullptr && RasterisesInSoftware(impl->ren) && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr) {
    // A graphics library that draws on the processor costs far more than SDL's own
    // software renderer for this window's 2-D copies; the window's picture then goes to
    // the display directly, not through that library either.
    SDL_DestroyRenderer(impl->ren);
    impl->ren = nullptr;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  if (impl->ren == nullptr) impl->ren = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (impl->ren == nullptr) throw RenderError(std::string("cannot create the renderer: ") + SDL_GetError());
  SDL_SetRenderDrawBlendMode(impl->ren, SDL_BLENDMODE_NONE);
  std::unique_ptr<Renderer> r(new Renderer(std::move(impl)));
  r->LoadFont();
  return r;
}

std::unique_ptr<Renderer> Renderer::CreateHeadless(int w, int h) {
  if (w < 1 || h < 1) throw RenderError("bad size for the headless renderer");
  InitLibraries();
  auto impl = std::make_unique<Impl>();
  impl->headless = true;
  impl->output.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, kFormat));
  if (!impl->output) throw RenderError(std::string("cannot create the headless picture: ") + SDL_GetError());
  impl->ren = SDL_CreateSoftwareRenderer(impl->output.get());
  if (impl->ren == nullptr) throw RenderError(std::string("cannot create the software renderer: ") + SDL_GetError());
  SDL_SetRenderDrawBlendMode(impl->ren, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(impl->ren, 0, 0, 0, 255);
  SDL_RenderClear(impl->ren);
  std::unique_ptr<Renderer> r(new Renderer(std::move(impl)));
  r->LoadFont();
  return r;
}

bool Renderer::Headless() const { return impl_->headless; }

Size Renderer::OutputSize() const {
  if (impl_->headless) return Size{impl_->output->w, impl_->output->h};
  int w = 0, h = 0;
  SDL_GetRendererOutputSize(impl_->ren, &w, &h);
  return Size{w, h};
}

SDL_Renderer* Renderer::Sdl() const { return impl_->ren; }
const std::string& Renderer::LastError() const { return impl_->error; }

// ---- Textures ----

Texture Renderer::LoadTexture(const void* data, std::size_t size, int w, int h) {
  SurfacePtr pic = Decode(data, size, impl_->error);
  if (!pic) return {};
  KeyBlack(pic.get());
  if (w > 0 && h > 0) {
    pic = ScaleTo(std::move(pic), w, h, impl_->error);
    if (!pic) return {};
  }
  return impl_->AddTexture(pic.get());
}

Texture Renderer::LoadTextureFile(const std::string& path, int w, int h) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, impl_->error)) return {};
  return LoadTexture(bytes.data(), bytes.size(), w, h);
}

Texture Renderer::LoadPicture(const void* data, std::size_t size) {
  SurfacePtr pic = Decode(data, size, impl_->error);
  if (!pic) return {};
  return impl_->AddTexture(pic.get());
}

Texture Renderer::LoadPictureFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, impl_->error)) return {};
  return LoadPicture(bytes.data(), bytes.size());
}

Texture Renderer::CreateTarget(int w, int h) {
  if (w < 1 || h < 1) {
    impl_->error = "bad size for a target";
    return {};
  }
  SDL_Texture* tex = SDL_CreateTexture(impl_->ren, kFormat, SDL_TEXTUREACCESS_TARGET, w, h);
  if (tex == nullptr) {
    impl_->error = std::string("cannot create target: ") + SDL_GetError();
    return {};
  }
  SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_BLEND);
  SDL_SetTextureScaleMode(tex, SDL_ScaleModeNearest);
  std::uint32_t id = impl_->NewId();
  impl_->textures[id] = Impl::TexEntry{tex, w, h, true, false, 0};
  // Start transparent black.
  Texture t{id};
  Texture old = impl_->target;
  std::optional<Rect> oldClip = impl_->clip;
  if (SetTarget(t)) {
    Clear(Color{0, 0, 0, 0});
    SetTarget(old);
    SetClip(oldClip);
  }
  return t;
}

Size Renderer::TextureSize(Texture tex) const {
  const Impl::TexEntry* e = impl_->Tex(tex);
  return e == nullptr ? Size{} : Size{e->w, e->h};
}

void Renderer::ReleaseTexture(Texture tex) {
  auto it = impl_->textures.find(tex.id);
  if (it == impl_->textures.end()) return;
  if (impl_->target == tex) SetTarget(Texture{});
  if (impl_->targetVersion == &it->second.version) impl_->targetVersion = &impl_->outputVersion;
  SDL_DestroyTexture(it->second.tex);
  impl_->textures.erase(it);
}

bool Renderer::Valid(Texture tex) const { return impl_->Tex(tex) != nullptr; }

bool Renderer::Opaque(Texture tex) const {
  const Impl::TexEntry* e = impl_->Tex(tex);
  return e != nullptr && e->opaque;
}

std::uint64_t Renderer::ContentVersion(Texture target) const {
  if (!target) return impl_->outputVersion;
  const Impl::TexEntry* e = impl_->Tex(target);
  return e == nullptr ? 0 : e->version;
}

Texture Renderer::StretchedCopy(Texture src, int w, int h) {
  const Impl::TexEntry* e = impl_->Tex(src);
  if (e == nullptr || e->target || w < 1 || h < 1) {
    impl_->error = "cannot stretch that texture";
    return {};
  }
  const bool opaque = e->opaque;
  SDL_Texture* from = e->tex;
  const SDL_Rect whole{0, 0, e->w, e->h};
  Texture t = CreateTarget(w, h);
  if (!t) return {};
  const Texture old = impl_->target;
  const std::optional<Rect> oldClip = impl_->clip;
  if (!SetTarget(t)) {
    ReleaseTexture(t);
    return {};
  }
  // The same stretch as a draw of the picture, its pixels copied as they are.
  SDL_SetTextureBlendMode(from, SDL_BLENDMODE_NONE);
  SDL_SetTextureColorMod(from, 255, 255, 255);
  SDL_SetTextureAlphaMod(from, 255);
  const SDL_Rect dst{0, 0, w, h};
  SDL_RenderCopy(impl_->ren, from, &whole, &dst);
  SDL_SetTextureBlendMode(from, SDL_BLENDMODE_BLEND);
  SetTarget(old);
  SetClip(oldClip);
  impl_->textures[t.id].opaque = opaque;
  return t;
}

// ---- Surfaces ----

Surface Renderer::CreateSurface(int w, int h) {
  if (w < 1 || h < 1) {
    impl_->error = "bad size for a surface";
    return {};
  }
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, kFormat);
  if (s == nullptr) {
    impl_->error = std::string("cannot create surface: ") + SDL_GetError();
    return {};
  }
  SDL_FillRect(s, nullptr, 0xFF000000u);
  SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
  std::uint32_t id = impl_->NewId();
  impl_->surfaces[id] = Impl::SurfEntry{SurfacePtr(s), nullptr, true};
  return Surface{id};
}

bool Renderer::FillSurface(Surface surf, const void* data, std::size_t size) {
  Impl::SurfEntry* e = impl_->Surf(surf);
  if (e == nullptr) {
    impl_->error = "no such surface";
    return false;
  }
  SurfacePtr pic = Decode(data, size, impl_->error);
  if (!pic) return false;
  MakeOpaque(pic.get());
  pic = ScaleTo(std::move(pic), e->surf->w, e->surf->h, impl_->error);
  if (!pic) return false;
  SDL_SetSurfaceBlendMode(pic.get(), SDL_BLENDMODE_NONE);
  if (SDL_BlitSurface(pic.get(), nullptr, e->surf.get(), nullptr) != 0) {
    impl_->error = std::string("cannot fill surface: ") + SDL_GetError();
    return false;
  }
  e->dirty = true;
  e->opaque = true;
  return true;
}

bool Renderer::FillSurfaceFile(Surface surf, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, impl_->error)) return false;
  return FillSurface(surf, bytes.data(), bytes.size());
}

bool Renderer::CopySurfaceRect(Surface src, Rect srcRect, Surface dst, int x, int y) {
  Impl::SurfEntry* s = impl_->Surf(src);
  Impl::SurfEntry* d = impl_->Surf(dst);
  if (s == nullptr || d == nullptr) {
    impl_->error = "no such surface";
    return false;
  }
  if (srcRect.Empty()) return true;
  SDL_Rect sr{srcRect.x, srcRect.y, srcRect.w, srcRect.h};
  SDL_Rect dr{x, y, srcRect.w, srcRect.h};
  SDL_SetSurfaceBlendMode(s->surf.get(), SDL_BLENDMODE_NONE);
  if (s == d) {
    // Overlapping copy within one surface: go through a copy of the source.
    SurfacePtr tmp(SDL_DuplicateSurface(s->surf.get()));
    if (!tmp) return false;
    SDL_SetSurfaceBlendMode(tmp.get(), SDL_BLENDMODE_NONE);
    if (SDL_BlitSurface(tmp.get(), &sr, d->surf.get(), &dr) != 0) return false;
  } else if (SDL_BlitSurface(s->surf.get(), &sr, d->surf.get(), &dr) != 0) {
    impl_->error = std::string("cannot copy surface: ") + SDL_GetError();
    return false;
  }
  d->dirty = true;
  d->opaque = d->opaque && s->opaque;
  return true;
}

bool Renderer::FillSurfaceRect(Surface surf, Rect r, Color c) {
  Impl::SurfEntry* e = impl_->Surf(surf);
  if (e == nullptr) return false;
  SDL_Rect sr{r.x, r.y, r.w, r.h};
  Uint32 px = (static_cast<Uint32>(c.a) << 24) | (static_cast<Uint32>(c.r) << 16) | (static_cast<Uint32>(c.g) << 8) | c.b;
  if (r.Empty()) return true;
  SDL_FillRect(e->surf.get(), &sr, px);
  e->dirty = true;
  if (c.a != 255) e->opaque = false;
  return true;
}

Size Renderer::SurfaceSize(Surface surf) const {
  auto it = impl_->surfaces.find(surf.id);
  if (it == impl_->surfaces.end()) return {};
  return Size{it->second.surf->w, it->second.surf->h};
}

void Renderer::ReleaseSurface(Surface surf) {
  auto it = impl_->surfaces.find(surf.id);
  if (it == impl_->surfaces.end()) return;
  if (it->second.upload != nullptr) SDL_DestroyTexture(it->second.upload);
  impl_->surfaces.erase(it);
}

bool Renderer::Valid(Surface surf) const { return impl_->surfaces.count(surf.id) != 0; }

// ---- The current target ----

bool Renderer::SetTarget(Texture target) {
  SDL_Texture* t = nullptr;
  if (target) {
    const Impl::TexEntry* e = impl_->Tex(target);
    if (e == nullptr || !e->target) {
      impl_->error = "not a render target";
      return false;
    }
    t = e->tex;
  }
  if (SDL_SetRenderTarget(impl_->ren, t) != 0) {
    impl_->error = std::string("cannot set the target: ") + SDL_GetError();
    return false;
  }
  impl_->target = target;
  impl_->targetVersion = target ? &impl_->textures[target.id].version : &impl_->outputVersion;
  impl_->clip.reset();
  impl_->ApplyClip();
  return true;
}

Texture Renderer::Target() const { return impl_->target; }

Size Renderer::TargetSize() const {
  if (impl_->target) return TextureSize(impl_->target);
  return OutputSize();
}

void Renderer::SetClip(std::optional<Rect> clip) {
  impl_->clip = clip;
  impl_->ApplyClip();
}

std::optional<Rect> Renderer::Clip() const { return impl_->clip; }

void Renderer::Clear(Color c) {
  SDL_SetRenderDrawColor(impl_->ren, c.r, c.g, c.b, c.a);
  // Clear fills the whole target whatever the clip.
  SDL_RenderSetClipRect(impl_->ren, nullptr);
  SDL_RenderClear(impl_->ren);
  impl_->ApplyClip();
  impl_->Drew();
  if (impl_->target) impl_->textures[impl_->target.id].opaque = c.a == 255;
}

bool Renderer::CopyRect(Surface src, Rect srcRect, int x, int y) {
  Impl::SurfEntry* e = impl_->Surf(src);
  if (e == nullptr) {
    impl_->error = "no such surface";
    return false;
  }
  SDL_Surface* s = e->surf.get();
  if (e->upload == nullptr) {
    e->upload = SDL_CreateTexture(impl_->ren, kFormat, SDL_TEXTUREACCESS_STREAMING, s->w, s->h);
    if (e->upload == nullptr) {
      impl_->error = std::string("cannot create texture: ") + SDL_GetError();
      return false;
    }
    SDL_SetTextureBlendMode(e->upload, SDL_BLENDMODE_NONE);
    e->dirty = true;
  }
  if (e->dirty) {
    if (SDL_UpdateTexture(e->upload, nullptr, s->pixels, s->pitch) != 0) {
      impl_->error = std::string("cannot update texture: ") + SDL_GetError();
      return false;
    }
    e->dirty = false;
  }
  auto r = Intersect(srcRect, Rect{0, 0, s->w, s->h});
  if (!r) return true;
  SDL_Rect sr{r->x, r->y, r->w, r->h};
  SDL_Rect dr{x + (r->x - srcRect.x), y + (r->y - srcRect.y), r->w, r->h};
  impl_->CopiedOnto(e->opaque);
  return SDL_RenderCopy(impl_->ren, e->upload, &sr, &dr) == 0;
}

bool Renderer::CopyRect(Texture src, Rect srcRect, int x, int y) {
  const Impl::TexEntry* e = impl_->Tex(src);
  if (e == nullptr) {
    impl_->error = "no such texture";
    return false;
  }
  if (src == impl_->target) {
    impl_->error = "cannot copy the target onto itself";
    return false;
  }
  auto r = Intersect(srcRect, Rect{0, 0, e->w, e->h});
  if (!r) return true;
  SDL_Rect sr{r->x, r->y, r->w, r->h};
  SDL_Rect dr{x + (r->x - srcRect.x), y + (r->y - srcRect.y), r->w, r->h};
  SDL_SetTextureBlendMode(e->tex, SDL_BLENDMODE_NONE);
  SDL_SetTextureColorMod(e->tex, 255, 255, 255);
  SDL_SetTextureAlphaMod(e->tex, 255);
  const bool sourceOpaque = e->opaque;
  int rc = SDL_RenderCopy(impl_->ren, e->tex, &sr, &dr);
  SDL_SetTextureBlendMode(e->tex, SDL_BLENDMODE_BLEND);
  impl_->CopiedOnto(sourceOpaque);
  return rc == 0;
}

void Renderer::DrawSprite(Texture tex, std::optional<Rect> src, float x, float y, float scaleX, float scaleY,
                          Color color) {
  const Impl::TexEntry* e = impl_->Tex(tex);
  if (e == nullptr || tex == impl_->target) return;
  Rect want = src ? *src : Rect{0, 0, e->w, e->h};
  // The part of the source rectangle that lies on the texture; the rest draws nothing.
  auto r = Intersect(want, Rect{0, 0, e->w, e->h});
  if (!r || !(scaleX > 0.0f) || !(scaleY > 0.0f) || color.a == 0) return;
  SDL_Rect sr{r->x, r->y, r->w, r->h};
  SDL_FRect dr{x + static_cast<float>(r->x - want.x) * scaleX, y + static_cast<float>(r->y - want.y) * scaleY,
               static_cast<float>(r->w) * scaleX, static_cast<float>(r->h) * scaleY};
  if (!std::isfinite(dr.x) || !std::isfinite(dr.y) || !std::isfinite(dr.w) || !std::isfinite(dr.h)) return;
  // Keep far-off sprites out of the integer range of the software back end.
  constexpr float kFar = 1.0e6f;
  if (std::fabs(dr.x) > kFar || std::fabs(dr.y) > kFar || dr.w > kFar || dr.h > kFar) return;
  SDL_SetTextureBlendMode(e->tex, SDL_BLENDMODE_BLEND);
  SDL_SetTextureColorMod(e->tex, color.r, color.g, color.b);
  SDL_SetTextureAlphaMod(e->tex, color.a);
  SDL_RenderCopyF(impl_->ren, e->tex, &sr, &dr);
  impl_->Drew();
}

void Renderer::DrawStretched(Texture tex, Rect dst, Color color) {
  const Impl::TexEntry* e = impl_->Tex(tex);
  if (e == nullptr || dst.Empty() || tex == impl_->target || e->w == 0 || e->h == 0) return;
  DrawSprite(tex, std::nullopt, static_cast<float>(dst.x), static_cast<float>(dst.y),
             static_cast<float>(dst.w) / static_cast<float>(e->w), static_cast<float>(dst.h) / static_cast<float>(e->h),
             color);
}

void Renderer::FillRect(Rect r, Color c) {
  if (r.Empty()) return;
  SDL_SetRenderDrawBlendMode(impl_->ren, c.a < 255 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(impl_->ren, c.r, c.g, c.b, c.a);
  SDL_Rect sr{r.x, r.y, r.w, r.h};
  SDL_RenderFillRect(impl_->ren, &sr);
  impl_->Drew();
}

void Renderer::DrawRectOutline(Rect r, Color c, int thickness) {
  if (r.Empty() || thickness < 1) return;
  int t = std::min({thickness, (r.w + 1) / 2, (r.h + 1) / 2});
  FillRect(Rect{r.x, r.y, r.w, t}, c);
  FillRect(Rect{r.x, r.y + r.h - t, r.w, t}, c);
  FillRect(Rect{r.x, r.y + t, t, r.h - 2 * t}, c);
  FillRect(Rect{r.x + r.w - t, r.y + t, t, r.h - 2 * t}, c);
}

void Renderer::DrawLine(int x1, int y1, int x2, int y2, Color c, int width) {
  if (width < 1) return;
  impl_->Drew();
  SDL_SetRenderDrawBlendMode(impl_->ren, c.a < 255 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(impl_->ren, c.r, c.g, c.b, c.a);
  if (width == 1) {
    SDL_RenderDrawLine(impl_->ren, x1, y1, x2, y2);
    return;
  }
  int lo = width / 2;
  if (y1 == y2) {
    FillRect(Rect{std::min(x1, x2), y1 - lo, std::abs(x2 - x1) + 1, width}, c);
    return;
  }
  if (x1 == x2) {
    FillRect(Rect{x1 - lo, std::min(y1, y2), width, std::abs(y2 - y1) + 1}, c);
    return;
  }
  // A slanted thick line: a quad around the centre line.
  float dx = static_cast<float>(x2 - x1), dy = static_cast<float>(y2 - y1);
  float len = std::sqrt(dx * dx + dy * dy);
  float nx = -dy / len * static_cast<float>(width) / 2.0f, ny = dx / len * static_cast<float>(width) / 2.0f;
  SDL_Color col{c.r, c.g, c.b, c.a};
  SDL_Vertex v[4] = {
      {{static_cast<float>(x1) + nx, static_cast<float>(y1) + ny}, col, {0, 0}},
      {{static_cast<float>(x1) - nx, static_cast<float>(y1) - ny}, col, {0, 0}},
      {{static_cast<float>(x2) - nx, static_cast<float>(y2) - ny}, col, {0, 0}},
      {{static_cast<float>(x2) + nx, static_cast<float>(y2) + ny}, col, {0, 0}},
  };
  int idx[6] = {0, 1, 2, 0, 2, 3};
  SDL_RenderGeometry(impl_->ren, nullptr, v, 4, idx, 6);
}

// ---- Text ----

bool Renderer::LoadFont(const std::string& path, int pixels) {
  InitLibraries();
  if (pixels < 1) {
    impl_->error = "bad font size";
    return false;
  }
  TTF_Font* f = TTF_OpenFontIndex(path.c_str(), pixels, 0);
  if (f == nullptr) {
    impl_->error = "cannot open the font " + path + ": " + TTF_GetError();
    return false;
  }
  impl_->ClearTextCache();
  impl_->CloseFonts();
  impl_->font = f;
  impl_->lineHeight = TTF_FontLineSkip(f);
  // The font has no bold face of its own: a second copy draws its outlines emboldened.
  impl_->boldFont = TTF_OpenFontIndex(path.c_str(), pixels, 0);
  if (impl_->boldFont != nullptr) TTF_SetFontStyle(impl_->boldFont, TTF_STYLE_BOLD);
  return true;
}

bool Renderer::HasFont() const { return impl_->font != nullptr; }
int Renderer::LineHeight() const { return impl_->font == nullptr ? 0 : impl_->lineHeight; }

Size Renderer::MeasureText(std::string_view utf8, FontWeight weight) const {
  if (impl_->font == nullptr) return {};
  auto lines = SplitLines(utf8);
  int w = 0;
  for (const auto& l : lines) w = std::max(w, impl_->TextWidth(l, weight));
  return Size{w, impl_->lineHeight * static_cast<int>(lines.size())};
}

std::vector<std::string> Renderer::WrapText(std::string_view utf8, int width, FontWeight weight) const {
  std::string key = Impl::CacheKey(std::to_string(width) + '\n', weight);
  key += utf8;
  auto it = impl_->wrapCache.find(key);
  if (it != impl_->wrapCache.end()) return it->second;
  std::vector<std::string> out = WrapUncached(utf8, width, weight);
  if (impl_->font != nullptr) {
    if (impl_->wrapCache.size() >= kWrapCacheLimit) impl_->wrapCache.clear();
    impl_->wrapCache.emplace(std::move(key), out);
  }
  return out;
}

std::vector<std::string> Renderer::WrapUncached(std::string_view utf8, int width, FontWeight weight) const {
  std::vector<std::string> out;
  for (std::string& para : SplitLines(utf8)) {
    if (width <= 0 || impl_->font == nullptr || impl_->TextWidth(para, weight) <= width) {
      out.push_back(std::move(para));
      continue;
    }
    std::string_view rest = para;
    while (!rest.empty()) {
      std::string piece(rest);
      int extent = 0, count = 0;
      if (TTF_MeasureUTF8(impl_->Face(weight), piece.c_str(), width, &extent, &count) != 0) count = 0;
      std::size_t cut = ByteOffset(rest, count);
      if (cut >= rest.size()) {
        out.emplace_back(rest);
        break;
      }
      if (cut == 0) cut = CharLen(rest, 0);  // one character wider than the line: it goes alone
      // Break after the last blank inside the part that fits, when there is one.
      std::size_t space = rest.substr(0, cut + 1).find_last_of(' ');
      std::size_t next = cut;
      if (space != std::string_view::npos && space > 0) {
        cut = space;
        next = space + 1;
      } else {
        cut = next = BreakBeforeClosing(rest, cut);
      }
      std::string line(rest.substr(0, cut));
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out.push_back(std::move(line));
      rest = rest.substr(next);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
  }
  return out;
}

bool Renderer::DrawText(std::string_view utf8, Color c, int x, int y, FontWeight weight) {
  if (impl_->font == nullptr) {
    impl_->error = "no font";
    return false;
  }
  int row = 0;
  for (const auto& line : SplitLines(utf8)) {
    impl_->DrawLine(line, c, x, y + row * impl_->lineHeight, weight);
    ++row;
  }
  return true;
}

bool Renderer::DrawTextInRect(std::string_view utf8, Color c, Rect r, TextAlign align, bool wrap,
                              FontWeight weight) {
  if (impl_->font == nullptr) {
    impl_->error = "no font";
    return false;
  }
  if (r.Empty()) return true;
  std::optional<Rect> saved = impl_->clip;
  std::optional<Rect> inside = saved ? Intersect(*saved, r) : std::optional<Rect>(r);
  if (!inside) return true;
  SetClip(inside);
  int row = 0;
  for (const auto& line : WrapText(utf8, wrap ? r.w : 0, weight)) {
    int y = r.y + row * impl_->lineHeight;
    if (y >= r.y + r.h) break;
    int w = impl_->TextWidth(line, weight);
    int x = r.x;
    if (align == TextAlign::Right) x = r.x + r.w - w;
    else if (align == TextAlign::Centre) x = r.x + (r.w - w) / 2;
    impl_->DrawLine(line, c, x, y, weight);
    ++row;
  }
  SetClip(saved);
  return true;
}

// ---- Output ----

void Renderer::Present() {
  if (!impl_->headless) SDL_RenderPresent(impl_->ren);
}

Color Renderer::ReadPixel(int x, int y) const {
  Size s = TargetSize();
  if (x < 0 || y < 0 || x >= s.w || y >= s.h) return Color{0, 0, 0, 0};
  Uint8 px[4] = {0, 0, 0, 0};
  SDL_Rect r{x, y, 1, 1};
  // The clip must not hide the pixel from the read.
  SDL_RenderSetClipRect(impl_->ren, nullptr);
  int rc = SDL_RenderReadPixels(impl_->ren, &r, SDL_PIXELFORMAT_RGBA32, px, 4);
  impl_->ApplyClip();
  if (rc != 0) return Color{0, 0, 0, 0};
  return Color{px[0], px[1], px[2], px[3]};
}

std::vector<std::uint8_t> Renderer::ReadPixels() const {
  Size s = TargetSize();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(s.w) * static_cast<std::size_t>(s.h) * 4);
  if (out.empty()) return out;
  SDL_RenderSetClipRect(impl_->ren, nullptr);
  int rc = SDL_RenderReadPixels(impl_->ren, nullptr, SDL_PIXELFORMAT_RGBA32, out.data(), s.w * 4);
  impl_->ApplyClip();
  if (rc != 0) std::fill(out.begin(), out.end(), 0);
  return out;
}

bool Renderer::SavePng(const std::string& path) const {
  Size s = TargetSize();
  std::vector<std::uint8_t> px = ReadPixels();
  if (px.empty()) {
    impl_->error = "nothing to save";
    return false;
  }
  SurfacePtr surf(SDL_CreateRGBSurfaceWithFormatFrom(px.data(), s.w, s.h, 32, s.w * 4, SDL_PIXELFORMAT_RGBA32));
  if (!surf) {
    impl_->error = std::string("cannot save picture: ") + SDL_GetError();
    return false;
  }
  if (IMG_SavePNG(surf.get(), path.c_str()) != 0) {
    impl_->error = std::string("cannot save ") + path + ": " + IMG_GetError();
    return false;
  }
  return true;
}

}  // namespace plat
