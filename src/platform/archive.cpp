#include "platform/archive.h"

#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace plat {

namespace {

// Closes an archive opened for reading.
struct ArchiveCloser {
  void operator()(zip_t* z) const {
    if (z != nullptr) zip_discard(z);
  }
};

struct MemberCloser {
  void operator()(zip_file_t* f) const {
    if (f != nullptr) zip_fclose(f);
  }
};

bool SafeMemberName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

ExtractResult ExtractMember(const fs::path& zip, std::string_view member, const fs::path& folder) {
  if (!SafeMemberName(member)) return ExtractResult::BadName;
  const std::string name(member);

  int err = 0;
  std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(zip.c_str(), ZIP_RDONLY, &err));
  if (!archive) return ExtractResult::NoArchive;

  const zip_int64_t index = zip_name_locate(archive.get(), name.c_str(), 0);
  if (index < 0) return ExtractResult::NoMember;

  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      (st.valid & ZIP_STAT_SIZE) == 0 || st.size > kMaxMemberBytes) {
    return ExtractResult::ReadFailed;
  }

  std::unique_ptr<zip_file_t, MemberCloser> in(zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), 0));
  if (!in) return ExtractResult::ReadFailed;
  std::vector<char> data(static_cast<std::size_t>(st.size));
  std::size_t got = 0;
  while (got < data.size()) {
    const zip_int64_t n = zip_fread(in.get(), data.data() + got, data.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  // A member must give exactly the size its entry states (the check sum is tested by
  // the library at the end of the data).
  char extra = 0;
  if (got != data.size() || zip_fread(in.get(), &extra, 1) != 0) return ExtractResult::ReadFailed;
  in.reset();

  const fs::path target = folder / fs::u8path(name);
  const fs::path temp = folder / fs::u8path("." + name + ".part");
  {
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (out == nullptr) return ExtractResult::WriteFailed;
    const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), out) == data.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
      std::error_code ec;
      fs::remove(temp, ec);
      return ExtractResult::WriteFailed;
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    return ExtractResult::WriteFailed;
  }
  return ExtractResult::Ok;
}

}  // namespace plat
