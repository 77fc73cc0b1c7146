// The console layer and whole sessions run in-process on memory streams.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "dialogue_support.hpp"
#include "driver/console/console.hpp"
#include "driver/session.hpp"
#include "numeric/geometry_types.hpp"

namespace {

using kin::driver::Console;
using kin::driver::EndOfInput;

//! A console reading from a string and writing to memory.
class MemoryConsole {
public:
    explicit MemoryConsole(std::string input) : input_(std::move(input)) {
        in_ = input_.empty() ? std::fopen("/dev/null", "r")
                             : fmemopen(input_.data(), input_.size(), "r");
        out_ = open_memstream(&outData_, &outSize_);
        if (in_ == nullptr || out_ == nullptr) std::abort();
        console_ = std::make_unique<Console>(in_, out_);
    }
    ~MemoryConsole() {
        console_.reset();
        std::fclose(in_);
        std::fclose(out_);
        std::free(outData_);
    }
    Console& operator*() { return *console_; }
    Console* operator->() { return console_.get(); }
    //! Bytes written so far, as the stream has flushed them.
    std::string flushed() const { return std::string(outData_, outSize_); }
    std::string output() {
        std::fflush(out_);
        return flushed();
    }

private:
    std::string input_;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    char* outData_ = nullptr;
    std::size_t outSize_ = 0;
    std::unique_ptr<Console> console_;
};

using Six = std::array<double, 6>;

bool sameBits(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

std::string show(const Six& v) {
    std::string s;
    for (double x : v) s += std::to_string(x) + " ";
    return s;
}

// --- Number reads --------------------------------------------------------------

TEST(ConsoleReadDoubles, AcceptsTheFormsOfStrtodAcrossLines) {
    const double inf = INFINITY;
    struct Case {
        const char* input;
        Six expected;
    };
    const Case cases[] = {
        {"1 2 3 4 5 6", {1, 2, 3, 4, 5, 6}},
        {"1e-3 .5 -0 inf nan -INF", {1e-3, 0.5, -0.0, inf, NAN, -inf}},
        {"0x1p3 +7 1E2 -.25 5. 1e999", {8, 7, 100, -0.25, 5, inf}},
        {"\n\n  1\n2\t3\r\n4\v5\f6", {1, 2, 3, 4, 5, 6}},
        {"1\n\n\n2\n3\n4\n5\n6\n", {1, 2, 3, 4, 5, 6}},
        // A number ends where strtod stops; the rest starts the next field.
        {"1.5-2 3+4 5 6", {1.5, -2, 3, 4, 5, 6}},
        {"0.1 0.2 0.3 0.4 0.5 0.6", {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}},
    };
    for (const Case& c : cases) {
        MemoryConsole con(c.input);
        Six got;
        got.fill(9.0);
        EXPECT_EQ(con->readDoubles(got), 6) << c.input;
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(sameBits(got[i], c.expected[i])) << c.input << " -> " << show(got);
    }
}

TEST(ConsoleReadDoubles, MalformedTextKeepsLaterFieldsAndDropsTheLine) {
    const std::string longLine = "1 " + std::string(1'000'000, 'x') + " 2\n3";
    const std::string longNumber = "1 " + std::string(5000, '1') + " 2\n3";
    struct Case {
        std::string input;
        int count;
        Six expected;  // from 9s
        double next;   // what a following one-field read gets
    };
    const Case cases[] = {
        {"1 2 x 4 5 6\n7", 2, {1, 2, 9, 9, 9, 9}, 7},
        {"1.5,2.0 3\n8", 1, {1.5, 9, 9, 9, 9, 9}, 8},
        {"- 1\n5", 0, {9, 9, 9, 9, 9, 9}, 5},
        {"1 2\n3 abc\n4 5 6", 3, {1, 2, 3, 9, 9, 9}, 4},
        {"1e 2\n6", 1, {1, 9, 9, 9, 9, 9}, 6},
        {std::string("1\0 2\n3", 6), 1, {1, 9, 9, 9, 9, 9}, 3},
        {"\x80\xff 1\n2", 0, {9, 9, 9, 9, 9, 9}, 2},
        {longLine, 1, {1, 9, 9, 9, 9, 9}, 3},
        // Longer than any sensible number: treated as malformed.
        {longNumber, 1, {1, 9, 9, 9, 9, 9}, 3},
    };
    for (const Case& c : cases) {
        const std::string label = c.input.substr(0, 20);
        MemoryConsole con(c.input);
        Six got;
        got.fill(9.0);
        EXPECT_EQ(con->readDoubles(got), c.count) << label;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], c.expected[i]) << label << " field " << i;
        std::array<double, 1> next{-1.0};
        EXPECT_EQ(con->readDoubles(next), 1) << label;
        EXPECT_EQ(next[0], c.next) << label;
    }
}

TEST(ConsoleReadDoubles, EndOfInputLeavesTheRemainingFields) {
    struct Case {
        const char* input;
        int count;
        Six expected;
    };
    const Case cases[] = {
        {"", 0, {9, 9, 9, 9, 9, 9}},
        {" \n\t ", 0, {9, 9, 9, 9, 9, 9}},
        {"1 2 3", 3, {1, 2, 3, 9, 9, 9}},
        {"1 2\n3.25", 3, {1, 2, 3.25, 9, 9, 9}},  // a number cut by the end of input
    };
    for (const Case& c : cases) {
        MemoryConsole con(c.input);
        Six got;
        got.fill(9.0);
        EXPECT_EQ(con->readDoubles(got), c.count) << c.input;
        EXPECT_EQ(got, c.expected) << c.input;
        EXPECT_EQ(con->readDoubles(got), 0) << c.input;
        EXPECT_THROW(con->readKey(), EndOfInput) << c.input;
    }
}

TEST(ConsoleReadDoubles, TextAfterTheLastFieldStaysForTheNextRead) {
    MemoryConsole con("1 2 3 4 5 6 7 8\nk 4 5 6abc\n");
    Six six;
    EXPECT_EQ(con->readDoubles(six), 6);
    std::array<double, 1> one{};
    EXPECT_EQ(con->readDoubles(one), 1);
    EXPECT_EQ(one[0], 7);
    EXPECT_EQ(con->readKey(), '8');
    EXPECT_EQ(con->readKey(), 'k');
    std::array<double, 3> three{};
    EXPECT_EQ(con->readDoubles(three), 3);
    EXPECT_EQ(three, (std::array<double, 3>{4, 5, 6}));
    EXPECT_EQ(con->readKey(), 'a');
    EXPECT_EQ(con->readKey(), 'b');
    EXPECT_EQ(con->readKey(), 'c');
    EXPECT_THROW(con->readKey(), EndOfInput);
}

// --- Key reads -------------------------------------------------------------------

TEST(ConsoleReadKey, TakesTheNextCharacterThatIsNotWhiteSpace) {
    const char text[] = " \n\t a\n\nb\r\n\xff\0z";
    MemoryConsole con(std::string(text, sizeof text - 1));
    EXPECT_EQ(con->readKey(), 'a');
    EXPECT_EQ(con->readKey(), 'b');
    EXPECT_EQ(con->readKey(), 0xff);  // keys are bytes, never negative
    EXPECT_EQ(con->readKey(), 0);
    EXPECT_EQ(con->readKey(), 'z');
    EXPECT_THROW(con->readKey(), EndOfInput);
    EXPECT_THROW(con->readKey(), EndOfInput);
}

TEST(ConsoleReadKey, PromptIsFlushedBeforeEveryRead) {
    MemoryConsole con("x 1");
    con->print("key?");
    con->readKey();
    EXPECT_EQ(con.flushed(), "key?");
    con->print("number?");
    std::array<double, 1> one{};
    con->readDoubles(one);
    EXPECT_EQ(con.flushed(), "key?number?");
}

// --- Output ----------------------------------------------------------------------

TEST(ConsoleOutput, IsCp932WhenNotATerminal) {
    MemoryConsole con("");
    EXPECT_EQ(con->outputEncoding(), "CP932");
    // Full-width colon, ideographic space, full-width question mark, Phi,
    // full-width C P 6 and parentheses, kanji and kana: fixed byte pairs.
    con->print("：　？Φ（ＣＰ６）順運動学テスト%d", 7);
    EXPECT_EQ(con.output(),
              "\x81\x46\x81\x40\x81\x48\x83\xb3\x81\x69\x82\x62\x82\x6f\x82\x55\x81\x6a"
              "\x8f\x87\x89\x5e\x93\xae\x8a\x77\x83\x65\x83\x58\x83\x67"
              "7");
}

TEST(ConsoleOutput, LongTextsAndBadBytes) {
    MemoryConsole con("");
    std::string longText;
    for (int i = 0; i < 500; ++i) longText += "位置の逆運動学のみ：4 ";
    con->print("%s|%s", longText.c_str(), std::string(3000, 'a').c_str());
    EXPECT_EQ(con.output(), dialogue::toCp932(longText) + "|" + std::string(3000, 'a'));

    // Bytes that are not UTF-8 (a stray byte, a cut sequence), and a
    // character CP932 lacks: each shows as one '?'.
    MemoryConsole bad("");
    bad->message("a\xff" "b\xe3\x81" "c");
    bad->print("x\U0001F600y");
    EXPECT_EQ(bad.output(), "a?b?cx?y");
}

TEST(ConsoleOutput, EngineMessagesGoThroughTheConsole) {
    MemoryConsole con("");
    kin::Kinematics engine(&*con);
    kin::SolutionList list{};
    list[0][0] = 42.0;
    EXPECT_EQ(engine.inverseKinematics(5, {}, {}, {}, list, kin::kModePtp), 0);
    EXPECT_EQ(engine.inverseKinematics(7, {}, {}, {}, list, kin::kModePtp), 0);
    EXPECT_EQ(list[0][0], 42.0);
    EXPECT_EQ(con.output(), dialogue::toCp932("\nDOF=5 < 6   No solution"
                                              "\nDOF=7 > 6   Solution is indefinite"));
}

// --- The CP path step ------------------------------------------------------------

TEST(CpPathStep, FoldsOnlyPastPi) {
    using kin::driver::stepPathJoint;
    const double pi = kin::piValue;
    EXPECT_EQ(stepPathJoint(0.1), 0.1 + 0.01);
    EXPECT_EQ(stepPathJoint(3.14), (3.14 + 0.01) - 2.0 * pi);
    EXPECT_EQ(stepPathJoint(-3.3), (-3.3 + 0.01) + 2.0 * pi);
    // A value that lands exactly on pi is kept; one ulp above is folded.
    double x = pi - 0.01;
    while (x + 0.01 < pi) x = std::nextafter(x, 10.0);
    while (x + 0.01 > pi) x = std::nextafter(x, -10.0);
    ASSERT_EQ(x + 0.01, pi);
    EXPECT_EQ(stepPathJoint(x), pi);
    double y = std::nextafter(x, 10.0);
    while (y + 0.01 == pi) y = std::nextafter(y, 10.0);
    EXPECT_EQ(stepPathJoint(y), (y + 0.01) - 2.0 * pi);
    // The fold applies once: far outside the range the value stays outside.
    EXPECT_EQ(stepPathJoint(9.0), (9.0 + 0.01) - 2.0 * pi);
    // Non-finite values pass through.
    EXPECT_TRUE(std::isnan(stepPathJoint(NAN)));
    EXPECT_EQ(stepPathJoint(INFINITY), INFINITY - 2.0 * pi);
}

// --- Whole sessions in-process ---------------------------------------------------

std::string runSession(const std::string& input) {
    MemoryConsole con(input);
    EXPECT_EQ(kin::driver::runSession(*con), 0);
    return con.output();
}

TEST(Session, EveryMenuByteStartsItsMode) {
    using namespace dialogue;
    const std::string fkAtZero = kFkPrompt + fkResult("  0.0000,   0.0000,   3.2000",
                                                      "  1.0000,   0.0000,  -0.0000",
                                                      " -0.0000,   1.0000,   0.0000",
                                                      "  0.0000,   0.0000,   1.0000");
    for (int c = 0; c < 256; ++c) {
        const std::string out = runSession(std::string(1, static_cast<char>(c)));
        const std::string after = out.substr(std::min(out.size(), toCp932(kStart + kMenu).size()));
        ASSERT_EQ(out.substr(0, toCp932(kStart + kMenu).size()), toCp932(kStart + kMenu));
        const bool white = c == ' ' || (c >= '\t' && c <= '\r');
        if (c == '0' || white) {
            EXPECT_EQ(after, "") << c;
        } else if (c == '2') {
            EXPECT_EQ(after.substr(0, toCp932("\n\n関節変位").size()), toCp932("\n\n関節変位"));
        } else if (c == '3') {
            EXPECT_EQ(after, toCp932("\n\nmain() 逆運動学ＣＰ目標６関節角設定（コンマなしで）fi[]="
                                     "\n\nmain() 目標関節角の近傍値設定（コンマなしで）PHI[]="
                                     "\nCPの逆運動学　解の数 sol = 0"
                                     "\n解があるはずなのに出ない？  yes:1  no;0  "));
        } else if (c == '4') {
            EXPECT_EQ(after.substr(0, toCp932("\n\nmain() 位置逆運動学").size()),
                      toCp932("\n\nmain() 位置逆運動学"));
        } else {
            EXPECT_EQ(after, toCp932(fkAtZero)) << c;
        }
    }
}

TEST(Session, EndsAtEveryCutOfTheInput) {
    // Keys are written in brackets. Wherever the input ends, the session
    // returns 0; when it ends just before a key, the output is exactly what
    // the full run printed up to that key's prompt.
    alarm(300);  // a hang fails the test instead of stalling it
    const std::string scripts[] = {
        "[1] 0 1.5707963 0 0 0 0 [x] [0]",
        "[2] 0.1 0.2 0.3 0.4 0.5 0.6 [p] 0 0 0 0 0 0 [a] [b] [c] [d] [e] [f] [g] [h] [0]",
        "[3] 0.1 0.2 0.3 0.4 0.5 0.6 0.12 0.22 0.32 0.42 0.52 0.62 [1] [1] [0] [0]",
        "[3] 0.1 0.2 0.3 0.4 0.5 0.6 0 0 0 0 0 0 [1] [0] [1] [1] [0] [0]",
        "[4] 0.1 0.2 0.3 0.4 0.5 0.6 [p] [a] [b] [c] [d] [4] 1 2 3 nan inf 1e308 [p] [0]",
    };
    for (const std::string& script : scripts) {
        std::string input;
        std::vector<std::size_t> keyAt;
        for (char ch : script) {
            if (ch == '[') {
                keyAt.push_back(input.size());
            } else if (ch != ']') {
                input.push_back(ch);
            }
        }
        const std::string full = runSession(input);
        std::size_t lastPrefix = 0;
        for (std::size_t cut = 0; cut <= input.size(); ++cut) {
            const std::string out = runSession(input.substr(0, cut));
            ASSERT_EQ(out.substr(0, 10), full.substr(0, 10)) << input << " cut at " << cut;
            if (std::find(keyAt.begin(), keyAt.end(), cut) != keyAt.end()) {
                EXPECT_EQ(out, full.substr(0, out.size())) << input << " cut at " << cut;
                EXPECT_GT(out.size(), lastPrefix) << input << " cut at " << cut;
                lastPrefix = out.size();
            }
        }
    }
    alarm(0);
}

}  // namespace
