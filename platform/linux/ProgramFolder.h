// The folder of the running program, for what is found beside it in a build tree or relative to it
// where it is installed (the dialog module, the translations). Any thread; no throw.
#pragma once

#include <string>

// The program's own folder from /proc/self/exe, without the last slash; empty when it cannot be read.
std::string ProgramFolder();
