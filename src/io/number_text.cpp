// Numbers as the arm files write them, read and written back for messages.

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "io/io_detail.hpp"

namespace armkin::io {

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

}  // namespace armkin::io
