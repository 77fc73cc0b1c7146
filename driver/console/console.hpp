#pragma once
//! The console the test dialogue runs on: formatted text out, numbers and
//! single keys in. It owns the output encoding (text_encoder), the number
//! reads (number_input) and the key reads with the terminal's settings
//! (terminal_key), and nothing else.

#include <cstdio>
#include <exception>
#include <span>
#include <string>

#include "driver/console/number_input.hpp"
#include "driver/console/text_encoder.hpp"
#include "ik/kinematics.hpp"

namespace kin::driver {

//! Thrown by readKey when the input has ended: the dialogue cannot go on.
struct EndOfInput : std::exception {
    const char* what() const noexcept override { return "end of input"; }
};

struct ConsoleOptions {
    //! Output encoding as iconv names it ("CP932", "UTF-8"). Empty: CP932
    //! unless the output is a terminal, in which case the character set of
    //! the user's locale.
    std::string encoding;
};

class Console final : public kin::MessageSink {
public:
    //! Reads from in and writes to out; neither is closed at the end.
    Console(std::FILE* in, std::FILE* out, const ConsoleOptions& options = {});
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    //! printf-style text, given in UTF-8, written in the output encoding.
    void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    //! One key. On a terminal: one keystroke, without echo and without
    //! Enter. Otherwise: the next character that is not white space.
    //! Throws EndOfInput when the input has ended.
    int readKey();

    //! Flushes the output, then reads numbers as NumberInput::readDoubles.
    //! On a terminal an end of input (Ctrl-D) ends this read only.
    int readDoubles(std::span<double> fields);

    //! The engine's messages (UTF-8).
    void message(const char* text) override;

    //! The encoding the output is converted to ("CP932" off a terminal).
    const std::string& outputEncoding() const { return encoder_.encoding(); }
    //! One line about the choice of encoding for standard error (a locale
    //! that is not installed), or empty.
    const std::string& note() const { return note_; }

private:
    void write(const char* utf8, std::size_t n) { encoder_.write(out_, utf8, n); }

    std::FILE* in_;
    std::FILE* out_;
    bool inIsTerminal_;
    std::string note_;
    TextEncoder encoder_;
    NumberInput numbers_;
};

}  // namespace kin::driver
