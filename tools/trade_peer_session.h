// The headless trade peer on a save (see trade_peer.cpp).
#pragma once

#include "trade_tool_io.h"

using SessionPeerArgs = tradejson::PeerCommandLine;

// Loads the character's save (from the program folder, which the caller set, as it set the
// item table), listens or connects, and runs the trade on the commands of
// standard input until it ends; the exit status of the program.
int RunSessionPeer(const SessionPeerArgs& args);
