// Choosing the display back end from a program's command line and environment:
//   --backend NAME (or --backend=NAME)   any back end of the table
//   --terminal, --window                 short forms of --backend terminal / window
//   QVL_BACKEND=NAME                     when no option names one
// A program passes each argument to TakeBackendOption first, then resolves the name once
// all are read, and shows BackendOptionsHelp() in its usage.
#pragma once

#include <string>

enum class BackendOption {
  kNotMine,  // the argument is no back-end option: the program reads it itself
  kTaken,    // taken (with its value)
  kBad,      // a back-end option that is wrong: `error` says why
};

// Reads argv[*i] when it is a back-end option, moving *i past a separate value. A second
// choice that differs from the first is an error.
BackendOption TakeBackendOption(int argc, char** argv, int* i, std::string* chosen, std::string* error);

// The back end to open: `chosen` as the options left it, else the one QVL_BACKEND names,
// else "" (the first usable one). False, with a message that lists this build's back ends,
// when the name is not one of them.
bool ResolveBackendName(std::string* chosen, std::string* error);

// The lines of a usage text for the options above, listing this build's back ends.
std::string BackendOptionsHelp();
