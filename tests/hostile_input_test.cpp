// The console program run through pipes on hostile input: binary and NUL
// bytes, very long lines, non-finite and huge numbers in every mode, numbers
// cut by the end of the input, and the end of the input at every prompt.
// Every run must end by itself with status 0 within a few seconds, and the
// values it prints must be the ones the formulas give for what was read
// (computed here with the engine directly).

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dialogue_support.hpp"
#include "arm/builtin_arm.hpp"
#include "driver/session.hpp"
#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"

namespace {

using namespace dialogue;
using namespace std::string_literals;
using kin::Joints;

//! Wall-clock bound of one run; a hang is killed at the runner's deadline.
constexpr double kBoundSeconds = 5.0;

struct Timed {
    RunResult run;
    double seconds = 0.0;
};

Timed runTimed(const std::string& input) {
    const auto start = std::chrono::steady_clock::now();
    Timed t;
    t.run = runConsole(input, 20.0);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return t;
}

//! Status 0, in time; returns the output as UTF-8.
std::string expectClean(const Timed& t, const std::string& label) {
    EXPECT_FALSE(t.run.timedOut) << label << ": killed at the deadline";
    EXPECT_TRUE(t.run.exitedWith(0)) << label << ": status " << t.run.status;
    EXPECT_LT(t.seconds, kBoundSeconds) << label;
    return fromCp932(t.run.out);
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, fmt);
    std::vsnprintf(s.data(), s.size(), fmt, args);
    va_end(args);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

std::string vec(const char* fmt, const kin::Vec3& v) { return format(fmt, v.x, v.y, v.z); }
std::string joints(const char* fmt, const Joints& q) {
    return format(fmt, q[0], q[1], q[2], q[3], q[4], q[5]);
}
Joints all(double v) { return {v, v, v, v, v, v}; }
std::string typed(const char* v) { return std::string(" ") + v + " " + v + " " + v; }

//! The engine as the program sets it up, for the values it must print.
struct Oracle {
    kin::Kinematics e;
    kin::Vec3 GP;
    kin::EulerZYZ GE;
    kin::Axes GO;
    kin::SolutionList PHIF{};

    Oracle() {
        kin::ArmDescription d = kin::builtinArm();
        kin::Frame base;
        std::array<kin::Frame, kin::kMaxJoints + 1> links;
        e.armSetup(6, d, base, links);
    }
    void target(const Joints& q) {
        e.analys(6, q.data(), GP, GE);
        GO = kin::eulerToAxes(GE);
    }
    int solve(const Joints& neighbour, int mode) {
        return e.inverseKinematics(6, GP, GO, neighbour, PHIF, mode);
    }
};

struct Value {
    const char* text;
    double v;
};
const Value kValues[] = {
    {"nan", NAN}, {"inf", INFINITY}, {"1e308", 1e308}, {"-1e308", -1e308}, {"-inf", -INFINITY},
};

// --- Non-finite and huge numbers in every mode ------------------------------------

TEST(HostileNumbers, ForwardTestPrintsWhatTheFormulasGive) {
    for (const Value& v : kValues) {
        Oracle o;
        o.target(all(v.v));
        std::string input = "1";
        input += typed(v.text) + typed(v.text) + " x 0";
        const std::string out = expectClean(runTimed(input), std::string("1 ") + v.text);
        EXPECT_NE(out.find(vec("\n位置  GP[] =(%8.4f, %8.4f, %8.4f)", o.GP) +
                           vec("\n姿勢X GO0[]=(%8.4f, %8.4f, %8.4f)", o.GO.X) +
                           vec("\n    Y GO1[]=(%8.4f, %8.4f, %8.4f)", o.GO.Y) +
                           vec("\n    Z GO2[]=(%8.4f, %8.4f, %8.4f)", o.GO.Z)),
                  std::string::npos)
            << v.text << "\n" << out;
        EXPECT_EQ(out.substr(out.size() - kMenu.size()), kMenu) << v.text;
    }
}

TEST(HostileNumbers, PtpTestPrintsWhatTheFormulasGive) {
    for (const Value& v : kValues) {
        // The value in the typed joints, then in the start vector as well.
        for (const bool inStart : {false, true}) {
            Oracle o;
            o.target(all(v.v));
            const Joints start = inStart ? all(v.v) : Joints{};
            const int sol = o.solve(start, kin::kModePtp);
            const std::string numbers = typed(v.text) + typed(v.text);
            const std::string input = "2" + numbers + " p" + (inStart ? numbers : " 0 0 0 0 0 0") +
                                      " " + std::string(static_cast<std::size_t>(sol), 'k') + " 0";
            const std::string label = std::string("2 ") + v.text + (inStart ? " (start too)" : "");
            const std::string out = expectClean(runTimed(input), label);
            EXPECT_NE(out.find(vec("\n目標位置   GP[]=(%7.4f,%7.4f,%7.4f)", o.GP) +
                               format("\n目標Euler角GE[]=(%7.4f,%7.4f,%7.4f)", o.GE.phi,
                                      o.GE.theta, o.GE.psi)),
                      std::string::npos)
                << label << "\n" << out;
            EXPECT_NE(out.find(format("\n\nPTPの逆運動学　解の数 sol = %d", sol)), std::string::npos)
                << label;
            for (int k = 0; k < sol; ++k) {
                EXPECT_NE(out.find(joints("PHIF[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)",
                                          o.PHIF[static_cast<std::size_t>(k)])),
                          std::string::npos)
                    << label << " k=" << k;
            }
            EXPECT_EQ(out.substr(out.size() - kMenu.size()), kMenu) << label;
        }
    }
}

TEST(HostileNumbers, CpTestPrintsWhatTheFormulasGive) {
    for (const Value& v : kValues) {
        // Target and neighbour both of the value; a failed solve is not
        // nudged, then one step along the path is asked for.
        Oracle o;
        Joints fi = all(v.v);
        Joints phi0 = all(v.v);
        o.target(fi);
        const int sol1 = o.solve(phi0, kin::kModeCp);
        phi0 = o.PHIF[0];
        for (double& f : fi) f = kin::driver::stepPathJoint(f);
        o.target(fi);
        const int sol2 = o.solve(phi0, kin::kModeCp);
        std::string input = "3";
        input += typed(v.text) + typed(v.text) + typed(v.text) + typed(v.text);
        input += sol1 == 0 ? " 0 1" : " 1";
        input += sol2 == 0 ? " 0 0 0" : " 0 0";
        const std::string label = std::string("3 ") + v.text;
        const std::string out = expectClean(runTimed(input), label);
        const std::string count1 = format("\nCPの逆運動学　解の数 sol = %d", sol1);
        const std::string count2 = format("\nCPの逆運動学　解の数 sol = %d", sol2);
        const std::size_t first = out.find(count1);
        EXPECT_NE(first, std::string::npos) << label << "\n" << out;
        EXPECT_NE(out.find(count2, first + 1), std::string::npos) << label << "\n" << out;
        // The target of the step is solved without being printed; its
        // coordinates show up beside the solution only.
        if (sol2 == 1) {
            EXPECT_NE(out.find(vec("\n目標位置  GP[] =(%8.4f, %8.4f, %8.4f)", o.GP)),
                      std::string::npos)
                << label;
        }
        EXPECT_EQ(out.substr(out.size() - kMenu.size()), kMenu) << label;
    }
}

TEST(HostileNumbers, PositionOnlyTestPrintsWhatTheFormulasGive) {
    for (const Value& v : kValues) {
        Oracle o;
        const Joints fi = all(v.v);
        o.target(fi);
        Joints phi0{};
        for (int i = 3; i < 6; ++i) phi0[static_cast<std::size_t>(i)] = fi[static_cast<std::size_t>(i)];
        const int sol = o.solve(phi0, kin::kModePositionOnly);
        std::string input = "4";
        input += typed(v.text) + typed(v.text) + " p " + std::string(static_cast<std::size_t>(sol), 'k') + " 0";
        const std::string label = std::string("4 ") + v.text;
        const std::string out = expectClean(runTimed(input), label);
        EXPECT_NE(out.find(vec("\n目標位置     GP[]=(%7.4f %7.4f %7.4f)", o.GP) +
                           format("\nあるべき姿勢 GE[]=(%7.4f %7.4f %7.4f)", o.GE.phi, o.GE.theta,
                                  o.GE.psi)),
                  std::string::npos)
            << label << "\n" << out;
        EXPECT_NE(out.find(joints("\nPHI0[]   =(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", phi0) +
                           format("\n\n位置のみの逆運動学　解の数 sol = %d", sol)),
                  std::string::npos)
            << label;
        EXPECT_EQ(out.substr(out.size() - kMenu.size()), kMenu) << label;
    }
}

// --- Numbers cut by the end of the input ----------------------------------------------

TEST(HostileNumbers, ANumberCutByTheEndOfTheInput) {
    // The last joint of the forward test is the text that ends the input:
    // the longest prefix strtod accepts is the number, and what is left
    // over is the next key, if anything.
    struct Case {
        const char* tail;
        double joint5;  // NAN: the field keeps its old value 0
    };
    const Case cases[] = {
        {"1.5707", 1.5707}, {"1.", 1.0},   {"1e", 1.0}, {"1e+", 1.0}, {"-", NAN},
        {"0x", 0.0},        {"in", NAN},   {"na", NAN}, {".", NAN},   {"-1e30", -1e30},
    };
    for (const Case& c : cases) {
        Oracle o;
        Joints q{};
        q[0] = 1.5707963;
        if (!std::isnan(c.joint5)) q[5] = c.joint5;
        o.target(q);
        const std::string out =
            expectClean(runTimed(std::string("1 1.5707963 0 0 0 0 ") + c.tail), c.tail);
        EXPECT_NE(out.find(vec("\n位置  GP[] =(%8.4f, %8.4f, %8.4f)", o.GP) +
                           vec("\n姿勢X GO0[]=(%8.4f, %8.4f, %8.4f)", o.GO.X)),
                  std::string::npos)
            << c.tail << "\n" << out;
    }
}

// --- End of the input at every prompt of every mode -----------------------------------

TEST(HostileEnd, AtEveryPromptTheSessionEndsAfterThatPrompt) {
    struct Case {
        const char* input;
        const char* endsWith;  // the last text before the read that met the end
    };
    const Case cases[] = {
        {"", "どれを選ぶ？   "},
        {"1", "\nmain() 順運動学計算テスト終り"},
        {"1 0 0 0 0 0 0", "\nmain() 順運動学計算テスト終り"},
        {"1 0 0 0 0 0 0 x", "どれを選ぶ？   "},
        {"2", "\n目標姿勢    Z[]=( 0.0000, 0.0000, 1.0000)"},
        {"2 0 0 0 0 0 0", "\n目標姿勢    Z[]=( 0.0000, 0.0000, 1.0000)"},
        {"2 0.1 0.2 0.3 0.4 0.5 0.6 p", "\nEuler角    GD[]=("},
        {"2 0.1 0.2 0.3 0.4 0.5 0.6 p 0 0 0 0 0 0", "\nEuler角    GD[]=("},
        {"2 0.1 0.2 0.3 0.4 0.5 0.6 p 0 0 0 0 0 0 k", "\nEuler角    GD[]=("},
        {"3", "\n解があるはずなのに出ない？  yes:1  no;0  "},
        {"3 0 0 0 0 0 0", "\n解があるはずなのに出ない？  yes:1  no;0  "},
        {"3 0.1 0.2 0.3 0.4 0.5 0.6 0.12 0.22 0.32 0.42 0.52 0.62",
         "\n微小変位後の位置・姿勢計算続ける？  yes:1  no:0   "},
        {"3 0.1 0.2 0.3 0.4 0.5 0.6 0.12 0.22 0.32 0.42 0.52 0.62 1",
         "\n微小変位後の位置・姿勢計算続ける？  yes:1  no:0   "},
        {"3 0 0 0 0 0 0 0 0 0 0 0 0 1", "\n解があるはずなのに出ない？  yes:1  no;0  "},
        {"3 0 0 0 0 0 0 0 0 0 0 0 0 0", "\n微小変位後の位置・姿勢計算続ける？  yes:1  no:0   "},
        {"4", "\nあるべき姿勢 GE[]=("},
        {"4 0.1 0.2 0.3", "\nあるべき姿勢 GE[]=("},
        {"4 0.1 0.2 0.3 0.4 0.5 0.6 p", "\n計算位置  GW[] =("},
        {"4 0.1 0.2 0.3 0.4 0.5 0.6 p k", "\n計算位置  GW[] =("},
        {"4 0.1 0.2 0.3 0.4 0.5 0.6 p k k k k", "どれを選ぶ？   "},
    };
    for (const Case& c : cases) {
        const std::string out = expectClean(runTimed(c.input), c.input);
        const std::string tail = c.endsWith;
        // A tail that ends in an open bracket only has to start the last line.
        const std::size_t at = out.rfind(tail);
        ASSERT_NE(at, std::string::npos) << c.input << "\n" << out;
        std::string rest = out.substr(at + tail.size());
        if (tail.back() == '(') {
            if (!rest.empty() && rest.back() == '\n') rest.pop_back();
            EXPECT_EQ(rest.find('\n'), std::string::npos) << c.input << ": " << rest;
        } else {
            EXPECT_EQ(rest, "") << c.input;
        }
    }
}

// --- Binary bytes, NUL bytes and very long lines ----------------------------------------

TEST(HostileBytes, BinaryAndNulBytesEndCleanly) {
    std::vector<std::pair<std::string, std::string>> inputs;
    inputs.emplace_back("NUL bytes", std::string(4096, '\0'));
    inputs.emplace_back("NUL in numbers", "1 0\0 1 2\0\0 3 4 5 6 x 2 \0 1 2"s);
    std::string every;
    for (int round = 0; round < 4; ++round)
        for (int c = 255; c >= 0; --c) every.push_back(static_cast<char>(c));
    inputs.emplace_back("every byte value", every);
    std::mt19937 rng(20240601);
    for (int k = 0; k < 3; ++k) {
        std::string noise(65536, '\0');
        for (char& ch : noise) ch = static_cast<char>(rng() & 0xFF);
        inputs.emplace_back("noise " + std::to_string(k), noise);
    }
    // Noise over the menu's own vocabulary, which walks through every mode.
    std::string keys;
    const char alphabet[] = "0123456789 \n\t.-+eEinfaINFNA\x1b\xff";
    for (int i = 0; i < 4000; ++i) keys.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
    inputs.emplace_back("menu vocabulary", keys);
    for (const auto& [label, input] : inputs) {
        const Timed t = runTimed(input);
        expectClean(t, label);
        EXPECT_EQ(t.run.out.substr(0, toCp932(kStart + kMenu).size()), toCp932(kStart + kMenu))
            << label;
    }
}

TEST(HostileBytes, ALineOfAMillionCharacters) {
    // A number a million characters long is too long to be a number: the
    // read stops there and drops the rest of the line, so that the next
    // line starts afresh. Each input below therefore runs its mode once and
    // comes back to the menu, where the last key ends the session.
    const std::string digits(1000000, '9');
    const std::string letters(1000000, 'z');
    struct Case {
        const char* label;
        std::string input;
        const char* marker;  // printed once per run of the mode
        bool atMenu = true;  // false: the input ends at a pause of the mode
    };
    const Case cases[] = {
        {"digits at the forward prompt", "1\n" + digits + "\nx 0", "analys()後"},
        {"digits with a sign and point", "1\n-0." + digits + "\nx 0", "analys()後"},
        {"letters at the forward prompt", "1\n" + letters + "\nx 0", "analys()後"},
        {"letters at the menu", letters + "\nx 0", "analys()後"},
        {"blanks at the menu", std::string(1000000, ' ') + "1 0 0 0 0 0 0 x 0", "analys()後"},
        {"digits at the PTP prompts", "2\n" + digits + "\np\n" + digits + "\n", "PTPの逆運動学",
         false},
        {"digits at the CP prompts", "3\n" + digits + "\n" + digits + "\n0 0 0", "CPの逆運動学"},
        {"digits at the position prompts", "4\n" + digits + "\n" + digits + "\np",
         "位置のみの逆運動学", false},
    };
    for (const Case& c : cases) {
        const std::string out = expectClean(runTimed(c.input), c.label);
        const std::string marker = c.marker;
        std::size_t n = 0;
        for (std::size_t at = out.find(marker); at != std::string::npos;
             at = out.find(marker, at + 1))
            ++n;
        EXPECT_EQ(n, 1u) << c.label << "\n" << out;
        if (c.atMenu) {
            EXPECT_EQ(out.substr(out.size() - std::min(out.size(), kMenu.size())), kMenu)
                << c.label;
        }
    }
    // The joints typed after a dropped line are read in full.
    const std::string out = expectClean(
        runTimed("1\n" + digits + "\nx 1 0 1.5707963 0 0 0 0 x 0"), "a forward test after it");
    EXPECT_NE(out.find("\n位置  GP[] =(  2.1000,   0.0000,   1.1000)"), std::string::npos) << out;
}

}  // namespace
