// The headless trade peer on a save: the game's trade session (bag, offers, confirms and
// the all-or-nothing commit) without a window, for tests and for trying a trade by hand.
//
//   trade_peer_session host|join --address A --port P --folder GAMEFOLDER --name CHARACTER
//
// GAMEFOLDER is a game folder: the character's save "Save/<CHARACTER>.kzs" is loaded (and
// locked) first, offers are checked against its item table. host listens on A (port 0
// takes a free port), join connects to A. Commands on standard input, one a line:
//   offer BAGSLOT    the bag item (slot 21..56 as the save numbers it) into the first free
//                    offer slot
//   withdraw K       own offer slot K back into the bag (an empty slot still sends)
//   confirm 0|1      the confirm box
//   chat TEXT        a chat line
//   discard BAGSLOT  the bag item thrown away (kept only by a completed trade)
//   wait MS          read no further command for MS milliseconds (the trade runs on)
//   close            end the trade in order (waiting for a pending commit) and exit
// The end of standard input counts as "close". Events on standard output, one JSON object
// a line: listening (port), connected (peer), chat (from, text), offer (side "own"/"peer",
// slot, item with the wire's field names or null), confirm (side, value), refused (what,
// text: the line shown, "" when nothing was shown), writing and written (ok) around each
// write of the save, committed (gave, got: item names), commit_failed (text), log (text:
// every line of the trade log), closed (text).
// Exit status: 0 after an orderly end (our close or the peer's farewell), 3 when the link
// was lost or never made, 1 on a set-up failure (its message on standard error), 2 on bad
// arguments.

#include <filesystem>
#include <iostream>
#include <string>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "trade/session.h"
#include "trade/socket_network.h"
#include "trade_tool_io.h"
#include "world/save_game.h"

namespace {

using tradejson::Emit;
using tradejson::Json;

const char* SideName(trade::SessionListener::Side side) {
  return side == trade::SessionListener::Side::Own ? "own" : "peer";
}

class Printer : public trade::SessionListener {
 public:
  void OnLog(const std::string& line) override { Emit("\"event\":\"log\",\"text\":" + Json(line)); }
  void OnConnected(const std::string& peer) override {
    Emit("\"event\":\"connected\",\"peer\":" + Json(peer));
  }
  void OnChat(const std::string& from, const std::string& text) override {
    Emit("\"event\":\"chat\",\"from\":" + Json(from) + ",\"text\":" + Json(text));
  }
  void OnOffer(Side side, int k, const ItemRecord* item) override {
    Emit(std::string("\"event\":\"offer\",\"side\":\"") + SideName(side) + "\",\"slot\":" +
         std::to_string(k) + ",\"item\":" + (item != nullptr ? tradejson::ItemJson(*item) : "null"));
  }
  void OnConfirm(Side side, bool value) override {
    Emit(std::string("\"event\":\"confirm\",\"side\":\"") + SideName(side) +
         "\",\"value\":" + (value ? "1" : "0"));
  }
  void OnRefused(const std::string& what, const std::string& line) override {
    refusals++;
    Emit("\"event\":\"refused\",\"what\":" + Json(what) + ",\"text\":" + Json(line));
  }
  void OnCommitted(const std::vector<ItemRecord>& gave, const std::vector<ItemRecord>& got) override {
    Emit("\"event\":\"committed\",\"gave\":" + tradejson::NameList(gave) +
         ",\"got\":" + tradejson::NameList(got));
  }
  void OnCommitFailed(const std::string& text) override {
    Emit("\"event\":\"commit_failed\",\"text\":" + Json(text));
  }
  void OnClosed(const std::string& message) override {
    closed = true;
    closedText = message;
    Emit("\"event\":\"closed\",\"text\":" + Json(message));
  }

  int refusals = 0;
  bool closed = false;
  std::string closedText;
};

int Usage(const std::string& why) {
  std::cerr
      << "trade_peer_session: " << why << "\n"
      << "usage: trade_peer_session host|join --address A --port P --folder GAMEFOLDER --name CHARACTER\n";
  return 2;
}

std::optional<int> Whole(const std::string& text) {
  const auto v = plat::StrictNumber(text, plat::NumberForm::Whole);
  if (!v || *v < -2147483648.0 || *v > 2147483647.0) return std::nullopt;
  return static_cast<int>(*v);
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
      const auto v = Whole(value);
      if (!v || *v < 0 || *v > 65535) return Usage("bad port " + value);
      port = *v;
    } else if (flag == "--folder") {
      folder = value;
    } else if (flag == "--name") {
      name = value;
    } else {
      return Usage("unknown flag " + flag);
    }
  }
  if (port < 0 || folder.empty() || name.empty()) return Usage("--port, --folder and --name are needed");

  const std::filesystem::path root = std::filesystem::u8path(folder);
  const std::filesystem::path items = plat::ResolvePathIn(root, "\\Date\\Mon\\74.dat");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(items, ec)) {
    std::cerr << "trade_peer_session: no item table in " << folder << "\n";
    return 1;
  }
  plat::SetProgramFolder(root);
  G.ItemDbPath = items;

  trade::SocketNetwork net;
  Printer printer;
  trade::SessionOptions options;
  options.role = role == "host" ? trade::Role::Host : trade::Role::Join;
  options.address = address;
  options.port = static_cast<std::uint16_t>(port);
  options.name = name;
  options.write = [](const std::string& id, const trade::BagSlots& bag) {
    Emit("\"event\":\"writing\"");
    const bool ok = WriteItemRows(id, bag);
    Emit(std::string("\"event\":\"written\",\"ok\":") + (ok ? "true" : "false"));
    return ok;
  };
  trade::Session session(net, printer, options);
  std::string error;
  if (!session.Open(plat::Tick(), &error)) {
    std::cerr << "trade_peer_session: " << error << "\n";
    return 1;
  }
  if (options.role == trade::Role::Host)
    Emit("\"event\":\"listening\",\"port\":" + std::to_string(net.ListeningPort()));

  tradejson::CommandInput input;
  std::int64_t waitUntil = 0;
  bool closeAsked = false;
  while (!printer.closed) {
    input.Read(5);
    session.Poll(plat::Tick());
    if (printer.closed) break;
    if (plat::Tick() < waitUntil) continue;
    std::string command, arg;
    if (!input.Next(command, arg)) {
      if (input.Ended() && !closeAsked) {
        closeAsked = true;
        session.Close(plat::Tick());
      }
      continue;
    }
    const int refusalsBefore = printer.refusals;
    bool done = true;
    const std::optional<int> number = Whole(arg);
    if (command == "offer") {
      done = number && session.Offer(*number);
    } else if (command == "withdraw") {
      done = number && session.Withdraw(*number);
    } else if (command == "confirm") {
      done = number && (*number == 0 || *number == 1) && session.SetConfirm(*number == 1);
    } else if (command == "chat") {
      done = session.Say(arg);
    } else if (command == "discard") {
      done = number && session.Discard(*number);
    } else if (command == "wait") {
      if (number && *number > 0) waitUntil = plat::Tick() + *number;
    } else if (command == "close") {
      closeAsked = true;
      session.Close(plat::Tick());
    } else if (!command.empty()) {
      std::cerr << "trade_peer_session: unknown command " << command << "\n";
    }
    // An action that changed nothing and showed nothing still says so.
    if (!done && printer.refusals == refusalsBefore)
      Emit("\"event\":\"refused\",\"what\":" + Json(command) + ",\"text\":\"\"");
  }
  const bool orderly = printer.closedText.empty() || printer.closedText == trade::kPeerLeftText;
  return orderly ? 0 : 3;
}
