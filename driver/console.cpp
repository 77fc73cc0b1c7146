#include "driver/console.hpp"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kin::driver {

namespace {

//! Longest number text accepted; longer runs count as malformed.
constexpr std::size_t kMaxNumberText = 4096;

bool isWhite(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

//! Bytes taken by the UTF-8 character at s (at least 1): the lead byte and
//! the continuation bytes that follow it, up to the count it announces.
std::size_t utf8SequenceLength(const char* s, std::size_t left) {
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < expected && n < left && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
    return n;
}

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

//! The character set the user's locale names for a terminal. The global
//! locale of the process is left alone.
std::string terminalCodeset() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return nl_langinfo(CODESET);
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset;
}

}  // namespace

Console::Console(std::FILE* in, std::FILE* out)
    : in_(in), out_(out), inIsTerminal_(isatty(fileno(in)) == 1) {
    const bool outIsTerminal = isatty(fileno(out)) == 1;
    encoding_ = outIsTerminal ? terminalCodeset() : std::string("CP932");
    if (encoding_ != "UTF-8") {
        // On a terminal whose character set lacks a character, show a
        // stand-in rather than nothing. Should the conversion be missing
        // from the C library altogether, the text goes out as UTF-8.
        const std::string to = outIsTerminal ? encoding_ + "//TRANSLIT" : encoding_;
        cd_ = iconv_open(to.c_str(), "UTF-8");
    }
}

Console::~Console() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
}

void Console::print(const char* fmt, ...) {
    char small[512];
    std::va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        write(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, args);
    va_end(args);
    write(big.data(), static_cast<std::size_t>(n));
}

void Console::message(const char* text) { write(text, std::strlen(text)); }

void Console::write(const char* utf8, std::size_t n) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
        std::fwrite(utf8, 1, n, out_);
        return;
    }
    char* from = const_cast<char*>(utf8);
    std::size_t fromLeft = n;
    char buffer[1024];
    while (fromLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t r = iconv(cd_, &from, &fromLeft, &to, &toLeft);
        const int err = errno;
        std::fwrite(buffer, 1, sizeof buffer - toLeft, out_);
        if (r != static_cast<std::size_t>(-1) || err == E2BIG) continue;
        // A character the target lacks, or bytes that are not UTF-8: one
        // question mark for the character (or for the broken sequence), then
        // go on after it.
        std::fputc('?', out_);
        if (err != EILSEQ && err != EINVAL) break;
        const std::size_t skip = utf8SequenceLength(from, fromLeft);
        from += skip;
        fromLeft -= skip;
    }
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &to, &toLeft);
    std::fwrite(buffer, 1, sizeof buffer - toLeft, out_);
}

int Console::getChar() {
    if (pendingPos_ < pending_.size())
        return static_cast<unsigned char>(pending_[pendingPos_++]);
    pending_.clear();
    pendingPos_ = 0;
    return std::getc(in_);
}

void Console::ungetChar(int c) {
    if (c == EOF) return;
    if (pendingPos_ > 0) {
        pending_[--pendingPos_] = static_cast<char>(c);
    } else {
        pending_.insert(pending_.begin(), static_cast<char>(c));
    }
}

int Console::skipWhiteSpace() {
    int c = getChar();
    while (isWhite(c)) c = getChar();
    return c;
}

void Console::dropRestOfLine() {
    int c = getChar();
    while (c != EOF && c != '\n') c = getChar();
}

int Console::readDoubles(std::span<double> fields) {
    std::fflush(out_);
    // A terminal's end of input (Ctrl-D) ends this read only; the next read
    // waits for the user again.
    if (inIsTerminal_) std::clearerr(in_);
    int count = 0;
    std::string text;
    for (double& field : fields) {
        int c = skipWhiteSpace();
        if (c == EOF) return count;
        text.assign(1, static_cast<char>(c));
        while (text.size() < kMaxNumberText) {
            c = getChar();
            if (c == EOF) break;
            if (isWhite(c)) {
                ungetChar(c);
                break;
            }
            text.push_back(static_cast<char>(c));
        }
        bool tooLong = false;
        if (text.size() == kMaxNumberText) {
            c = getChar();
            tooLong = c != EOF && !isWhite(c);
            ungetChar(c);
        }
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const std::size_t used = static_cast<std::size_t>(end - text.c_str());
        if (used == 0 || tooLong) {
            dropRestOfLine();
            return count;
        }
        field = value;
        ++count;
        // What follows the number without white space between belongs to
        // the next field (or the next read), as with "%lf".
        if (used < text.size()) {
            pending_ = text.substr(used) + pending_.substr(pendingPos_);
            pendingPos_ = 0;
        }
    }
    return count;
}

int Console::readKey() {
    std::fflush(out_);
    if (inIsTerminal_) return readTerminalKey();
    const int c = skipWhiteSpace();
    if (c == EOF) throw EndOfInput();
    return c;
}

int Console::readTerminalKey() {
    // The keystroke is taken straight from the terminal: text that a
    // formatted read left in the stream's buffer stays there for the next
    // formatted read.
    const int fd = fileno(in_);
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) throw EndOfInput();
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
    if (got != 1) throw EndOfInput();
    return key;
}

}  // namespace kin::driver
