//! This engine's forward kinematics, PTP (every solution, from all zeros),
//! CP (from the near seed) and position-only solves.

#include <benchmark/benchmark.h>

#include "bench/suites.hpp"

namespace kin::bench {

namespace {

constexpr Joints kZeros{};

void fkSweep(benchmark::State& st, SetKind set) {
    const std::vector<Target>& ts = targets(set);
    Kinematics e;
    setUpBuiltinArm(e);
    Vec3 p;
    EulerZYZ E;
    for (auto _ : st) {
        for (const Target& t : ts) {
            e.analys(6, t.typed.data(), p, E);
            benchmark::DoNotOptimize(p);
            benchmark::DoNotOptimize(E);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(ts.size()));
}

//! The joint vector each mode starts from.
const Joints& startOf(EngineOp op, const Target& t) {
    switch (op) {
        case EngineOp::Cp: return t.nearSeed;
        case EngineOp::PositionOnly: return t.typed;
        default: return kZeros;
    }
}

int modeOf(EngineOp op) {
    return op == EngineOp::Cp ? kModeCp : op == EngineOp::PositionOnly ? kModePositionOnly : kModePtp;
}

void solveSweep(benchmark::State& st, EngineOp op, SetKind set) {
    const std::vector<Target>& ts = targets(set);
    Kinematics e;
    setUpBuiltinArm(e);
    SolutionList sols{};
    const int mode = modeOf(op);
    for (auto _ : st) {
        for (const Target& t : ts) {
            int n = e.inverseKinematics(6, t.pos, t.axes, startOf(op, t), sols, mode);
            benchmark::DoNotOptimize(n);
            benchmark::DoNotOptimize(sols);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(ts.size()));
}

const char* opName(EngineOp op) {
    switch (op) {
        case EngineOp::Fk: return "FK";
        case EngineOp::Ptp: return "PTP_all_from_zeros";
        case EngineOp::Cp: return "CP_near";
        default: return "PositionOnly";
    }
}

}  // namespace

std::string benchName(EngineOp op, SetKind set) {
    return std::string(opName(op)) + "/" + std::string(setName(set));
}

void registerEngineBenchmarks() {
    for (const SetKind set : kSets) {
        benchmark::RegisterBenchmark(benchName(EngineOp::Fk, set).c_str(), fkSweep, set);
        for (const EngineOp op : {EngineOp::Ptp, EngineOp::Cp, EngineOp::PositionOnly}) {
            benchmark::RegisterBenchmark(benchName(op, set).c_str(), solveSweep, op, set);
        }
    }
}

Figures engineFigures(EngineOp op, SetKind set) {
    Figures f;
    if (op == EngineOp::Fk) return f;
    Kinematics e;
    Kinematics fk;
    setUpBuiltinArm(e);
    setUpBuiltinArm(fk);
    for (const Target& t : targets(set)) {
        SolutionList sols{};
        const int n = e.inverseKinematics(6, t.pos, t.axes, startOf(op, t), sols, modeOf(op));
        bool success = false;
        bool typed = false;
        for (int k = 0; k < n; ++k) {
            const bool ok = op == EngineOp::PositionOnly ? reachesPosition(fk, t, sols[k])
                                                         : reaches(fk, t, sols[k]);
            success = success || ok;
            f.solutionsPassing += ok;
            typed = typed || isTyped(t, sols[k]);
        }
        ++f.targets;
        f.returned += n > 0;
        f.solutions += n;
        f.success += success;
        f.typedBack += typed;
    }
    return f;
}

}  // namespace kin::bench
