#include "game_folder_files.h"

#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

void WriteIfMissing(const fs::path& gameDir, const char* name, const std::string& content) {
  fs::path file = plat::ResolvePathIn(gameDir, name);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec))) return;
  if (!plat::WriteFileAtomically(file, std::vector<std::uint8_t>(content.begin(), content.end()))) {
    throw std::runtime_error("cannot write " + file.string());
  }
}

}  // namespace

void WritePlayerFilesIfMissing(const fs::path& gameDir) {
  WriteIfMissing(gameDir, "Config.cfg", kDefaultConfig);
  WriteIfMissing(gameDir, "DisplayMemory.cfg", kDefaultDisplayMemory);
  fs::path saves = plat::ResolvePathIn(gameDir, "Save");
  if (!plat::MakeFolder(saves)) throw std::runtime_error("cannot make the folder " + saves.string());
}

}  // namespace tools
