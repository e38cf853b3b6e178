#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/text.h"

namespace plat {

namespace {

// A silent peer is noticed after about 10 + 3 * 3 seconds.
constexpr int kKeepIdleS = 10;
constexpr int kKeepIntervalS = 3;
constexpr int kKeepCount = 3;

std::string ErrnoText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

void SetInt(int fd, int level, int name, int value) { setsockopt(fd, level, name, &value, sizeof value); }

std::string AddressText(const sockaddr_in& a) {
  char buf[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
  return buf;
}

std::optional<sockaddr_in> SocketName(int fd, bool peer) {
  if (fd < 0) return std::nullopt;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len)
                : getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  if (rc != 0 || a.sin_family != AF_INET) return std::nullopt;
  return a;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::int64_t SteadyMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// ---------------------------------------------------------------------------------------
// TcpStream

TcpStream::TcpStream(int fd) : fd_(fd) {
  if (fd_ < 0) return;
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  fcntl(fd_, F_SETFD, FD_CLOEXEC);
  SetInt(fd_, IPPROTO_TCP, TCP_NODELAY, 1);
  SetInt(fd_, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetInt(fd_, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
  SetInt(fd_, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
  SetInt(fd_, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
}

TcpStream::TcpStream(TcpStream&& other) noexcept
    : fd_(other.fd_), broken_(other.broken_), peer_ended_(other.peer_ended_) {
  other.fd_ = -1;
}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) Reset();
    fd_ = other.fd_;
    broken_ = other.broken_;
    peer_ended_ = other.peer_ended_;
    other.fd_ = -1;
  }
  return *this;
}

TcpStream::~TcpStream() {
  if (fd_ >= 0) Reset();
}

bool TcpStream::SendAll(std::string_view bytes, int timeout_ms) {
  if (fd_ < 0 || broken_) return false;
  const std::int64_t deadline = SteadyMs() + timeout_ms;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const std::int64_t left = deadline - SteadyMs();
      if (left <= 0) break;
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(left));
      continue;
    }
    break;  // the peer is gone or the socket failed
  }
  if (sent < bytes.size()) {
    broken_ = true;  // a message cut in the middle cannot be continued
    return false;
  }
  return true;
}

TcpStream::ReadStatus TcpStream::ReadAvailable(std::string& out, std::size_t max_bytes) {
  if (fd_ < 0 || broken_ || peer_ended_) return ReadStatus::Closed;
  std::size_t got = 0;
  char buf[16384];
  while (got < max_bytes) {
    const std::size_t want = std::min(sizeof buf, max_bytes - got);
    ssize_t n = ::recv(fd_, buf, want, 0);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
      got += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n == 0) {
      peer_ended_ = true;
    } else {
      broken_ = true;  // reset or another failure
    }
    break;
  }
  if (got > 0) return ReadStatus::Data;
  return (broken_ || peer_ended_) ? ReadStatus::Closed : ReadStatus::NoData;
}

void TcpStream::Close(int drain_ms) {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  // Read and drop what is still under way, so that closing does not turn into a reset
  // that destroys our last bytes before the peer has read them.
  const std::int64_t deadline = SteadyMs() + drain_ms;
  char buf[16384];
  while (!peer_ended_ && !broken_) {
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    // A peer that keeps sending cannot hold the close past its time.
    if (n > 0 && SteadyMs() < deadline) continue;
    if (n > 0) break;
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) break;
    const std::int64_t left = deadline - SteadyMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
  }
  CloseFd(fd_);
}

void TcpStream::Reset() {
  if (fd_ < 0) return;
  linger l{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  CloseFd(fd_);
}

std::string TcpStream::LocalAddress() const {
  auto a = SocketName(fd_, false);
  return a ? AddressText(*a) : std::string();
}

std::string TcpStream::PeerAddress() const {
  auto a = SocketName(fd_, true);
  return a ? AddressText(*a) : std::string();
}

std::uint16_t TcpStream::LocalPort() const {
  auto a = SocketName(fd_, false);
  return a ? ntohs(a->sin_port) : 0;
}

// ---------------------------------------------------------------------------------------
// TcpListener

TcpListener::TcpListener(TcpListener&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

TcpListener& TcpListener::operator=(TcpListener&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

TcpListener::~TcpListener() { Close(); }

TcpListener::Result TcpListener::Listen(const std::string& address, std::uint16_t port, std::string* error) {
  Close();
  auto fail = [&](Result r, std::string text) {
    if (error) *error = std::move(text);
    CloseFd(fd_);
    return r;
  };
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  const std::string host = Trim(address);
  if (host.empty() || host == "0.0.0.0") {
    a.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1) {
    return fail(Result::Failed, "not an IPv4 address: " + host);
  }
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return fail(Result::Failed, ErrnoText("socket", errno));
  // SO_REUSEADDR lets a host listen again while an old connection lingers in TIME_WAIT;
  // without SO_REUSEPORT a second listener on the same port still fails.
  SetInt(fd_, SOL_SOCKET, SO_REUSEADDR, 1);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    const int err = errno;
    return fail(err == EADDRINUSE ? Result::InUse : Result::Failed, ErrnoText("bind", err));
  }
  if (::listen(fd_, 4) != 0) {
    const int err = errno;
    return fail(err == EADDRINUSE ? Result::InUse : Result::Failed, ErrnoText("listen", err));
  }
  return Result::Ok;
}

std::uint16_t TcpListener::Port() const {
  auto a = SocketName(fd_, false);
  return a ? ntohs(a->sin_port) : 0;
}

std::optional<TcpStream> TcpListener::AcceptOne() {
  if (fd_ < 0) return std::nullopt;
  while (true) {
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) return TcpStream(fd);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return std::nullopt;
  }
}

void TcpListener::Close() { CloseFd(fd_); }

// ---------------------------------------------------------------------------------------
// TcpConnector

// The result of a name look-up, shared with the worker thread. The connector may give
// up on it (a new Start, a timeout, its own end) while the thread is still inside
// getaddrinfo; the thread then finishes on its own and its result is dropped.
struct TcpConnector::Resolve {
  std::mutex mutex;
  bool done = false;
  bool ok = false;
  in_addr address{};
  std::string error;
};

TcpConnector::TcpConnector() = default;

TcpConnector::~TcpConnector() { Cancel(); }

void TcpConnector::Cancel() {
  CloseFd(fd_);
  resolve_.reset();
  state_ = State::Idle;
  error_.clear();
}

void TcpConnector::Start(const std::string& host, std::uint16_t port, int timeout_ms) {
  Cancel();
  port_ = port;
  deadline_ = SteadyMs() + timeout_ms;
  const std::string name = Trim(host);
  if (name.empty()) {
    state_ = State::Failed;
    error_ = "no address";
    return;
  }
  in_addr numeric{};
  if (inet_pton(AF_INET, name.c_str(), &numeric) == 1) {
    BeginConnect(numeric.s_addr);
    return;
  }
  auto job = std::make_shared<Resolve>();
  resolve_ = job;
  state_ = State::Resolving;
  try {
    std::thread([job, name] {
      addrinfo hints{};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_STREAM;
      addrinfo* list = nullptr;
      const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
      std::lock_guard<std::mutex> lock(job->mutex);
      if (rc == 0 && list) {
        job->ok = true;
        job->address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
      } else {
        job->error = "cannot resolve " + name + ": " + gai_strerror(rc);
      }
      if (list) freeaddrinfo(list);
      job->done = true;
    }).detach();
  } catch (const std::system_error& e) {
    resolve_.reset();
    state_ = State::Failed;
    error_ = std::string("cannot start the name look-up: ") + e.what();
  }
}

void TcpConnector::BeginConnect(std::uint32_t address) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port_);
  a.sin_addr.s_addr = address;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    Fail(ErrnoText("socket", errno));
    return;
  }
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    state_ = State::Connected;
  } else if (errno == EINPROGRESS || errno == EINTR) {
    state_ = State::Connecting;
  } else {
    Fail(ErrnoText("connect", errno));
  }
}

void TcpConnector::Fail(std::string text) {
  CloseFd(fd_);
  resolve_.reset();
  state_ = State::Failed;
  error_ = std::move(text);
}

TcpConnector::State TcpConnector::Poll() {
  if (state_ == State::Resolving) {
    bool done = false, ok = false;
    in_addr address{};
    std::string error;
    {
      std::lock_guard<std::mutex> lock(resolve_->mutex);
      done = resolve_->done;
      ok = resolve_->ok;
      address = resolve_->address;
      error = resolve_->error;
    }
    if (done) {
      resolve_.reset();
      if (ok) {
        BeginConnect(address.s_addr);
      } else {
        Fail(error);
      }
    } else if (SteadyMs() >= deadline_) {
      Fail("the name look-up timed out");
    }
  }
  if (state_ == State::Connecting) {
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 0) > 0) {
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
      if (err == 0) {
        state_ = State::Connected;
      } else {
        Fail(ErrnoText("connect", err));
      }
    } else if (SteadyMs() >= deadline_) {
      Fail("connect: timed out");
    }
  }
  return state_;
}

TcpStream TcpConnector::Take() {
  if (state_ != State::Connected) return TcpStream();
  TcpStream stream(fd_);
  fd_ = -1;
  state_ = State::Idle;
  error_.clear();
  return stream;
}

// ---------------------------------------------------------------------------------------

std::string LocalIpv4Address() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "127.0.0.1";
  std::string found;
  for (ifaddrs* i = list; i && found.empty(); i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
    found = AddressText(*reinterpret_cast<sockaddr_in*>(i->ifa_addr));
  }
  freeifaddrs(list);
  return found.empty() ? "127.0.0.1" : found;
}

}  // namespace plat
