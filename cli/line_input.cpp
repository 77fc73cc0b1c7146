#include "cli/line_input.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace armkin::cli {

bool LineInput::next(std::string& line) {
    for (;;) {
        line.clear();
        int c;
        bool tooLong = false;
        bool any = false;
        while ((c = std::getc(in_)) != EOF) {
            any = true;
            ++bytes_;
            if (c == '\n') break;
            if (line.size() < kMaxLine) {
                line.push_back(static_cast<char>(c));
            } else {
                tooLong = true;
            }
        }
        if (!any) return false;
        ++lineNumber_;
        if (tooLong) {
            line = "\x01too long";  // cannot parse as numbers: reported by the caller
            return true;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t,");
        if (first == std::string::npos || line[first] == '#') continue;
        return true;
    }
}

std::string parseNumbers(const std::string& line, std::span<double> values) {
    if (!line.empty() && line[0] == '\x01') return "line longer than 65536 bytes";
    std::size_t count = 0;
    const char* p = line.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        if (*p == '\0') break;
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != ',') ++p;
        const std::string field(start, p);
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(field.c_str(), &end);
        if (end == field.c_str() || *end != '\0') return "'" + field + "' is not a number";
        if (!std::isfinite(v)) return "not a finite number: " + field;
        if (count < values.size()) values[count] = v;
        ++count;
    }
    if (count != values.size())
        return "expected " + std::to_string(values.size()) + " numbers, got " + std::to_string(count);
    return "";
}

}  // namespace armkin::cli
