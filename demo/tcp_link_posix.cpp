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
  address.text = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + service;
  freeaddrinfo(found);
  return true;
}

std::unique_ptr<TcpLink> TcpLink::Connect(const TcpAddress& address, std::string& error) {
  const int fd = socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("no socket: ") + std::strerror(errno);
    return nullptr;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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
