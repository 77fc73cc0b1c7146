//! Runs every suite. With --report it also prints, after the runs, the
//! median time per call of each operation next to the matching peer figure
//! from the same run, and the success rates of both sides.
//!
//! Time per call: each benchmark iteration sweeps the whole target set, so
//! one repetition gives the mean CPU time per call over the set; the report
//! takes the median over the repetitions (--benchmark_repetitions).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/solver_suites.hpp"
#include "bench/suites.hpp"

namespace {

using kin::bench::benchName;
using kin::bench::EngineOp;
using kin::bench::Figures;
using kin::bench::PeerOp;
using kin::bench::SetKind;

//! The console output, plus every repetition's time per call. With
//! summaryOnly the console shows the aggregates (median, mean, ...) alone.
class Collector : public benchmark::ConsoleReporter {
public:
    explicit Collector(bool summaryOnly)
        : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular),
          summaryOnly_(summaryOnly) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& r : runs) {
            if (!summaryOnly_ || r.repetitions <= 1 || r.run_type == Run::RT_Aggregate) {
                shown.push_back(r);
            }
        }
        if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            // The batch rows run threads of their own: wall time there.
            const bool wall = r.run_name.str().rfind("solver_batch", 0) == 0;
            const double seconds = (wall ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime()) /
                                   benchmark::GetTimeUnitMultiplier(r.time_unit);
            const double poses = kin::bench::kSetSize * (wall ? kin::bench::kBatchRepeats : 1);
            samples_[r.run_name.str()].push_back(seconds * 1e9 / poses);
        }
    }

    //! Median nanoseconds per call, or a negative value when the benchmark did not run.
    double medianNs(const std::string& name) const {
        const auto it = samples_.find(name);
        if (it == samples_.end() || it->second.empty()) return -1.0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }

    //! Fastest repetition's nanoseconds per call, or a negative value.
    double bestNs(const std::string& name) const {
        const auto it = samples_.find(name);
        if (it == samples_.end() || it->second.empty()) return -1.0;
        return *std::min_element(it->second.begin(), it->second.end());
    }

    std::size_t repetitions(const std::string& name) const {
        const auto it = samples_.find(name);
        return it == samples_.end() ? 0 : it->second.size();
    }

private:
    bool summaryOnly_;
    std::map<std::string, std::vector<double>> samples_;
};

void printTime(double ns) {
    if (ns < 0.0) {
        std::printf("%12s", "-");
    } else {
        std::printf("%12.1f", ns);
    }
}

struct Pairing {
    EngineOp ours;
    const char* ourLabel;
    PeerOp peer;
    const char* peerLabel;
    const char* target;  //!< the ratio aimed at, or ""
};

void printTimes(const Collector& c) {
    const Pairing pairs[] = {
        {EngineOp::Fk, "FK", PeerOp::Fk, "KDL FK (recursive)", "<= 0.5"},
        {EngineOp::Cp, "CP from near seed", PeerOp::NrJlNear, "KDL NR_JL near seed", "<= 0.2"},
        {EngineOp::Cp, "CP from near seed", PeerOp::LmaNear, "KDL LMA near seed", ""},
        {EngineOp::Ptp, "PTP all solutions", PeerOp::LmaZero, "KDL LMA from zeros", "<= 0.5"},
        {EngineOp::Ptp, "PTP all solutions", PeerOp::NrJlZero, "KDL NR_JL from zeros", ""},
    };
    std::printf("\nMedian CPU time per call [ns], %zu repetitions; ratio = ours / peer, same run\n",
                c.repetitions(benchName(EngineOp::Fk, SetKind::Uniform)));
    std::printf("%-20s %-8s %12s   %-22s %12s %8s  %s\n", "operation", "set", "ours", "peer",
                "peer", "ratio", "aim");
    for (const SetKind set : kin::bench::kSets) {
        for (const Pairing& p : pairs) {
            const double ours = c.medianNs(benchName(p.ours, set));
            const double peer = kin::bench::peerAvailable() ? c.medianNs(benchName(p.peer, set)) : -1.0;
            std::printf("%-20s %-8s ", p.ourLabel, std::string(kin::bench::setName(set)).c_str());
            printTime(ours);
            std::printf("   %-22s ", kin::bench::peerAvailable() ? p.peerLabel : "(peer not built)");
            printTime(peer);
            if (ours >= 0.0 && peer > 0.0) {
                std::printf(" %8.3f  %s\n", ours / peer, p.target);
            } else {
                std::printf(" %8s  %s\n", "-", p.target);
            }
        }
        std::printf("%-20s %-8s ", "position only", std::string(kin::bench::setName(set)).c_str());
        printTime(c.medianNs(benchName(EngineOp::PositionOnly, set)));
        std::printf("\n");
    }
}

void printFigureRow(const char* label, SetKind set, const Figures& f, bool typed = true) {
    const double n = f.targets > 0 ? f.targets : 1;
    std::printf("%-26s %-8s %6d %9.1f%% %9.1f%% ", label,
                std::string(kin::bench::setName(set)).c_str(), f.targets, 100.0 * f.returned / n,
                100.0 * f.success / n);
    if (typed) {
        std::printf("%9.1f%%", 100.0 * f.typedBack / n);
    } else {
        std::printf("%10s", "-");
    }
    std::printf(" %9.2f %9.1f%%\n", f.solutions / n,
                f.solutions > 0 ? 100.0 * f.solutionsPassing / f.solutions : 0.0);
}

void printFigures() {
    std::printf("\nSuccess: pose error below %.0e in position and rotation (position only: "
                "position), measured by one forward kinematics for both sides.\n",
                kin::bench::kSuccessGap);
    std::printf("answered: the solver reported an answer (ours: a count above 0; peer: no error "
                "code).\ntyped back: the typed joint vector (modulo 2 pi, 1e-4 per joint) is "
                "among the answers.\nOur CP iteration stops once its own pose error (sum of "
                "absolute differences) is below 1e-5,\nso most of its answers lie between 1e-9 "
                "and 1e-5; the peer solvers were given a 1e-10 tolerance.\n");
    std::printf("%-26s %-8s %6s %10s %10s %10s %9s %10s\n", "solver", "set", "poses", "answered",
                "success", "typed back", "sol/pose", "sols pass");
    struct OurRow {
        EngineOp op;
        const char* label;
    };
    const OurRow ours[] = {{EngineOp::Ptp, "ours PTP from zeros"},
                           {EngineOp::Cp, "ours CP near seed"},
                           {EngineOp::PositionOnly, "ours position only"}};
    struct PeerRow {
        PeerOp op;
        const char* label;
    };
    const PeerRow peers[] = {{PeerOp::Fk, "KDL FK (agrees with ours)"},
                             {PeerOp::LmaNear, "KDL LMA near seed"},
                             {PeerOp::NrJlNear, "KDL NR_JL near seed"},
                             {PeerOp::LmaZero, "KDL LMA from zeros"},
                             {PeerOp::NrJlZero, "KDL NR_JL from zeros"}};
    for (const SetKind set : kin::bench::kSets) {
        for (const OurRow& r : ours) printFigureRow(r.label, set, kin::bench::engineFigures(r.op, set));
        if (!kin::bench::peerAvailable()) continue;
        for (const PeerRow& r : peers) {
            printFigureRow(r.label, set, kin::bench::peerFigures(r.op, set), r.op != PeerOp::Fk);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool report = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0) {
            report = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    kin::bench::registerEngineBenchmarks();
    kin::bench::registerPeerBenchmarks();
    kin::bench::registerSolverBenchmarks();
    kin::bench::registerSolverPeerBenchmarks();
    kin::bench::registerSolverReachBenchmarks();
    Collector collector(report);
    benchmark::RunSpecifiedBenchmarks(&collector);
    if (report) {
        printTimes(collector);
        printFigures();
        kin::bench::printSolverReport(
            [&collector](const std::string& name) { return collector.medianNs(name); },
            [&collector](const std::string& name) { return collector.bestNs(name); });
        kin::bench::printSolverReachReport(
            [&collector](const std::string& name) { return collector.medianNs(name); });
    }
    benchmark::Shutdown();
    return 0;
}
