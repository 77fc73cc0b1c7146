// The console program run through pipes: its output bytes (CP932) against
// the expected dialogue.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "dialogue_support.hpp"

namespace {

using namespace dialogue;

const std::string kOpening = kStart + kMenu;

const std::string kFkZero = kFkPrompt + fkResult("  0.0000,   0.0000,   3.2000",
                                                 "  1.0000,   0.0000,  -0.0000",
                                                 " -0.0000,   1.0000,   0.0000",
                                                 "  0.0000,   0.0000,   1.0000");
const std::string kFkShoulder = kFkPrompt + fkResult("  2.1000,   0.0000,   1.1000",
                                                     "  0.0000,   0.0000,  -1.0000",
                                                     "  0.0000,   1.0000,   0.0000",
                                                     "  1.0000,  -0.0000,   0.0000");

//! The output of a run that must end with status 0, as UTF-8 for messages.
void expectDialogue(const RunResult& run, const std::string& expectedUtf8, const std::string& label) {
    EXPECT_TRUE(run.exitedWith(0)) << label << ": status " << run.status
                                   << (run.timedOut ? " (timed out)" : "");
    EXPECT_EQ(run.out, toCp932(expectedUtf8))
        << label << "\n--- got (as UTF-8) ---\n" << fromCp932(run.out);
}

TEST(Transcript, KeyZeroEndsAtOnce) {
    const RunResult run = runConsole("0");
    expectDialogue(run, kOpening, "0");
    // The encoding itself, byte for byte: the last two menu lines.
    EXPECT_EQ(run.out.substr(run.out.size() - 30),
              "\n\x8f\x49\x82\xed\x82\xe8    \x81\x46" "0"
              "\n\x82\xc7\x82\xea\x82\xf0\x91\x49\x82\xd4\x81\x48   ");
    EXPECT_EQ(run.out.substr(0, 14), "\nJTYPE=RRRRRR\n");
}

TEST(Transcript, ForwardTest) {
    struct Case {
        const char* label;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"zero joints", "1 0 0 0 0 0 0 x 0", kOpening + kFkZero + kMenu},
        {"shoulder at 90 degrees", "1 0 1.5707963 0 0 0 0 x 0", kOpening + kFkShoulder + kMenu},
        {"unknown key", "q\n0 1.5707963 0 0 0 0\nx\n0\n", kOpening + kFkShoulder + kMenu},
        {"Enter is no key when piped", "\n\n1\n0 1.5707963 0 0 0 0\n\nx\n\n0\n",
         kOpening + kFkShoulder + kMenu},
        {"numbers split over lines", "1\n0\n1.5707963\n\n0 0\n0\n0\nx\n0\n",
         kOpening + kFkShoulder + kMenu},
        {"two tests in a row", "1 0 0 0 0 0 0 x 1 0 1.5707963 0 0 0 0 x 0",
         kOpening + kFkZero + kMenu + kFkShoulder + kMenu},
        // The first field takes 1.5707963, the second keeps its old value
        // 1.5707963, the rest of the line ("9 9") is dropped, so that p is
        // the pause and 0 the menu key.
        {"malformed number", "1 0 1.5707963 0 0 0 0 x\n1 1.5707963 zz 9 9\np 0",
         kOpening + kFkShoulder + kMenu + kFkPrompt +
             fkResult("  0.0000,   2.1000,   1.1000", "  0.0000,   0.0000,  -1.0000",
                      " -1.0000,   0.0000,   0.0000", "  0.0000,   1.0000,   0.0000") +
             kMenu},
    };
    for (const Case& c : cases) expectDialogue(runConsole(c.input), c.expected, c.label);
}

TEST(Transcript, EndOfInputInsideATestEndsQuickly) {
    struct Case {
        const char* label;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing at all", "", kOpening},
        {"inside the numbers", "1 0 0 0", kOpening + kFkZero},
        {"at the pause", "1 0 0 0 0 0 0", kOpening + kFkZero},
        {"at the next menu", "1 0 0 0 0 0 0 x", kOpening + kFkZero + kMenu},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult run = runConsole(c.input, 5.0);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        expectDialogue(run, c.expected, c.label);
        EXPECT_LT(seconds.count(), 2.0) << c.label;
    }
}

// --- Inverse tests -----------------------------------------------------------------
//
// The numbers of an inverse solve are the engine's; these tests pin every
// text and format around them and check what the numbers must satisfy: the
// recomputed pose matches the target, the typed joints are among the
// solutions, the fixed joints are kept.

const std::string kMenuAgain = kMenu;

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}
const std::string kSix7 = "({7},{7},{7},{7},{7},{7})";
const std::string kThree8 = "({8}, {8}, {8})";

//! Target and recomputed lines of one solution (PTP and CP), without the
//! trailing Euler lines.
const std::string kSideBySide = "\n目標位置  GP[] =" + kThree8 + "\n計算位置  GW[] =" + kThree8 +
                                "\n" + "\n目標姿勢X GOX[]=" + kThree8 + "\n計算姿勢X EWX[]=" +
                                kThree8 + "\n" + "\n        Y GOY[]=" + kThree8 +
                                "\n        Y EWY[]=" + kThree8 + "\n" + "\n        Z GOZ[]=" +
                                kThree8 + "\n        Z EWZ[]=" + kThree8 + "\n";

//! Values matched by the template, consumed in order.
struct Values {
    std::vector<double> v;
    std::size_t at = 0;
    std::vector<double> take(std::size_t n) {
        std::vector<double> r(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at + n));
        at += n;
        return r;
    }
};

void expectNear(const std::vector<double>& a, const std::vector<double>& b, double tol,
                const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tol) << what << " [" << i << "]";
}

//! Equal modulo 2pi, joint by joint, to printing precision.
bool sameJoints(const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = std::remainder(a[i] - b[i], 2.0 * std::numbers::pi);
        if (std::fabs(d) > 2e-4) return false;
    }
    return true;
}

RunResult runMatching(const std::string& input, const std::string& templ, Values& values) {
    const RunResult run = runConsole(input);
    EXPECT_TRUE(run.exitedWith(0)) << "status " << run.status;
    std::string why;
    EXPECT_TRUE(matchTemplate(run.out, templ, values.v, why))
        << why << "\n--- got (as UTF-8) ---\n" << fromCp932(run.out);
    return run;
}

const std::string kPtpIntro =
    "\n\n関節変位を与えるとワークの位置・姿勢が得られる"
    "\n  その位置・姿勢を目標値として逆運動学計算する"
    "\n  初めに与えた関節変位が解になるはずである\n"
    "\n  main() 逆運動学のための目標６関節変位設定"
    "\n関節変位（数字のみ入力）\nPHI[0-6](rad or m)=";

std::string ptpTemplate(int sol) {
    std::string t = kOpening + kPtpIntro + "\nmain() 逆運動学***********************" +
                    "\n目標位置   GP[]=({7},{7},{7})" + "\n目標Euler角GE[]=({7},{7},{7})" +
                    "\n目標姿勢    X[]=({7},{7},{7})" + "\n目標姿勢    Y[]=({7},{7},{7})" +
                    "\n目標姿勢    Z[]=({7},{7},{7})" + "\n初期Φ[]=" +
                    "\n繰り返し演算の初期値を全て０とする" +
                    "\n\nPTPの逆運動学　解の数 sol = " + std::to_string(sol);
    for (int k = 0; k < sol; ++k) {
        t += "\n\nk=" + std::to_string(k) + " PHIF[]=" + kSix7 + kSideBySide +
             "\n目標Euler角GE[]=" + kThree8 + "\nEuler角    GD[]=" + kThree8;
    }
    return t;
}

TEST(TranscriptInverse, PtpListsEverySolutionWithAPauseAfterEach) {
    const std::vector<double> typed{0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    Values values;
    const RunResult full = runMatching("2\n0.1 0.2 0.3 0.4 0.5 0.6\np\n0 0 0 0 0 0\na b c d e f g h\n0",
                                 ptpTemplate(8) + kMenuAgain, values);
    const auto gp = values.take(3);
    const auto ge = values.take(3);
    const auto go = values.take(9);
    int typedFound = 0;
    for (int k = 0; k < 8; ++k) {
        const std::string at = "solution " + std::to_string(k);
        const auto q = values.take(6);
        if (sameJoints(q, typed)) ++typedFound;
        expectNear(values.take(3), gp, 0.0, at + " GP");
        expectNear(values.take(3), gp, 1e-4, at + " GW");
        for (int axis = 0; axis < 3; ++axis) {
            const std::vector<double> target(go.begin() + axis * 3, go.begin() + axis * 3 + 3);
            expectNear(values.take(3), target, 0.0, at + " GO");
            expectNear(values.take(3), target, 1e-4, at + " EW");
        }
        expectNear(values.take(3), ge, 1e-4, at + " GE");
        expectNear(values.take(3), ge, 1e-4, at + " GD");
    }
    EXPECT_EQ(typedFound, 1);

    // Three keys for eight pauses: the run ends at the fourth pause, right
    // after solution 3.
    const RunResult cut = runConsole("2\n0.1 0.2 0.3 0.4 0.5 0.6\np\n0 0 0 0 0 0\na b c");
    EXPECT_TRUE(cut.exitedWith(0));
    EXPECT_EQ(cut.out, full.out.substr(0, full.out.find(toCp932("\n\nk=4"))));
}

TEST(TranscriptInverse, PtpTargetOfZeroJoints) {
    const RunResult run = runConsole("2 0 0 0 0 0 0 p 0 0 0 0 0 0");
    EXPECT_TRUE(run.exitedWith(0));
    const std::string head = kOpening + kPtpIntro + "\nmain() 逆運動学***********************" +
                             "\n目標位置   GP[]=( 0.0000, 0.0000, 3.2000)" +
                             "\n目標Euler角GE[]=( 0.0000, 0.0000, 0.0000)";
    EXPECT_EQ(run.out.substr(0, toCp932(head).size()), toCp932(head)) << fromCp932(run.out);
}

const std::string kCpIntro =
    "\n\nmain() 逆運動学ＣＰ目標６関節角設定（コンマなしで）fi[]="
    "\n\nmain() 目標関節角の近傍値設定（コンマなしで）PHI[]=";
const std::string kCpSolved = "\nCPの逆運動学　解の数 sol = 1" + std::string("\n\n 近傍値PHI0[]=") +
                              kSix7 + "\n\n 設定  PHI[] =" + kSix7 + "\n 解    PHIF[]=" + kSix7 +
                              kSideBySide + "\nEuler角   GD[] =" + kThree8;
const std::string kCpGoOn = "\n微小変位後の位置・姿勢計算続ける？  yes:1  no:0   ";
const std::string kCpMissing = "\nCPの逆運動学　解の数 sol = 0\n解があるはずなのに出ない？  yes:1  no;0  ";

TEST(TranscriptInverse, CpWalksTwoStepsWithTheFoldAndReturns) {
    Values values;
    runMatching("3\n3.14 0.2 0.3 0.4 0.5 0.6\n3.13 0.21 0.31 0.41 0.51 0.61\n1 1 0 0",
                kOpening + kCpIntro + repeat(kCpSolved + kCpGoOn, 3) + kMenuAgain, values);
    // The target joints typed, then stepped by 0.01 with joint 0 folded:
    // 3.15 - 2pi and 3.16 - 2pi.
    const std::vector<std::vector<double>> targets{
        {3.14, 0.2, 0.3, 0.4, 0.5, 0.6},
        {-3.1332, 0.21, 0.31, 0.41, 0.51, 0.61},
        {-3.1232, 0.22, 0.32, 0.42, 0.52, 0.62}};
    std::vector<double> neighbour{3.13, 0.21, 0.31, 0.41, 0.51, 0.61};
    for (int pass = 0; pass < 3; ++pass) {
        const std::string at = "pass " + std::to_string(pass);
        expectNear(values.take(6), neighbour, 0.0, at + " neighbour");
        expectNear(values.take(6), targets[pass], 0.0, at + " target");
        auto solution = values.take(6);
        EXPECT_TRUE(sameJoints(solution, targets[pass])) << at;
        neighbour.swap(solution);  // the next pass starts from it
        for (int line = 0; line < 4; ++line) {
            const auto target = values.take(3);
            expectNear(values.take(3), target, 1e-4, at + " pose line " + std::to_string(line));
        }
        values.take(3);  // GD
    }
}

TEST(TranscriptInverse, CpNudgesTheNeighbourAfterAFailedSolve) {
    // From the stretched arm (all joints 0) the solve fails. Any key but 0
    // raises the neighbour by 0.01 and solves again; 0 goes on to the
    // question of the walk, and anything but 1 there returns to the menu.
    const std::string expected =
        kOpening + kCpIntro + kCpMissing + "\n解であるはずの関節変位" +
        "\n   PHI[] =( 0.1000, 0.2000, 0.3000, 0.4000, 0.5000, 0.6000)" + "\nより近い近傍値" +
        "\n\n PHI0[]=( 0.0100, 0.0100, 0.0100, 0.0100, 0.0100, 0.0100)" + kCpMissing +
        "\n解であるはずの関節変位" +
        "\n   PHI[] =( 0.1000, 0.2000, 0.3000, 0.4000, 0.5000, 0.6000)" + "\nより近い近傍値" +
        "\n\n PHI0[]=( 0.0200, 0.0200, 0.0200, 0.0200, 0.0200, 0.0200)" + kCpMissing + kCpGoOn +
        kMenuAgain;
    expectDialogue(runConsole("3\n0.1 0.2 0.3 0.4 0.5 0.6\n0 0 0 0 0 0\ny 1 0 n 0"), expected,
                   "nudge");
}

const std::string kPositionIntro =
    "\n\nmain() 位置逆運動学目標３関節角設定（コンマなしで）\nfi[]="
    "\n       後の３関節角設定（コンマなしで）\nfi[]=";

std::string positionTemplate(const std::string& phi0, int sol) {
    std::string t = kPositionIntro + "\n目標位置     GP[]=({7} {7} {7})" +
                    "\nあるべき姿勢 GE[]=({7} {7} {7})" + "\nPHI0[]   =" + phi0 +
                    "\n\n位置のみの逆運動学　解の数 sol = " + std::to_string(sol);
    for (int k = 0; k < sol; ++k)
        t += "\n\nk=" + std::to_string(k) + " PHIF[]=" + kSix7 + "\n目標位置  GP[] =" + kThree8 +
             "\n計算位置  GW[] =" + kThree8 + "\n";
    return t;
}

TEST(TranscriptInverse, PositionOnlyKeepsTheWristAndReachesTheTarget) {
    // A forward test first: its first three joints show up in PHI0.
    Values values;
    runMatching("1 0.7 0.8 0.9 0 0 0 x\n4\n0.1 0.2 0.3\n0.4 0.5 0.6\np a b c d\n0",
                kOpening + kFkPrompt + "\n順運動学計算テスト analys()後" +
                    "\n位置  GP[] =" + kThree8 + "\n姿勢X GO0[]=" + kThree8 +
                    "\n    Y GO1[]=" + kThree8 + "\n    Z GO2[]=" + kThree8 +
                    "\nmain() 順運動学計算テスト終り" + kMenu +
                    positionTemplate("( 0.7000, 0.8000, 0.9000, 0.4000, 0.5000, 0.6000)", 4) +
                    kMenuAgain,
                values);
    values.take(12);  // the forward test
    const auto gp = values.take(3);
    values.take(3);  // GE
    int typedFound = 0;
    for (int k = 0; k < 4; ++k) {
        const std::string at = "solution " + std::to_string(k);
        const auto q = values.take(6);
        expectNear({q[3], q[4], q[5]}, {0.4, 0.5, 0.6}, 0.0, at + " wrist");
        if (sameJoints(q, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6})) ++typedFound;
        expectNear(values.take(3), gp, 0.0, at + " GP");
        expectNear(values.take(3), gp, 1e-4, at + " GW");
    }
    EXPECT_EQ(typedFound, 1);
}

TEST(TranscriptInverse, PositionOnlyDefaultsAndTheStraightArm) {
    // No wrist values (the line is malformed): the wrist keeps 2.05. Then
    // joints 0 0 0 and 0 0 0: the tool point straight above the base.
    const RunResult defaults = runConsole("4\n0 0 0\n;\np");
    EXPECT_TRUE(defaults.exitedWith(0));
    const std::string a = fromCp932(defaults.out);
    EXPECT_NE(a.find("\nPHI0[]   =( 0.0000, 0.0000, 0.0000, 2.0500, 2.0500, 2.0500)"),
              std::string::npos)
        << a;

    const RunResult straight = runConsole("4 0 0 0 0 0 0");
    EXPECT_TRUE(straight.exitedWith(0));
    const std::string b = fromCp932(straight.out);
    EXPECT_NE(b.find("\n目標位置     GP[]=( 0.0000  0.0000  3.2000)"), std::string::npos) << b;
}

}  // namespace
