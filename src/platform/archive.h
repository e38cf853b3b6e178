// The archive: extracts one named member of a zip archive into a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace plat {

namespace fs = std::filesystem;

enum class ExtractResult {
  Ok,
  NoArchive,    // the archive is missing or is no zip archive
  NoMember,     // no member of that exact name in the archive's root
  BadName,      // the name is empty or names a folder ("/", "\", "." or "..")
  ReadFailed,   // the member could not be read whole (damaged or too large)
  WriteFailed,  // the file could not be written into the folder
};

// Extracts the member `member` (exact name, in the archive's root) of the zip archive
// `zip` into `folder` under the same name, overwriting a file already there. The file
// is written beside its place and renamed over it, so it is either the old file or the
// whole member. Members larger than kMaxMemberBytes are refused.
ExtractResult ExtractMember(const fs::path& zip, std::string_view member, const fs::path& folder);

inline constexpr std::uintmax_t kMaxMemberBytes = 256u * 1024u * 1024u;

}  // namespace plat
