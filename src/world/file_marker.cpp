#include "world/file_marker.h"

#include <unistd.h>

#include <atomic>
#include <random>
#include <system_error>

#include "platform/files.h"

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

MarkedDatabase::MarkedDatabase(const fs::path& file, Mode mode) : file_(file), target_(file), mode_(mode) {
  try {
    if (mode_ == Mode::Write) {
      const auto target = plat::WriteTarget(file_);
      if (!target) throw MarkedDatabaseError("the link " + file_.string() + " leads nowhere");
      target_ = *target;
      if (!plat::IsWritableFile(target_)) throw MarkedDatabaseError(target_.string() + " may not be written");
      copy_ = target_;
      copy_ += ".saving";
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

