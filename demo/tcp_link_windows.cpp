// The Windows show plays on a clock that cannot seek, so it has no live editing and no editor
// to talk to: the link refuses, saying so.
#include "demo/tcp_link.h"

bool LookUpTcpAddress(const std::string&, uint16_t, TcpAddress&, std::string& error) {
  error = "a sync-tracker connection is not available on Windows";
  return false;
}

std::unique_ptr<TcpLink> TcpLink::Connect(const TcpAddress&, std::string& error) {
  error = "a sync-tracker connection is not available on Windows";
  return nullptr;
}

TcpLink::~TcpLink() = default;
TcpLink::State TcpLink::Poll(std::string&) { return State::kClosed; }
long TcpLink::Send(const char*, size_t, std::string&) { return -1; }
long TcpLink::Receive(uint8_t*, size_t, std::string&) { return -1; }

std::unique_ptr<TcpListener> TcpListener::Listen(const TcpAddress&, std::string& error) {
  error = "a sync-tracker connection is not available on Windows";
  return nullptr;
}

TcpListener::~TcpListener() = default;
std::unique_ptr<TcpLink> TcpListener::Accept(std::string& error) {
  error.clear();
  return nullptr;
}
