#pragma once
//! Output encoding: UTF-8 text converted to the console's character set.

#include <cstddef>
#include <cstdio>
#include <string>

#include <iconv.h>

namespace kin::driver {

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
    void write(std::FILE* out, const char* utf8, std::size_t n);

    const std::string& encoding() const { return encoding_; }

private:
    std::string encoding_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

//! The character set the user's locale names (LC_ALL, LC_CTYPE, LANG). The
//! global locale of the process is left alone.
std::string localeCodeset();

}  // namespace kin::driver
