#include "cli/options.hpp"

#include <cmath>
#include <cstdlib>

#include "cli/line_input.hpp"

namespace armkin::cli {

const char* const kUsage =
    "Usage: armkin check FILE [--base LINK] [--tip LINK]\n"
    "       armkin fk --arm FILE [--base LINK] [--tip LINK] [--format text|csv|json]\n"
    "       armkin ik --arm FILE [--base LINK] [--tip LINK] [--mode all|nearest|position]\n"
    "                 [--copies nearest|all] [--seed q0,...,q5] [--window W]\n"
    "                 [--orthonormalize]\n"
    "                 [--threads N] [--format text|csv|json]\n"
    "       armkin reach STUDY --out DIR [--threads N] [--chunk N] [--scheduler ADDRESS]\n"
    "       armkin --help | --version\n"
    "\n"
    "FILE is a URDF (.urdf, .xml) or YAML arm file, or 'builtin' for the console's\n"
    "arm (no joint limits); --base and --tip name the ends of a URDF chain when the\n"
    "tree does not fix them.\n"
    "\n"
    "fk reads joint vectors, one per line (six numbers separated by blanks or\n"
    "commas), and writes one pose per line: x y z r11 r12 r13 r21 r22 r23 r31 r32 r33\n"
    "(the rotation matrix row by row; its columns are the tool axes).\n"
    "\n"
    "ik reads poses in that form and writes one line per solution:\n"
    "  pose-index q0 q1 q2 q3 q4 q5 position-error rotation-error status\n"
    "(pose-index counts input lines from 0; status is exact, converged or singular,\n"
    "singular meaning one of a continuous family). A pose without solution writes\n"
    "  pose-index none reason\n"
    "where reason is out_of_reach, outside_limits, not_converged or invalid_input.\n"
    "  --mode all         every branch within the file's joint limits, each to\n"
    "                     1e-10 m and 1e-10 rad (default)\n"
    "  --mode nearest     the solution nearest the seed among all branches\n"
    "  --mode position    joints 0 to 2 for the position, joints 3 to 5 from the seed\n"
    "  --copies nearest   each branch once, turning joints at the copy nearest the\n"
    "                     seed inside the limits (default)\n"
    "  --copies all       also every other copy 2 pi apart inside the limits, after\n"
    "                     all branches\n"
    "  --seed ...         six comma-separated joint values (default: zeros)\n"
    "  --window W         joints without limits (continuous) take the limits\n"
    "                     seed +- W, so that --copies all lists their copies there\n"
    "                     (default: no limits, the copy nearest the seed)\n"
    "  --orthonormalize   solve a rotation that is not orthonormal within 1e-9 for\n"
    "                     its nearest rotation instead of refusing it\n"
    "  --threads N        solve on N threads (0: every core; default 1); the output\n"
    "                     is the same for any N\n"
    "\n"
    "reach runs the reach study of the file STUDY (docs/reach.md) and writes\n"
    "DIR/pairs.csv (a row per target and placement), DIR/placements.csv (the\n"
    "placements ranked) and DIR/summary.txt; the summary also goes to standard output.\n"
    "  --threads N        run on N threads (0: every core; the default for reach)\n"
    "  --chunk N          pairs per chunk of work (default 10000); the results are\n"
    "                     the same bits for any N, thread count or cluster\n"
    "  --scheduler ADDR   run the chunks on the workers of the Dask scheduler at ADDR\n"
    "                     (tcp://host:8786) through the Python module armkin.reach\n"
    "\n"
    "Exit status: 0 when every input line was answered, 1 when some line was\n"
    "refused (malformed, or an invalid pose: reported on standard error), 2 for a\n"
    "bad option or arm file.\n";

namespace {

bool takesValue(const std::string& arg) {
    return arg == "--arm" || arg == "--base" || arg == "--tip" || arg == "--mode" ||
           arg == "--seed" || arg == "--format" || arg == "--threads" || arg == "--copies" ||
           arg == "--window" || arg == "--out" || arg == "--chunk" || arg == "--scheduler";
}

}  // namespace

std::string parse(int argc, char** argv, Options& o) {
    if (argc < 2) return "no command given";
    const std::string command = argv[1];
    if (command == "check") o.command = Command::Check;
    else if (command == "fk") o.command = Command::Fk;
    else if (command == "ik") o.command = Command::Ik;
    else if (command == "reach") o.command = Command::Reach;
    else return "unknown command '" + command + "'";
    bool ikOnly = false;
    bool reachOnly = false;
    bool threadsGiven = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        if (arg == "--orthonormalize" && !inlineValue) {
            o.orthonormalize = true;
            ikOnly = true;
            continue;
        }
        if (!takesValue(arg)) {
            if (o.command == Command::Check && o.arm.empty() && arg.rfind("-", 0) != 0) {
                o.arm = arg;
                continue;
            }
            if (o.command == Command::Reach && o.study.empty() && arg.rfind("-", 0) != 0) {
                o.study = arg;
                continue;
            }
            return (arg.rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") + arg + "'";
        }
        if (!inlineValue) {
            if (i + 1 >= argc) return "option '" + arg + "' needs a value";
            value = argv[++i];
        }
        if (value.empty()) return "option '" + arg + "' needs a value";
        if (arg == "--arm") {
            o.arm = value;
        } else if (arg == "--base") {
            o.base = value;
        } else if (arg == "--tip") {
            o.tip = value;
        } else if (arg == "--mode") {
            if (value == "all") o.mode = Mode::All;
            else if (value == "nearest") o.mode = Mode::Nearest;
            else if (value == "position") o.mode = Mode::Position;
            else return "unknown mode '" + value + "' (use all, nearest or position)";
            ikOnly = true;
        } else if (arg == "--copies") {
            if (value == "nearest") o.copies = Copies::Nearest;
            else if (value == "all") o.copies = Copies::All;
            else return "unknown copies '" + value + "' (use nearest or all)";
            ikOnly = true;
        } else if (arg == "--format") {
            if (!parseFormat(value, o.format))
                return "unknown format '" + value + "' (use text, csv or json)";
        } else if (arg == "--seed") {
            if (const std::string e = parseNumbers(value, o.seed); !e.empty()) return "--seed: " + e;
            o.seedGiven = true;
            ikOnly = true;
        } else if (arg == "--window") {
            char* end = nullptr;
            const double w = std::strtod(value.c_str(), &end);
            if (*end != '\0' || !(w > 0.0) || !std::isfinite(w))
                return "--window takes a positive number of radians";
            o.window = w;
            ikOnly = true;
        } else if (arg == "--threads") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || n < 0 || n > 1024)
                return "--threads takes a whole number from 0 (every core) to 1024";
            o.threads = static_cast<int>(n);
            threadsGiven = true;
        } else if (arg == "--out") {
            o.out = value;
            reachOnly = true;
        } else if (arg == "--chunk") {
            char* end = nullptr;
            const long long n = std::strtoll(value.c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 100000000)
                return "--chunk takes a whole number of pairs from 1 to 100000000";
            o.chunk = n;
            reachOnly = true;
        } else if (arg == "--scheduler") {
            o.scheduler = value;
            reachOnly = true;
        }
    }
    if (o.command == Command::Reach) {
        if (!o.arm.empty() || ikOnly || o.format != Format::Text || !o.base.empty() || !o.tip.empty())
            return "reach takes a study file, --out, --threads, --chunk and --scheduler only";
        if (o.study.empty()) return "no study file given";
        if (o.out.empty()) return "--out DIR is needed";
        if (!threadsGiven) o.threads = 0;
        return "";
    }
    if (reachOnly) return "--out, --chunk and --scheduler are options of reach";
    if (o.arm.empty()) return o.command == Command::Check ? "no arm file given" : "--arm FILE is needed";
    if (o.command != Command::Ik && (ikOnly || threadsGiven))
        return "--mode, --copies, --seed, --window, --orthonormalize and --threads are options of ik";
    return "";
}

}  // namespace armkin::cli
