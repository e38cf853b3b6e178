#include "world/file_marker.h"

#include <unistd.h>

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

// A fresh name in the system's temporary folder.
fs::path TemporaryCopyName() {
  std::random_device rd;
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = dir / ("orvanth-read-" + std::to_string(::getpid()) + "-" + std::to_string(rd()) + ".db");
    if (!fs::exists(p, ec)) return p;
  }
  throw MarkedDatabaseError("no free name for a temporary copy");
}

std::string ConnectionTo(const fs::path& p) { return "Data Source=" + p.string() + ";"; }

}  // namespace

MarkedDatabase::MarkedDatabase(const fs::path& file, Mode mode) : file_(file), mode_(mode) {
  if (mode_ == Mode::Write) {
    copy_ = file_;
    copy_ += ".saving";
  } else {
    copy_ = TemporaryCopyName();
  }
  try {
    FailIfInjected(MarkedDbStep::Copy);
    auto bytes = plat::ReadAllBytes(file_);
    if (!bytes) throw MarkedDatabaseError("cannot read " + file_.string());
    if (HasFileHeader(*bytes)) {
      bytes->erase(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(kFileHeaderLength));
    }
    // A copy or journal left over by an interrupted run must not be taken for ours.
    RemoveQuietly(copy_);
    for (const auto& p : CompanionFiles(copy_)) RemoveQuietly(p);
    if (!plat::WriteAllBytes(copy_, *bytes)) throw MarkedDatabaseError("cannot write " + copy_.string());

    FailIfInjected(MarkedDbStep::Open);
    conn_.Open(ConnectionTo(copy_));
    if (mode_ == Mode::Write) {
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
  if (!plat::WriteFileAtomically(copy_, marked)) throw MarkedDatabaseError("cannot mark " + copy_.string());

  FailIfInjected(MarkedDbStep::Rename);
  std::error_code ec;
  fs::rename(copy_, file_, ec);
  if (ec) throw MarkedDatabaseError("cannot put " + copy_.string() + " in place: " + ec.message());
  committed_ = true;
}

