// The trade link's network over real TCP sockets.
#pragma once

#include <memory>
#include <string>

#include "platform/net.h"
#include "trade/link.h"

namespace trade {

class SocketStream : public Stream {
 public:
  explicit SocketStream(plat::TcpStream stream) : stream_(std::move(stream)) {}
  ~SocketStream() override;
  bool Write(std::string_view bytes) override;
  ReadResult Read(std::string& out) override;
  void Close() override;

 private:
  plat::TcpStream stream_;
};

class SocketNetwork : public Network {
 public:
  ListenResult Listen(const std::string& address, std::uint16_t port, std::string* error) override;
  std::unique_ptr<Stream> Accept() override;
  void StopListening() override { listener_.Close(); }
  void StartConnect(const std::string& address, std::uint16_t port, int timeoutMs) override;
  ConnectState PollConnect(std::unique_ptr<Stream>& out) override;
  void CancelConnect() override { connector_.Cancel(); }
  // The port listened on (the one the system chose for port 0).
  std::uint16_t ListeningPort() const { return listener_.Port(); }

 private:
  plat::TcpListener listener_;
  plat::TcpConnector connector_;
};

}  // namespace trade
