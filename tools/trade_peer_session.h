// The headless trade peer on a save (see trade_peer.cpp).
#pragma once

#include <cstdint>
#include <string>

struct SessionPeerArgs {
  bool host = true;
  std::string address;
  std::uint16_t port = 0;
  std::string folder;  // the game folder
  std::string name;    // the character whose save "Save/<name>.kzs" is traded from
};

// Loads the character's save, listens or connects, and runs the trade on the commands of
// standard input until it ends; the exit status of the program.
int RunSessionPeer(const SessionPeerArgs& args);
