#pragma once
//! Single-key input on a terminal: one keystroke, without echo and without
//! Enter. The terminal's settings are changed only during the read and are
//! put back right after it, also when a signal (SIGINT, SIGTERM, SIGHUP,
//! SIGQUIT) ends the program during the read.

#include <cstdio>

namespace kin::driver {

//! Whether f is a terminal the user types on and reads from: true keys
//! (readTerminalKey) and the locale's character set.
bool isTerminal(std::FILE* f);

//! Reads one key from the terminal behind in. Text that a formatted read
//! left in the stream's buffer stays there. A key that sends several bytes
//! (an arrow, a non-ASCII character) counts once. Returns the key's first
//! byte, or EOF when the terminal cannot be read or the key is the
//! terminal's end-of-input key (Ctrl-D).
int readTerminalKey(std::FILE* in);

}  // namespace kin::driver
