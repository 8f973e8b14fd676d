// The look-up tables the converters own.
#pragma once

#include "quorvel4/types.h"

// Frees `table` and allocates a new one of `entries` Cells. A converter has no way to report
// a failure to its caller, so running out of memory gives the display back, names the module
// and the table, and exits with status 1 instead of crashing at the first conversion.
Cell* ReplaceCellTable(Cell* table, int entries, const char* module, const char* what);
