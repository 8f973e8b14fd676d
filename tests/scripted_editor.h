// A sync-tracker of the test's own on loopback: a real listening socket that a show connects
// to, and byte-exact reads and writes, each waiting with a deadline while the test's `pump`
// (the show's ticks) runs, so that a test never sleeps for a fixed time.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <functional>
#include <string>

class ScriptedEditor {
 public:
  using Pump = std::function<void()>;

  // Listens on 127.0.0.1 at `port` (0: any free port).
  explicit ScriptedEditor(uint16_t port = 0) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0) {
      close(listener_);
      listener_ = -1;
      return;
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~ScriptedEditor() {
    Hangup();
    if (listener_ >= 0) close(listener_);
  }
  ScriptedEditor(const ScriptedEditor&) = delete;
  ScriptedEditor& operator=(const ScriptedEditor&) = delete;

  bool Listening() const { return listener_ >= 0; }
  uint16_t Port() const { return port_; }
  bool Connected() const { return peer_ >= 0; }

  // Waits for the show to connect, pumping it.
  bool Accept(const Pump& pump, double seconds = 10) {
    return Until(pump, seconds, [this] {
      peer_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      return peer_ >= 0;
    });
  }
  // A connection that comes while one is open: true when one came.
  bool AnotherCame() {
    const int other = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (other < 0) return false;
    close(other);
    return true;
  }

  // Exactly `count` bytes from the show, pumping it; what came by the deadline otherwise.
  std::string Read(size_t count, const Pump& pump, double seconds = 10) {
    std::string got;
    Until(pump, seconds, [&] {
      char buffer[4096];
      const ssize_t n = recv(peer_, buffer, std::min(sizeof buffer, count - got.size()), 0);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
      return got.size() >= count;
    });
    return got;
  }
  // What the show sends until it has sent `tail` (the bytes before it are the show's rows, say).
  std::string ReadThrough(const std::string& tail, const Pump& pump, double seconds = 10) {
    std::string got;
    Until(pump, seconds, [&] {
      got += ReadWaiting();
      return got.size() >= tail.size() && got.compare(got.size() - tail.size(), tail.size(), tail) == 0;
    });
    return got;
  }
  // Whatever the show has sent so far.
  std::string ReadWaiting() {
    std::string got;
    char buffer[4096];
    ssize_t n;
    while ((n = recv(peer_, buffer, sizeof buffer, 0)) > 0) got.append(buffer, static_cast<size_t>(n));
    return got;
  }
  // Whether the show closed the connection by the deadline (all it sent before is read).
  bool SeesClose(const Pump& pump, double seconds = 10) {
    return Until(pump, seconds, [this] {
      char buffer[4096];
      const ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
      return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    });
  }

  bool Send(const std::string& bytes) {
    size_t sent = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sent < bytes.size() && std::chrono::steady_clock::now() < deadline) {
      const ssize_t n = send(peer_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n > 0) sent += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (n <= 0) {
        pollfd out{peer_, POLLOUT, 0};
        poll(&out, 1, 10);
      }
    }
    return sent == bytes.size();
  }

  // Bytes sent that the show's end has not acknowledged yet: at 0 they are all in its socket.
  int Unacknowledged() const {
    int waiting = 0;
    return ioctl(peer_, SIOCOUTQ, &waiting) == 0 ? waiting : -1;
  }

  // Ends the editor's side of the connection (a FIN, never a reset, whatever is left unread):
  // the show reads to the end and then sees it close.
  void Finish() { shutdown(peer_, SHUT_WR); }

  void Hangup() {
    if (peer_ >= 0) close(peer_);
    peer_ = -1;
  }

  // Pumps until `done` holds or the deadline passes; each round waits at most a millisecond for
  // the socket, so that the show's ticks go on.
  bool Until(const Pump& pump, double seconds, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (done()) return true;
      if (pump) pump();
      pollfd watched{peer_ >= 0 ? peer_ : listener_, POLLIN, 0};
      poll(&watched, 1, 1);
    }
    return done();
  }

 private:
  int listener_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

// The bytes of the protocol, written out: integers big-endian, a float as its bits.
inline std::string U32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
inline std::string F32(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return U32(bits);
}
inline std::string SetKey(uint32_t track, uint32_t row, float value, uint8_t interpolation) {
  return '\0' + U32(track) + U32(row) + F32(value) + static_cast<char>(interpolation);
}
inline std::string DeleteKey(uint32_t track, uint32_t row) { return '\x01' + U32(track) + U32(row); }
inline std::string GetTrack(const std::string& name) { return '\x02' + U32(static_cast<uint32_t>(name.size())) + name; }
inline std::string SetRow(uint32_t row) { return '\x03' + U32(row); }
inline std::string Pause(bool on) { return std::string("\x04") + (on ? '\x01' : '\x00'); }
inline const std::string kSaveTracks("\x05", 1);

