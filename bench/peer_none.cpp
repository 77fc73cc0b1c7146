//! Stand-ins when the peer library is not installed.

#include "bench/suites.hpp"

namespace kin::bench {

std::string benchName(PeerOp, SetKind set) { return "peer/" + std::string(setName(set)); }
bool peerAvailable() { return false; }
void registerPeerBenchmarks() {}
Figures peerFigures(PeerOp, SetKind) { return {}; }

}  // namespace kin::bench
