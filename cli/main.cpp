//! armkin: forward and inverse kinematics of an arm file, for scripts.
//!
//!   armkin check FILE
//!   armkin fk --arm FILE [--format text|csv|json]
//!   armkin ik --arm FILE [--mode all|nearest|position] [--seed q0,...,q5]
//!             [--format text|csv|json]
//!
//! fk and ik read one record per line from standard input and write one
//! line per result to standard output. A malformed line gets a message on
//! standard error naming the line and is skipped. Bad options or files: a
//! one-line message on standard error, nothing on standard output, status 2.

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
#include "cli/output.hpp"
#include "cli/progress.hpp"

namespace armkin::cli {

namespace {

constexpr int kUsageError = 2;

const char* const kUsage =
    "Usage: armkin check FILE [--base LINK] [--tip LINK]\n"
    "       armkin fk --arm FILE [--format text|csv|json]\n"
    "       armkin ik --arm FILE [--mode all|nearest|position] [--seed q0,...,q5]\n"
    "                 [--threads N] [--format text|csv|json]\n"
    "       armkin --help | --version\n"
    "\n"
    "FILE is a URDF (.urdf, .xml) or YAML arm file; --base and --tip name the ends\n"
    "of a URDF chain when the tree does not fix them.\n"
    "\n"
    "fk reads joint vectors, one per line (six numbers separated by blanks or\n"
    "commas), and writes one pose per line: x y z r11 r12 r13 r21 r22 r23 r31 r32 r33\n"
    "(the rotation matrix row by row; its columns are the tool axes).\n"
    "\n"
    "ik reads poses in that form and writes one line per solution:\n"
    "pose-index q0 q1 q2 q3 q4 q5 position-error rotation-error status\n"
    "(pose-index counts input lines from 0; a pose without solution writes nothing).\n"
    "status is exact, converged or singular (one of a continuous family).\n"
    "  --mode all       every solution within the file's joint limits, each to\n"
    "                   1e-10 m and 1e-10 rad (default)\n"
    "  --mode nearest   the solution nearest the seed among all branches\n"
    "  --mode position  joints 0 to 2 for the position, joints 3 to 5 from the seed\n"
    "  --seed ...       six comma-separated joint values (default: zeros)\n"
    "  --threads N      solve on N threads (0: every core; default 1); the output\n"
    "                   is the same for any N\n";

struct Options {
    std::string command;
    std::string arm;
    std::string base, tip;
    std::string mode = "all";
    Joints seed{};
    bool seedGiven = false;
    int threads = 1;
    Format format = Format::text;
};

//! Parses the command line into o; returns "" or a one-line reason.
std::string parse(int argc, char** argv, Options& o) {
    if (argc < 2) return "no command given";
    o.command = argv[1];
    if (o.command != "check" && o.command != "fk" && o.command != "ik")
        return "unknown command '" + o.command + "'";
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        const bool takesValue = arg == "--arm" || arg == "--base" || arg == "--tip" ||
                                arg == "--mode" || arg == "--seed" || arg == "--format" ||
                                arg == "--threads";
        if (!takesValue) {
            if (o.command == "check" && o.arm.empty() && arg.rfind("-", 0) != 0) {
                o.arm = arg;
                continue;
            }
            return (arg.rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") + arg + "'";
        }
        if (!inlineValue) {
            if (i + 1 >= argc) return "option '" + arg + "' needs a value";
            value = argv[++i];
        }
        if (value.empty()) return "option '" + arg + "' needs a value";
        if (arg == "--arm") o.arm = value;
        else if (arg == "--base") o.base = value;
        else if (arg == "--tip") o.tip = value;
        else if (arg == "--mode") {
            if (value != "all" && value != "nearest" && value != "position")
                return "unknown mode '" + value + "' (use all, nearest or position)";
            o.mode = value;
        } else if (arg == "--format") {
            if (!parseFormat(value, o.format))
                return "unknown format '" + value + "' (use text, csv or json)";
        } else if (arg == "--seed") {
            if (const std::string e = parseNumbers(value, o.seed); !e.empty())
                return "--seed: " + e;
            o.seedGiven = true;
        } else if (arg == "--threads") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || n < 0 || n > 1024)
                return "--threads takes a whole number from 0 (every core) to 1024";
            o.threads = static_cast<int>(n);
        }
    }
    if (o.arm.empty()) return o.command == "check" ? "no arm file given" : "--arm FILE is needed";
    if (o.command != "ik" && (o.mode != "all" || o.seedGiven || o.threads != 1))
        return "--mode, --seed and --threads are options of ik";
    return "";
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
    const char* method = r.method == SolverMethod::sphericalWrist ? "closed form, spherical wrist"
                         : r.method == SolverMethod::parallelAxes
                             ? "closed form, three parallel axes"
                             : "numeric starts, polished";
    std::printf("solver  %s\n", method);
    for (int k = 0; k < 6; ++k) {
        std::printf("joint %d %-12s %s  limits [%.6g, %.6g]\n", k, arm.jointNames[k].c_str(),
                    arm.description.JTYPE[k] == 'R' ? "turns " : "slides", arm.limits[k].lower,
                    arm.limits[k].upper);
    }
    for (const std::string& w : r.warnings) std::printf("warning %s\n", w.c_str());
    return 0;
}

//! Reads records of n numbers per line and hands each to handle(values,
//! poseIndex); malformed lines are reported and skipped.
template <std::size_t N, typename Handle>
void eachRecord(Handle handle) {
    LineInput input(stdin);
    Progress progress(sizeOfStandardInput());
    std::string line;
    long records = 0;
    std::array<double, N> values{};
    while (input.next(line)) {
        if (const std::string e = parseNumbers(line, values); !e.empty()) {
            std::fprintf(stderr, "armkin: line %ld: %s; skipped\n", input.lineNumber(), e.c_str());
            continue;
        }
        handle(values, input.lineNumber() - 1);
        progress.update(input.bytesRead(), ++records);
    }
}

int forward(Engine& engine, const Options& o) {
    Output out(stdout, o.format);
    eachRecord<6>([&](const std::array<double, 6>& q, long) {
        Pose p;
        engine.forward(q, p);
        out.pose(p);
    });
    return 0;
}

const char* statusName(SolutionStatus s) {
    switch (s) {
    case SolutionStatus::Exact: return "exact";
    case SolutionStatus::Converged: return "converged";
    case SolutionStatus::Singular: return "singular";
    }
    return "?";
}

//! Poses solved together by the batch solver, in input order.
constexpr std::size_t kBatch = 512;

int inverse(Engine& engine, const LoadedArm& arm, const Options& o) {
    Output out(stdout, o.format);
    SolveOptions options;
    options.limits = jointLimits(arm.limits);
    options.seed = o.seed;
    std::vector<Pose> poses;
    std::vector<long> indices;
    std::vector<SolveResult> results(kBatch);
    auto flush = [&] {
        engine.solveBatch(poses, options, results, o.threads);
        for (std::size_t i = 0; i < poses.size(); ++i)
            for (int k = 0; k < results[i].count; ++k)
                out.solution(indices[i], results[i].solutions[k],
                             statusName(results[i].solutions[k].status));
        poses.clear();
        indices.clear();
    };
    SolutionSet written;
    eachRecord<12>([&](const std::array<double, 12>& v, long index) {
        Pose target;
        target.position = {v[0], v[1], v[2]};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) target.rotation[r][c] = v[3 + 3 * r + c];
        if (o.mode == "all") {
            poses.push_back(target);
            indices.push_back(index);
            if (poses.size() == kBatch) flush();
        } else if (o.mode == "nearest") {
            Solution s;
            if (engine.nearest(target, o.seed, options, s)) out.solution(index, s, statusName(s.status));
        } else {
            engine.inverse(target, o.seed, IkMode::positionOnly, written);
            for (int k = 0; k < written.count; ++k)
                out.solution(index, written.solutions[k], "converged");
        }
    });
    if (!poses.empty()) flush();
    return 0;
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
    const LoadResult loaded = loadArm(o.arm, {o.base, o.tip});
    if (!loaded) {
        std::fprintf(stderr, "armkin: %s\n", loaded.error.message().c_str());
        return kUsageError;
    }
    if (o.command == "check") return check(loaded.arm, o.arm);

    Engine engine;
    if (const SetupResult r = engine.setUp(loaded.arm.description); !r) {
        std::fprintf(stderr, "armkin: %s: %s\n", o.arm.c_str(), describe(r).c_str());
        return kUsageError;
    }
    return o.command == "fk" ? forward(engine, o) : inverse(engine, loaded.arm, o);
}

}  // namespace armkin::cli

int main(int argc, char** argv) { return armkin::cli::run(argc, argv); }
