// Socket helpers shared by the tests that talk over loopback.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/net.h"

namespace testsupport {

// Reads until `want` bytes are in `out` or the stream ended (SIZE_MAX: until the end);
// the last read's status. The guard only keeps a broken test from hanging.
inline plat::TcpStream::ReadStatus ReadUntil(plat::TcpStream& s, std::string& out, std::size_t want,
                                             int guard_ms = 15000) {
  const std::int64_t guard = plat::SteadyMs() + guard_ms;
  auto status = plat::TcpStream::ReadStatus::NoData;
  while (out.size() < want && plat::SteadyMs() < guard) {
    pollfd p{s.Fd(), POLLIN, 0};
    poll(&p, 1, 100);
    status = s.ReadAvailable(out);
    if (status == plat::TcpStream::ReadStatus::Closed) break;
  }
  return status;
}

// A loopback port that nobody listens on right now (0 when no listener could be made).
inline std::uint16_t FreePort() {
  plat::TcpListener probe;
  return probe.Listen("127.0.0.1", 0) == plat::TcpListener::Result::Ok ? probe.Port() : 0;
}

}  // namespace testsupport
