// TCP over IPv4 for the trade link: a listener that takes one connection, a connector
// that makes one non-blocking attempt at a time with its own deadline, and a connected
// stream. Nothing here ever blocks the caller for long, nothing raises SIGPIPE, and every
// call is made from the thread that polls (the window's event pump).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

// A connected TCP stream (TCP_NODELAY and keepalive on, non-blocking). Move-only; the
// destructor closes abortively only if Close was never called.
class TcpStream {
 public:
  TcpStream() = default;
  explicit TcpStream(int fd);  // takes a connected socket
  TcpStream(TcpStream&& other) noexcept;
  TcpStream& operator=(TcpStream&& other) noexcept;
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;
  ~TcpStream();

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // Writes every byte, continuing after partial writes and waiting for room for at most
  // timeout_ms in all (MSG_NOSIGNAL). False when the peer is gone, on any error or when
  // the time ran out; the stream then counts as broken (Broken() is true).
  bool SendAll(std::string_view bytes, int timeout_ms = 2000);

  enum class ReadStatus { Data, NoData, Closed };
  // Appends what is waiting (at most max_bytes) to out without blocking. Closed when the
  // peer ended the stream or reset it (or the stream is broken); data read before the end
  // in the same call is still appended and reported as Data, the next call says Closed.
  ReadStatus ReadAvailable(std::string& out, std::size_t max_bytes = 65536);

  // Orderly close: shutdown(SHUT_WR), read and drop what still arrives for up to
  // drain_ms (or until the peer's end of stream), then close. Closing with unread input
  // would send a reset that can destroy our last message.
  void Close(int drain_ms = 300);
  // Abortive close: the peer sees a reset (SO_LINGER 0). For tests and tools.
  void Reset();

  bool Broken() const { return broken_; }
  std::string LocalAddress() const;  // "a.b.c.d", "" when not open
  std::string PeerAddress() const;
  std::uint16_t LocalPort() const;

 private:
  int fd_ = -1;
  bool broken_ = false;
  bool peer_ended_ = false;
};

// Listens on one IPv4 address and port (SO_REUSEADDR, never SO_REUSEPORT, so a second
// listener on the same port fails), non-blocking.
class TcpListener {
 public:
  TcpListener() = default;
  TcpListener(TcpListener&& other) noexcept;
  TcpListener& operator=(TcpListener&& other) noexcept;
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;
  ~TcpListener();

  enum class Result { Ok, InUse, Failed };
  // address "" or "0.0.0.0": every IPv4 interface; port 0 takes a free port (see Port()).
  // The error text says what failed.
  Result Listen(const std::string& address, std::uint16_t port, std::string* error = nullptr);
  bool IsListening() const { return fd_ >= 0; }
  std::uint16_t Port() const;
  // A waiting connection, or nothing; never blocks.
  std::optional<TcpStream> AcceptOne();
  void Close();

 private:
  int fd_ = -1;
};

// One connection attempt at a time: Start begins it (a host name is resolved on a worker
// thread, a numeric address is used as it is), Poll advances it without blocking. An
// attempt that has not connected within its timeout fails.
class TcpConnector {
 public:
  TcpConnector();
  ~TcpConnector();
  TcpConnector(const TcpConnector&) = delete;
  TcpConnector& operator=(const TcpConnector&) = delete;

  enum class State { Idle, Resolving, Connecting, Connected, Failed };
  // Ends any attempt under way, then starts a new one. host is trimmed of blanks.
  void Start(const std::string& host, std::uint16_t port, int timeout_ms);
  State Poll();
  State CurrentState() const { return state_; }
  std::string Error() const { return error_; }
  // The connected stream, once Poll said Connected (the connector is Idle afterwards).
  TcpStream Take();
  void Cancel();

 private:
  struct Resolve;
  void BeginConnect(std::uint32_t address);  // network byte order
  void Fail(std::string text);

  State state_ = State::Idle;
  std::string error_;
  int fd_ = -1;
  std::int64_t deadline_ = 0;  // steady milliseconds
  std::uint16_t port_ = 0;
  std::shared_ptr<Resolve> resolve_;
};

// The computer's own IPv4 address as the set-up shows it: the first non-loopback address
// of an interface that is up, else "127.0.0.1".
std::string LocalIpv4Address();

// Steady milliseconds (never jumps with the wall clock); the link's timers use the game's
// replaceable clock, this is for the socket layer's own deadlines.
std::int64_t SteadyMs();

}  // namespace plat
