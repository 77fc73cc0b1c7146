// The console program on a pseudo-terminal: text in the locale's character
// set, keys without Enter or echo, and the terminal's settings as they were
// after the program ends, by the key 0 or by a signal during a key read.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "dialogue_support.hpp"

namespace {

using namespace dialogue;
using Clock = std::chrono::steady_clock;

//! A terminal shows "\n" as "\r\n".
std::string onTerminal(const std::string& text) {
    std::string r;
    for (char c : text) {
        if (c == '\n') r += '\r';
        r += c;
    }
    return r;
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

//! The program on the slave side of a fresh pseudo-terminal, as the leader
//! of its own session with the terminal as its controlling terminal.
class TerminalRun {
public:
    explicit TerminalRun(const char* locale) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave_ < 0 || tcgetattr(slave_, &before_) != 0) std::abort();
        pid_ = fork();
        if (pid_ < 0) std::abort();
        if (pid_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            dup2(slave_, 0);
            dup2(slave_, 1);
            dup2(slave_, 2);
            close(master_);
            close(slave_);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            unsetenv("LANG");
            unsetenv("LC_CTYPE");
            setenv("LC_ALL", locale, 1);
            execl(ARMCONSOLE_PATH, ARMCONSOLE_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TerminalRun() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    const termios& before() const { return before_; }
    termios now() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t;
    }
    const std::string& out() const { return out_; }

    void signal(int sig) { kill(pid_, sig); }

    void type(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            std::abort();
    }

    //! Collects output until it holds text (from byte `from` on).
    bool waitFor(const std::string& text, std::size_t from = 0) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (out_.find(text, from) == std::string::npos) {
            if (Clock::now() > deadline) return false;
            readSome(100);
        }
        return true;
    }

    //! Waits until the program has switched the terminal to single keys.
    bool waitForKeyRead() {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while ((now().c_lflag & ICANON) != 0) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    //! Waits for the program to end; returns its wait status, or -1 if it
    //! did not end in time.
    int waitForEnd() {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                ended_ = true;
                while (readSome(0)) {
                }
                return status;
            }
            if (Clock::now() > deadline) return -1;
            readSome(20);
        }
    }

private:
    bool readSome(int timeoutMs) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1 || (p.revents & POLLIN) == 0) return false;
        char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return false;
        out_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    termios before_{};
    std::string out_;
};

const std::string kOpening = kStart + kMenu;

TEST(Terminal, Utf8TextAndKeysWithoutEnterOrEcho) {
    TerminalRun run("C.utf8");
    ASSERT_TRUE(run.waitFor(onTerminal(kMenu))) << run.out();
    EXPECT_EQ(run.out(), onTerminal(kOpening));  // UTF-8, not CP932

    ASSERT_TRUE(run.waitForKeyRead());
    const termios during = run.now();
    EXPECT_EQ(during.c_lflag & ECHO, 0u);
    run.type("1");  // no Enter
    ASSERT_TRUE(run.waitFor(onTerminal(kFkPrompt))) << run.out();
    EXPECT_EQ(run.out(), onTerminal(kOpening + kFkPrompt));  // the key was not echoed

    // A formatted read runs with the user's own settings.
    EXPECT_TRUE(sameSettings(run.now(), run.before()));
    run.type("0 1.5707963 0 0 0 0\n");
    ASSERT_TRUE(run.waitFor(onTerminal("\n位置  GP[] =(  2.1000,   0.0000,   1.1000)")))
        << run.out();
    ASSERT_TRUE(run.waitFor(onTerminal("テスト終り")));
    ASSERT_TRUE(run.waitForKeyRead());
    const std::size_t mark = run.out().size();
    run.type("x");
    ASSERT_TRUE(run.waitFor(onTerminal(kMenu), mark));
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("0");
    const int status = run.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(sameSettings(run.now(), run.before()));
}

TEST(Terminal, LocaleWithoutJapaneseGetsStandIns) {
    // In the plain C locale the terminal's character set is ASCII: the
    // Japanese text becomes stand-ins, the rest stays readable.
    TerminalRun run("C");
    ASSERT_TRUE(run.waitFor("PTP"));
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("0");
    const int status = run.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(run.out().substr(0, 16), "\r\nJTYPE=RRRRRR\r\n");
    for (char c : run.out()) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
    EXPECT_NE(run.out().find('?'), std::string::npos);
}

TEST(Terminal, KeysBypassTextLeftFromANumberRead) {
    // Two extra numbers after the six stay for the next number read; the
    // pause and the menu key are taken from the keyboard meanwhile.
    TerminalRun run("C.utf8");
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("1");
    ASSERT_TRUE(run.waitFor(onTerminal(kFkPrompt)));
    run.type("0 0 0 0 0 0 0 1.5707963\n");
    ASSERT_TRUE(run.waitFor(onTerminal("\n位置  GP[] =(  0.0000,   0.0000,   3.2000)")));
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("x");
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("1");
    const std::size_t mark = run.out().size();
    ASSERT_TRUE(run.waitFor(onTerminal(kFkPrompt), mark));
    run.type("0 0 0 0\n");
    ASSERT_TRUE(run.waitFor(onTerminal("\n位置  GP[] =(  2.1000,   0.0000,   1.1000)"), mark))
        << run.out();
}

TEST(Terminal, AKeyOfSeveralBytesCountsOnce) {
    // An arrow key sends ESC [ A: it starts the forward test, and the rest
    // of it does not spoil the numbers typed next.
    TerminalRun run("C.utf8");
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("\x1b[A");
    ASSERT_TRUE(run.waitFor(onTerminal(kFkPrompt)));
    run.type("0 1.5707963 0 0 0 0\n");
    ASSERT_TRUE(run.waitFor(onTerminal("\n位置  GP[] =(  2.1000,   0.0000,   1.1000)")))
        << run.out();
}

TEST(Terminal, SignalDuringAKeyReadRestoresTheSettings) {
    struct Case {
        const char* label;
        int sig;
        bool typed;  // Ctrl-C on the keyboard rather than kill
    };
    const Case cases[] = {
        {"Ctrl-C", SIGINT, true},       {"SIGINT", SIGINT, false},  {"SIGTERM", SIGTERM, false},
        {"SIGHUP", SIGHUP, false},      {"SIGQUIT", SIGQUIT, false},
    };
    for (const Case& c : cases) {
        TerminalRun run("C.utf8");
        ASSERT_TRUE(run.waitFor(onTerminal(kMenu))) << c.label;
        ASSERT_TRUE(run.waitForKeyRead()) << c.label;
        ASSERT_FALSE(sameSettings(run.now(), run.before())) << c.label;
        if (c.typed) {
            run.type("\x03");
        } else {
            run.signal(c.sig);
        }
        const int status = run.waitForEnd();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig)
            << c.label << ": status " << status;
        EXPECT_TRUE(sameSettings(run.now(), run.before())) << c.label;
    }
}

TEST(Terminal, CtrlDAtAKeyReadEndsTheProgram) {
    TerminalRun run("C.utf8");
    ASSERT_TRUE(run.waitForKeyRead());
    run.type("\x04");
    const int status = run.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(run.out(), onTerminal(kOpening));
    EXPECT_TRUE(sameSettings(run.now(), run.before()));
}

TEST(Terminal, LocaleThatIsNotInstalled) {
    // Its name says SJIS: the text comes in Shift-JIS, without a note.
    {
        TerminalRun run("ja_JP.SJIS");
        ASSERT_TRUE(run.waitForKeyRead());
        run.type("0");
        ASSERT_EQ(run.waitForEnd(), 0);
        EXPECT_EQ(run.out(), onTerminal(toCp932(kOpening)));
    }
    // A character set the C library cannot write: UTF-8, and one note on
    // standard error (the same terminal here) before the dialogue.
    {
        TerminalRun run("xx_YY.NO-SUCH-SET");
        ASSERT_TRUE(run.waitForKeyRead());
        run.type("0");
        ASSERT_EQ(run.waitForEnd(), 0);
        const std::string note =
            "armconsole: note: the locale 'xx_YY.NO-SUCH-SET' is not available here; the "
            "dialogue is written in UTF-8\r\n";
        EXPECT_EQ(run.out(), note + onTerminal(kOpening));
    }
}

}  // namespace
