// Runs the built headless trade peer (or the trade proxy) as its own process: commands go
// to its standard input, its standard output is read line by line, its errors go to a
// log file.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tradetest {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, std::vector<std::string> args,
               const std::filesystem::path& errLog) {
    const std::string exe = std::string(ORVANTH_BINARY_DIR) + "/tools/" + program;
    std::vector<std::string> all = {exe};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  void Send(const std::string& line) {
    const std::string s = line + "\n";
    if (in_ >= 0 && write(in_, s.data(), s.size()) < 0) return;
  }
  void CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  // The first line from the index `from` on that holds every one of the needles, waiting
  // up to timeoutMs for it; "" when none came.
  int Pid() const { return pid_; }
  std::string WaitFor(const std::vector<std::string>& needles, int timeoutMs = 5000, std::size_t from = 0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      for (std::size_t i = from; i < lines.size(); ++i) {
        bool all = true;
        for (const std::string& n : needles) all = all && lines[i].find(n) != std::string::npos;
        if (all) return lines[i];
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return "";
    }
  }
  // Reads what comes for ms milliseconds.
  void Drain(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (!ReadSome(static_cast<int>(std::max<long>(1, left.count())))) break;
    }
  }
  // The exit status, or -1 when it did not end in time (or ended by a signal).
  int Wait(int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exited_) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exited_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (std::chrono::steady_clock::now() >= end) return -1;
      ReadSome(20);
    }
    Drain(0);
    return status_;
  }
  void Signal(int sig) {
    if (pid_ > 0 && !exited_) kill(pid_, sig);
  }

  std::vector<std::string> lines;

 private:
  // False once the output has ended.
  bool ReadSome(int waitMs) {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return true;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return !(n == 0);
    partial_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t eol; (eol = partial_.find('\n')) != std::string::npos;) {
      lines.push_back(partial_.substr(0, eol));
      partial_.erase(0, eol + 1);
    }
    return true;
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  bool exited_ = false;
  int status_ = -1;
  std::string partial_;
};

}  // namespace tradetest
