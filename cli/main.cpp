//! armkin: forward and inverse kinematics of an arm file, for scripts.
//!
//!   armkin check FILE
//!   armkin fk --arm FILE [--format text|csv|json]
//!   armkin ik --arm FILE [--mode all|nearest|position] [--copies nearest|all]
//!             [--seed q0,...,q5] [--orthonormalize] [--format text|csv|json]
//!   armkin reach STUDY --out DIR [--threads N] [--chunk N] [--scheduler ADDRESS]
//!
//! fk and ik read one record per line from standard input and write one
//! line per result to standard output (see cli/options.cpp for the usage
//! text). A refused line gets a message on standard error naming the line
//! and the exit status 1. Bad options or files: a one-line message on
//! standard error, nothing on standard output, status 2.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

#include "cli/arm_report.hpp"
#include "cli/line_input.hpp"
#include "cli/options.hpp"
#include "cli/output.hpp"
#include "cli/progress.hpp"
#include "cli/reach.hpp"

namespace armkin::cli {

namespace {

constexpr int kRefusedLines = 1;
constexpr int kUsageError = 2;

//! The arm named by --arm: "builtin" (the console's arm, no joint limits)
//! or an arm file.
LoadResult loadNamed(const Options& o) {
    if (o.arm == "builtin") {
        LoadResult r;
        r.arm.description = builtinArm();
        r.arm.name = "builtin";
        for (int k = 0; k < 6; ++k) {
            r.arm.jointNames[k] = "joint" + std::to_string(k);
            r.arm.limits[k] = {-HUGE_VAL, HUGE_VAL};
        }
        return r;
    }
#if ARMKIN_HAVE_IO
    return loadArm(o.arm, {o.base, o.tip});
#else
    LoadResult r;
    r.status = Status::FileError;
    r.error.file = o.arm;
    r.error.reason = "this build reads no arm files; use --arm builtin";
    return r;
#endif
}

long long sizeOfStandardInput() {
    struct stat st {};
    if (fstat(0, &st) == 0 && S_ISREG(st.st_mode)) return static_cast<long long>(st.st_size);
    return 0;
}

int check(const LoadedArm& arm, const std::string& file) {
    Engine engine;
    if (const SetupResult r = engine.setUp(arm.description); !r) {
        std::fprintf(stderr, "armkin: %s: %s\n", file.c_str(), describe(r).c_str());
        return kUsageError;
    }
    const ArmReport r = reportArm(arm, engine);
    std::printf("file    %s\n", file.c_str());
    if (!arm.name.empty()) std::printf("name    %s\n", arm.name.c_str());
    std::printf("joints  %s (joints 0 to 2: %.3s)\n", r.letters.c_str(), r.letters.c_str());
    if (r.wristMeets) {
        std::printf("wrist   the axes of joints 3 to 5 meet at (%.6g, %.6g, %.6g); tool %.6g from it\n",
                    r.wristCentre.x, r.wristCentre.y, r.wristCentre.z, r.toolFromWrist);
    } else {
        std::printf("wrist   the axes of joints 3 to 5 do not meet in a point\n");
    }
    const char* method = r.method == SolverMethod::SphericalWrist ? "closed form, spherical wrist"
                         : r.method == SolverMethod::ParallelAxes
                             ? "closed form, three parallel axes"
                         : r.method == SolverMethod::SlidingArm
                             ? "closed form, three slides and a wrist"
                         : r.method == SolverMethod::Elimination
                             ? "elimination, every branch (no closed form)"
                             : "numeric starts, polished";
    std::printf("solver  %s\n", method);
    for (int k = 0; k < 6; ++k) {
        const JointRange& l = arm.limits[k];
        std::printf("joint %d %-12s %s  ", k, arm.jointNames[k].c_str(),
                    arm.description.JTYPE[k] == 'R' ? "turns " : "slides");
        if (std::isinf(l.lower) && std::isinf(l.upper)) std::printf("limits none\n");
        else std::printf("limits [%.6g, %.6g]\n", l.lower, l.upper);
    }
    for (const std::string& w : r.warnings) std::printf("warning %s\n", w.c_str());
    return 0;
}

//! Reads records of n numbers per line and hands each to handle(values,
//! poseIndex); malformed lines are reported and skipped. Returns the number
//! of malformed lines.
template <std::size_t N, typename Handle>
long eachRecord(Handle handle) {
    LineInput input(stdin);
    Progress progress(sizeOfStandardInput());
    std::string line;
    long records = 0;
    long malformed = 0;
    std::array<double, N> values{};
    while (input.next(line)) {
        if (const std::string e = parseNumbers(line, values); !e.empty()) {
            std::fprintf(stderr, "armkin: line %ld: %s; skipped\n", input.lineNumber(), e.c_str());
            ++malformed;
            continue;
        }
        handle(values, input.lineNumber() - 1);
        progress.update(input.bytesRead(), ++records);
    }
    return malformed;
}

int forward(Engine& engine, const Options& o) {
    Output out(stdout, o.format);
    const long refused = eachRecord<6>([&](const std::array<double, 6>& q, long) {
        Pose p;
        engine.forward(q, p);
        out.pose(p);
    });
    return refused > 0 ? kRefusedLines : 0;
}

//! Poses solved together by the batch solver, in input order.
constexpr std::size_t kBatch = 64;

int inverse(Engine& engine, const LoadedArm& arm, const Options& o) {
    Output out(stdout, o.format);
    SolveOptions options;
    options.limits = jointLimits(arm.limits);
    options.seed = o.seed;
    options.copies = o.copies;
    options.orthonormalize = o.orthonormalize;
    for (int k = 0; k < 6 && o.window > 0.0; ++k) {
        if (arm.description.JTYPE[k] == 'R' && std::isinf(options.limits.lower[k]) &&
            std::isinf(options.limits.upper[k])) {
            options.limits.lower[k] = o.seed[k] - o.window;
            options.limits.upper[k] = o.seed[k] + o.window;
        }
    }
    long refused = 0;
    // A pose the solver cannot take: a "none" record and the reason.
    auto refuse = [&](long index, const char* reason) {
        std::fprintf(stderr, "armkin: line %ld: %s\n", index + 1, reason);
        out.none(index, Status::InvalidInput, reason);
        ++refused;
    };
    auto report = [&](long index, const SolveResult& r) {
        if (r.status == Status::InvalidInput) return refuse(index, r.reason);
        if (r.count == 0) return out.none(index, r.status, describe(r));
        if (r.truncated) {
            std::fprintf(stderr,
                         "armkin: line %ld: more copies within the limits than %d; every branch is "
                         "listed, the further copies are cut\n",
                         index + 1, kMaxSolverSolutions);
        }
        for (int k = 0; k < r.count; ++k) out.solution(index, r.solutions[k], r.truncated);
    };
    std::vector<Pose> poses;
    std::vector<long> indices;
    std::vector<SolveResult> results(o.mode == Mode::All ? kBatch : 0);
    auto flush = [&] {
        engine.solveBatch(poses, options, results, o.threads);
        for (std::size_t i = 0; i < poses.size(); ++i) report(indices[i], results[i]);
        poses.clear();
        indices.clear();
    };
    SolutionSet written;
    refused += eachRecord<12>([&](const std::array<double, 12>& v, long index) {
        Pose target;
        target.position = {v[0], v[1], v[2]};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) target.rotation[r][c] = v[3 + 3 * r + c];
        switch (o.mode) {
        case Mode::All:
            poses.push_back(target);
            indices.push_back(index);
            if (poses.size() == kBatch) flush();
            return;
        case Mode::Nearest: {
            Solution s;
            const Status st = engine.nearest(target, o.seed, options, s);
            if (st == Status::Ok) return out.solution(index, s);
            const char* reason = describe(st);
            if (st == Status::InvalidInput) {
                checkTarget(target, options, &reason);
                return refuse(index, reason);
            }
            return out.none(index, st, reason);
        }
        case Mode::Position: {
            // The rotation is not used, but a record that is not a pose is
            // refused as in the other modes.
            const char* reason = "";
            if (checkTarget(target, options, &reason) != Status::Ok) return refuse(index, reason);
            inverse(engine, target, o.seed, IkMode::PositionOnly, written);
            if (written.count == 0) {
                return out.none(index, Status::OutOfReach,
                                "no arm solution reaches the position within the joint ranges");
            }
            for (int k = 0; k < written.count; ++k) out.solution(index, written.solutions[k]);
            return;
        }
        }
    });
    if (!poses.empty()) flush();
    return refused > 0 ? kRefusedLines : 0;
}

}  // namespace

int run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("armkin %s\n", version());
            return 0;
        }
    }
    Options o;
    if (const std::string e = parse(argc, argv, o); !e.empty()) {
        std::fprintf(stderr, "armkin: %s (see armkin --help)\n", e.c_str());
        return kUsageError;
    }
    if (o.command == Command::Reach) return reach(o);
    const LoadResult loaded = loadNamed(o);
    if (!loaded) {
#if ARMKIN_HAVE_IO
        std::fprintf(stderr, "armkin: %s\n", loaded.error.message().c_str());
#else
        std::fprintf(stderr, "armkin: %s: %s\n", loaded.error.file.c_str(), loaded.error.reason.c_str());
#endif
        return kUsageError;
    }
    if (o.command == Command::Check) return check(loaded.arm, o.arm);

    Engine engine;
    if (const SetupResult r = engine.setUp(loaded.arm.description); !r) {
        std::fprintf(stderr, "armkin: %s: %s\n", o.arm.c_str(), describe(r).c_str());
        return kUsageError;
    }
    return o.command == Command::Fk ? forward(engine, o) : inverse(engine, loaded.arm, o);
}

}  // namespace armkin::cli

int main(int argc, char** argv) { return armkin::cli::run(argc, argv); }
