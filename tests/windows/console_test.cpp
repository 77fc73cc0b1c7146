// The Windows build of the console program (ARMCONSOLE_EXE, run by
// ARMCONSOLE_RUNNER, wine) beside the one built here: the same bytes for the
// same input through pipes, and single keys on a console. Skipped unless
// ARMCONSOLE_EXE is set; scripts/windows --test runs it.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "dialogue_support.hpp"

namespace {

using namespace dialogue;
using namespace std::string_literals;

struct WindowsBuild : ::testing::Test {
    void SetUp() override {
        if (std::getenv("ARMCONSOLE_EXE") == nullptr) GTEST_SKIP() << "ARMCONSOLE_EXE is not set";
    }
};

TEST_F(WindowsBuild, SameBytesAsThisBuildThroughPipes) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // Not-a-number of either sign and the infinities in every mode.
        {{}, "1 nan nan nan nan nan nan x 1 inf inf inf inf inf inf x 1 -inf 0 0 0 0 0 x 0"},
        {{}, "2 inf inf inf inf inf inf p 0 0 0 0 0 0 k k k k k k k k 0"},
        {{}, "3 nan nan nan nan nan nan nan nan nan nan nan nan 1 1 0 0 0"},
        {{}, "4 -inf -inf -inf -inf -inf -inf p k k k k 0"},
        {{}, "2 0.1 0.2 0.3 0.4 0.5 0.6 p 0 0 0 0 0 0 a b c d e f g h 0"},
        // CR LF line ends; Ctrl-Z, NUL and high bytes are keys like any other.
        {{}, "1\r\n0 1.5707963 0 0 0 0\r\nx\r\n0\r\n"},
        {{}, "\x1a\n0 0 0 0 0 0\n\x1a\n4 0.1 0.2 0.3\n0.4 0.5 0.6\n\x1a\x1a\x1a\x1a\x1a" "0"},
        {{}, "\xff 0 0 0 0 0 0 \x81\x40 \0 1 2 3 4 5 6 \x1a 0"s},
        {{"--encoding", "utf-8"}, "3 0.1 0.2 0.3 0.4 0.5 0.6 0.12 0.22 0.32 0.42 0.52 0.62 1 0 0"},
        {{"--encoding=cp932"}, "0"}, {{"--version"}, ""}, {{"--bogus"}, "0"},
        {{"--encoding", "latin1"}, "0"}, {{"--tip", "tool0"}, "0"},
    };
    for (const auto& [args, input] : cases) {
        const RunResult here = runProgram(ARMCONSOLE_PATH, args, input);
        const RunResult windows = runConsole(args, input, 30.0);
        SCOPED_TRACE((args.empty() ? "" : args[0] + " ") + input);
        ASSERT_FALSE(windows.timedOut);
        ASSERT_TRUE(WIFEXITED(here.status) && WIFEXITED(windows.status));
        EXPECT_EQ(WEXITSTATUS(windows.status), WEXITSTATUS(here.status));
        EXPECT_EQ(windows.out, here.out) << fromCp932(windows.out);
        EXPECT_EQ(windows.err, here.err);
    }
}

//! The Windows program on a console: the runner (wine) on a fresh
//! pseudo-terminal, which it shows as the program's console. Output is
//! kept without the terminal's control sequences and carriage returns.
class ConsoleRun {
public:
    explicit ConsoleRun(const std::vector<std::string>& args) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        const std::string slave = ptsname(master_);
        std::vector<std::string> all{std::getenv("ARMCONSOLE_EXE")};
        all.insert(all.end(), args.begin(), args.end());
        const char* runner = std::getenv("ARMCONSOLE_RUNNER");
        if (runner != nullptr && *runner != '\0') all.insert(all.begin(), runner);
        pid_ = fork();
        if (pid_ < 0) std::abort();
        if (pid_ == 0) {
            setsid();
            // As from a shell: the pipe runs leave SIGPIPE ignored, and wine's
            // console then takes seconds to pass a key on.
            std::signal(SIGPIPE, SIG_DFL);
            const int fd = open(slave.c_str(), O_RDWR);  // the controlling terminal
            for (int i = 0; i < 3; ++i) dup2(fd, i);
            setenv("LC_ALL", "C.UTF-8", 1);
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~ConsoleRun() {
        if (!ended_ && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        close(master_);
    }
    ConsoleRun(const ConsoleRun&) = delete;
    ConsoleRun& operator=(const ConsoleRun&) = delete;

    void type(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) std::abort();
    }
    //! Reads the output until it holds text after byte from.
    bool waitFor(const std::string& text, std::size_t from = 0) {
        return until([&] { return shown_.find(text, from) != std::string::npos; });
    }
    bool ended() {
        return until([&] { return ended_ = ended_ || waitpid(pid_, nullptr, WNOHANG) == pid_; });
    }
    //! Until the runner has taken the terminal over (no echo by the
    //! terminal itself): keys typed before that would be echoed.
    bool waitForConsole() {
        termios t{};
        return until([&] { return tcgetattr(master_, &t) != 0 || (t.c_lflag & ECHO) == 0; });
    }
    const std::string& shown() const { return shown_; }

private:
    //! Reads the output until done() holds, for at most 30 s.
    template <typename Done>
    bool until(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            readSome();
        }
        return true;
    }
    void readSome() {
        pollfd p{master_, POLLIN, 0};
        char buffer[4096];
        const ssize_t n = poll(&p, 1, 100) == 1 ? read(master_, buffer, sizeof buffer) : 0;
        if (n <= 0) {
            usleep(10000);  // nothing yet, or the program has closed the terminal
            return;
        }
        raw_.append(buffer, static_cast<std::size_t>(n));
        // Control sequences (ESC [ ... final byte) and CR out.
        shown_.clear();
        for (std::size_t i = 0; i < raw_.size(); ++i) {
            if (raw_[i] == '\x1b' && i + 1 < raw_.size() && raw_[i + 1] == '[') {
                for (i += 2; i < raw_.size() && (raw_[i] < 0x40 || raw_[i] > 0x7e);) ++i;
            } else if (raw_[i] != '\r') {
                shown_.push_back(raw_[i]);
            }
        }
    }

    int master_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    std::string raw_;
    std::string shown_;
};

const std::string kAsk = "どれを選ぶ？";

TEST_F(WindowsBuild, OnAConsoleCharactersWhateverTheCodePageAndKeysWithoutEnterOrEcho) {
    ConsoleRun run({});
    // CP932 is the program's encoding, the terminal's is UTF-8: the
    // characters arrive all the same.
    ASSERT_TRUE(run.waitFor("\n順運動学  ：1　PTP逆運動学       ：2\nCP逆運動学：3")) << run.shown();
    ASSERT_TRUE(run.waitFor(kAsk));
    ASSERT_TRUE(run.waitForConsole());
    std::size_t mark = run.shown().size();
    run.type("1");  // no Enter
    ASSERT_TRUE(run.waitFor(kFkPrompt, mark)) << run.shown();
    EXPECT_EQ(run.shown().find('1', mark), std::string::npos)
        << "the key was echoed:\n" << run.shown().substr(mark);
    run.type("0 1.5707963 0 0 0 0\r");  // a number read: the line, with echo
    ASSERT_TRUE(run.waitFor("GP[] =(  2.1000,   0.0000,   1.1000)", mark)) << run.shown();
    ASSERT_TRUE(run.waitFor("テスト終り", mark));
    // An arrow at the pause, another at the menu: each counts once, and
    // the numbers typed next are read whole.
    mark = run.shown().size();
    run.type("\x1b[A\x1b[A");
    ASSERT_TRUE(run.waitFor(kFkPrompt, mark)) << run.shown().substr(mark);
    run.type("0 0 0 0 0 0\r");
    ASSERT_TRUE(run.waitFor("GP[] =(  0.0000,   0.0000,   3.2000)", mark)) << run.shown();
    ASSERT_TRUE(run.waitFor("テスト終り", mark));
    run.type("x0");  // the pause, then the end at the menu
    EXPECT_TRUE(run.ended());
}

TEST_F(WindowsBuild, OnAConsoleCtrlCAtAKeyReadEndsTheProgram) {
    ConsoleRun run({"--encoding", "utf-8"});
    ASSERT_TRUE(run.waitFor(kAsk)) << run.shown();
    ASSERT_TRUE(run.waitForConsole());
    run.type("\x03");
    EXPECT_TRUE(run.ended()) << run.shown();
}

}  // namespace
