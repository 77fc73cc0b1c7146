#pragma once
//! Output encoding: UTF-8 text converted to the console's character set.

#include <cstddef>
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace kin::driver {

//! Bytes taken by the UTF-8 character at s (at least 1): the lead byte and
//! the continuation bytes that follow it, up to the count it announces. A
//! malformed character is skipped by this many bytes on every system.
inline std::size_t utf8SequenceLength(const char* s, std::size_t left) {
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < expected && n < left && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
    return n;
}

class TextEncoder {
public:
    //! Converts to encoding ("UTF-8" writes the text as it is). With
    //! standIns, a character the encoding lacks is approximated where the C
    //! library can (a terminal); otherwise it becomes one question mark.
    //! Should the conversion be missing from the C library altogether, the
    //! text goes out as UTF-8.
    TextEncoder(std::string encoding, bool standIns);
    ~TextEncoder();
    TextEncoder(const TextEncoder&) = delete;
    TextEncoder& operator=(const TextEncoder&) = delete;

    //! Writes n bytes of UTF-8 to out in the encoding. A character that
    //! cannot be converted, or bytes that are not UTF-8, become one '?'.
    //! On Windows, when out is a console, the characters themselves go to it
    //! (as UTF-16), whatever the encoding and the console's code page.
    void write(std::FILE* out, const char* utf8, std::size_t n);

    const std::string& encoding() const { return encoding_; }

private:
    std::string encoding_;
#ifdef _WIN32
    //! The Windows code page written (932), or 0: the text goes out as UTF-8.
    unsigned codePage_ = 0;
#else
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
#endif
};

//! The character set for a terminal, from the user's locale (LC_ALL,
//! LC_CTYPE, LANG; the global locale of the process is left alone). When
//! the locale is not installed on this machine, the character set its name
//! gives ("ja_JP.SJIS" gives SJIS) is used if the C library can convert to
//! it; otherwise UTF-8, and note says so in one line.
struct TerminalCodeset {
    std::string codeset;
    std::string note;  //!< empty unless the locale's character set was replaced
};
TerminalCodeset terminalCodeset();

//! The character set named by a locale name such as "ja_JP.SJIS@euro"
//! (here "SJIS"), or "" when the name has none.
std::string codesetOfLocaleName(const std::string& name);

}  // namespace kin::driver
