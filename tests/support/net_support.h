// Socket helpers shared by the tests that talk over loopback.
#pragma once

#include <poll.h>

#include <cstddef>
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

}  // namespace testsupport
