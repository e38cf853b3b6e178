#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/text.h"

namespace plat {

namespace {

// Writes all bytes to an open descriptor, retrying short writes.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename of a file durable (best effort: some file systems refuse it).
void SyncFolder(const fs::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Creates a new, empty temporary file beside `target`; returns its descriptor and path.
int CreateTempBeside(const fs::path& target, fs::path& tempPath) {
  static std::atomic<unsigned> counter{0};
  fs::path folder = target.parent_path();
  std::string base = "." + target.filename().string() + ".tmp." + std::to_string(::getpid()) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder / (base + std::to_string(counter++));
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Gives the new file the permissions of the file it replaces.
void KeepMode(int fd, const fs::path& target) {
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
}

// Puts a finished temporary file in place of `target`; removes it on failure.
bool FinishTemp(int fd, const fs::path& tempPath, const fs::path& target, bool ok) {
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    return false;
  }
  SyncFolder(target.parent_path());
  return true;
}

// The number of decimal digits at the start of s.
std::size_t DigitRun(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
  return n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

bool FileExists(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

std::optional<std::uintmax_t> FileLength(const fs::path& p) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  std::uintmax_t size = fs::file_size(p, ec);
  if (ec) return std::nullopt;
  return size;
}

std::optional<std::vector<std::uint8_t>> ReadAllBytes(const fs::path& p) {
  if (!FileExists(p)) return std::nullopt;
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> data;
  char buf[65536];
  while (in) {
    in.read(buf, sizeof buf);
    std::streamsize got = in.gcount();
    if (got > 0) data.insert(data.end(), buf, buf + got);
  }
  if (in.bad()) return std::nullopt;
  return data;
}

std::optional<std::vector<std::uint8_t>> ReadBytes(const fs::path& p, std::uintmax_t offset, std::size_t count) {
  auto length = FileLength(p);
  if (!length || offset > *length) return std::nullopt;
  std::uintmax_t available = *length - offset;
  std::size_t n = available < count ? static_cast<std::size_t>(available) : count;
  std::vector<std::uint8_t> data(n);
  if (n == 0) return data;
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(n));
  if (!in && in.gcount() <= 0) return std::nullopt;
  data.resize(static_cast<std::size_t>(in.gcount()));
  return data;
}

bool WriteAllBytes(const fs::path& p, const std::vector<std::uint8_t>& data) {
  int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data.data(), data.size());
  if (::close(fd) != 0) ok = false;
  return ok;
}

std::optional<long> TempFileOwner(std::string_view fileName) {
  constexpr std::string_view kTag = ".tmp.";
  if (fileName.size() < 2 || fileName[0] != '.') return std::nullopt;
  const std::size_t at = fileName.rfind(kTag);
  if (at == std::string_view::npos || at < 2) return std::nullopt;
  std::string_view rest = fileName.substr(at + kTag.size());
  const std::size_t pidDigits = DigitRun(rest);
  if (pidDigits == 0 || pidDigits > 9 || pidDigits >= rest.size() || rest[pidDigits] != '.')
    return std::nullopt;
  const std::string_view counter = rest.substr(pidDigits + 1);
  if (counter.empty() || DigitRun(counter) != counter.size()) return std::nullopt;
  return std::stol(std::string(rest.substr(0, pidDigits)));
}

std::optional<fs::path> WriteTarget(const fs::path& p) {
  std::error_code ec;
  const auto st = fs::symlink_status(p, ec);
  if (!fs::is_symlink(st)) return p;
  fs::path target = fs::canonical(p, ec);
  if (ec) return std::nullopt;
  return target;
}

bool IsWritableFile(const fs::path& p) {
  struct stat st;
  if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(p.c_str(), W_OK) == 0;
}

bool WriteFileAtomically(const fs::path& p, const std::vector<std::uint8_t>& data) {
  const auto target = WriteTarget(p);
  if (!target) return false;
  std::error_code ec;
  const auto st = fs::status(*target, ec);
  if (fs::is_directory(st)) return false;
  if (fs::exists(st) && !IsWritableFile(*target)) return false;
  fs::path temp;
  int fd = CreateTempBeside(*target, temp);
  if (fd < 0) return false;
  KeepMode(fd, *target);
  bool ok = WriteAll(fd, data.data(), data.size());
  return FinishTemp(fd, temp, *target, ok);
}

bool CopyFileTo(const fs::path& from, const fs::path& to, bool overwrite) {
  if (!FileExists(from)) return false;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    if (!overwrite || fs::is_directory(to, ec)) return false;
    if (fs::equivalent(from, to, ec)) return true;  // copying a file onto itself changes nothing
  }
  // The copy goes to a temporary file first, so a failed copy never leaves half a target.
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  fs::path temp;
  int out = CreateTempBeside(to, temp);
  if (out < 0) {
    ::close(in);
    return false;
  }
  struct stat st;
  if (::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 07777);
  bool ok = true;
  std::uint8_t buf[65536];
  while (ok) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
    } else if (n == 0) {
      break;
    } else {
      ok = WriteAll(out, buf, static_cast<std::size_t>(n));
    }
  }
  ::close(in);
  return FinishTemp(out, temp, to, ok);
}

bool DeleteFile(const fs::path& p) {
  std::error_code ec;
  auto st = fs::symlink_status(p, ec);
  if (!fs::exists(st)) return true;
  if (fs::is_directory(st)) return false;
  fs::remove(p, ec);
  return !fs::exists(fs::symlink_status(p, ec));
}

bool MakeFolder(const fs::path& p) {
  std::error_code ec;
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

std::vector<std::string> ListFiles(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return names;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code ec2;
    if (it->is_regular_file(ec2)) names.push_back(it->path().filename().string());
  }
  return names;
}

// ---------------------------------------------------------------------------------------
// TextReader

TextReader::TextReader(const fs::path& p) {
  auto bytes = ReadAllBytes(p);
  if (!bytes) return;
  data_.assign(bytes->begin(), bytes->end());
  // A UTF-8 byte-order mark is not part of the first item.
  if (data_.size() >= 3 && data_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
  open_ = true;
}

bool TextReader::AtEnd() const { return pos_ >= data_.size(); }

namespace {

// Moves past one line end (CR LF, LF or a lone CR) at pos, if there is one.
void SkipLineEnd(const std::string& d, std::size_t& pos) {
  if (pos < d.size() && d[pos] == '\r') ++pos;
  if (pos < d.size() && d[pos] == '\n') ++pos;
}

// After an item: blanks, then the comma or line end that closes it.
void SkipItemEnd(const std::string& d, std::size_t& pos) {
  while (pos < d.size() && IsBlank(d[pos])) ++pos;
  if (pos < d.size() && d[pos] == ',') {
    ++pos;
  } else {
    SkipLineEnd(d, pos);
  }
}

// A quoted item starting at the opening quote. It ends at the closing quote; a line
// end before any closing quote ends it too. Anything between the closing quote and
// the next comma or line end is dropped.
std::string ReadQuoted(const std::string& d, std::size_t& pos) {
  ++pos;
  std::size_t start = pos;
  while (pos < d.size() && d[pos] != '"' && !IsLineEnd(d[pos])) ++pos;
  std::string item = d.substr(start, pos - start);
  if (pos < d.size() && d[pos] == '"') {
    ++pos;
    while (pos < d.size() && d[pos] != ',' && !IsLineEnd(d[pos])) ++pos;
  }
  SkipItemEnd(d, pos);
  return item;
}

}  // namespace

std::optional<std::string> TextReader::ReadItem() {
  if (!open_ || AtEnd()) return std::nullopt;
  while (pos_ < data_.size() && IsBlank(data_[pos_])) ++pos_;
  if (pos_ < data_.size() && data_[pos_] == '"') return ReadQuoted(data_, pos_);
  std::size_t start = pos_;
  while (pos_ < data_.size() && data_[pos_] != ',' && !IsLineEnd(data_[pos_])) ++pos_;
  std::string item = data_.substr(start, pos_ - start);
  std::size_t e = item.size();
  while (e > 0 && IsBlank(item[e - 1])) --e;
  item.resize(e);
  SkipItemEnd(data_, pos_);
  return item;
}

std::optional<double> TextReader::ReadNumber() {
  if (!open_ || AtEnd()) return std::nullopt;
  while (pos_ < data_.size() && IsBlank(data_[pos_])) ++pos_;
  if (pos_ < data_.size() && data_[pos_] == '"') return Val(ReadQuoted(data_, pos_));
  // A number ends at a comma, a blank or a line end.
  std::size_t start = pos_;
  while (pos_ < data_.size() && data_[pos_] != ',' && !IsBlank(data_[pos_]) && !IsLineEnd(data_[pos_])) ++pos_;
  double v = Val(std::string_view(data_).substr(start, pos_ - start));
  SkipItemEnd(data_, pos_);
  return v;
}

std::optional<std::string> TextReader::ReadLine() {
  if (!open_ || AtEnd()) return std::nullopt;
  std::size_t start = pos_;
  while (pos_ < data_.size() && !IsLineEnd(data_[pos_])) ++pos_;
  std::string line = data_.substr(start, pos_ - start);
  SkipLineEnd(data_, pos_);
  return line;
}

// ---------------------------------------------------------------------------------------
// TextWriter

TextWriter::TextWriter(const fs::path& p) : out_(p, std::ios::binary | std::ios::out | std::ios::trunc) {
  open_ = out_.is_open();
  failed_ = !open_;
}

std::string FormatItems(const std::vector<TextItem>& items) {
  std::string line;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) line += ',';
    if (const long* n = std::get_if<long>(&items[i])) {
      line += Str(*n);
    } else {
      line += '"';
      line += std::get<std::string>(items[i]);
      line += '"';
    }
  }
  return line;
}

void TextWriter::WriteItems(const std::vector<TextItem>& items) {
  if (!open_) {
    failed_ = true;
    return;
  }
  PrintLine(FormatItems(items));
}

void TextWriter::PrintLine(std::string_view line) {
  if (!open_) {
    failed_ = true;
    return;
  }
  out_.write(line.data(), static_cast<std::streamsize>(line.size()));
  out_.write("\r\n", 2);
  if (!out_) failed_ = true;
}

bool TextWriter::Close() {
  if (open_) {
    out_.flush();
    if (!out_) failed_ = true;
    out_.close();
    if (out_.fail()) failed_ = true;
    open_ = false;
  }
  return !failed_;
}

TextWriter::~TextWriter() { Close(); }

}  // namespace plat
