#pragma once
//! The console's printf formatting, the same on every system.

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace kin::driver {

#ifdef _WIN32
//! vsnprintf, except that a NaN with its sign bit set is written "-nan"
//! ("-NAN" for an upper-case conversion), as the GNU C library writes it;
//! the C library of Windows builds drops the sign.
int formatText(char* buffer, std::size_t size, const char* fmt, std::va_list args);
#else
inline int formatText(char* buffer, std::size_t size, const char* fmt, std::va_list args) {
    return std::vsnprintf(buffer, size, fmt, args);
}
#endif

}  // namespace kin::driver
