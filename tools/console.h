// The console the tool writes to, one implementation per platform (console_posix.cpp,
// console_win32.cpp, chosen by CMake), which also holds the program's entry point: there the
// command line arrives as the platform hands it over, and the console is set up.
#pragma once

// Whether standard error is a terminal that shows colour; on Windows, a console that shows it
// once asked to, which this asks.
bool standard_error_shows_colour();
