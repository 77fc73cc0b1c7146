#pragma once
//! The console program's command line.

#include <string>

namespace kin::driver {

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;
    std::string armFile;   //!< empty: the built-in arm
    std::string baseLink;  //!< URDF chain ends; empty: found from the tree
    std::string tipLink;
    std::string encoding;  //!< as iconv names it; empty: the default choice
};

//! Parses argv[1..argc-1]. Writes out and returns "" when the arguments are
//! good; otherwise returns a one-line reason and out is unspecified.
std::string parseCommandLine(int argc, const char* const* argv, CommandLine& out);

//! The text of --help.
const char* usageText();

}  // namespace kin::driver
