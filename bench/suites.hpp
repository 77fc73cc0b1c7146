#pragma once
//! The benchmark suites: this engine's four operations and, when the peer
//! library is present, its forward kinematics and two iterative solvers on
//! the same arm and the same targets.

#include <string>

#include "bench/bench_poses.hpp"

namespace kin::bench {

enum class EngineOp { Fk, Ptp, Cp, PositionOnly };
enum class PeerOp { Fk, LmaNear, NrJlNear, LmaZero, NrJlZero };

std::string benchName(EngineOp op, SetKind set);
std::string benchName(PeerOp op, SetKind set);

//! One benchmark iteration is a sweep over the whole set, so the time per
//! call is an unweighted mean over the set's targets.
void registerEngineBenchmarks();
Figures engineFigures(EngineOp op, SetKind set);

//! False when the bench was built without the peer library; the other two
//! calls then do nothing.
bool peerAvailable();
void registerPeerBenchmarks();
Figures peerFigures(PeerOp op, SetKind set);

}  // namespace kin::bench
