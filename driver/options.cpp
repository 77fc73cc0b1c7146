#include "driver/options.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kin::driver {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

//! The iconv name of an --encoding value, or "" when it is not one we offer.
std::string encodingName(const std::string& value) {
    const std::string v = lower(value);
    if (v == "cp932" || v == "shift-jis" || v == "sjis") return "CP932";
    if (v == "utf-8" || v == "utf8") return "UTF-8";
    return "";
}

}  // namespace

std::string parseCommandLine(int argc, const char* const* argv, CommandLine& out) {
    out = CommandLine{};
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out.action = CommandLine::Action::help;
            return "";
        }
        if (arg == "--version") {
            out.action = CommandLine::Action::version;
            continue;
        }
        // Options with a value: "--name value" or "--name=value".
        std::string_view name = arg;
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = std::string(arg.substr(eq + 1));
            hasValue = true;
        }
        std::string* target = nullptr;
        if (name == "--arm") target = &out.armFile;
        else if (name == "--base") target = &out.baseLink;
        else if (name == "--tip") target = &out.tipLink;
        else if (name == "--encoding") target = &value;
        if (target == nullptr) {
            return (arg.rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") +
                   std::string(arg) + "'";
        }
        if (!hasValue) {
            if (i + 1 >= argc) return "option '" + std::string(name) + "' needs a value";
            value = argv[++i];
        }
        if (value.empty()) return "option '" + std::string(name) + "' needs a value";
        if (name == "--encoding") {
            out.encoding = encodingName(value);
            if (out.encoding.empty())
                return "unknown encoding '" + value + "' (use cp932 or utf-8)";
        } else {
            *target = value;
        }
    }
    if (out.armFile.empty() && (!out.baseLink.empty() || !out.tipLink.empty()))
        return "--base and --tip need --arm";
    return "";
}

const char* usageText() {
    return "Usage: armconsole [--arm FILE [--base LINK] [--tip LINK]] [--encoding cp932|utf-8]\n"
           "       armconsole --help | --version\n"
           "\n"
           "The kinematics test dialogue: forward kinematics (menu 1), PTP (2), CP (3)\n"
           "and position-only (4) inverse kinematics, on standard input and output.\n"
           "\n"
           "  --arm FILE         the arm from a URDF (.urdf, .xml) or YAML arm file\n"
           "                     instead of the built-in arm\n"
           "  --base LINK        first link of the URDF chain (default: the tree's root)\n"
           "  --tip LINK         last link of the URDF chain (default: the tree's only leaf)\n"
#ifdef _WIN32
           "  --encoding ENC     write the dialogue in cp932 or utf-8 to a pipe or file\n"
           "                     (default: cp932); a console shows the characters\n"
           "                     whatever its code page\n"
#else
           "  --encoding ENC     write the dialogue in cp932 or utf-8 (default: cp932 to a\n"
           "                     pipe or file, the locale's character set to a terminal)\n"
#endif
           "  --help             show this text\n"
           "  --version          show the version\n";
}

}  // namespace kin::driver
