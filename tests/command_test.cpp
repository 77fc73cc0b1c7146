// The armkin command through pipes: check, fk and ik on the example arms,
// the output formats, malformed lines and bad options.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue_support.hpp"

#ifdef ARMKIN_COMMAND_PATH

namespace {

using dialogue::RunResult;
using dialogue::runProgram;

const std::string kArms = ARMKIN_ARMS_DIR;

RunResult armkin(const std::vector<std::string>& args, const std::string& input = "") {
    return runProgram(ARMKIN_COMMAND_PATH, args, input, 60.0);
}

std::vector<std::vector<double>> numbersPerLine(const std::string& text, std::size_t skipLast) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;) words.push_back(w);
        std::vector<double> row;
        for (std::size_t i = 0; i + skipLast < words.size(); ++i) row.push_back(std::stod(words[i]));
        rows.push_back(row);
    }
    return rows;
}

TEST(Command, CheckAcceptsEveryExampleArm) {
    for (const char* f : {"builtin.urdf", "builtin.yaml", "spherical_wrist_offsets.urdf",
                          "offset_wrist_parallel.yaml", "cylindrical_sliding.urdf"}) {
        const RunResult r = armkin({"check", kArms + "/" + f});
        EXPECT_TRUE(r.exitedWith(0)) << f << r.err;
        EXPECT_NE(r.out.find("solver  closed form"), std::string::npos) << f << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST(Command, BadOptionsAndFilesGiveOneLineAndStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"solve"},
        {"check"},
        {"check", "/no/such/arm.urdf"},
        {"fk"},
        {"fk", "--arm", kArms + "/builtin.urdf", "--mode", "all", "--seed", "0,0,0,0,0,0"},
        {"ik", "--arm", kArms + "/builtin.urdf", "--mode", "best"},
        {"ik", "--arm", kArms + "/builtin.urdf", "--seed", "1,2,3"},
        {"ik", "--arm", kArms + "/builtin.urdf", "--threads", "-2"},
        {"ik", "--arm", kArms + "/builtin.urdf", "--format", "xml"},
        {"reach"},
        {"reach", "study.yaml"},
        {"reach", "--out", "/tmp"},
        {"reach", "study.yaml", "--out", "/tmp", "--chunk", "0"},
        {"reach", "study.yaml", "--out", "/tmp", "--arm", "builtin"},
        {"reach", "/no/such/study.yaml", "--out", "/tmp"},
        {"ik", "--arm", kArms + "/builtin.urdf", "--out", "/tmp"},
    };
    for (const auto& args : cases) {
        const RunResult r = armkin(args, "0 0 0 0 0 0\n");
        EXPECT_TRUE(r.exitedWith(2)) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("armkin: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

TEST(Command, ForwardThenInverseFindsTheTypedVectors) {
    const std::string arm = kArms + "/spherical_wrist_offsets.urdf";
    const std::string typed =
        "0.1 0.2 0.3 0.4 0.5 0.6\n"
        "# a comment, then a malformed line\n"
        "1 2 3\n"
        "-0.5,1.0,-1.2,2.0,-0.7,0.3\n";
    const RunResult fk = armkin({"fk", "--arm", arm}, typed);
    ASSERT_TRUE(fk.exitedWith(1));  // a line was refused
    EXPECT_EQ(fk.err, "armkin: line 3: expected 6 numbers, got 3; skipped\n");
    const auto poses = numbersPerLine(fk.out, 0);
    ASSERT_EQ(poses.size(), 2u);
    ASSERT_EQ(poses[0].size(), 12u);

    const std::vector<std::vector<double>> want = {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6},
                                                   {-0.5, 1.0, -1.2, 2.0, -0.7, 0.3}};
    std::string one;
    for (int threads : {1, 2}) {
        const RunResult ik = armkin({"ik", "--arm", arm, "--threads", std::to_string(threads)}, fk.out);
        ASSERT_TRUE(ik.exitedWith(0)) << ik.err;
        if (threads == 1) one = ik.out;
        EXPECT_EQ(ik.out, one);  // the same for any thread count
        const auto rows = numbersPerLine(ik.out, 1);
        bool found[2] = {false, false};
        for (const auto& row : rows) {
            ASSERT_EQ(row.size(), 9u);
            EXPECT_LE(row[7], 1e-10);
            EXPECT_LE(row[8], 1e-10);
            const int pose = static_cast<int>(row[0]);
            double gap = 0.0;
            for (int i = 0; i < 6; ++i) gap = std::fmax(gap, std::fabs(row[1 + i] - want[pose][i]));
            found[pose] = found[pose] || gap < 1e-9;
        }
        EXPECT_TRUE(found[0] && found[1]) << ik.out;
    }
}

TEST(Command, FormatsAndModes) {
    const std::string arm = kArms + "/builtin.yaml";
    const RunResult csv = armkin({"fk", "--arm", arm, "--format", "csv"}, "0 0 0 0 0 0\n");
    EXPECT_EQ(csv.out, "x,y,z,r11,r12,r13,r21,r22,r23,r31,r32,r33\n0,0,3.2000000000000002,1,0,0,0,1,0,0,0,1\n");
    const RunResult pose = armkin({"fk", "--arm", arm}, "0.1 0.2 0.3 0.4 0.5 0.6\n");
    const RunResult near = armkin({"ik", "--arm", arm, "--mode", "nearest", "--seed",
                                   "0.15,0.25,0.35,0.45,0.55,0.65", "--format", "json"},
                                  pose.out);
    ASSERT_TRUE(near.exitedWith(0));
    // The typed vector back, to rounding (its last digits follow the pose's).
    const std::string head = "{\"pose\":0,\"q\":[";
    ASSERT_EQ(near.out.rfind(head, 0), 0u) << near.out;
    EXPECT_NEAR(std::stod(near.out.substr(head.size())), 0.1, 1e-12) << near.out;
    EXPECT_NE(near.out.find("\"status\":\"exact\"}"), std::string::npos);
    const RunResult position = armkin({"ik", "--arm", arm, "--mode", "position", "--seed",
                                       "0,0,0,0.4,0.5,0.6"},
                                      pose.out);
    EXPECT_EQ(numbersPerLine(position.out, 1).size(), 4u);
}

TEST(Command, EveryPoseWithoutAnswerSaysWhyAndRefusedLinesSetTheStatus) {
    const std::string arm = kArms + "/spherical_wrist_offsets.yaml";
    struct Case {
        std::string input;
        std::vector<std::string> extra;
        std::string out;  // text format
        int status;
    };
    const std::string identity = " 1 0 0 0 1 0 0 0 1\n";
    const Case cases[] = {
        {"0 0 9" + identity, {}, "0 none out_of_reach\n", 0},
        {"0 0 9" + identity, {"--mode", "nearest"}, "0 none out_of_reach\n", 0},
        {"0.3 0 0.8 2 0 0 0 1 0 0 0 1\n", {}, "0 none invalid_input\n", 1},
        {"0.3 0 0.8 1.0001 0 0 0 1 0 0 0 1\n", {"--mode", "nearest"}, "0 none invalid_input\n", 1},
        {"0.3 0 0.8 -1 0 0 0 1 0 0 0 1\n", {"--mode", "position"}, "0 none invalid_input\n", 1},
        {"x\n1 2\n", {}, "", 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"ik", "--arm", arm};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = armkin(args, c.input);
        EXPECT_TRUE(r.exitedWith(c.status)) << c.input;
        EXPECT_EQ(r.out, c.out) << c.input;
        EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
    }
    // The machine-readable record in the other formats, and the repair.
    const std::string bent = "0.3 0 0.8 2 0 0 0 1 0 0 0 1\n";
    EXPECT_EQ(armkin({"ik", "--arm", arm, "--format", "csv"}, "0 0 9" + identity).out,
              "pose,q0,q1,q2,q3,q4,q5,position_error,rotation_error,status\n0,,,,,,,,,out_of_reach\n");
    EXPECT_EQ(armkin({"ik", "--arm", arm, "--format", "json"}, bent).out.rfind(
                  "{\"pose\":0,\"status\":\"invalid_input\",\"reason\":\"the rotation is not orthonormal", 0),
              0u);
    const RunResult repaired = armkin({"ik", "--arm", arm, "--orthonormalize"}, bent);
    EXPECT_TRUE(repaired.exitedWith(0));
    for (const auto& row : numbersPerLine(repaired.out, 1)) {
        // Measured against the matrix as given: |diag(2,1,1) - I|_F = 1.
        EXPECT_NEAR(row[8], 2.0 * std::asin(1.0 / (2.0 * std::sqrt(2.0))), 1e-12);
    }
}

}  // namespace

#endif
