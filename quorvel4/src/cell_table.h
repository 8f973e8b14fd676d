// The look-up tables the converters own.
#pragma once

#include <memory>

#include "quorvel4/types.h"

// A table of `entries` Cells, or null when the memory cannot be had. BuildMap has no way to
// report a failure, so it leaves its converter without a table: the caller sees it through
// HasMap(), and a conversion without a table stops at the converter's assertion.
std::unique_ptr<Cell[]> NewCellTable(int entries);
