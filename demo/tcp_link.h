// A TCP connection that never makes its caller wait: connecting, sending and receiving each do
// what can be done at once and return. The live show talks to a sync-tracker through one, from
// its frame loop. Only the name lookup waits, and it is done once, before the frames start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Where to connect: a host's address, looked up.
struct TcpAddress {
  std::string text;             // "127.0.0.1:1338", as messages show it
  std::string bytes;            // the system's socket address
  int family = 0;
};

// Looks `host` up (a name or a numeric address) for `port`; false with `error`. This waits for
// the name service: call it before the show starts.
bool LookUpTcpAddress(const std::string& host, uint16_t port, TcpAddress& address, std::string& error);

class TcpLink {
 public:
  enum class State { kConnecting, kOpen, kClosed };

  // Starts connecting to `address` (TCP_NODELAY set: each message goes out at once); null with
  // `error` when no connection can even be started.
  static std::unique_ptr<TcpLink> Connect(const TcpAddress& address, std::string& error);
  ~TcpLink();
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  // Whether the connection is made yet; kClosed with `error` when it was refused.
  State Poll(std::string& error);

  // Sends what the system takes now of the bytes: how many it took (0 when it takes none just
  // now), or -1 with `error` when the connection is broken.
  long Send(const char* data, size_t size, std::string& error);

  // What has arrived, up to `size` bytes: how many (0 when nothing has), or -1 when the peer
  // has closed (`error` empty) or the connection broke (`error` says how).
  long Receive(uint8_t* data, size_t size, std::string& error);

  // The other end's address, "127.0.0.1:40712", of a connection a listener accepted (empty for
  // one this end connected: its address is the one given).
  const std::string& Peer() const { return peer_; }

 private:
  friend class TcpListener;
  explicit TcpLink(intptr_t socket) : socket_(socket) {}
  intptr_t socket_;
  bool open_ = false;
  std::string peer_;
};

// The listening end, for a sync-tracker that a show connects to: accepting never waits either.
class TcpListener {
 public:
  // Listens at `address` (SO_REUSEADDR, so that a tracker started again gets its port back at
  // once); null with `error`.
  static std::unique_ptr<TcpListener> Listen(const TcpAddress& address, std::string& error);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // A connection that waits, open, not blocking, with TCP_NODELAY; null when none waits (`error`
  // empty) or accepting failed (`error` says how).
  std::unique_ptr<TcpLink> Accept(std::string& error);

  // The port listened on: the system's choice when the address gave 0.
  uint16_t Port() const { return port_; }

 private:
  TcpListener(intptr_t socket, uint16_t port) : socket_(socket), port_(port) {}
  intptr_t socket_;
  uint16_t port_;
};
