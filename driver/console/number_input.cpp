#include "driver/console/number_input.hpp"

#include <cstdlib>

namespace kin::driver {

namespace {

//! Longest number text accepted; longer runs count as malformed.
constexpr std::size_t kMaxNumberText = 4096;

bool isWhite(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int NumberInput::getChar() {
    if (pendingPos_ < pending_.size())
        return static_cast<unsigned char>(pending_[pendingPos_++]);
    pending_.clear();
    pendingPos_ = 0;
    return std::getc(in_);
}

void NumberInput::ungetChar(int c) {
    if (c == EOF) return;
    if (pendingPos_ > 0) {
        pending_[--pendingPos_] = static_cast<char>(c);
    } else {
        pending_.insert(pending_.begin(), static_cast<char>(c));
    }
}

int NumberInput::skipWhiteSpace() {
    int c = getChar();
    while (isWhite(c)) c = getChar();
    return c;
}

void NumberInput::dropRestOfLine() {
    int c = getChar();
    while (c != EOF && c != '\n') c = getChar();
}

int NumberInput::readDoubles(std::span<double> fields) {
    int count = 0;
    std::string text;
    for (double& field : fields) {
        int c = skipWhiteSpace();
        if (c == EOF) return count;
        text.assign(1, static_cast<char>(c));
        while (text.size() < kMaxNumberText) {
            c = getChar();
            if (c == EOF) break;
            if (isWhite(c)) {
                ungetChar(c);
                break;
            }
            text.push_back(static_cast<char>(c));
        }
        bool tooLong = false;
        if (text.size() == kMaxNumberText) {
            c = getChar();
            tooLong = c != EOF && !isWhite(c);
            ungetChar(c);
        }
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const std::size_t used = static_cast<std::size_t>(end - text.c_str());
        if (used == 0 || tooLong) {
            dropRestOfLine();
            return count;
        }
        field = value;
        ++count;
        // What follows the number without white space between belongs to
        // the next field (or the next read), as with "%lf".
        if (used < text.size()) {
            pending_ = text.substr(used) + pending_.substr(pendingPos_);
            pendingPos_ = 0;
        }
    }
    return count;
}

}  // namespace kin::driver
