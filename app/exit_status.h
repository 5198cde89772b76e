// How the installer's process ends, for whoever started it.
#pragma once

constexpr int kExitComplete = 0;          // every file of the run was written
constexpr int kExitFileFault = 1;         // a file could not be created, written or deleted
constexpr int kExitNothingCompiled = 2;   // the sources gave nothing to compile
constexpr int kExitCompiledOutput = 3;    // the compiled output failed its integrity check
constexpr int kExitDamagedInstaller = 4;  // the scenario appended to the installer is damaged
constexpr int kExitOutOfMemory = 5;       // memory ran out; each file as it was or wholly new
