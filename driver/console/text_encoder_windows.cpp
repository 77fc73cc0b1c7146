// The output encoding on Windows: CP932 (or UTF-8) bytes to a pipe or a
// file, exactly as on other systems; characters to a console.

#include "driver/console/text_encoder.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include <io.h>
#include <windows.h>

namespace kin::driver {

namespace {

constexpr unsigned kCp932 = 932;

//! The character at s if it is well-formed UTF-8 (shortest form, no
//! surrogate, at most U+10FFFF) and whole within left bytes, with its
//! length in n; otherwise -1.
std::int32_t decodeUtf8(const char* s, std::size_t left, std::size_t& n) {
    const auto lead = static_cast<unsigned char>(s[0]);
    std::int32_t c = 0;
    std::int32_t least = 0;
    if (lead < 0x80) {
        n = 1;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return -1;
    }
    if (n > left) return -1;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return -1;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    return c;
}

//! Appends c as UTF-16.
void appendUtf16(std::wstring& to, std::int32_t c) {
    if (c < 0x10000) {
        to.push_back(static_cast<wchar_t>(c));
    } else {
        c -= 0x10000;
        to.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        to.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    }
}

//! Appends the bytes of c in the code page, or '?' when the code page has
//! no character that reads back as c (no "best fit" look-alikes).
void appendInCodePage(std::string& to, std::int32_t c, unsigned codePage) {
    if (c < 0x80) {
        to.push_back(static_cast<char>(c));
        return;
    }
    std::wstring wide;
    appendUtf16(wide, c);
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), bytes, sizeof bytes, nullptr,
                                      &usedDefault);
    wchar_t back[4];
    const int m = n > 0 && !usedDefault ? MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, n, back, 4)
                                        : 0;
    if (m != static_cast<int>(wide.size()) || std::wstring(back, static_cast<std::size_t>(m)) != wide) {
        to.push_back('?');
        return;
    }
    to.append(bytes, static_cast<std::size_t>(n));
}

//! The console behind out, or null when out is a pipe, a file or a device.
HANDLE consoleOf(std::FILE* out) {
    const int fd = _fileno(out);
    if (fd < 0) return nullptr;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0 ? h : nullptr;
}

//! The text to a console as UTF-16: it shows the characters whatever its
//! code page. Malformed UTF-8 shows as '?'.
void writeToConsole(HANDLE console, const char* utf8, std::size_t n) {
    std::wstring wide;
    wide.reserve(n);
    for (std::size_t at = 0; at < n;) {
        std::size_t len = 0;
        const std::int32_t c = decodeUtf8(utf8 + at, n - at, len);
        if (c < 0) {
            wide.push_back(L'?');
            at += utf8SequenceLength(utf8 + at, n - at);
        } else {
            appendUtf16(wide, c);
            at += len;
        }
    }
    for (std::size_t at = 0; at < wide.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
        DWORD written = 0;
        if (WriteConsoleW(console, wide.data() + at, chunk, &written, nullptr) == 0 || written == 0)
            return;
        at += written;
    }
}

}  // namespace

TextEncoder::TextEncoder(std::string encoding, bool /*standIns: a console shows every character*/)
    : encoding_(std::move(encoding)) {
    // The Shift-JIS names the console's options and locales give; any other
    // name but UTF-8 the program never asks for, and it goes out as UTF-8.
    if (encoding_ == "CP932" || encoding_ == "SJIS" || encoding_ == "SHIFT_JIS")
        codePage_ = kCp932;
}

TextEncoder::~TextEncoder() = default;

void TextEncoder::write(std::FILE* out, const char* utf8, std::size_t n) {
    if (const HANDLE console = consoleOf(out)) {
        std::fflush(out);
        writeToConsole(console, utf8, n);
        return;
    }
    if (codePage_ == 0) {
        std::fwrite(utf8, 1, n, out);
        return;
    }
    std::string bytes;
    bytes.reserve(n);
    for (std::size_t at = 0; at < n;) {
        std::size_t len = 0;
        const std::int32_t c = decodeUtf8(utf8 + at, n - at, len);
        if (c < 0) {
            bytes.push_back('?');
            at += utf8SequenceLength(utf8 + at, n - at);
        } else {
            appendInCodePage(bytes, c, codePage_);
            at += len;
        }
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
}

std::string codesetOfLocaleName(const std::string& name) {
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return "";
    const std::size_t at = name.find('@', dot);
    return name.substr(dot + 1, at == std::string::npos ? std::string::npos : at - dot - 1);
}

TerminalCodeset terminalCodeset() { return {"CP932", ""}; }

}  // namespace kin::driver
