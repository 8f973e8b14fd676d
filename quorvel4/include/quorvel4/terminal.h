// The terminal back end: presents the cells on the terminal behind standard output.
#pragma once

#include <memory>

#include "quorvel4/backend.h"

// Opens the terminal back end. When standard output is no terminal (or TERM is dumb)
// it says so in one line on standard error and exits with status 1.
std::unique_ptr<ConsoleBackend> MakeTerminalBackend();

// Why MakeTerminalBackend would refuse, as the one line it prints; null when it would not.
// Lets a program find out before it does any slow work.
const char* TerminalUnusableReason();
