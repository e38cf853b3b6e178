// The headless trade tools' input and output: commands on standard input, one a line,
// and events as JSON objects, one a line on standard output, flushed at once so that a
// driving test sees every event as it happens.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tradejson {

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 passed
// through, bytes that are not UTF-8 replaced by U+FFFD.
inline std::string Json(std::string_view s) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c < 0x20 || c == 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    bool ok = n != 0 && i + n <= s.size();
    for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok) {
      out.append(s.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out + "\"";
}

inline void Emit(const std::string& body) { std::cout << "{" << body << "}\n" << std::flush; }

// An item with the wire's field names (X and Y are not sent).
inline std::string ItemJson(const ItemRecord& r) {
  std::string s =
      "{\"Name\":" + Json(r.Name) + ",\"Type\":" + std::to_string(r.Type) + ",\"Type2\":" + Json(r.Type2);
  const std::pair<const char*, std::int32_t> fields[] = {
      {"DcSpeed", r.DcSpeed}, {"Nb", r.Nb},           {"Acc", r.Acc},     {"Weight", r.Weight},
      {"MaBi", r.MaBi},       {"XiHP", r.XiHP},       {"Luck", r.Luck},   {"zd", r.zd},
      {"dzlevel", r.dzlevel}, {"SP", r.SP},           {"JP", r.JP},       {"Pic1", r.Pic1},
      {"Pic2", r.Pic2},       {"Hp", r.Hp},           {"Mp", r.Mp},       {"Dc", r.Dc},
      {"DcMax", r.DcMax},     {"Mc", r.Mc},           {"McMax", r.McMax}, {"Df", r.Df},
      {"DfMax", r.DfMax},     {"Mf", r.Mf},           {"MfMax", r.MfMax}, {"NdDc", r.NdDc},
      {"NdMc", r.NdMc},       {"NdLevel", r.NdLevel}, {"Money", r.Money}, {"Ex", r.Ex},
  };
  for (const auto& [name, value] : fields) s += ",\"" + std::string(name) + "\":" + std::to_string(value);
  return s + "}";
}

// A JSON array of the items' names.
inline std::string NameList(const std::vector<ItemRecord>& items) {
  std::string s = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) s += ',';
    s += Json(items[i].Name);
  }
  return s + "]";
}

// Commands from standard input (or another descriptor), read without blocking the
// caller's pump.
class CommandInput {
 public:
  explicit CommandInput(int fd = STDIN_FILENO) : fd_(fd) {}
  // Waits up to waitMs for input and takes what came. Once the input has ended there is
  // nothing to wait for, and it sleeps the waitMs instead: a loop around it never spins.
  void Read(int waitMs) {
    if (!open_) {
      plat::SleepMs(waitMs);
      return;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return;
    char buf[4096];
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) {
      open_ = false;
      return;
    }
    pending_.append(buf, static_cast<std::size_t>(n));
  }
  // The next whole line (without its line end), if one came.
  bool Next(std::string& command, std::string& argument) {
    const std::size_t eol = pending_.find('\n');
    if (eol == std::string::npos) return false;
    std::string line = pending_.substr(0, eol);
    pending_.erase(0, eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t space = line.find(' ');
    command = line.substr(0, space);
    argument = space == std::string::npos ? std::string() : line.substr(space + 1);
    return true;
  }
  // Standard input has ended and every line was taken.
  bool Ended() const { return !open_ && pending_.find('\n') == std::string::npos; }

 private:
  int fd_;
  std::string pending_;
  bool open_ = true;
};

// The tool's pump: every pass waits a few milliseconds for input, runs `pump` with the
// tick and takes the next command, until `ended()`. "wait MS" holds the commands back for
// MS milliseconds (the pump runs on); the end of the input (standard input unless told
// otherwise) calls `close` once; every other command goes to `handle`.
template <typename Pump, typename Ended, typename Close, typename Handle>
void RunCommands(Pump pump, Ended ended, Close close, Handle handle, int inputFd = STDIN_FILENO) {
  CommandInput input(inputFd);
  std::int64_t waitUntil = 0;
  bool closed = false;
  while (!ended()) {
    input.Read(5);
    pump(plat::Tick());
    if (ended() || plat::Tick() < waitUntil) continue;
    std::string command, arg;
    if (!input.Next(command, arg)) {
      if (input.Ended() && !closed) {
        closed = true;
        close();
      }
      continue;
    }
    if (command == "wait") {
      const auto ms = plat::StrictNumber(arg, plat::NumberForm::Whole);
      if (ms && *ms > 0) waitUntil = plat::Tick() + static_cast<std::int64_t>(*ms);
    } else if (!command.empty()) {
      handle(command, arg);
    }
  }
}

// The command line of a trade tool: host|join --address A --port P --folder GAMEFOLDER
// --name CHARACTER.
struct PeerCommandLine {
  bool host = true;
  std::string address;
  std::uint16_t port = 0;
  std::string folder;  // the game folder
  std::string name;    // the character
};

// The command line, or nothing after the usage was written to standard error.
inline std::optional<PeerCommandLine> ParsePeerCommandLine(int argc, char** argv,
                                                           const std::string& program) {
  auto usage = [&program](const std::string& why) -> std::optional<PeerCommandLine> {
    std::cerr << program << ": " << why << "\n"
              << "usage: " << program
              << " host|join --address A --port P --folder GAMEFOLDER --name CHARACTER\n";
    return std::nullopt;
  };
  if (argc < 2) return usage("no role");
  const std::string role = argv[1];
  if (role != "host" && role != "join") return usage("the role is host or join");
  PeerCommandLine c;
  c.host = role == "host";
  long port = -1;
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return usage("no value for " + flag);
    const std::string value = argv[++i];
    if (flag == "--address") {
      c.address = value;
    } else if (flag == "--port") {
      const auto v = plat::StrictNumber(value, plat::NumberForm::Whole);
      if (!v || *v < 0 || *v > 65535) return usage("bad port " + value);
      port = static_cast<long>(*v);
    } else if (flag == "--folder") {
      c.folder = value;
    } else if (flag == "--name") {
      c.name = value;
    } else {
      return usage("unknown flag " + flag);
    }
  }
  if (port < 0 || c.folder.empty() || c.name.empty()) return usage("--port, --folder and --name are needed");
  if (!c.host && c.address.empty()) return usage("a joiner needs --address");
  c.port = static_cast<std::uint16_t>(port);
  return c;
}

}  // namespace tradejson
