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
#include <string>

#include "common/game_state.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "trade/link.h"
#include "trade_peer_session.h"
#include "trade_tool_io.h"

int main(int argc, char** argv) {
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
  return RunSessionPeer(*args);
}
