#include "text_table.h"

#include <cstdint>
#include <limits>

#include "platform/files.h"
#include "platform/text.h"

namespace tools {

namespace {

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size() && extra > 0) return false;  // cut off in the middle
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == text.size()) break;
    start = end + 1;
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.emplace_back(line.substr(start));
      return fields;
    }
    fields.emplace_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

int TextTable::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (plat::EqualsNoCase(columns[i], name)) return static_cast<int>(i);
  }
  return -1;
}

const std::string& TextTable::Field(const TextRow& row, std::string_view column) const {
  int i = ColumnIndex(column);
  if (i < 0 || static_cast<std::size_t>(i) >= row.fields.size()) {
    throw SourceError(file.string() + ": no column \"" + std::string(column) + "\"");
  }
  return row.fields[static_cast<std::size_t>(i)];
}

std::string TextTable::Where(const TextRow& row) const {
  return file.string() + ":" + std::to_string(row.line);
}

std::string ReadSourceText(const std::filesystem::path& file) {
  auto bytes = plat::ReadAllBytes(file);
  if (!bytes) throw SourceError(file.string() + ": cannot be read");
  std::string text(bytes->begin(), bytes->end());
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  if (!IsValidUtf8(text)) throw SourceError(file.string() + ": not UTF-8 text");
  return text;
}

TextTable ReadTextTable(const std::filesystem::path& file) {
  TextTable table;
  table.file = file;
  std::vector<std::string> lines = SplitLines(ReadSourceText(file));
  bool haveHeader = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (IsBlankLine(line) || line[0] == '#') continue;
    int lineNo = static_cast<int>(i + 1);
    std::vector<std::string> fields = SplitTabs(line);
    if (!haveHeader) {
      for (const std::string& name : fields) {
        if (name.empty()) throw SourceError(file.string() + ":" + std::to_string(lineNo) + ": empty column name");
        if (table.ColumnIndex(name) >= 0) {
          throw SourceError(file.string() + ":" + std::to_string(lineNo) + ": column \"" + name + "\" given twice");
        }
        table.columns.push_back(name);
      }
      haveHeader = true;
      continue;
    }
    if (fields.size() != table.columns.size()) {
      throw SourceError(file.string() + ":" + std::to_string(lineNo) + ": " + std::to_string(fields.size()) +
                        " fields, the header names " + std::to_string(table.columns.size()));
    }
    table.rows.push_back(TextRow{lineNo, std::move(fields)});
  }
  if (!haveHeader) throw SourceError(file.string() + ": no header line");
  return table;
}

long ParseLong(std::string_view text, const std::string& where) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == text.size()) throw SourceError(where + ": \"" + std::string(text) + "\" is not a whole number");
  long long value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') throw SourceError(where + ": \"" + std::string(text) + "\" is not a whole number");
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) {
      throw SourceError(where + ": \"" + std::string(text) + "\" is out of range");
    }
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    throw SourceError(where + ": \"" + std::string(text) + "\" is out of range");
  }
  return static_cast<long>(value);
}

std::string WithCrLf(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += lines[i];
  }
  return out;
}

}  // namespace tools
