#pragma once
//! Formatted input: white-space separated numbers read as "%lf" reads
//! them, with the text a read leaves behind kept for the next one.

#include <cstdio>
#include <span>
#include <string>

namespace kin::driver {

class NumberInput {
public:
    //! Reads from in; the stream is not closed at the end.
    explicit NumberInput(std::FILE* in) : in_(in) {}

    //! Reads fields.size() numbers: white space, line breaks included, is
    //! skipped; each number is the longest prefix that strtod accepts.
    //! Returns the count of fields written; fields not written keep their
    //! values. At malformed text the read stops and the rest of that input
    //! line is dropped. Text after the last number stays for the next read.
    int readDoubles(std::span<double> fields);

    //! The first byte that is not white space (pending text first), or EOF.
    int skipWhiteSpace();

private:
    int getChar();          //!< next input byte (pending text first), or EOF
    void ungetChar(int c);  //!< puts one byte back in front of the input
    void dropRestOfLine();

    std::FILE* in_;
    //! Input already taken from the stream but not yet used, in order.
    std::string pending_;
    std::size_t pendingPos_ = 0;
};

}  // namespace kin::driver
