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
//   close            end the trade in order (waiting for a pending commit) and exit
// The end of standard input counts as "close". Events on standard output, one JSON object
// a line: listening (port), connected (peer), chat (from, text), offer (side "own"/"peer",
// slot, item with the wire's field names or null), confirm (side, value), refused (what,
// text: the line shown, "" when nothing was shown), writing and written (ok) around each
// write of the save, committed (gave, got: item names), commit_failed (text), log (text:
// every line of the trade log), closed (text).
//
// Without a save of the character in the folder, the peer drives the link alone, for the
// link's own tests: the commands chat, raw TEXT (put TEXT on the wire as it is, no "*"
// added), wait and close, and the events listening, connected, chat, log, refused, offer,
// offer_invalid (side, slot, text), confirm, acked (message) and closed.
//
// Exit status: 0 after an orderly end (our close or the peer's farewell), 3 when the link
// was lost or never made, 1 on a set-up failure (its message on standard error), 2 on bad
// arguments.

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
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "trade/link.h"
#include "trade/socket_network.h"
#include "trade_peer_session.h"
#include "trade_tool_io.h"
#include "world/save_game.h"

namespace {

using tradejson::Emit;
using tradejson::ItemJson;
using tradejson::Json;

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

}  // namespace

int main(int argc, char** argv) {
  const auto args = tradejson::ParsePeerCommandLine(argc, argv, "trade_peer");
  if (!args) return 2;
  const std::string& name = args->name;
  const std::string& folder = args->folder;
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
  plat::SetProgramFolder(std::filesystem::u8path(folder));
  if (plat::FileExists(SaveFilePath(name))) {
    return RunSessionPeer(*args);
  }

  trade::SocketNetwork net;
  Printer printer;
  trade::LinkOptions options;
  options.role = args->host ? trade::Role::Host : trade::Role::Join;
  options.address = args->address;
  options.port = args->port;
  options.ownName = name;
  trade::Link link(net, printer, options);
  std::string error;
  if (!link.Start(plat::Tick(), &error)) {
    std::cerr << "trade_peer: " << error << "\n";
    return 1;
  }
  if (options.role == trade::Role::Host)
    Emit("\"event\":\"listening\",\"port\":" + std::to_string(net.ListeningPort()));

  tradejson::RunCommands(
      [&](std::int64_t now) { link.Poll(now); }, [&] { return printer.closed; },
      [&] { link.Close(plat::Tick()); },
      [&](const std::string& command, const std::string& arg) {
        if (command == "chat") {
          const trade::Link::SayResult r = link.Say(arg);
          if (!r.queued) Emit("\"event\":\"refused\",\"what\":\"chat\",\"text\":" + Json(r.line));
        } else if (command == "raw") {
          if (!link.SendRaw(arg))
            Emit("\"event\":\"refused\",\"what\":\"raw\",\"text\":" + Json(trade::kNotConnectedLine));
        } else if (command == "close") {
          link.Close(plat::Tick());
        } else {
          std::cerr << "trade_peer: unknown command " << command << "\n";
        }
      });
  const bool orderly = printer.closedText.empty() || printer.closedText == trade::kPeerLeftText;
  return orderly ? 0 : 3;
}
