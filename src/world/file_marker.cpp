#include "world/file_marker.h"

#include <unistd.h>

#include <atomic>
#include <random>
#include <system_error>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace fs = std::filesystem;

std::vector<std::uint8_t> FileHeaderBytes() {
  std::vector<std::uint8_t> header(kFileHeaderLength);
  for (std::size_t i = 0; i < kFileHeaderLength; ++i) header[i] = static_cast<std::uint8_t>(i + 1);
  return header;
}

bool HasFileHeader(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < kFileHeaderLength) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < kFileHeaderLength; ++i) sum += bytes[i];
  return sum == 210;
}

bool StripFileHeader(const fs::path& file) {
  auto bytes = plat::ReadAllBytes(file);
  if (!bytes) return false;
  if (!HasFileHeader(*bytes)) return true;
  std::vector<std::uint8_t> rest(bytes->begin() + static_cast<std::ptrdiff_t>(kFileHeaderLength), bytes->end());
  return plat::WriteFileAtomically(file, rest);
}

bool AddFileHeader(const fs::path& file) {
  auto bytes = plat::ReadAllBytes(file);
  if (!bytes) return false;
  if (HasFileHeader(*bytes)) return true;
  std::vector<std::uint8_t> marked = FileHeaderBytes();
  marked.insert(marked.end(), bytes->begin(), bytes->end());
  return plat::WriteFileAtomically(file, marked);
}

MarkedDbFaultInjection& MarkedDbFaults() {
  static MarkedDbFaultInjection faults;
  return faults;
}

namespace {

void FailIfInjected(MarkedDbStep step) {
  if (MarkedDbFaults().step == step) throw MarkedDatabaseError("failure injected by a test");
}

// The files SQLite may keep beside a database.
std::vector<fs::path> CompanionFiles(const fs::path& db) {
  std::vector<fs::path> out;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    fs::path p = db;
    p += suffix;
    out.push_back(p);
  }
  return out;
}

void RemoveQuietly(const fs::path& p) {
  std::error_code ec;
  fs::remove(p, ec);
}

bool AllDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// A process number as names carry it (at most 9 digits).
std::optional<long> ProcessNumber(std::string_view digits) {
  if (!AllDigits(digits) || digits.size() > 9) return std::nullopt;
  return std::stol(std::string(digits));
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && plat::EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

// "<something><tag><process>": the process; nothing for any other name.
std::optional<long> ProcessAfter(std::string_view name, std::string_view tag) {
  const std::size_t at = name.rfind(tag);
  if (at == std::string_view::npos || at == 0) return std::nullopt;
  return ProcessNumber(name.substr(at + tag.size()));
}

// ".<file>.reading.<process>.<n>-<r>": the process.
std::optional<long> ReadingCopyOwner(std::string_view name) {
  constexpr std::string_view kTag = ".reading.";
  const std::size_t at = name.rfind(kTag);
  if (name.empty() || name[0] != '.' || at == std::string_view::npos || at < 2) return std::nullopt;
  const std::string_view rest = name.substr(at + kTag.size());
  const std::size_t dot = rest.find('.');
  const std::size_t dash = rest.find('-');
  if (dot == std::string_view::npos || dash == std::string_view::npos || dash < dot) return std::nullopt;
  if (!AllDigits(rest.substr(dot + 1, dash - dot - 1)) || !AllDigits(rest.substr(dash + 1)))
    return std::nullopt;
  return ProcessNumber(rest.substr(0, dot));
}

// A fresh hidden name beside the file for a reading copy. It never ends in "kzs", so
// the save list does not take it for a save.
fs::path ReadingCopyName(const fs::path& file) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  std::error_code ec;
  std::string base(".");
  base += file.filename().string();
  base += ".reading.";
  base += std::to_string(::getpid());
  base += '.';
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p =
        file.parent_path() / (base + std::to_string(counter++) + "-" + std::to_string(rd() % 100000));
    if (!fs::exists(fs::symlink_status(p, ec))) return p;
  }
  throw WorkCopyError("no free name for a working copy beside " + file.string());
}

}  // namespace

std::optional<long> WorkFileOwner(std::string_view fileName) {
  if (EndsWithNoCase(fileName, "kzs")) return std::nullopt;
  if (auto p = plat::TempFileOwner(fileName)) return p;
  std::string_view name = fileName;
  for (std::string_view companion : {"-journal", "-wal", "-shm"}) {
    if (name.size() > companion.size() && name.ends_with(companion)) {
      name.remove_suffix(companion.size());
      break;
    }
  }
  if (auto p = ReadingCopyOwner(name)) return p;
  if (auto p = ProcessAfter(name, ".saving.")) return p;
  if (auto p = ProcessAfter(name, ".kzs.new.")) return p;
  const bool unnumbered = (name.size() > 7 && name.ends_with(".saving")) ||
                          (name.size() > 8 && EndsWithNoCase(name, ".kzs.new"));
  if (unnumbered) return 0;
  return std::nullopt;
}

void RemoveWorkLeftovers(const fs::path& folder) {
  for (const std::string& name : plat::ListFiles(folder)) {
    const auto owner = WorkFileOwner(name);
    if (owner && (*owner == 0 || !plat::ProcessRunning(*owner))) RemoveQuietly(folder / name);
  }
}

MarkedDatabase::MarkedDatabase(const fs::path& file, Mode mode) : file_(file), target_(file), mode_(mode) {
  try {
    if (mode_ == Mode::Write) {
      const auto target = plat::WriteTarget(file_);
      if (!target) throw MarkedDatabaseError("the link " + file_.string() + " leads nowhere");
      target_ = *target;
      if (!plat::IsWritableFile(target_)) throw MarkedDatabaseError(target_.string() + " may not be written");
      copy_ = target_;
      copy_ += ".saving." + std::to_string(::getpid());
      RemoveWorkLeftovers(target_.parent_path());
    } else {
      copy_ = ReadingCopyName(file_);
    }
    auto bytes = plat::ReadAllBytes(file_);
    if (!bytes) throw MarkedDatabaseError("cannot read " + file_.string());
    if (HasFileHeader(*bytes)) {
      bytes->erase(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(kFileHeaderLength));
    }
    // A copy or journal left over by an interrupted run must not be taken for ours.
    RemoveQuietly(copy_);
    for (const auto& p : CompanionFiles(copy_)) RemoveQuietly(p);
    if (MarkedDbFaults().step == MarkedDbStep::Copy) throw WorkCopyError("failure injected by a test");
    if (!plat::WriteAllBytes(copy_, *bytes))
      throw WorkCopyError("cannot write the working copy " + copy_.string());

    FailIfInjected(MarkedDbStep::Open);
    conn_.OpenPath(copy_);
    if (mode_ == Mode::Write) {
      // The copy is scratch until Commit makes the finished file durable: a crash
      // before that leaves the original as it was, so the copy needs no journal on
      // disk and no syncing of its own.
      conn_.Scalar("PRAGMA journal_mode=MEMORY");
      conn_.Execute("PRAGMA synchronous=OFF");
      conn_.Begin();
      inTransaction_ = true;
    }
  } catch (...) {
    Discard();
    throw;
  }
}

MarkedDatabase::~MarkedDatabase() { Discard(); }

void MarkedDatabase::Discard() noexcept {
  conn_.Close();  // an open transaction is rolled back with the connection
  inTransaction_ = false;
  RemoveQuietly(copy_);
  for (const auto& p : CompanionFiles(copy_)) RemoveQuietly(p);
}

void MarkedDatabase::BeforeWrite() {
  ++writes_;
  const auto& faults = MarkedDbFaults();
  if (faults.step == MarkedDbStep::Write && faults.writeNumber == writes_) {
    throw MarkedDatabaseError("failure injected by a test");
  }
}

void MarkedDatabase::Commit() {
  if (mode_ != Mode::Write) throw MarkedDatabaseError("a database opened for reading has nothing to commit");
  if (committed_) return;

  FailIfInjected(MarkedDbStep::Close);
  if (inTransaction_) {
    conn_.Commit();
    inTransaction_ = false;
  }
  conn_.Close();

  FailIfInjected(MarkedDbStep::Mark);
  auto bytes = plat::ReadAllBytes(copy_);
  if (!bytes) throw MarkedDatabaseError("cannot read " + copy_.string());
  std::vector<std::uint8_t> marked = FileHeaderBytes();
  marked.insert(marked.end(), bytes->begin(), bytes->end());

  // The marked content replaces the file in one rename, synced first, keeping the
  // file's permissions.
  FailIfInjected(MarkedDbStep::Rename);
  if (!plat::WriteFileAtomically(target_, marked))
    throw MarkedDatabaseError("cannot put the new content in place of " + target_.string());
  RemoveQuietly(copy_);
  committed_ = true;
}

