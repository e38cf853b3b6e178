// The headless trade peer on a save: the game's trade session (bag, offers, confirms and
// the all-or-nothing commit) driven by commands on standard input (see trade_peer.cpp).
#include "trade_peer_session.h"

#include <iostream>
#include <string>

#include "common/game_state.h"
#include "platform/clock.h"
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

std::optional<int> Whole(const std::string& text) {
  const auto v = plat::StrictNumber(text, plat::NumberForm::Whole);
  if (!v || *v < -2147483648.0 || *v > 2147483647.0) return std::nullopt;
  return static_cast<int>(*v);
}

}  // namespace

int RunSessionPeer(const SessionPeerArgs& args) {
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
