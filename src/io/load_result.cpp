#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "io/io_detail.hpp"

namespace armkin {

std::string LoadError::message() const {
    std::string m = file;
    if (line > 0) m += (m.empty() ? "line " : ":") + std::to_string(line);
    if (!m.empty()) m += ": ";
    return m + reason;
}

LoadResult loadArm(const std::string& path, const UrdfOptions& urdfOptions) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        for (std::size_t i = dot + 1; i < path.size(); ++i)
            ext += static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
    }
    if (ext == "urdf" || ext == "xml") return loadUrdf(path, urdfOptions);
    return loadArmFile(path);
}

namespace io {

LoadResult failure(const std::string& file, int line, std::string reason) {
    LoadResult r;
    r.status = Status::FileError;
    r.error.file = file;
    r.error.line = line;
    for (char& c : reason) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    r.error.reason = reason.empty() ? std::string("unknown error") : std::move(reason);
    return r;
}

std::string quoted(std::string_view text, std::size_t limit) {
    std::size_t n = std::min(text.size(), limit);
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::string q = "'";
    for (char c : text.substr(0, n)) q += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    if (n < text.size()) q += "...";
    return q + "'";
}

LoadResult finish(LoadedArm arm, const std::string& file) {
    for (int i = 0; i < 6; ++i) {
        if (arm.jointNames[i].empty()) arm.jointNames[i] = "joint" + std::to_string(i);
    }
    if (const SetupResult check = validate(arm.description); !check) {
        LoadResult r = failure(file, 0, "the arm read from the file is not valid: " + describe(check));
        r.status = Status::InvalidArm;
        return r;
    }
    LoadResult r;
    r.arm = std::move(arm);
    return r;
}

std::string formatNumber(double v) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    if (ec != std::errc{}) return "?";
    return std::string(buffer, end);
}

NumberText parseNumber(std::string_view text, double& value) {
    std::string_view s = text;
    if (s.empty()) return NumberText::notANumber;
    // from_chars takes a minus sign but no plus sign.
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        s.remove_prefix(1);
        if (s.empty() || s[0] == '+' || s[0] == '-') return NumberText::notANumber;
    }
    // Spelled-out specials, YAML's included (.inf, .nan).
    std::string lower;
    for (char c : s.substr(0, 16)) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (s.size() <= 16) {
        if (!lower.empty() && lower[0] == '.') lower.erase(0, 1);
        if (lower == "inf" || lower == "infinity" || lower == "nan") {
            value = lower == "nan" ? std::nan("") : (negative ? -HUGE_VAL : HUGE_VAL);
            return NumberText::nonFinite;
        }
    }
    // Plain decimal only: digits, one point, an exponent.
    const char c0 = s[0];
    if (!(std::isdigit(static_cast<unsigned char>(c0)) || c0 == '.')) return NumberText::notANumber;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (end != s.data() + s.size()) return NumberText::notANumber;
    if (ec == std::errc::result_out_of_range) return NumberText::outOfRange;
    if (ec != std::errc{}) return NumberText::notANumber;
    value = negative ? -v : v;
    return std::isfinite(value) ? NumberText::finite : NumberText::nonFinite;
}

std::string numberProblem(NumberText kind, std::string_view text) {
    const std::string shown = quoted(text, 40);
    switch (kind) {
    case NumberText::finite: return {};
    case NumberText::nonFinite: return "non-finite number " + shown;
    case NumberText::outOfRange: return "number out of range " + shown;
    case NumberText::notANumber: break;
    }
    return "not a number " + shown;
}

}  // namespace io
}  // namespace armkin
