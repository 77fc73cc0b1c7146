#pragma once
//! The armkin command line: commands, options and the usage text.

#include <string>

#include <armkin/solve_result.hpp>

#include "cli/output.hpp"

namespace armkin::cli {

enum class Command { Check, Fk, Ik, Reach };

//! How ik answers each pose.
enum class Mode {
    All,       //!< every solution within the limits
    Nearest,   //!< the one nearest the seed
    Position,  //!< joints 0 to 2 for the position, joints 3 to 5 from the seed
};

struct Options {
    Command command = Command::Check;
    std::string arm;
    std::string base, tip;
    Mode mode = Mode::All;
    Copies copies = Copies::Nearest;
    bool orthonormalize = false;
    double window = 0.0;  //!< > 0: unbounded turning joints get seed +- window
    Joints seed{};
    bool seedGiven = false;
    int threads = 1;
    Format format = Format::Text;
    // reach
    std::string study;      //!< the study file
    std::string out;        //!< the folder of the result files
    long long chunk = 10000;  //!< pairs per chunk
    std::string scheduler;  //!< a Dask scheduler's address: run on its cluster
};

extern const char* const kUsage;

//! Parses the command line into o; returns "" or a one-line reason.
std::string parse(int argc, char** argv, Options& o);

}  // namespace armkin::cli
