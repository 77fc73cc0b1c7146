//! Runs one operation over the first n targets of a set with callgrind's
//! instrumentation on only around the calls, for instruction counts that
//! do not depend on machine load (scripts/callgrind-counts).
//!
//!   armkin_probe fk|ptp|cp|position uniform|sin_q4 n
//!   armkin_probe solve|nearest|forward ARM n
//!
//! The second form runs the complete solver on the first n poses of a real
//! test arm's set (bench/solver_sets.hpp; ARM is its short name, e.g.
//! builtin or par_0.85m): every solution (solveAll), the nearest one from
//! the near seed (solveNearest), or the public Model::forward of the typed
//! vectors.
//!
//! "armkin_probe digest" instead prints one 64-bit hash of the bits of every
//! result (FK, PTP, CP, position only) over both whole sets, then over 20
//! random targets on each test arm of the sliding-joint cases: two builds
//! that print the same digest agree on every one of them to the last bit.
//! Three more lines give the part of the console program's arm alone, the
//! part of the sliding-joint arms alone, and a separate digest over 20
//! random targets on each arm with a real industrial geometry.
//!
//! "armkin_probe solver-digest" prints, per real test arm, one hash of the
//! bits of every complete-solver result on its poses: every solution with
//! default options, with limits, seed order and every copy, the nearest
//! solution from the near seed and the public forward kinematics. Speed
//! work on the solver compares these before and after; "solver-digest
//! dump" also prints every solution, for comparing to a tolerance.

#include <valgrind/callgrind.h>

#include <armkin/model.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench/bench_poses.hpp"
#include "bench/solver_sets.hpp"
#include "numeric/euler.hpp"
#include "fixtures/real_arms.hpp"
#include "fixtures/sliding_arms.hpp"

namespace {

//! FNV-1a over the bit patterns of doubles and counts.
struct Digest {
    std::uint64_t h = 0xcbf29ce484222325u;
    void add(std::uint64_t bits) {
        for (int i = 0; i < 8; ++i) {
            h ^= (bits >> (8 * i)) & 0xffu;
            h *= 0x100000001b3u;
        }
    }
    void add(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        add(bits);
    }
};

//! Every result for one target, the whole solution list included.
void addTarget(kin::Kinematics& e, const kin::bench::Target& t, Digest& d) {
    using namespace kin;
    Vec3 p;
    EulerZYZ E;
    e.analys(6, t.typed.data(), p, E);
    for (double v : {p.x, p.y, p.z, E.phi, E.theta, E.psi}) d.add(v);
    const Joints zeros{};
    const Joints* starts[3] = {&zeros, &t.nearSeed, &t.typed};
    const int modes[3] = {kModePtp, kModeCp, kModePositionOnly};
    for (int m = 0; m < 3; ++m) {
        SolutionList sols{};
        const int n = e.inverseKinematics(6, t.pos, t.axes, *starts[m], sols, modes[m]);
        d.add(static_cast<std::uint64_t>(n));
        for (const Joints& q : sols) {
            for (double v : q) d.add(v);
        }
    }
}

//! A random target on an arm set up in s, typed vector q.
kin::bench::Target randomTarget(kin::Kinematics& s, const kin::Joints& q) {
    using namespace kin;
    bench::Target t;
    t.typed = q;
    t.nearSeed = t.typed;
    for (double& v : t.nearSeed) v += bench::kNearOffset;
    EulerZYZ E;
    s.analys(6, t.typed.data(), t.pos, E);
    t.axes = eulerToAxes(E);
    return t;
}

int digest() {
    using namespace kin;
    using namespace kin::bench;
    Digest d, builtin, sliding, real;
    Kinematics e;
    setUpBuiltinArm(e);
    for (const SetKind set : kSets) {
        for (const Target& t : targets(set)) {
            addTarget(e, t, d);
            addTarget(e, t, builtin);
        }
    }
    std::mt19937_64 rng(77);
    for (const testing::SlidingArm& arm : testing::slidingArms()) {
        Kinematics s;
        testing::setUp(s, testing::describe(arm));
        for (int i = 0; i < 20; ++i) {
            const Target t = randomTarget(s, testing::randomJoints(arm, rng));
            addTarget(s, t, d);
            addTarget(s, t, sliding);
        }
    }
    std::mt19937_64 realRng(78);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    for (const testing::RealArm& arm : testing::realArms()) {
        Kinematics s;
        testing::setUp(s, arm.desc);
        for (int i = 0; i < 20; ++i) {
            Joints q;
            for (double& v : q) v = angle(realRng);
            addTarget(s, randomTarget(s, q), real);
        }
    }
    std::printf("%016llx\n", static_cast<unsigned long long>(d.h));
    std::printf("console arm   %016llx\n", static_cast<unsigned long long>(builtin.h));
    std::printf("sliding arms  %016llx\n", static_cast<unsigned long long>(sliding.h));
    std::printf("real arms     %016llx\n", static_cast<unsigned long long>(real.h));
    return 0;
}

//! With dump set, solverDigest also prints every result it hashes.
struct DumpTo {
    bool on = false;
};

void addResult(const kin::SolveResult& r, Digest& d, DumpTo dump = {}) {
    if (dump.on) {
        std::printf("R %d %d %d\n", r.count, r.branches, static_cast<int>(r.status));
        for (int i = 0; i < r.count; ++i) {
            const kin::Solution& s = r.solutions[i];
            std::printf("S %d %.17g %.17g %.17g %.17g %.17g %.17g %.3g %.3g\n", static_cast<int>(s.status),
                        s.joints[0], s.joints[1], s.joints[2], s.joints[3], s.joints[4], s.joints[5],
                        s.positionError, s.rotationError);
        }
    }
    d.add(static_cast<std::uint64_t>(r.count) << 32 | static_cast<std::uint64_t>(r.branches));
    d.add(static_cast<std::uint64_t>(r.status) << 8 | static_cast<std::uint64_t>(r.truncated));
    for (int i = 0; i < r.count; ++i) {
        const kin::Solution& s = r.solutions[i];
        for (double v : s.joints) d.add(v);
        d.add(s.positionError);
        d.add(s.rotationError);
        d.add(static_cast<std::uint64_t>(s.status));
    }
}

int solverDigest(DumpTo dump) {
    using namespace kin;
    using namespace kin::bench;
    for (const SolverArmSet& arm : solverArmSets()) {
        armkin::Model model;
        model.setUp(arm.description);
        Kinematics engine;
        testing::setUp(engine, arm.description);
        SolverModel sm;
        buildSolverModel(engine, sm);
        auto ws = std::make_unique<SolverWorkspace>();
        prepareWorkspace(sm, *ws);
        auto result = std::make_unique<SolveResult>();
        SolveOptions limited;
        for (int k = 0; k < 6; ++k) {
            limited.limits.lower[k] = -M_PI - 0.5 * k;
            limited.limits.upper[k] = 2.0 + 0.3 * k;
        }
        limited.order = SolutionOrder::SeedDistance;
        limited.copies = Copies::All;
        Digest d;
        for (std::size_t i = 0; i < arm.targets.size(); ++i) {
            solveAll(sm, *ws, arm.targets[i], SolveOptions{}, *result);
            addResult(*result, d, dump);
            limited.seed = arm.near[i];
            solveAll(sm, *ws, arm.targets[i], limited, *result);
            addResult(*result, d, dump);
            Solution s;
            const int found = solveNearest(sm, *ws, arm.targets[i], arm.near[i], SolveOptions{}, s);
            d.add(static_cast<std::uint64_t>(found));
            if (dump.on) {
                std::printf("R %d 1 0\nS %d %.17g %.17g %.17g %.17g %.17g %.17g %.3g %.3g\n", found,
                            static_cast<int>(s.status), s.joints[0], s.joints[1], s.joints[2], s.joints[3],
                            s.joints[4], s.joints[5], s.positionError, s.rotationError);
            }
            for (double v : s.joints) d.add(v);
            d.add(s.positionError);
            d.add(s.rotationError);
            d.add(static_cast<std::uint64_t>(s.status));
            armkin::Pose pose;
            model.forward(arm.typed[i], pose);
            d.add(pose.position.x);
            d.add(pose.position.y);
            d.add(pose.position.z);
            for (const auto& row : pose.rotation)
                for (double v : row) d.add(v);
        }
        std::printf("%-14s %016llx\n", arm.name.c_str(), static_cast<unsigned long long>(d.h));
    }
    return 0;
}

//! The complete solver on one real test arm: solve, nearest or forward.
int solverProbe(const char* op, const char* armName, int n) {
    using namespace kin;
    using namespace kin::bench;
    const SolverArmSet* arm = nullptr;
    for (const SolverArmSet& s : solverArmSets()) {
        if (s.name == armName) arm = &s;
    }
    if (arm == nullptr) {
        std::fprintf(stderr, "no arm named %s\n", armName);
        return 2;
    }
    if (n < 1 || n > static_cast<int>(arm->targets.size())) {
        std::fprintf(stderr, "n must lie in 1..%zu\n", arm->targets.size());
        return 2;
    }
    armkin::Model model;
    model.setUp(arm->description);
    Kinematics engine;
    testing::setUp(engine, arm->description);
    SolverModel sm;
    buildSolverModel(engine, sm);
    auto ws = std::make_unique<SolverWorkspace>();
    prepareWorkspace(sm, *ws);
    auto result = std::make_unique<SolveResult>();
    const SolveOptions o;
    Solution s;
    armkin::Pose pose;
    long solutions = 0;
    const bool solve = std::strcmp(op, "solve") == 0;
    const bool nearest = std::strcmp(op, "nearest") == 0;

    CALLGRIND_ZERO_STATS;
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (solve) {
            solutions += solveAll(sm, *ws, arm->targets[k], o, *result);
        } else if (nearest) {
            solutions += solveNearest(sm, *ws, arm->targets[k], arm->near[k], o, s);
        } else {
            model.forward(arm->typed[k], pose);
        }
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("%s %s %d calls, %ld solutions, last x %.17g\n", op, armName, n, solutions,
                pose.position.x + s.joints[0]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kin;
    using namespace kin::bench;
    if (argc == 2 && std::strcmp(argv[1], "digest") == 0) return digest();
    if (argc == 2 && std::strcmp(argv[1], "solver-digest") == 0) return solverDigest({});
    if (argc == 3 && std::strcmp(argv[1], "solver-digest") == 0 && std::strcmp(argv[2], "dump") == 0) {
        return solverDigest({true});
    }
    if (argc == 4 && (std::strcmp(argv[1], "solve") == 0 || std::strcmp(argv[1], "nearest") == 0 ||
                      std::strcmp(argv[1], "forward") == 0)) {
        return solverProbe(argv[1], argv[2], std::atoi(argv[3]));
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s fk|ptp|cp|position uniform|sin_q4 n\n"
                             "       %s solve|nearest|forward ARM n\n", argv[0], argv[0]);
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
    Kinematics e;
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
