#pragma once
//! The console the test dialogue runs on: formatted text out, numbers and
//! single keys in. It owns the encoding of the output and the terminal's
//! settings during a key read, and nothing else.

#include <cstdio>
#include <exception>
#include <span>
#include <string>

#include <iconv.h>

#include "ik/engine.hpp"

namespace kin::driver {

//! Thrown by readKey when the input has ended: the dialogue cannot go on.
struct EndOfInput : std::exception {
    const char* what() const noexcept override { return "end of input"; }
};

class Console final : public kin::MessageSink {
public:
    //! Reads from in and writes to out; neither is closed at the end.
    //! Output goes out as CP932 unless out is a terminal, in which case it is
    //! written in the character set of the user's locale.
    Console(std::FILE* in, std::FILE* out);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    //! printf-style text, given in UTF-8, written in the output encoding.
    void print(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    //! One key. On a terminal: one keystroke, without echo and without
    //! Enter. Otherwise: the next character that is not white space.
    //! Throws EndOfInput when the input has ended.
    int readKey();

    //! Reads fields.size() numbers as "%lf %lf ..." would: white space,
    //! line breaks included, is skipped; each number is the longest prefix
    //! that strtod accepts. Returns the count of fields written; fields not
    //! written keep their values. At malformed text the read stops and the
    //! rest of that input line is dropped. Text after the last number stays
    //! for the next read.
    int readDoubles(std::span<double> fields);

    //! The engine's messages (UTF-8).
    void message(const char* text) override;

    //! The encoding the output is converted to ("CP932" off a terminal).
    const std::string& outputEncoding() const { return encoding_; }

private:
    void write(const char* utf8, std::size_t n);
    int getChar();            //!< next input byte (pending text first), or EOF
    void ungetChar(int c);    //!< puts one byte back in front of the input
    int skipWhiteSpace();     //!< first byte that is not white space, or EOF
    void dropRestOfLine();
    int readTerminalKey();

    std::FILE* in_;
    std::FILE* out_;
    bool inIsTerminal_;
    std::string encoding_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
    //! Input already taken from the stream but not yet used, in order.
    std::string pending_;
    std::size_t pendingPos_ = 0;
};

}  // namespace kin::driver
