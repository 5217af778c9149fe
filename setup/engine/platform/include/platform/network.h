#pragma once
// Sockets: the reachability probe of a TCP port.
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

struct ProbeResult {
  bool connected = false;
  ErrorCode error = err::kOk;  // the socket error when not connected
};

class Network {
 public:
  virtual ~Network() = default;

  // Starts the socket library, connects a non-blocking IPv4 TCP socket to
  // the dotted address (inet_addr rules) and port, waits at most timeoutMs
  // for the connection, and closes everything again.
  virtual ProbeResult ProbeTcp(const std::string& address, uint16_t port, uint32_t timeoutMs) = 0;
};

// What every network back end (the simulated and the real Windows) declares.
#define PLATFORM_NETWORK_OVERRIDES \
  ProbeResult ProbeTcp(const std::string& address, uint16_t port, uint32_t timeoutMs) override;

}  // namespace platform
