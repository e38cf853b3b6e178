#include "trade/socket_network.h"

namespace trade {

namespace {
// How long one write may wait for room, and how long a close drains what still arrives.
constexpr int kWriteTimeoutMs = 2000;
constexpr int kDrainMs = 300;
// At most this much is taken in one read.
constexpr std::size_t kReadBytes = 64 * 1024;
}  // namespace

SocketStream::~SocketStream() {
  if (stream_.IsOpen()) stream_.Close(0);
}

bool SocketStream::Write(std::string_view bytes) { return stream_.SendAll(bytes, kWriteTimeoutMs); }

Stream::ReadResult SocketStream::Read(std::string& out) {
  switch (stream_.ReadAvailable(out, kReadBytes)) {
    case plat::TcpStream::ReadStatus::Data:
      return ReadResult::Data;
    case plat::TcpStream::ReadStatus::NoData:
      return ReadResult::NoData;
    case plat::TcpStream::ReadStatus::Closed:
      break;
  }
  return ReadResult::Closed;
}

void SocketStream::Close() { stream_.Close(kDrainMs); }

Network::ListenResult SocketNetwork::Listen(const std::string& address, std::uint16_t port,
                                            std::string* error) {
  switch (listener_.Listen(address, port, error)) {
    case plat::TcpListener::Result::Ok:
      return ListenResult::Ok;
    case plat::TcpListener::Result::InUse:
      return ListenResult::InUse;
    case plat::TcpListener::Result::Failed:
      break;
  }
  return ListenResult::Failed;
}

std::unique_ptr<Stream> SocketNetwork::Accept() {
  std::optional<plat::TcpStream> s = listener_.AcceptOne();
  if (!s) return nullptr;
  return std::make_unique<SocketStream>(std::move(*s));
}

void SocketNetwork::StartConnect(const std::string& address, std::uint16_t port, int timeoutMs) {
  connector_.Start(address, port, timeoutMs);
}

Network::ConnectState SocketNetwork::PollConnect(std::unique_ptr<Stream>& out) {
  switch (connector_.Poll()) {
    case plat::TcpConnector::State::Connected:
      out = std::make_unique<SocketStream>(connector_.Take());
      return ConnectState::Connected;
    case plat::TcpConnector::State::Failed:
      return ConnectState::Failed;
    default:
      break;
  }
  return ConnectState::Pending;
}

}  // namespace trade
