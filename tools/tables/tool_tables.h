// The option tables of the small tools, made here rather than in their entry files so that
// the fuzz targets read a command line through the very table the program reads it with.
#pragma once

#include <string>

#include "quorvel4/options.h"

struct ViewOptions {
  bool ascii = false;
  std::string backend;  // the display back end; empty: the first usable one
  std::string path;
};

// quorvel4-view: --ascii, the back end, one PICTURE.png.
OptionTable ViewTable(ViewOptions& options);

// quorvel4-testcard: the back end.
OptionTable TestcardTable(std::string& backend);

// preview_sheet: DATA_DIR OUTPUT.png, in that order.
OptionTable PreviewSheetTable(std::string& dataDir, std::string& output);
