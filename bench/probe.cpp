//! Runs one operation over the first n targets of a set with callgrind's
//! instrumentation on only around the calls, for instruction counts that
//! do not depend on machine load (scripts/callgrind-counts).
//!
//!   armkin_probe fk|ptp|cp|position uniform|sin_q4 n

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_poses.hpp"

int main(int argc, char** argv) {
    using namespace kin;
    using namespace kin::bench;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s fk|ptp|cp|position uniform|sin_q4 n\n", argv[0]);
        return 2;
    }
    const char* op = argv[1];
    const SetKind set = std::strcmp(argv[2], "sin_q4") == 0 ? SetKind::WristAway : SetKind::Uniform;
    const std::vector<Target>& ts = targets(set);
    const int n = std::atoi(argv[3]);
    if (n < 1 || n > static_cast<int>(ts.size())) {
        std::fprintf(stderr, "n must lie in 1..%zu\n", ts.size());
        return 2;
    }
    Engine e;
    setUpBuiltinArm(e);
    SolutionList sols{};
    const Joints zeros{};
    Vec3 p;
    EulerZYZ E;
    long solutions = 0;

    CALLGRIND_ZERO_STATS;
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < n; ++i) {
        const Target& t = ts[static_cast<std::size_t>(i)];
        if (std::strcmp(op, "fk") == 0) {
            e.analys(6, t.typed.data(), p, E);
        } else if (std::strcmp(op, "ptp") == 0) {
            solutions += e.inverseKinematics(6, t.pos, t.axes, zeros, sols, kModePtp);
        } else if (std::strcmp(op, "cp") == 0) {
            solutions += e.inverseKinematics(6, t.pos, t.axes, t.nearSeed, sols, kModeCp);
        } else {
            solutions += e.inverseKinematics(6, t.pos, t.axes, t.typed, sols, kModePositionOnly);
        }
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("%s %s %d calls, %ld solutions, last position %.17g\n", op, argv[2], n, solutions, p.x);
    return 0;
}
