#include "graphics/pictures.h"

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "graphics/texture_cache.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"

const char* const kTextureErrorMessage =
    "游戏纹理创建错误！纹理空间不足！或文件损坏！\r\n\r\n"
    "您的机器可能不适合使用D3D模式！或您的系统设置有问题！\r\n"
    "仔细阅读本游戏的帮助文档可能会帮助您解决该问题。";

namespace {

// Offsets past 2^40 are no file of ours; the limit keeps the arithmetic far from overflow.
constexpr std::uint64_t kOffsetLimit = 1ull << 40;

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsBlank(std::uint8_t c) { return c == ' ' || c == '\t'; }
bool EndsNumber(std::uint8_t c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n'; }

// Reads digits at pos; nothing when there are none or the number is absurdly large.
std::optional<std::uint64_t> Number(const std::vector<std::uint8_t>& b, std::size_t& pos) {
  std::uint64_t v = 0;
  std::size_t digits = 0;
  while (pos < b.size() && IsDigit(b[pos])) {
    v = v * 10 + static_cast<std::uint64_t>(b[pos] - '0');
    if (v > kOffsetLimit) return std::nullopt;
    ++pos;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return v;
}

std::string PathWithExtension(std::string_view base, std::string_view ext) {
  std::string p(base);
  p += ext;
  return p;
}

bool TryPackTexture(plat::Texture& tex, std::string_view base, long n) {
  if (Gfx.Device == nullptr) return false;
  auto bytes = ReadPackPicture(base, n);
  if (!bytes) return false;
  plat::Texture made = Gfx.Device->LoadTexture(*bytes);
  if (!made) return false;
  ReleaseTex(tex);
  tex = made;
  return true;
}

}  // namespace

std::optional<PackRecord> ReadPackRecord(std::string_view base, long n) {
  if (n < 1) return std::nullopt;
  const auto index = plat::ResolvePath(PathWithExtension(base, ".Mxx"));
  const auto length = plat::FileLength(index);
  if (!length || static_cast<std::uint64_t>(n - 1) > *length / kPackRecordBytes) return std::nullopt;
  const std::uint64_t offset = static_cast<std::uint64_t>(n - 1) * kPackRecordBytes;
  if (offset >= *length) return std::nullopt;
  const auto bytes = plat::ReadBytes(index, offset, kPackRecordBytes);
  if (!bytes || bytes->empty()) return std::nullopt;
  const std::vector<std::uint8_t>& b = *bytes;
  const bool lastInFile = offset + b.size() >= *length;

  std::size_t pos = 0;
  while (pos < b.size() && IsBlank(b[pos])) ++pos;
  const auto start = Number(b, pos);
  if (!start) return std::nullopt;
  while (pos < b.size() && IsBlank(b[pos])) ++pos;
  if (pos >= b.size() || b[pos] != ',') return std::nullopt;
  ++pos;
  while (pos < b.size() && IsBlank(b[pos])) ++pos;
  const auto end = Number(b, pos);
  if (!end) return std::nullopt;
  // The end number must be closed inside the record (or by the end of the file), never
  // run on into the next record.
  if (pos < b.size() ? !EndsNumber(b[pos]) : !lastInFile) return std::nullopt;
  return PackRecord{*start, *end};
}

std::optional<std::vector<std::uint8_t>> ReadPackPicture(std::string_view base, long n) {
  const auto record = ReadPackRecord(base, n);
  if (!record) return std::nullopt;
  const auto data = plat::ResolvePath(PathWithExtension(base, ".dat"));
  const auto size = plat::FileLength(data);
  if (!size || record->Start >= record->End || record->End > *size) return std::nullopt;
  const std::uint64_t count = record->End - record->Start;
  auto bytes = plat::ReadBytes(data, record->Start, static_cast<std::size_t>(count));
  if (!bytes || bytes->size() != count) return std::nullopt;
  return bytes;
}

void ShowMissingFile(std::string_view file) {
  plat::MsgBox("文件缺失，程序不能进行\r\n" + std::string(file));
  EndGame();
}

void LoadTexFile(plat::Texture& tex, std::string_view file) {
  plat::Texture made;
  if (Gfx.Device != nullptr) {
    const auto path = plat::ResolvePath(file);
    if (plat::FileExists(path)) made = Gfx.Device->LoadTextureFile(path.string());
  }
  if (!made) ShowMissingFile(file);
  ReleaseTex(tex);
  tex = made;
}

void LoadTexPack(plat::Texture& tex, std::string_view base, long n) {
  if (TryPackTexture(tex, base, n)) return;
  LoadTexPackManaged(tex, base, n);
}

void LoadTexPackManaged(plat::Texture& tex, std::string_view base, long n) {
  if (TryPackTexture(tex, base, n)) return;
  if (G.MonsterTexCount > kFailureFlushLimit) {
    EmptyMonsterTex();
    G.MonsterTexCount = 0;
    LoadTexPack(tex, base, n);
    return;
  }
  plat::MsgBox(kTextureErrorMessage);
  EndGame();
}

void LoadSurfacePack(plat::Surface surf, std::string_view base, long n) {
  if (Gfx.Device != nullptr && surf) {
    const auto bytes = ReadPackPicture(base, n);
    if (bytes && Gfx.Device->FillSurface(surf, *bytes)) return;
  }
  ShowMissingFile(std::string(base) + ".dat (" + std::to_string(n) + ")");
}
