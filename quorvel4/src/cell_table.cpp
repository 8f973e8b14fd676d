#include "cell_table.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "quorvel4/console.h"

Cell* ReplaceCellTable(Cell* table, int entries, const char* module, const char* what) {
  delete[] table;
  Cell* fresh = new (std::nothrow) Cell[entries];
  if (fresh == nullptr) {
    ShutdownConsole();
    std::fprintf(stderr, "%s: cannot allocate the %zu-byte %s table\n", module, sizeof(Cell) * entries, what);
    std::exit(1);
  }
  return fresh;
}
