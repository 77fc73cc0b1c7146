// printf formatting on Windows with the sign of a NaN kept, so that the
// dialogue's bytes are those of other systems.

#include "driver/console/format_text.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace kin::driver {

namespace {

//! Appends one conversion, formatted by the C library.
template <typename T>
void appendFormatted(std::string& out, const std::string& directive, T value) {
    char small[128];
    const int n = std::snprintf(small, sizeof small, directive.c_str(), value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), directive.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int formatText(char* buffer, std::size_t size, const char* fmt, std::va_list args) {
    std::va_list ap;
    va_copy(ap, args);
    std::string out;
    for (const char* p = fmt; *p != '\0';) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        ++p;
        // %[flags][width][.precision][length]conversion, with the widths
        // given as arguments written into the conversion as numbers.
        std::string directive = "%";
        bool left = false;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) {
            left = left || *p == '-';
            directive.push_back(*p++);
        }
        int width = -1;
        if (*p == '*') {
            width = va_arg(ap, int);
            ++p;
            if (width < 0) {
                left = true;
                directive.push_back('-');
                width = -width;
            }
        } else if (isDigit(*p)) {
            width = 0;
            while (isDigit(*p)) width = width * 10 + (*p++ - '0');
        }
        if (width >= 0) directive += std::to_string(width);
        if (*p == '.') {
            ++p;
            int precision = 0;
            if (*p == '*') {
                precision = va_arg(ap, int);
                ++p;
            } else {
                while (isDigit(*p)) precision = precision * 10 + (*p++ - '0');
            }
            if (precision >= 0) directive += "." + std::to_string(precision);
        }
        std::string length;
        while (*p != '\0' && std::strchr("hlLjzt", *p) != nullptr) length.push_back(*p++);
        const char conversion = *p;
        if (conversion == '\0') break;
        ++p;
        directive += length;
        directive.push_back(conversion);
        switch (conversion) {
            case '%':
                out.push_back('%');
                break;
            case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
                if (length == "ll" || length == "j") appendFormatted(out, directive, va_arg(ap, long long));
                else if (length == "l") appendFormatted(out, directive, va_arg(ap, long));
                else if (length == "z" || length == "t") appendFormatted(out, directive, va_arg(ap, std::size_t));
                else appendFormatted(out, directive, va_arg(ap, int));
                break;
            case 'c':
                appendFormatted(out, directive, va_arg(ap, int));
                break;
            case 's':
                appendFormatted(out, directive, va_arg(ap, const char*));
                break;
            case 'p':
                appendFormatted(out, directive, va_arg(ap, void*));
                break;
            case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
                const bool wide = length == "L";
                const long double value = wide ? va_arg(ap, long double) : va_arg(ap, double);
                if (std::isnan(value) && std::signbit(value)) {
                    const bool upper = conversion >= 'A' && conversion <= 'Z';
                    std::string text = upper ? "-NAN" : "-nan";
                    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
                    if (text.size() < w) text.insert(left ? text.size() : 0, w - text.size(), ' ');
                    out += text;
                } else if (wide) {
                    appendFormatted(out, directive, value);
                } else {
                    appendFormatted(out, directive, static_cast<double>(value));
                }
                break;
            }
            default:
                // Not a conversion the console writes: shown as it stands.
                out += directive;
                break;
        }
    }
    va_end(ap);
    if (size > 0) {
        const std::size_t n = out.size() < size ? out.size() : size - 1;
        std::memcpy(buffer, out.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int>(out.size());
}

}  // namespace kin::driver
