//! The complete solver: every solution from nothing, the nearest solution
//! from the near seed, and batches on one and two threads: a pool kept for
//! the run, and the one-call solveBatch that starts its threads each time.

#include <benchmark/benchmark.h>

#include <armkin/model.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench/solver_suites.hpp"
#include "solver/batch_pool.hpp"
#include "solver/chain.hpp"
#include "fixtures/solver_arms.hpp"

namespace kin::bench {

namespace {

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
};

void allSweep(benchmark::State& st, const SolverArmSet* arm) {
    Rig rig(arm->description);
    const SolveOptions o;
    for (auto _ : st) {
        for (const Frame& t : arm->targets) {
            int n = solveAll(rig.model, *rig.ws, t, o, *rig.result);
            benchmark::DoNotOptimize(n);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(arm->targets.size()));
}

void nearestSweep(benchmark::State& st, const SolverArmSet* arm) {
    Rig rig(arm->description);
    const SolveOptions o;
    Solution s;
    for (auto _ : st) {
        for (std::size_t i = 0; i < arm->targets.size(); ++i) {
            int n = solveNearest(rig.model, *rig.ws, arm->targets[i], arm->near[i], o, s);
            benchmark::DoNotOptimize(n);
            benchmark::DoNotOptimize(s);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(arm->targets.size()));
}

void forwardSweep(benchmark::State& st, const SolverArmSet* arm) {
    armkin::Model model;
    model.setUp(arm->description);
    armkin::Pose pose;
    for (auto _ : st) {
        for (const Joints& q : arm->typed) {
            armkin::Status r = model.forward(q, pose);
            benchmark::DoNotOptimize(r);
            benchmark::DoNotOptimize(pose);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(arm->typed.size()));
}

//! Batch after batch of the set, four times over per call, on a pool of
//! `threads` kept for the run, or (pooled false) on solveBatch's own.
void batchSweep(benchmark::State& st, const SolverArmSet* arm, int threads, bool pooled) {
    Rig rig(arm->description);
    const SolveOptions o;
    std::vector<Frame> targets;
    for (int r = 0; r < kBatchRepeats; ++r) {
        targets.insert(targets.end(), arm->targets.begin(), arm->targets.end());
    }
    std::vector<SolveResult> out(targets.size());
    BatchPool pool(pooled ? threads : 1);
    for (auto _ : st) {
        int n = pooled ? pool.solve(rig.model, targets, o, out) : solveBatch(rig.model, targets, o, out, threads);
        benchmark::DoNotOptimize(n);
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(targets.size()));
}

const char* opName(SolverOp op) {
    switch (op) {
        case SolverOp::All: return "solver_all";
        case SolverOp::Nearest: return "solver_nearest_near";
        case SolverOp::Forward: return "solver_forward";
        case SolverOp::Batch1: return "solver_batch_1thread";
        case SolverOp::Batch2: return "solver_batch_2threads";
        default: return "solver_batch_once_2threads";
    }
}

//! Accuracy and a per-pose median time, gathered outside the timed loops.
struct OwnFigures {
    double typedBack = 0.0;
    double solutionsPerPose = 0.0;
    double maxPosition = 0.0;
    double maxRotation = 0.0;
    int duplicates = 0;
    double exactShare = 0.0, singularShare = 0.0;
    double medianAllNs = 0.0;
    double nearestTyped = 0.0;
};

OwnFigures ownFigures(const SolverArmSet& arm) {
    Rig rig(arm.description);
    const SolveOptions o;
    OwnFigures f;
    long sols = 0, exact = 0, singular = 0;
    int typed = 0, nearTyped = 0;
    std::vector<double> ns;
    for (std::size_t i = 0; i < arm.targets.size(); ++i) {
        double best = 1e30;
        for (int rep = 0; rep < 5; ++rep) {
            const auto t0 = std::chrono::steady_clock::now();
            solveAll(rig.model, *rig.ws, arm.targets[i], o, *rig.result);
            const auto t1 = std::chrono::steady_clock::now();
            best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
        ns.push_back(best);
        const SolveResult& r = *rig.result;
        sols += r.count;
        typed += testing::contains(rig.model.model, r, arm.typed[i], 1e-6);
        for (int k = 0; k < r.count; ++k) {
            const Solution& s = r.solutions[k];
            f.maxPosition = std::max(f.maxPosition, s.positionError);
            f.maxRotation = std::max(f.maxRotation, s.rotationError);
            exact += s.status == SolutionStatus::Exact;
            singular += s.status == SolutionStatus::Singular;
            for (int j = 0; j < k; ++j) {
                f.duplicates += testing::jointsGap(rig.model.model, s.joints, r.solutions[j].joints) < 1e-6;
            }
        }
        Solution s;
        if (solveNearest(rig.model, *rig.ws, arm.targets[i], arm.near[i], o, s) == 1) {
            nearTyped += testing::jointsGap(rig.model.model, s.joints, arm.typed[i]) < 1e-6;
        }
    }
    const double n = static_cast<double>(arm.targets.size());
    f.typedBack = typed / n;
    f.nearestTyped = nearTyped / n;
    f.solutionsPerPose = sols / n;
    f.exactShare = sols > 0 ? static_cast<double>(exact) / sols : 0.0;
    f.singularShare = sols > 0 ? static_cast<double>(singular) / sols : 0.0;
    std::sort(ns.begin(), ns.end());
    f.medianAllNs = ns[ns.size() / 2];
    return f;
}

void printRatio(double ours, double peer, const char* aim) {
    if (ours >= 0.0) std::printf(" %10.3f", ours / 1000.0); else std::printf(" %10s", "-");
    if (peer > 0.0) std::printf(" %10.3f", peer / 1000.0); else std::printf(" %10s", "-");
    if (ours >= 0.0 && peer > 0.0) std::printf(" %8.3f", ours / peer); else std::printf(" %8s", "-");
    std::printf("  %s\n", aim);
}

}  // namespace

std::string solverBenchName(SolverOp op, const SolverArmSet& arm) {
    return std::string(opName(op)) + "/" + arm.name;
}

void registerSolverBenchmarks() {
    for (const SolverArmSet& arm : solverArmSets()) {
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::All, arm).c_str(), allSweep, &arm);
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::Nearest, arm).c_str(), nearestSweep, &arm);
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::Forward, arm).c_str(), forwardSweep, &arm);
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::Batch1, arm).c_str(), batchSweep, &arm, 1, true);
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::Batch2, arm).c_str(), batchSweep, &arm, 2, true);
        benchmark::RegisterBenchmark(solverBenchName(SolverOp::BatchOnce2, arm).c_str(), batchSweep, &arm, 2,
                                     false);
    }
}

void printSolverReport(const std::function<double(const std::string&)>& medianNs,
                       const std::function<double(const std::string&)>& bestNs) {
    std::printf("\nComplete solver, per arm: median time per call [us] over the repetitions "
                "(each the mean over %d poses); ratio = ours / peer, same run.\n"
                "Batch rows: wall time per pose, %d poses per call, on a pool kept for the run or on solveBatch's\n"
                "threads started for the call; ratio = 1 thread (pool) / 2 threads (throughput gain),\n"
                "best = the same for the fastest repetition of each.\n",
                kSetSize, kSetSize * kBatchRepeats);
    std::printf("%-10s %-34s %10s %10s %8s  %s\n", "arm", "operation", "ours", "peer", "ratio", "aim");
    for (const SolverArmSet& arm : solverArmSets()) {
        const bool spherical = arm.name.rfind("sph", 0) == 0 || arm.name == "builtin";
        const double peerFk = medianNs(solverPeerBenchName(SolverPeerOp::Fk, arm));
        const double nearest = medianNs(solverBenchName(SolverOp::Nearest, arm));
        const double all = medianNs(solverBenchName(SolverOp::All, arm));
        std::printf("%-10s %-34s", arm.name.c_str(), "all solutions vs KDL FK");
        printRatio(all, peerFk, spherical ? "<= 2.0" : "<= 2.5");
        std::printf("%-10s %-34s", arm.name.c_str(), "nearest (seed 0.05) vs KDL FK");
        printRatio(nearest, peerFk, "<= 1.5");
        std::printf("%-10s %-34s", arm.name.c_str(), "forward kinematics vs KDL FK");
        printRatio(medianNs(solverBenchName(SolverOp::Forward, arm)), peerFk, "<= 0.25");
        const double b1 = medianNs(solverBenchName(SolverOp::Batch1, arm));
        const auto gain = [&](SolverOp two, const char* aim) {
            const double t2 = medianNs(solverBenchName(two, arm));
            const double best1 = bestNs(solverBenchName(SolverOp::Batch1, arm));
            const double best2 = bestNs(solverBenchName(two, arm));
            if (b1 > 0.0 && t2 > 0.0) {
                std::printf(" %10.3f %10.3f %8.2f  %s (best %.2f)\n", t2 / 1000.0, b1 / 1000.0, b1 / t2, aim,
                            best1 / best2);
            } else {
                std::printf(" %10s %10s %8s  %s\n", "-", "-", "-", aim);
            }
        };
        std::printf("%-10s %-34s", arm.name.c_str(), "batch: 2 threads vs 1 (pool)");
        gain(SolverOp::Batch2, ">= 1.9 (gain)");
        std::printf("%-10s %-34s", arm.name.c_str(), "batch: 2 threads vs 1 (one call)");
        gain(SolverOp::BatchOnce2, "");
        std::printf("%-10s %-34s", arm.name.c_str(), "all solutions vs KDL LMA from zeros");
        printRatio(all, medianNs(solverPeerBenchName(SolverPeerOp::LmaZero, arm)), "");
        std::printf("%-10s %-34s", arm.name.c_str(), "nearest (seed 0.05) vs KDL NR_JL");
        printRatio(nearest, medianNs(solverPeerBenchName(SolverPeerOp::NrJlNear, arm)), "");
    }
    std::printf("\nComplete solver, per arm: typed back = the typed vector (1e-6) among the solutions; "
                "median = per-pose median of solveAll (best of 5), us.\n");
    std::printf("%-10s %8s %8s %9s %9s %5s %7s %7s %8s %8s %9s %9s %6s\n", "arm", "typed", "nearest",
                "sol/pose", "max pos", "dups", "exact", "sing.", "median", "peer FK", "LMA zero", "NRJL near",
                "");
    for (const SolverArmSet& arm : solverArmSets()) {
        const OwnFigures f = ownFigures(arm);
        const SolverPeerFigures lma = solverPeerFigures(SolverPeerOp::LmaZero, arm);
        const SolverPeerFigures nr = solverPeerFigures(SolverPeerOp::NrJlNear, arm);
        std::printf("%-10s %7.2f%% %7.2f%% %9.2f %9.1e %5d %6.1f%% %6.1f%% %8.2f %8s %8.1f%% %8.1f%%\n",
                    arm.name.c_str(), 100.0 * f.typedBack, 100.0 * f.nearestTyped, f.solutionsPerPose,
                    std::max(f.maxPosition, f.maxRotation), f.duplicates, 100.0 * f.exactShare,
                    100.0 * f.singularShare, f.medianAllNs / 1000.0, lma.fkAgrees ? "agrees" : "-",
                    100.0 * lma.success, 100.0 * nr.success);
    }
    for (const SolverArmSet& arm : solverArmSets()) std::printf("  %-10s %s\n", arm.name.c_str(), arm.title.c_str());
}

}  // namespace kin::bench
