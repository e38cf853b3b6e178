// A headless trade peer: the game's own trade link without a window, for tests and for
// trying a link by hand.
//
//   trade_peer host|join --address A --port P --folder GAMEFOLDER --name CHARACTER
//
// host listens on A (port 0 takes a free port), join connects to A. Commands on standard
// input, one a line:
//   chat TEXT      queue a chat line
//   raw TEXT       put TEXT on the wire as it is (no "*" added)
//   wait MS        read no further command for MS milliseconds (the link runs on)
//   close          end the trade in order and exit
// The end of standard input counts as "close". Events on standard output, one JSON object
// a line: listening (port), connected (peer), chat (from, text), log (text), refused
// (what, text), offer (side, slot, item or null), offer_invalid (side, slot, text),
// confirm (side, value), acked (message), closed (text).
// Exit status: 0 after our close or the peer's farewell, 3 when the link was lost or
// never made, 1 on a set-up failure (its message on standard error), 2 on bad arguments.

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "trade/link.h"
#include "trade/socket_network.h"

namespace {

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 passed
// through, bytes that are not UTF-8 replaced by U+FFFD.
std::string Json(std::string_view s) {
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

void Emit(const std::string& body) { std::cout << "{" << body << "}\n" << std::flush; }

std::string ItemJson(const ItemRecord& r) {
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

class Printer : public trade::LinkListener {
 public:
  void OnConnected(const std::string& peer) override {
    Emit("\"event\":\"connected\",\"peer\":" + Json(peer));
  }
  void OnChat(const std::string& from, const std::string& text) override {
    Emit("\"event\":\"chat\",\"from\":" + Json(from) + ",\"text\":" + Json(text));
  }
  void OnLog(const std::string& line) override { Emit("\"event\":\"log\",\"text\":" + Json(line)); }
  void OnPeerOffer(int slot, const ItemRecord& item) override {
    Emit("\"event\":\"offer\",\"side\":\"peer\",\"slot\":" + std::to_string(slot) +
         ",\"item\":" + ItemJson(item));
  }
  void OnPeerWithdraw(int slot) override {
    Emit("\"event\":\"offer\",\"side\":\"peer\",\"slot\":" + std::to_string(slot) + ",\"item\":null");
  }
  void OnPeerOfferInvalid(int slot, const std::string& line) override {
    Emit("\"event\":\"offer_invalid\",\"side\":\"peer\",\"slot\":" + std::to_string(slot) +
         ",\"text\":" + Json(line));
  }
  void OnPeerConfirm(bool value) override {
    Emit(std::string("\"event\":\"confirm\",\"side\":\"peer\",\"value\":") + (value ? "1" : "0"));
  }
  void OnStateAcknowledged(std::uint64_t, const std::string& message) override {
    Emit("\"event\":\"acked\",\"message\":" + Json(message));
  }
  void OnClosed(const std::string& message) override {
    closed = true;
    closedText = message;
    Emit("\"event\":\"closed\",\"text\":" + Json(message));
  }
  bool closed = false;
  std::string closedText;
};

int Usage(const std::string& why) {
  std::cerr << "trade_peer: " << why << "\n"
            << "usage: trade_peer host|join --address A --port P --folder GAMEFOLDER --name CHARACTER\n";
  return 2;
}

// Reads what standard input holds now into `pending`; false once it has ended.
bool ReadInput(std::string& pending, int waitMs) {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  if (poll(&p, 1, waitMs) <= 0) return true;
  char buf[4096];
  const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
  if (n <= 0) return false;
  pending.append(buf, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no role");
  const std::string role = argv[1];
  if (role != "host" && role != "join") return Usage("the role is host or join");
  std::string address, folder, name;
  long port = -1;
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return Usage("no value for " + flag);
    const std::string value = argv[++i];
    if (flag == "--address") {
      address = value;
    } else if (flag == "--port") {
      const auto v = plat::StrictNumber(value, plat::NumberForm::Whole);
      if (!v || *v < 0 || *v > 65535) return Usage("bad port " + value);
      port = static_cast<long>(*v);
    } else if (flag == "--folder") {
      folder = value;
    } else if (flag == "--name") {
      name = value;
    } else {
      return Usage("unknown flag " + flag);
    }
  }
  if (port < 0 || folder.empty() || name.empty()) return Usage("--port, --folder and --name are needed");
  if (role == "join" && address.empty()) return Usage("a joiner needs --address");
  if (!trade::ValidPeerName(name) || plat::Trim(name) != name) {
    std::cerr << "trade_peer: a character name has 1 to 4 characters\n";
    return 1;
  }
  // Offers are checked against the item table of the game folder.
  const std::filesystem::path items =
      plat::ResolvePathIn(std::filesystem::u8path(folder), "\\Date\\Mon\\74.dat");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(items, ec)) {
    std::cerr << "trade_peer: no item table in " << folder << "\n";
    return 1;
  }
  G.ItemDbPath = items;

  trade::SocketNetwork net;
  Printer printer;
  trade::LinkOptions options;
  options.role = role == "host" ? trade::Role::Host : trade::Role::Join;
  options.address = address;
  options.port = static_cast<std::uint16_t>(port);
  options.ownName = name;
  trade::Link link(net, printer, options);
  std::string error;
  if (!link.Start(plat::Tick(), &error)) {
    std::cerr << "trade_peer: " << error << "\n";
    return 1;
  }
  if (options.role == trade::Role::Host)
    Emit("\"event\":\"listening\",\"port\":" + std::to_string(net.ListeningPort()));

  std::string pending;
  bool inputOpen = true;
  std::int64_t waitUntil = 0;
  while (!printer.closed) {
    inputOpen = inputOpen && ReadInput(pending, 5);
    link.Poll(plat::Tick());
    if (printer.closed) break;
    if (plat::Tick() < waitUntil) continue;
    const std::size_t eol = pending.find('\n');
    if (eol == std::string::npos) {
      if (!inputOpen) link.Close(plat::Tick());
      continue;
    }
    std::string line = pending.substr(0, eol);
    pending.erase(0, eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (command == "chat") {
      const trade::Link::SayResult r = link.Say(arg);
      if (!r.queued) Emit("\"event\":\"refused\",\"what\":\"chat\",\"text\":" + Json(r.line));
    } else if (command == "raw") {
      if (!link.SendRaw(arg))
        Emit("\"event\":\"refused\",\"what\":\"raw\",\"text\":" + Json(trade::kNotConnectedLine));
    } else if (command == "wait") {
      const auto ms = plat::StrictNumber(arg, plat::NumberForm::Whole);
      if (ms && *ms > 0) waitUntil = plat::Tick() + static_cast<std::int64_t>(*ms);
    } else if (command == "close") {
      link.Close(plat::Tick());
    } else if (!command.empty()) {
      std::cerr << "trade_peer: unknown command " << command << "\n";
    }
  }
  const bool orderly = printer.closedText.empty() || printer.closedText == trade::kPeerLeftText;
  return orderly ? 0 : 3;
}
