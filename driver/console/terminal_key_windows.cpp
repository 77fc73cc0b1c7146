// Single-key input on a Windows console: the console's mode without line
// input and echo for the one read, put back right after it, also when
// Ctrl-C, Ctrl-Break or the closing of the window ends the program during
// the read.

#include "driver/console/terminal_key.hpp"

#include <io.h>
#include <windows.h>

namespace kin::driver {

namespace {

// --- Console state for the control handler ---------------------------------
//
// If Ctrl-C (or Ctrl-Break, or the closing of the console) ends the program
// during a key read, the handler must put the user's mode back before the
// program dies. It runs on a thread of its own and can reach nothing but
// static storage. This is therefore the one mutable static of the program:
// written by readTerminalKey before the handler goes in, read by the handler.
struct SavedConsole {
    HANDLE input = nullptr;
    DWORD mode = 0;
};
SavedConsole savedConsole;
volatile LONG consoleChanged = 0;

BOOL WINAPI restoreConsoleAndPassOn(DWORD) {
    if (InterlockedExchange(&consoleChanged, 0) != 0)
        SetConsoleMode(savedConsole.input, savedConsole.mode);
    // Not handled: the next handler, in the end the system's, ends the
    // program as it would have without us.
    return FALSE;
}

//! Installs the restoring handler for the key read and removes it when it
//! goes out of scope.
class RestoringHandler {
public:
    RestoringHandler() : installed_(SetConsoleCtrlHandler(restoreConsoleAndPassOn, TRUE) != 0) {}
    ~RestoringHandler() {
        if (installed_) SetConsoleCtrlHandler(restoreConsoleAndPassOn, FALSE);
    }
    RestoringHandler(const RestoringHandler&) = delete;
    RestoringHandler& operator=(const RestoringHandler&) = delete;

private:
    bool installed_;
};

HANDLE consoleOf(std::FILE* f, DWORD& mode) {
    const int fd = _fileno(f);
    if (fd < 0) return nullptr;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0 ? h : nullptr;
}

//! Shift, Ctrl, Alt, the Windows keys and the locks are no keystroke of
//! their own.
bool isModifier(WORD key) {
    switch (key) {
        case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_LWIN: case VK_RWIN:
        case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL: case VK_KANA: case VK_KANJI:
        case VK_CONVERT: case VK_NONCONVERT: case VK_PROCESSKEY:
            return true;
        default:
            return false;
    }
}

//! The key a character stands for, as a terminal's first byte would: the
//! character itself below 0x80, the lead byte of its UTF-8 form above. The
//! console's end-of-input key, Ctrl-Z, ends the input; Enter is a line
//! break.
int keyOfCharacter(wchar_t c) {
    if (c == 0x1A) return EOF;
    if (c == L'\r') return '\n';
    if (c < 0x80) return static_cast<int>(c);
    if (c < 0x800) return 0xC0 | (c >> 6);
    if (c >= 0xD800 && c <= 0xDBFF) return 0xF0;  // the first half of a pair
    return 0xE0 | (c >> 12);
}

//! One keystroke from the console input h, or EOF when it cannot be read.
int readKeystroke(HANDLE h) {
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (ReadConsoleInputW(h, &record, 1, &got) == 0 || got != 1) return EOF;
        if (record.EventType != KEY_EVENT) continue;  // mouse, focus, window size
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (!key.bKeyDown) continue;
        const wchar_t c = key.uChar.UnicodeChar;
        if (c == 0) {
            if (isModifier(key.wVirtualKeyCode)) continue;
            // An arrow or a function key: a terminal starts it with ESC.
            return 0x1B;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            // A character beyond the first 64K comes as two events: take
            // the second half with it, so that the character counts once.
            INPUT_RECORD next;
            DWORD peeked = 0;
            if (PeekConsoleInputW(h, &next, 1, &peeked) != 0 && peeked == 1 &&
                next.EventType == KEY_EVENT && next.Event.KeyEvent.bKeyDown &&
                next.Event.KeyEvent.uChar.UnicodeChar >= 0xDC00 &&
                next.Event.KeyEvent.uChar.UnicodeChar <= 0xDFFF)
                ReadConsoleInputW(h, &next, 1, &peeked);
        }
        return keyOfCharacter(c);
    }
}

}  // namespace

bool isTerminal(std::FILE* f) {
    DWORD mode = 0;
    return consoleOf(f, mode) != nullptr;
}

int readTerminalKey(std::FILE* in) {
    // The keystroke is taken straight from the console: text that a
    // formatted read left in the stream's buffer stays there for the next
    // formatted read.
    DWORD saved = 0;
    const HANDLE h = consoleOf(in, saved);
    if (h == nullptr) return EOF;
    // Without line input and echo a keystroke comes at once and is not
    // shown; without virtual-terminal input an arrow is one event rather
    // than a sequence. Ctrl-C stays what the user's mode makes it.
    const DWORD raw = saved & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                   ENABLE_VIRTUAL_TERMINAL_INPUT);
    int key = EOF;
    {
        savedConsole.input = h;
        savedConsole.mode = saved;
        RestoringHandler handler;
        InterlockedExchange(&consoleChanged, 1);
        SetConsoleMode(h, raw);
        key = readKeystroke(h);
        if (InterlockedExchange(&consoleChanged, 0) != 0) SetConsoleMode(h, saved);
    }
    return key;
}

}  // namespace kin::driver
