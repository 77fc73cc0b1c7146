#pragma once
//! Helpers for the dialogue tests: the program's fixed texts (UTF-8), CP932
//! conversion, running the console program through pipes with a deadline,
//! and matching output against a template with number slots. The console
//! program run is the one built here, or ARMCONSOLE_EXE (armconsole.exe) run
//! by ARMCONSOLE_RUNNER (wine) when they are set.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dialogue {

// --- Texts -------------------------------------------------------------------

inline const std::string kStart = "\nJTYPE=RRRRRR";
inline const std::string kMenu =
    "\n順運動学  ：1　PTP逆運動学       ：2"
    "\nCP逆運動学：3　位置の逆運動学のみ：4"
    "\n終わり    ：0"
    "\nどれを選ぶ？   ";

inline const std::string kFkPrompt = "\n順運動学テスト 関節角設定（コンマなしで）PHI0[]=";

//! The forward test's result lines, each value given as printed ("%8.4f").
inline std::string fkResult(const char* gp, const char* x, const char* y, const char* z) {
    return std::string("\n順運動学計算テスト analys()後") + "\n位置  GP[] =(" + gp + ")" +
           "\n姿勢X GO0[]=(" + x + ")" + "\n    Y GO1[]=(" + y + ")" + "\n    Z GO2[]=(" + z +
           ")" + "\nmain() 順運動学計算テスト終り";
}

// --- Encoding ----------------------------------------------------------------

inline std::string convert(std::string_view text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* o = out.data();
    std::size_t oLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<std::size_t>(-1)) std::abort();
    iconv_close(cd);
    out.resize(out.size() - oLeft);
    return out;
}
inline std::string toCp932(std::string_view utf8) { return convert(utf8, "CP932", "UTF-8"); }
inline std::string fromCp932(std::string_view cp932) { return convert(cp932, "UTF-8", "CP932"); }

// --- Running the program -----------------------------------------------------

struct RunResult {
    bool timedOut = false;
    int status = -1;  //!< raw wait status
    std::string out;  //!< standard output, as written
    std::string err;  //!< standard error
    bool exitedWith(int code) const {
        return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == code;
    }
};

//! Runs program with the given arguments and input on a pipe, collecting
//! its standard output and error, and kills it if it has not ended after
//! timeoutSeconds.
inline RunResult runProgram(const char* program, const std::vector<std::string>& args,
                            std::string_view input, double timeoutSeconds = 10.0) {
    RunResult run;
    int toChild[2];
    int fromChild[2];
    int errChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0 || pipe(errChild) != 0) std::abort();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        dup2(errChild[1], 2);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1], errChild[0], errChild[1]})
            close(fd);
        execvp(program, argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    close(errChild[1]);
    // The program may stop reading before its input is used up.
    std::signal(SIGPIPE, SIG_IGN);
    fcntl(toChild[1], F_SETFL, O_NONBLOCK);
    std::size_t written = 0;
    if (input.empty()) {
        close(toChild[1]);
        toChild[1] = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(timeoutSeconds * 1000));
    char buffer[65536];
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{outOpen ? fromChild[0] : -1, POLLIN, 0},
                         {errOpen ? errChild[0] : -1, POLLIN, 0},
                         {toChild[1], POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            std::abort();
        }
        if (toChild[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = write(toChild[1], input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) written = input.size();
            if (written == input.size()) {
                close(toChild[1]);
                toChild[1] = -1;
            }
        }
        for (int s = 0; s < 2; ++s) {
            if ((fds[s].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = read(fds[s].fd, buffer, sizeof buffer);
            if (n > 0) (s == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
            if (n <= 0) (s == 0 ? outOpen : errOpen) = false;
        }
    }
    if (toChild[1] >= 0) close(toChild[1]);
    close(fromChild[0]);
    close(errChild[0]);
    waitpid(pid, &run.status, 0);
    return run;
}

#ifdef ARMCONSOLE_PATH
//! Runs the console program under test with the given arguments.
inline RunResult runConsole(const std::vector<std::string>& args, std::string_view input,
                            double timeoutSeconds = 10.0) {
    const char* exe = std::getenv("ARMCONSOLE_EXE");
    if (exe == nullptr || *exe == '\0') return runProgram(ARMCONSOLE_PATH, args, input, timeoutSeconds);
    const char* runner = std::getenv("ARMCONSOLE_RUNNER");
    if (runner == nullptr || *runner == '\0') return runProgram(exe, args, input, timeoutSeconds);
    std::vector<std::string> all{exe};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(runner, all, input, timeoutSeconds);
}

//! Runs the console program under test without arguments.
inline RunResult runConsole(std::string_view input, double timeoutSeconds = 10.0) {
    return runConsole({}, input, timeoutSeconds);
}
#endif

// --- Templates ---------------------------------------------------------------

//! Matches CP932 output against a UTF-8 template. Outside slots the bytes
//! must be equal after conversion of the template; a slot "{w}" (w = 7 or
//! 8) stands for one number printed with "%w.4f" and its value is appended
//! to values. On a mismatch, why says where.
inline bool matchTemplate(std::string_view outCp932, std::string_view templ,
                          std::vector<double>& values, std::string& why) {
    std::size_t at = 0;
    std::size_t t = 0;
    while (t < templ.size()) {
        const std::size_t slot = templ.find('{', t);
        const std::string literal = toCp932(templ.substr(t, slot - t));
        if (outCp932.substr(at, literal.size()) != literal) {
            why = "text differs at output byte " + std::to_string(at) + ": expected \"" +
                  fromCp932(literal) + "\"";
            return false;
        }
        at += literal.size();
        if (slot == std::string_view::npos) break;
        const std::size_t close = templ.find('}', slot);
        const std::size_t width = std::stoul(std::string(templ.substr(slot + 1, close - slot - 1)));
        t = close + 1;
        const std::string field(outCp932.substr(at, width));
        const std::size_t dot = field.find('.');
        char* end = nullptr;
        const double v = std::strtod(field.c_str(), &end);
        if (field.size() != width || end != field.c_str() + width || dot == std::string::npos ||
            width - dot != 5 || field.find_first_not_of(' ') != field.find_first_of("-0123456789")) {
            why = "no %" + std::to_string(width) + ".4f number at output byte " +
                  std::to_string(at) + ": \"" + field + "\"";
            return false;
        }
        values.push_back(v);
        at += width;
    }
    if (at != outCp932.size()) {
        why = "output goes on after the template: \"" + fromCp932(outCp932.substr(at)) + "\"";
        return false;
    }
    return true;
}

}  // namespace dialogue
