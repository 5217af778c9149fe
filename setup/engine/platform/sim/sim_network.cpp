#include "sim_platform.h"

namespace platform::sim {

// A refusal is seen at once; a silent peer lets the whole wait pass.
ProbeResult SimNetwork::ProbeTcp(const std::string& address, uint16_t port, uint32_t timeoutMs) {
  if (auto injected = core_.calls.Enter(Op::kProbeTcp)) return {false, *injected};
  auto it = peers_.find({address, port});
  const Peer peer = it == peers_.end() ? Peer::kSilent : it->second;
  switch (peer) {
    case Peer::kAccepts: return {true, err::kOk};
    case Peer::kRefuses: return {false, err::kWsaConnectionRefused};
    case Peer::kSilent: break;
  }
  core_.clock.Advance(timeoutMs);
  return {false, err::kWsaTimedOut};
}

// How the host at this address and port answers.
void SimNetwork::SetPeer(const std::string& address, uint16_t port, Peer peer) {
  peers_[{address, port}] = peer;
}

}  // namespace platform::sim
