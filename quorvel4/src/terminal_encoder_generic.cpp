// Processors the build knows no wider instructions for: the portable build of the rows.
#include "terminal_rows.h"

// EncodeRowsForThisProcessor is defined here, for this kind of processor.
void TerminalEncoder::EncodeRowsForThisProcessor(Terminal& t, const Cell* cells) { EncodeRows(t, cells); }
