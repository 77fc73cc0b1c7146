// The console program's command line: help, version, encodings, and the
// refusal of bad options with one line on standard error, status 2 and
// nothing on standard output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue_support.hpp"

namespace {

using namespace dialogue;

TEST(ConsoleOptions, BadCommandLinesAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"extra"},
        {"--encoding", "latin1"},
        {"--encoding"},
        {"--arm"},
        {"--arm="},
        {"--tip", "tool0"},
        {"--arm", "/no/such/arm.urdf"},
        {"--arm", "/no/such/arm.yaml"},
    };
    for (const auto& args : cases) {
        const RunResult run = runConsole(args, "0\n");
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        EXPECT_TRUE(run.exitedWith(2)) << run.status;
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.rfind("armconsole: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // one line
    }
}

TEST(ConsoleOptions, HelpAndVersionGoToStandardOutput) {
    const RunResult help = runConsole({"--help"}, "");
    EXPECT_TRUE(help.exitedWith(0));
    EXPECT_EQ(help.out.rfind("Usage: armconsole", 0), 0u);
    EXPECT_EQ(help.err, "");
    const RunResult version = runConsole({"--version"}, "");
    EXPECT_TRUE(version.exitedWith(0));
    EXPECT_EQ(version.out.rfind("armconsole (armkin) ", 0), 0u);
}

TEST(ConsoleOptions, EncodingsOfTheSameSession) {
    const std::string input = "1\n0 1.5707963 0 0 0 0\nx\n2\n0.1 0.2 0.3 0.4 0.5 0.6\nk\n\n0\n";
    const RunResult plain = runConsole(input);
    const RunResult cp932 = runConsole({"--encoding", "cp932"}, input);
    const RunResult utf8 = runConsole({"--encoding=utf-8"}, input);
    ASSERT_TRUE(plain.exitedWith(0) && cp932.exitedWith(0) && utf8.exitedWith(0));
    EXPECT_EQ(cp932.out, plain.out);
    EXPECT_EQ(utf8.out, fromCp932(plain.out));
    EXPECT_NE(utf8.out, plain.out);
}

TEST(ConsoleOptions, ArmFromAFile) {
    if (!ARMKIN_HAVE_IO) GTEST_SKIP() << "this build's console program reads no arm files";
    // The same arm in both formats: the same dialogue, with its own letters.
    const std::string input = "1\n0.3 0.1 0.2 0.4 0.5 0.6\nx\n2\n0.3 0.1 0.2 0.4 0.5 0.6\nk\n\n0\n";
    const RunResult urdf = runProgram(
        ARMCONSOLE_PATH, {"--arm", ARMKIN_ARMS_DIR "/cylindrical_sliding.urdf", "--encoding", "utf-8"}, input);
    const RunResult yaml = runProgram(
        ARMCONSOLE_PATH, {"--arm", ARMKIN_ARMS_DIR "/cylindrical_sliding.yaml", "--encoding", "utf-8"}, input);
    ASSERT_TRUE(urdf.exitedWith(0)) << urdf.err;
    EXPECT_EQ(urdf.out.rfind("\nJTYPE=RSSRRR\n", 0), 0u) << urdf.out;
    EXPECT_EQ(urdf.out, yaml.out);
    EXPECT_NE(urdf.out, fromCp932(runConsole(input).out));
}

}  // namespace
