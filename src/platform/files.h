// File services: byte access, listing, copy, delete, and the sequential text files
// with their "free-format" items. Paths here are real paths (see paths.h to get one).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace plat {

namespace fs = std::filesystem;

bool FileExists(const fs::path& p);           // a regular file
std::optional<std::uintmax_t> FileLength(const fs::path& p);
// The whole file, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadAllBytes(const fs::path& p);
// Up to `count` bytes from `offset` (fewer when the file ends first); nothing when the
// file cannot be read or is shorter than `offset`.
std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& p, std::uintmax_t offset, std::size_t count);
// Writes the file in one go (creating or truncating it). False on any failure.
bool WriteAllBytes(const fs::path& p, const std::vector<std::uint8_t>& data);
// Writes to a temporary file beside p and renames it over p: p is always either the
// old file or the complete new one, and the new one is on disk before the rename.
// The file keeps its permissions. A link is written through: the link stays, its
// target gets the new content (the temporary file goes beside the target). A file
// that is read-only (not writable, or without any write permission bit) is left as it
// is and the write fails.
bool WriteFileAtomically(const fs::path& p, const std::vector<std::uint8_t>& data);
// The process that made a temporary file of WriteFileAtomically or CopyFileTo, read from
// the file's name (".<name>.tmp.<process>.<n>"); nothing for any other name.
std::optional<long> TempFileOwner(std::string_view fileName);
// The file a write to p reaches: p itself, or the final target when p is a link.
// Nothing for a link that leads nowhere (or in a circle).
std::optional<fs::path> WriteTarget(const fs::path& p);
// True for an existing regular file that may be written: the process has write access
// and the file has at least one write permission bit (a file made read-only for
// everybody stays so for a privileged process too).
bool IsWritableFile(const fs::path& p);
bool CopyFileTo(const fs::path& from, const fs::path& to, bool overwrite);
bool DeleteFile(const fs::path& p);            // true when the file is gone afterwards
bool MakeFolder(const fs::path& p);            // with parents; true when it exists afterwards
// Names of the regular files directly in a folder, in the order the file system gives them.
std::vector<std::string> ListFiles(const fs::path& folder);

// Reads the sequential "free-format" text: items separated by commas or line ends;
// an item in double quotes is taken without its quotes and may hold commas; blanks
// around an unquoted item are dropped. Works on UTF-8 text; CR LF and LF both end lines.
// A line end also closes a quoted item whose closing quote is missing.
class TextReader {
 public:
  explicit TextReader(const fs::path& p);
  bool IsOpen() const { return open_; }
  bool AtEnd() const;
  // The next item, or nothing at the end of the file.
  std::optional<std::string> ReadItem();
  // The next item read as a number (Val of its text); nothing at the end.
  std::optional<double> ReadNumber();
  // The rest of the current line, without its line end; nothing at the end of the file.
  std::optional<std::string> ReadLine();

 private:
  std::string data_;
  std::size_t pos_ = 0;
  bool open_ = false;
};

// One item of a written line: text items are written in double quotes, numbers bare.
using TextItem = std::variant<long, std::string>;

// The items as one "Write #" line: separated by commas, without the line end.
std::string FormatItems(const std::vector<TextItem>& items);

// Writes a text file for output (the file is emptied or created). Lines end in CR LF.
class TextWriter {
 public:
  explicit TextWriter(const fs::path& p);
  bool IsOpen() const { return open_; }
  // One line of comma-separated items ("Write #" form).
  void WriteItems(const std::vector<TextItem>& items);
  // One line of text as it is ("Print #" form).
  void PrintLine(std::string_view line);
  // Flushes and closes; false when anything failed.
  bool Close();
  ~TextWriter();

 private:
  std::ofstream out_;
  bool open_ = false;
  bool failed_ = false;
};

}  // namespace plat
