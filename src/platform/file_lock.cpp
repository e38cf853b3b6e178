#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace plat {

namespace {

// A lock file removed or replaced after it was opened is tried again this often.
constexpr int kLockAttempts = 10;

// True when the open file is the one the path names now.
bool StillNamed(int fd, const std::filesystem::path& file) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::stat(file.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), file_(std::move(other.file_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Unlock();
    fd_ = std::exchange(other.fd_, -1);
    file_ = std::move(other.file_);
  }
  return *this;
}

FileLock::~FileLock() { Unlock(); }

FileLock::Result FileLock::TryLock(const std::filesystem::path& lockFile) {
  Unlock();
  // Each FileLock opens the file itself: a lock taken through another open of the same
  // file, even in this process, makes this one Busy.
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Result::Failed;
    int locked;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      return busy ? Result::Busy : Result::Failed;
    }
    // A holder that let go between our open and our lock removed the file first: the
    // lock of a removed file keeps nobody out, so it is taken anew on the file that
    // stands there now.
    if (StillNamed(fd, lockFile)) {
      fd_ = fd;
      file_ = lockFile;
      return Result::Locked;
    }
    ::close(fd);
  }
  return Result::Failed;
}

void FileLock::Unlock() {
  if (fd_ < 0) return;
  // Removed while still held (and only while it is still ours): whoever opened it in
  // the meantime cannot lock it before we let go, and then sees that it is gone.
  if (StillNamed(fd_, file_)) ::unlink(file_.c_str());
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  file_.clear();
}

bool AppendDurably(const std::filesystem::path& file, std::string_view bytes) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno != EINTR) ok = false;
      continue;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace plat
