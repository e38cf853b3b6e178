// The 20-byte marker (1, 2, ..., 20) that stands in front of the database bytes of
// every save file and of the monster database, and the safe way to work on such a file.
//
// A marked file is never emptied or rewritten in place: new content always goes to a
// file of its own and is renamed over the old one, so the file on disk is at every
// moment either the old one or the complete new one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"

constexpr std::size_t kFileHeaderLength = 20;

// The marker bytes 1, 2, ..., 20.
std::vector<std::uint8_t> FileHeaderBytes();

// A file counts as marked when it is at least 20 bytes long and its first 20 bytes,
// each taken as an unsigned byte, add up to exactly 210 (whatever those bytes are).
bool HasFileHeader(const std::vector<std::uint8_t>& bytes);

// The paths below are real paths (plat::ResolvePath turns a game path into one).
//
// Takes the marker off a marked file; a file without it is left as it is. False when
// the file cannot be read or the new content cannot be put in place (the file then
// stays as it was).
bool StripFileHeader(const std::filesystem::path& file);
// Puts the marker in front of a file that has none; a marked file is left as it is.
// False when the file cannot be read or written (it then stays as it was).
bool AddFileHeader(const std::filesystem::path& file);

// The process that made a working file, read from the file's name:
//  - ".<file>.tmp.<p>.<n>", the temporary file of a whole-file write;
//  - ".<file>.reading.<p>.<n>-<r>", a reading copy of a marked database;
//  - "<file>.saving.<p>", the working copy of a write;
//  - "<save>.kzs.new.<p>", a new save being built;
// the database copies also with the "-journal", "-wal" or "-shm" file SQLite keeps beside
// them. 0 for the copies named without a process ("<file>.saving", "<save>.kzs.new"),
// which no running program writes. Nothing for any other name: a save (a name ending in
// "kzs") is never a working file.
std::optional<long> WorkFileOwner(std::string_view fileName);

// Removes from a folder the working files (above) left by processes that no longer run,
// such as the copies of a program killed while it saved. The files of a running process
// (another copy of the game writing its save) and every other file stay.
void RemoveWorkLeftovers(const std::filesystem::path& folder);

// Any failure while working on a marked database.
struct MarkedDatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The working copy beside the file could not be made (the folder is full or may not be
// written): nothing is known to be wrong with the file itself.
struct WorkCopyError : MarkedDatabaseError {
  using MarkedDatabaseError::MarkedDatabaseError;
};

// The message for a working copy that could not be made in the save folder.
inline constexpr std::string_view kMsgNoWorkCopy =
    "无法在存档文件夹中建立存档的工作副本（磁盘已满或没有写入权限），存档本身没有损坏！";

// Test hook: the step of MarkedDatabase that is made to fail. `writeNumber` picks the
// write (1 = the first BeforeWrite call of a database) when `step` is Write.
enum class MarkedDbStep { None, Copy, Open, Write, Close, Mark, Rename };
struct MarkedDbFaultInjection {
  MarkedDbStep step = MarkedDbStep::None;
  int writeNumber = 1;
};
// The hook in force; tests set it and put it back to {} when done.
MarkedDbFaultInjection& MarkedDbFaults();

// Database work on a marked file. The working copy always lies in a folder of the game
// (never in the system's temporary folder), and the database is opened by its exact
// path, whatever characters the game folder's path holds.
//
// Reading: the file is copied without its marker to a hidden file beside it, which is
// opened; the copy is deleted at the end. The file itself is never touched.
//
// Writing: the work happens on a copy without the marker beside the file
// ("<file>.saving.<process>"), inside one transaction; the leftovers of ended processes
// in the file's folder are removed first. A file that is a link is written through:
// the copy lies beside the link's target and replaces the target. Commit() ends the
// transaction, closes the database and puts the marked content in place of the file,
// durably and with the file's permissions. Destroyed without a successful Commit, the
// copy is deleted and the file stays exactly as it was. A read-only file is refused
// before any work.
//
// Every failure throws MarkedDatabaseError (WorkCopyError when the copy could not be
// made; the database layer's own errors pass as plat::db::Error).
class MarkedDatabase {
 public:
  enum class Mode { Read, Write };

  MarkedDatabase(const std::filesystem::path& file, Mode mode);
  ~MarkedDatabase();
  MarkedDatabase(const MarkedDatabase&) = delete;
  MarkedDatabase& operator=(const MarkedDatabase&) = delete;

  plat::db::Connection& Db() { return conn_; }
  const std::filesystem::path& File() const { return file_; }
  const std::filesystem::path& WorkCopy() const { return copy_; }

  // To be called before each row written (the test hook can fail any of them).
  void BeforeWrite();
  // Write mode: puts the new content in place of the original.
  void Commit();

 private:
  void Discard() noexcept;

  std::filesystem::path file_;    // as the caller named it
  std::filesystem::path target_;  // the file that is replaced (a link's target)
  std::filesystem::path copy_;
  Mode mode_;
  plat::db::Connection conn_;
  bool inTransaction_ = false;
  bool committed_ = false;
  int writes_ = 0;
};


