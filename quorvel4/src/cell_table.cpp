#include "cell_table.h"

#include <new>

std::unique_ptr<Cell[]> NewCellTable(int entries) {
  return std::unique_ptr<Cell[]>(new (std::nothrow) Cell[entries]);
}
