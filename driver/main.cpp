//! The console program: the kinematics test dialogue on standard input and
//! output.

#include <cstdio>

#include "driver/console/console.hpp"
#include "driver/session.hpp"

int main() {
    kin::driver::Console console(stdin, stdout);
    return kin::driver::runSession(console);
}
