#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/io_detail.hpp"

namespace armkin::io {

namespace {

//! The system's text for an errno value, lower-case first letter ("no such
//! file or directory"). strerror_r keeps it thread-safe.
std::string systemReason(int code) {
    char buffer[128];
    const char* text = strerror_r(code, buffer, sizeof buffer);  // GNU: returns the text
    std::string s = text ? text : "unknown error";
    if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z' && !(s.size() > 1 && s[1] >= 'A' && s[1] <= 'Z'))
        s[0] = static_cast<char>(s[0] - 'A' + 'a');
    return s;
}

std::string tooBig(unsigned long long size) {
    return "file too big (" + std::to_string(size) + " bytes; the limit is " +
           std::to_string(kMaxArmFileBytes) + ")";
}

//! Closes the descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

//! Length of the UTF-8 sequence at s[i..], or 0 when it is not one
//! (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (b(1) < lo || b(1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (b(k) < 0x80 || b(k) > 0xBF) return 0;
    }
    return n;
}

}  // namespace

bool readArmFile(const std::string& path, std::string& text, LoadError& error) {
    error = {path, 0, {}};
    if (path.empty()) {
        error.reason = "no file name given";
        return false;
    }
    if (path.find('\0') != std::string::npos) {
        error.reason = "the file name holds a NUL byte";
        return false;
    }
    // Non-blocking, so that opening a FIFO without a writer cannot wait.
    Descriptor d;
    d.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (d.fd < 0) {
        error.reason = "cannot open: " + systemReason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(d.fd, &st) != 0) {
        error.reason = "cannot read: " + systemReason(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error.reason = "is a directory";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error.reason = "not a regular file";
        return false;
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > kMaxArmFileBytes) {
        error.reason = tooBig(static_cast<unsigned long long>(st.st_size));
        return false;
    }

    // Read up to one byte past the limit: a file that grew since fstat is
    // refused rather than cut.
    text.assign(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    while (true) {
        if (got == text.size()) {
            if (text.size() > kMaxArmFileBytes) {
                error.reason = tooBig(got);
                text.clear();
                return false;
            }
            text.resize(std::min(text.size() * 2 + 64, kMaxArmFileBytes + 1));
        }
        const ssize_t n = ::read(d.fd, text.data() + got, text.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            error.reason = "cannot read: " + systemReason(errno);
            text.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return true;
}

bool checkText(std::string_view text, const std::string& source, const char* kind,
               LoadError& error) {
    if (text.size() > kMaxArmFileBytes) {
        error = {source, 0, tooBig(text.size())};
        return false;
    }
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\0') {
            error = {source, line, std::string("malformed ") + kind + ": NUL byte"};
            return false;
        }
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
            error = {source, line, std::string("malformed ") + kind + ": byte " + hex + " is not UTF-8"};
            return false;
        }
        if (c == '\n') ++line;
        i += n;
    }
    return true;
}

}  // namespace armkin::io
