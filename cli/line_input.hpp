#pragma once
//! Input of the armkin command: one record of numbers per line, separated
//! by blanks or commas.

#include <cstdio>
#include <span>
#include <string>

namespace armkin::cli {

//! Reads lines from a stream and splits each into numbers.
class LineInput {
public:
    //! Reads from in (not closed at the end). Lines longer than kMaxLine
    //! bytes are reported as malformed and skipped.
    explicit LineInput(std::FILE* in) : in_(in) {}

    static constexpr std::size_t kMaxLine = 1 << 16;

    //! The next line that is not blank and does not start with '#'. Returns
    //! false at the end of the input. lineNumber() is then that line's
    //! number (1-based).
    bool next(std::string& line);
    long lineNumber() const { return lineNumber_; }
    //! Bytes read so far (for a progress bar).
    long long bytesRead() const { return bytes_; }

private:
    std::FILE* in_;
    long lineNumber_ = 0;
    long long bytes_ = 0;
};

//! Parses exactly values.size() finite numbers from line. Returns "" on
//! success, else a reason ("expected 6 numbers, got 5", "'x' is not a
//! number", "not a finite number: nan").
std::string parseNumbers(const std::string& line, std::span<double> values);

}  // namespace armkin::cli
