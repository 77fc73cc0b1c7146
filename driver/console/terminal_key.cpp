#include "driver/console/terminal_key.hpp"

#include <cerrno>
#include <csignal>
#include <iterator>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kin::driver {

namespace {

// --- Terminal state for the signal handlers --------------------------------
//
// A key read switches the terminal to single keystrokes without echo. If a
// signal ends the program during that read, the handler must put the user's
// settings back before the program dies, and a handler can reach nothing but
// static storage. This is therefore the one mutable static of the program:
// written by readTerminalKey before the handlers go in, read by the handler.
struct SavedTerminal {
    int fd = -1;
    termios settings{};
};
SavedTerminal savedTerminal;
volatile std::sig_atomic_t terminalChanged = 0;

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreTerminalAndReraise(int sig) {
    if (terminalChanged != 0) {
        tcsetattr(savedTerminal.fd, TCSANOW, &savedTerminal.settings);
        terminalChanged = 0;
    }
    // Die of the same signal, as the program would have without us. The
    // signal is blocked while the handler runs, so it arrives on return.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

//! Installs the restoring handler for the key read and puts the previous
//! handlers back when it goes out of scope. Signals the user has chosen to
//! ignore (nohup, for example) stay ignored.
class RestoringHandlers {
public:
    RestoringHandlers() {
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i) {
            struct sigaction now {};
            now.sa_handler = restoreTerminalAndReraise;
            sigemptyset(&now.sa_mask);
            installed_[i] = sigaction(kRestoringSignals[i], nullptr, &old_[i]) == 0 &&
                            old_[i].sa_handler != SIG_IGN &&
                            sigaction(kRestoringSignals[i], &now, nullptr) == 0;
        }
    }
    ~RestoringHandlers() {
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
            if (installed_[i]) sigaction(kRestoringSignals[i], &old_[i], nullptr);
    }
    RestoringHandlers(const RestoringHandlers&) = delete;
    RestoringHandlers& operator=(const RestoringHandlers&) = delete;

private:
    struct sigaction old_[std::size(kRestoringSignals)] {};
    bool installed_[std::size(kRestoringSignals)] = {};
};

}  // namespace

bool isTerminal(std::FILE* f) { return isatty(fileno(f)) == 1; }

int readTerminalKey(std::FILE* in) {
    // The keystroke is taken straight from the terminal: text that a
    // formatted read left in the stream's buffer stays there for the next
    // formatted read.
    const int fd = fileno(in);
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) return EOF;
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;

    unsigned char key = 0;
    ssize_t got = -1;
    {
        savedTerminal.fd = fd;
        savedTerminal.settings = saved;
        RestoringHandlers handlers;
        terminalChanged = 1;
        tcsetattr(fd, TCSANOW, &raw);
        do {
            got = ::read(fd, &key, 1);
        } while (got < 0 && errno == EINTR);
        // A key that sends several bytes (an arrow, a function key, a
        // non-ASCII character) counts once: drop the bytes that came with it.
        if (got == 1 && (key == 0x1B || key >= 0x80)) {
            unsigned char rest[16];
            pollfd p{fd, POLLIN, 0};
            for (int i = 0; i < 4 && poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0; ++i)
                if (::read(fd, rest, sizeof rest) <= 0) break;
        }
        tcsetattr(fd, TCSANOW, &saved);
        terminalChanged = 0;
    }
    // The terminal's end-of-input key (Ctrl-D unless changed with stty)
    // ends the input, as the end of a pipe does.
    if (got == 1 && saved.c_cc[VEOF] != _POSIX_VDISABLE && key == saved.c_cc[VEOF]) return EOF;
    return got == 1 ? key : EOF;
}

}  // namespace kin::driver
