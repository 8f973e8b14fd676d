#include "quorvel4/types.h"

Cell CellScreen[kScreenCells];
Pixel Canvas[kCanvasPixels];
