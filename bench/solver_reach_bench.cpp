//! The complete solver on poses it cannot reach, beside reachable poses of
//! the same arm: the built-in arm and the arms with real geometries. Poses
//! out of reach come far (1.05 to 2 times the chain's length from joint 0)
//! and near (inside that length: the ones the solver does not solve among
//! positions uniform in the ball).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "arm/builtin_arm.hpp"
#include "numeric/frame.hpp"
#include "bench/solver_suites.hpp"
#include "solver/chain.hpp"
#include "fixtures/real_arms.hpp"
#include "fixtures/solver_arms.hpp"
#include "fixtures/test_arms.hpp"

namespace kin::bench {

namespace {

struct ReachSet {
    std::string name;
    ArmDescription description;
    std::vector<Frame> reachable;    //!< poses of uniform joints in [-pi, pi]^6
    std::vector<Frame> far;          //!< the same orientations, 1.05 to 2 chain lengths from joint 0
    std::vector<Frame> near;         //!< unsolved poses within a chain length of joint 0
    std::vector<Frame> map;          //!< 41 x 41 slice y = 0, zero-joint orientation
};

struct Rig {
    Kinematics engine;
    SolverModel model;
    std::unique_ptr<SolverWorkspace> ws = std::make_unique<SolverWorkspace>();
    std::unique_ptr<SolveResult> result = std::make_unique<SolveResult>();
    explicit Rig(const ArmDescription& d) {
        testing::setUp(engine, d);
        buildSolverModel(engine, model);
        prepareWorkspace(model, *ws);
    }
    Frame target(const Joints& q) {
        Vec3 p;
        EulerZYZ e;
        engine.analys(6, q.data(), p, e);
        return {engine.fk.fkAxisX, engine.fk.fkAxisY, engine.fk.fkAxisZ, p};
    }
};

ReachSet makeSet(std::string name, const ArmDescription& d, unsigned seed) {
    ReachSet s{std::move(name), d, {}, {}, {}, {}};
    Rig rig(d);
    Vec3 o;
    const double reach = testing::chainLength(rig.model, o);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI), factor(1.05, 2.0), cube(-1.0, 1.0);
    std::normal_distribution<double> gauss;
    auto pose = [&] {
        Joints q;
        for (double& v : q) v = angle(rng);
        return rig.target(q);
    };
    const SolveOptions defaults;
    for (int i = 0; i < kSetSize; ++i) {
        const Frame t = pose();
        s.reachable.push_back(t);
        Frame u = t;
        const Vec3 d{gauss(rng), gauss(rng), gauss(rng)};
        const double k = factor(rng) * reach / std::hypot(d.x, d.y, d.z);
        u.O = {o.x + k * d.x, o.y + k * d.y, o.z + k * d.z};
        s.far.push_back(u);
    }
    while (static_cast<int>(s.near.size()) < kSetSize) {
        Frame t = pose();
        const Vec3 d{cube(rng), cube(rng), cube(rng)};
        if (dot3(d, d) > 1.0) continue;
        t.O = {o.x + reach * d.x, o.y + reach * d.y, o.z + reach * d.z};
        if (solveAll(rig.model, *rig.ws, t, defaults, *rig.result) == 0) s.near.push_back(t);
    }
    const Frame zero = rig.target(Joints{});
    for (int j = 0; j < 41; ++j) {
        for (int i = 0; i < 41; ++i) {
            Frame t = zero;
            t.O = {o.x - reach + reach * i / 20.0, o.y, o.z - reach + reach * j / 20.0};
            s.map.push_back(t);
        }
    }
    return s;
}

const std::vector<ReachSet>& reachSets() {
    static const std::vector<ReachSet> sets = [] {
        std::vector<ReachSet> out;
        out.push_back(makeSet("builtin", builtinArm(), 41001u));
        const char* names[] = {"real_sph_0.7m", "real_par_0.85m", "real_sph_1.5m"};
        const auto reals = testing::realArms();
        for (std::size_t i = 0; i < reals.size() && i < 3; ++i) {
            out.push_back(makeSet(names[i], reals[i].desc, 41002u + static_cast<unsigned>(i)));
        }
        return out;
    }();
    return sets;
}

enum class Poses { Reachable, Far, Near };

const std::vector<Frame>& posesOf(const ReachSet& s, Poses p) {
    return p == Poses::Reachable ? s.reachable : (p == Poses::Far ? s.far : s.near);
}

void sweep(benchmark::State& st, const ReachSet* set, Poses which) {
    Rig rig(set->description);
    const SolveOptions o;
    const std::vector<Frame>& poses = posesOf(*set, which);
    for (auto _ : st) {
        for (const Frame& t : poses) {
            int n = solveAll(rig.model, *rig.ws, t, o, *rig.result);
            benchmark::DoNotOptimize(n);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(poses.size()));
}

std::string reachBenchName(const ReachSet& s, Poses p) {
    const char* kind = p == Poses::Reachable ? "solver_all_reachable/"
                       : p == Poses::Far     ? "solver_all_unreachable_far/"
                                             : "solver_all_unreachable_near/";
    return kind + s.name;
}

}  // namespace

void registerSolverReachBenchmarks() {
    for (const ReachSet& s : reachSets()) {
        for (const Poses p : {Poses::Reachable, Poses::Far, Poses::Near}) {
            benchmark::RegisterBenchmark(reachBenchName(s, p).c_str(), sweep, &s, p);
        }
    }
}

void printSolverReachReport(const std::function<double(const std::string&)>& medianNs) {
    std::printf("\nComplete solver on poses out of reach, per arm [us per call]: far = 1.05 to 2 "
                "times the chain's length from joint 0,\nnear = unsolved poses within that length; "
                "ratio = the slower of the two / reachable.\nmap: one pass over a 41 x 41 slice "
                "through joint 0 at the zero-joint orientation [ms], with the poses solved.\n");
    std::printf("%-16s %10s %10s %10s %8s %10s %8s  %s\n", "arm", "reachable", "far", "near", "ratio",
                "map [ms]", "solved", "aim");
    for (const ReachSet& s : reachSets()) {
        const double in = medianNs(reachBenchName(s, Poses::Reachable));
        const double far = medianNs(reachBenchName(s, Poses::Far));
        const double near = medianNs(reachBenchName(s, Poses::Near));
        Rig rig(s.description);
        const SolveOptions o;
        int solved = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (const Frame& t : s.map) solved += solveAll(rig.model, *rig.ws, t, o, *rig.result) > 0;
        const auto t1 = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        std::printf("%-16s", s.name.c_str());
        if (in > 0.0 && far > 0.0 && near > 0.0) {
            std::printf(" %10.1f %10.1f %10.1f %8.2f", in / 1000.0, far / 1000.0, near / 1000.0,
                        std::max(far, near) / in);
        } else {
            std::printf(" %10s %10s %10s %8s", "-", "-", "-", "-");
        }
        std::printf(" %10.1f %8d  ratio <= 2\n", ms, solved);
    }
}

}  // namespace kin::bench
