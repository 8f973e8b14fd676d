#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "demo/tcp_link.h"

namespace {

// "host:port", a host with colons (IPv6) in brackets.
std::string HostAndPort(const std::string& host, const std::string& port) {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

// "127.0.0.1:40712" or "[::1]:40712".
std::string AddressText(const sockaddr_storage& address, socklen_t length) {
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                  NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return "?";
  }
  return HostAndPort(host, service);
}

// A stream socket that does not block and is not inherited, with the option `name` of `level`
// turned on; -1 with `error`.
int OpenSocket(int family, int level, int name, std::string& error) {
  const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("no socket: ") + std::strerror(errno);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, level, name, &on, sizeof on);
  return fd;
}

}  // namespace

bool LookUpTcpAddress(const std::string& host, uint16_t port, TcpAddress& address, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0 || found == nullptr) {
    error = "the host " + host + " cannot be found: " + gai_strerror(status);
    return false;
  }
  address.bytes.assign(reinterpret_cast<const char*>(found->ai_addr), found->ai_addrlen);
  address.family = found->ai_family;
  address.text = HostAndPort(host, service);
  freeaddrinfo(found);
  return true;
}

std::unique_ptr<TcpLink> TcpLink::Connect(const TcpAddress& address, std::string& error) {
  const int fd = OpenSocket(address.family, IPPROTO_TCP, TCP_NODELAY, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<TcpLink> link(new TcpLink(fd));
  const auto* to = reinterpret_cast<const sockaddr*>(address.bytes.data());
  if (connect(fd, to, static_cast<socklen_t>(address.bytes.size())) == 0) {
    link->open_ = true;
  } else if (errno != EINPROGRESS) {
    error = std::strerror(errno);
    return nullptr;
  }
  return link;
}

TcpLink::~TcpLink() { close(static_cast<int>(socket_)); }

TcpLink::State TcpLink::Poll(std::string& error) {
  if (open_) return State::kOpen;
  pollfd watched{static_cast<int>(socket_), POLLOUT, 0};
  if (poll(&watched, 1, 0) <= 0) return State::kConnecting;
  int failure = 0;
  socklen_t length = sizeof failure;
  if (getsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_ERROR, &failure, &length) != 0) failure = errno;
  if (failure != 0) {
    error = std::strerror(failure);
    return State::kClosed;
  }
  open_ = true;
  return State::kOpen;
}

long TcpLink::Send(const char* data, size_t size, std::string& error) {
  // A peer that has gone must not end the process with SIGPIPE.
  const ssize_t sent = send(static_cast<int>(socket_), data, size, MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  error = std::strerror(errno);
  return -1;
}

long TcpLink::Receive(uint8_t* data, size_t size, std::string& error) {
  const ssize_t got = recv(static_cast<int>(socket_), data, size, 0);
  if (got > 0) return static_cast<long>(got);
  if (got == 0) {
    error.clear();
    return -1;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  error = std::strerror(errno);
  return -1;
}

std::unique_ptr<TcpListener> TcpListener::Listen(const TcpAddress& address, std::string& error) {
  // SO_REUSEADDR: a tracker started again gets its port back while the last one's connections
  // linger.
  const int fd = OpenSocket(address.family, SOL_SOCKET, SO_REUSEADDR, error);
  if (fd < 0) return nullptr;
  const auto* at = reinterpret_cast<const sockaddr*>(address.bytes.data());
  if (bind(fd, at, static_cast<socklen_t>(address.bytes.size())) != 0 || listen(fd, 4) != 0) {
    error = "cannot listen on " + address.text + ": " + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  uint16_t port = 0;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
    if (bound.ss_family == AF_INET) port = ntohs(reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    if (bound.ss_family == AF_INET6) port = ntohs(reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port);
  }
  return std::unique_ptr<TcpListener>(new TcpListener(fd, port));
}

TcpListener::~TcpListener() { close(static_cast<int>(socket_)); }

std::unique_ptr<TcpLink> TcpListener::Accept(std::string& error) {
  error.clear();
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  const int fd = accept4(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    // A connection that went before it was taken is no fault of the listener's.
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) error = std::strerror(errno);
    return nullptr;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  std::unique_ptr<TcpLink> link(new TcpLink(fd));
  link->open_ = true;
  link->peer_ = AddressText(peer, length);
  return link;
}
