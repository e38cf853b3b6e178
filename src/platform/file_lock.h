// An exclusive advisory lock held on a lock file for as long as the object lives, so
// that two running copies of the program never use one file at once; and a durable
// append for journals.
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
  // when another holder (another process, or another FileLock of this one) has it.
  Result TryLock(const std::filesystem::path& lockFile);
  bool Held() const { return fd_ >= 0; }
  void Unlock();

 private:
  int fd_ = -1;
};

// Appends the bytes at the end of the file (made when missing) and syncs them to disk
// before returning. False when the file cannot be opened or written.
bool AppendDurably(const std::filesystem::path& file, std::string_view bytes);

}  // namespace plat
