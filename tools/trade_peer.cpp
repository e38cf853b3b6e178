// A headless trade peer: the game's trade session without a window, for tests and for
// trying a trade by hand.
//
//   trade_peer host|join --address A --port P --folder GAMEFOLDER --name CHARACTER
//
// GAMEFOLDER is a game folder: the character's save "Save/<CHARACTER>.kzs" is loaded (and
// locked) first, offers are checked against the folder's item table. host listens on A
// (port 0 takes a free port), join connects to A. Commands on standard input, one a line:
//   offer BAGSLOT    the bag item (slot 21..56 as the save numbers it) into the first free
//                    offer slot
//   withdraw K       own offer slot K back into the bag (an empty slot still sends)
//   confirm 0|1      the confirm box
//   chat TEXT        a chat line
//   discard BAGSLOT  the bag item thrown away (kept only by a completed trade)
//   wait MS          read no further command for MS milliseconds (the trade runs on)
//   raw TEXT         put TEXT on the wire as it is (no "*" added), outside the session's
//                    state: for the link's tests
//   close            end the trade in order (waiting for a pending commit) and exit
// The end of standard input counts as "close". Events on standard output, one JSON object
// a line: listening (port), connected (peer), chat (from, text), offer (side "own"/"peer",
// slot, item with the wire's field names or null), confirm (side, value), refused (what,
// text: the line shown, "" when nothing was shown), writing and written (ok) around each
// write of the save, committed (gave, got: item names), commit_failed (text), log (text:
// every line of the trade log), closed (text).
//
// Exit status: 0 after an orderly end (our close or the peer's farewell), 3 when the link
// was lost or never made, 1 on a set-up failure (its message on standard error: no item
// table, no save of the character, a save that cannot trade, ...), 2 on bad arguments.

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "trade/link.h"
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

std::optional<int> Whole(const std::string& text) {
  const auto v = plat::StrictNumber(text, plat::NumberForm::Whole);
  if (!v || *v < -2147483648.0 || *v > 2147483647.0) return std::nullopt;
  return static_cast<int>(*v);
}

// Loads the character's save (from the program folder, which main set, as it set the
// item table), listens or connects, and runs the trade on the commands of standard input
// until it ends; the exit status of the program.
int RunSession(const tradejson::PeerCommandLine& args) {
  trade::SocketNetwork net;
  Printer printer;
  trade::SessionOptions options;
  options.role = args.host ? trade::Role::Host : trade::Role::Join;
  options.address = args.address;
  options.port = args.port;
  options.name = args.name;
  options.write = [](const std::string& id, const trade::BagSlots& bag) {
    Emit("\"event\":\"writing\"");
    const bool ok = WriteItemRows(id, bag);
    Emit(std::string("\"event\":\"written\",\"ok\":") + (ok ? "true" : "false"));
    return ok;
  };
  trade::Session session(net, printer, options);
  std::string error;
  if (!session.Open(plat::Tick(), &error)) {
    std::cerr << "trade_peer: " << error << "\n";
    return 1;
  }
  if (options.role == trade::Role::Host)
    Emit("\"event\":\"listening\",\"port\":" + std::to_string(net.ListeningPort()));

  tradejson::RunCommands(
      [&](std::int64_t now) { session.Poll(now); }, [&] { return printer.closed; },
      [&] { session.Close(plat::Tick()); },
      [&](const std::string& command, const std::string& arg) {
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
        } else if (command == "raw") {
          if (!session.SendRaw(arg)) {
            Emit("\"event\":\"refused\",\"what\":\"raw\",\"text\":" + Json(trade::kNotConnectedLine));
          }
        } else if (command == "close") {
          session.Close(plat::Tick());
        } else {
          std::cerr << "trade_peer: unknown command " << command << "\n";
        }
        // An action that changed nothing and showed nothing still says so.
        if (!done && printer.refusals == refusalsBefore)
          Emit("\"event\":\"refused\",\"what\":" + Json(command) + ",\"text\":\"\"");
      });
  const bool orderly = printer.closedText.empty() || printer.closedText == trade::kPeerLeftText;
  return orderly ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past the file size limit fails like any other, keeping the old save.
  plat::IgnoreFileSizeSignal();
  const auto args = tradejson::ParsePeerCommandLine(argc, argv, "trade_peer");
  if (!args) return 2;
  if (!trade::ValidPeerName(args->name) || plat::Trim(args->name) != args->name) {
    std::cerr << "trade_peer: a character name has 1 to 4 characters\n";
    return 1;
  }
  // Offers are checked against the item table of the game folder.
  const std::filesystem::path root = std::filesystem::u8path(args->folder);
  const std::filesystem::path items = plat::ResolvePathIn(root, "\\Date\\Mon\\74.dat");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(items, ec)) {
    std::cerr << "trade_peer: no item table in " << args->folder << "\n";
    return 1;
  }
  G.ItemDbPath = items;
  plat::SetProgramFolder(root);
  return RunSession(*args);
}
