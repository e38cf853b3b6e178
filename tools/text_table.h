// The text sources of the sample game folder: tab-separated tables and plain text files.
//
// A table file holds comment lines (starting with '#'), one header line naming the
// columns, and one line per row; fields are separated by tabs. Blank lines are skipped.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// A source that cannot be used; the message names the file and, where it helps, the line.
struct SourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TextRow {
  int line = 0;  // line number in the file, from 1
  std::vector<std::string> fields;
};

struct TextTable {
  std::filesystem::path file;
  std::vector<std::string> columns;
  std::vector<TextRow> rows;

  // Index of a column (compared without ASCII case), or -1.
  int ColumnIndex(std::string_view name) const;
  // The field of a row in the named column; throws SourceError for an unknown column.
  const std::string& Field(const TextRow& row, std::string_view column) const;
  // "file:line" for messages.
  std::string Where(const TextRow& row) const;
};

// The whole file as text; throws SourceError when it cannot be read or is not UTF-8.
std::string ReadSourceText(const std::filesystem::path& file);

// Reads a table file; throws SourceError for a missing file, a missing header, a
// repeated column or a row whose field count differs from the header's.
TextTable ReadTextTable(const std::filesystem::path& file);

// A whole decimal number that fits a 32-bit signed field (optional '-', digits only);
// throws SourceError naming `where` otherwise.
long ParseLong(std::string_view text, const std::string& where);

// The text with every line ended by CR LF (LF and CR LF line ends are accepted), and
// trailing empty lines dropped; the last line keeps no line end.
std::string WithCrLf(std::string_view text);

}  // namespace tools
