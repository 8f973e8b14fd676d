// x86-64: where the processor has them (as most made since 2013 do), the rows of a frame are
// encoded with the instructions of AVX2, BMI1 and BMI2, which take about a tenth off a frame:
// single instructions for the bit scans, masks and shifts of the column sets, and wider
// vectors. The choice is made once, at run time, so the program still runs on any x86-64
// processor.
#include "terminal_rows.h"

// flatten pulls everything EncodeRows calls into this function, so all of it is compiled for
// these instructions.
[[gnu::target("avx2,bmi,bmi2"), gnu::flatten]] void TerminalEncoder::EncodeRowsWide(Terminal& t, const Cell* cells) {
  EncodeRows(t, cells);
}

// EncodeRowsForThisProcessor is defined here, for this kind of processor.
void TerminalEncoder::EncodeRowsForThisProcessor(Terminal& t, const Cell* cells) {
  static const bool wide =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  if (wide) {
    EncodeRowsWide(t, cells);
  } else {
    EncodeRows(t, cells);
  }
}
