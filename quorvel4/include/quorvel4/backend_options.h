// Choosing the display back end from a program's command line and environment, as rows of the
// program's option table:
//   --backend NAME (or --backend=NAME)   any back end of the table
//   --terminal, --window                 short for --backend terminal / window, where built in
//   QVL_BACKEND=NAME                     when no option names one
// A program adds the rows, parses, then resolves the name once.
#pragma once

#include <optional>
#include <string>

#include "quorvel4/options.h"

// Adds the rows that choose a back end into `chosen`. Naming two different back ends is an
// error; the name itself is judged by ResolveBackendName.
void AddBackendOptions(OptionTable& table, std::string& chosen);

// The back end to open: `chosen` as the options left it, else the one QVL_BACKEND names,
// else "" (the first usable one). False, with a reason that lists this build's back ends,
// when the name is not one of them.
bool ResolveBackendName(std::string& chosen, std::string& error);

// Resolves `chosen` and opens that back end (or, with none chosen, `fallback`, or the first
// usable one) for InitConsole. Nothing when it is open; otherwise the exit status after the
// table has said why: 2 for a name this build lacks (with the usage), 1 for a back end that
// cannot be opened here.
std::optional<int> OpenChosenBackend(const OptionTable& table, std::string& chosen, const std::string& fallback = "");

// Gives the console back at the end of a program's run and returns the program's exit status:
// `status`, or 1 after the table has said why when the display was lost under the program.
// A signal that asked the program to end is then raised again.
int CloseChosenBackend(const OptionTable& table, int status);
