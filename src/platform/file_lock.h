// An exclusive advisory lock held on a lock file for as long as the object lives, so
// that two running copies of the program never use one file at once; and a durable
// append for journals.
//
// The lock file stands only while its lock is held: it is made when the lock is taken
// and removed before the lock is let go (one left by a killed process is used again).
#pragma once

#include <filesystem>
#include <string_view>

namespace plat {

class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  enum class Result { Locked, Busy, Failed };
  // Creates the lock file when it is missing and takes the lock without waiting: Busy
  // when another holder (another process, or another FileLock of this one) has it;
  // Failed when the file cannot be made or opened (a folder that may not be written, a
  // folder in its place...) or the system refuses the lock.
  Result TryLock(const std::filesystem::path& lockFile);
  bool Held() const { return fd_ >= 0; }
  // Removes the lock file, then lets the lock go; nothing when the lock is not held.
  void Unlock();

 private:
  int fd_ = -1;
  std::filesystem::path file_;
};

// Appends the bytes at the end of the file (made when missing) and syncs them to disk
// before returning. False when the file cannot be opened or written.
bool AppendDurably(const std::filesystem::path& file, std::string_view bytes);

}  // namespace plat
