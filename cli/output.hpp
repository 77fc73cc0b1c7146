#pragma once
//! Output records of the armkin command in its three formats: text (blank
//! separated), csv (with a header line) and json (JSON Lines).

#include <cstdio>
#include <string>

#include <armkin/engine.hpp>

namespace armkin::cli {

enum class Format { text, csv, json };

//! Parses "text", "csv" or "json"; false for anything else.
bool parseFormat(const std::string& name, Format& out);

class Output {
public:
    Output(std::FILE* out, Format format) : out_(out), format_(format) {}

    //! One pose: x y z r11 r12 r13 r21 r22 r23 r31 r32 r33.
    void pose(const Pose& p);
    //! One solution of the pose on input line poseIndex (counted from 0).
    void solution(long poseIndex, const Solution& s, const char* status);

private:
    std::FILE* out_;
    Format format_;
    bool headerDone_ = false;
};

}  // namespace armkin::cli
