#include "driver/console/console.hpp"

#include <cstdarg>
#include <cstring>

#include "driver/console/format_text.hpp"
#include "driver/console/terminal_key.hpp"

namespace kin::driver {

namespace {

//! The encoding to write: the one asked for, else CP932 off a terminal and
//! the locale's character set on one.
std::string chooseEncoding(const ConsoleOptions& options, bool outIsTerminal, std::string& note) {
    if (!options.encoding.empty()) return options.encoding;
    if (!outIsTerminal) return "CP932";
    TerminalCodeset t = terminalCodeset();
    note = std::move(t.note);
    return t.codeset;
}

}  // namespace

// On a terminal whose character set lacks a character, show a stand-in
// rather than nothing.
Console::Console(std::FILE* in, std::FILE* out, const ConsoleOptions& options)
    : in_(in),
      out_(out),
      inIsTerminal_(isTerminal(in)),
      encoder_(chooseEncoding(options, isTerminal(out), note_), isTerminal(out)),
      numbers_(in) {}

void Console::print(const char* fmt, ...) {
    char small[512];
    std::va_list args;
    va_start(args, fmt);
    const int n = formatText(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        write(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, fmt);
    formatText(big.data(), big.size(), fmt, args);
    va_end(args);
    write(big.data(), static_cast<std::size_t>(n));
}

void Console::message(const char* text) { write(text, std::strlen(text)); }

int Console::readDoubles(std::span<double> fields) {
    std::fflush(out_);
    // A terminal's end of input (Ctrl-D) ends this read only; the next read
    // waits for the user again.
    if (inIsTerminal_) std::clearerr(in_);
    return numbers_.readDoubles(fields);
}

int Console::readKey() {
    std::fflush(out_);
    const int c = inIsTerminal_ ? readTerminalKey(in_) : numbers_.skipWhiteSpace();
    if (c == EOF) throw EndOfInput();
    return c;
}

}  // namespace kin::driver
