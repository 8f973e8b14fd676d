#include "tool_tables.h"

#include "quorvel4/backend_options.h"

OptionTable ViewTable(ViewOptions& options) {
  OptionTable table("quorvel4-view", "[--ascii] [--backend NAME | --terminal | --window] PICTURE.png",
                    "Shows a PNG picture through the library's converters; any key ends it.");
  table.Add({"--ascii", "", "draw the picture's brightness as character shapes", SetFlag(options.ascii)});
  AddBackendOptions(table, options.backend);
  table.Add({"", "PICTURE.png", "", SetOnce(options.path, "one picture at a time")});
  return table;
}

OptionTable TestcardTable(std::string& backend) {
  OptionTable table("quorvel4-testcard", "[--backend NAME | --terminal | --window]",
                    "Shows whether a display presents the show's cells correctly; any key quits.");
  AddBackendOptions(table, backend);
  return table;
}

OptionTable PreviewSheetTable(std::string& dataDir, std::string& output) {
  OptionTable table("preview_sheet", "DATA_DIR OUTPUT.png", "Draws every picture of DATA_DIR as the show does.");
  table.Add({"", "DATA_DIR OUTPUT.png", "", [&dataDir, &output](const std::string& word, std::string& error) {
               std::string& slot = dataDir.empty() ? dataDir : output;
               if (!slot.empty()) {
                 error = "unexpected argument " + word;
                 return false;
               }
               slot = word;
               return true;
             }});
  return table;
}
