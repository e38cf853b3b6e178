#include "platform/paths.h"

#include <optional>
#include <system_error>
#include <vector>

#include "platform/text.h"

namespace plat {

namespace {

std::optional<fs::path>& ProgramFolderSlot() {
  static std::optional<fs::path> folder;
  return folder;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> SplitComponents(std::string_view p) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < p.size()) {
    while (i < p.size() && IsSeparator(p[i])) ++i;
    std::size_t start = i;
    while (i < p.size() && !IsSeparator(p[i])) ++i;
    if (i > start) parts.emplace_back(p.substr(start, i - start));
  }
  return parts;
}

// The entry of `folder` called `name`: the exact name when it exists, otherwise the
// first entry whose name equals it without regard to ASCII case.
std::optional<fs::path> FindEntry(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::path exact = folder / fs::path(name);
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  fs::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::path& entry = it->path();
    if (EqualsNoCase(entry.filename().string(), name)) return entry;
  }
  return std::nullopt;
}

}  // namespace

void SetProgramFolder(const fs::path& folder) { ProgramFolderSlot() = folder; }

const fs::path& ProgramFolder() {
  auto& slot = ProgramFolderSlot();
  if (!slot) slot = ExecutableFolder();
  return *slot;
}

fs::path ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && !exe.empty()) return exe.parent_path();
  fs::path cwd = fs::current_path(ec);
  return ec ? fs::path(".") : cwd;
}

fs::path ResolvePathIn(const fs::path& base, std::string_view gamePath) {
  fs::path result = base;
  bool searching = true;
  for (const std::string& name : SplitComponents(gamePath)) {
    if (name == ".") continue;
    if (searching) {
      if (auto found = FindEntry(result, name)) {
        result = *found;
        continue;
      }
      // Nothing below a missing name can exist: the rest keeps its spelling.
      searching = false;
    }
    result /= fs::path(name);
  }
  return result;
}

fs::path ResolvePath(std::string_view gamePath) {
  if (!gamePath.empty() && gamePath.front() == '\\') return ResolvePathIn(ProgramFolder(), gamePath);
  if (!gamePath.empty() && gamePath.front() == '/') return ResolvePathIn(fs::path("/"), gamePath);
  std::error_code ec;
  fs::path cwd = fs::current_path(ec);
  return ResolvePathIn(ec ? fs::path(".") : cwd, gamePath);
}

}  // namespace plat
