// quorvel4-tracker: a sync-tracker in the terminal. It edits a project's tracks (the editors'
// XML project), serves them to a show started with --edit --sync, and with --export writes
// them as the track files a release plays.
//
//   quorvel4-tracker [--listen ADDR:PORT] [--rows-per-beat N] [PROJECT.rocket]
//   quorvel4-tracker --export DIR [--base NAME] PROJECT.rocket
//
// Exit status: 0 when it quit, or the export was written; 1 without a terminal, or when the
// export could not be read or written (or the terminal was lost: the changes are then in the
// recovery file); 2 for arguments it does not take; 128 + N after the signal N.
#include "tracker/ui/tracker_app.h"

int main(int argc, char** argv) {
  TrackerOptions options;
  const OptionTable table = TrackerTable(options);
  if (const std::optional<int> status = table.Parse(argc, argv)) return *status;
  if (!options.exportDir.empty()) return ExportTracks(options, table);
  return RunTracker(options, table);
}
