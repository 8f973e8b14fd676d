#include "demo/demo_main.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "demo/data_directory.h"
#include "demo/frame.h"
#include "demo/music_stream.h"
#include "demo/scroll_texts.h"
#include "demo/timeline.h"
#include "effects/dot_cube.h"
#include "effects/sparkles.h"
#include "effects/swarm.h"
#include "effects/water_ripples.h"
#include "quorvel4/console.h"
#include "quorvel4/debug.h"

namespace {

// Start-up messages go to standard output once the terminal is ours no more, so the
// picture's escape sequences cannot garble them.
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Report(const char* format, ...) {
  ShutdownConsole();
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void ShowLoadingLine(int32_t row, const char* text) {
  PrintAt(5, row, "%s", text);
  PresentScreen();
}

bool DataDirectoryExists(const std::string& dataDir) {
  std::error_code error;
  return std::filesystem::is_directory(dataDir, error);
}

// With no data directory anywhere every file is missing: say where we looked.
void ReportMissingDataDirectory(const std::string& dataDir) {
  if (DataDirectoryExists(dataDir)) return;
  Report("%s\n", NoDataDirectoryMessage(FindDataDirectory(DataDirectoryPlacesHere())).c_str());
}

// The first data directory of the lookup; without one, the first place looked at (QVL_DATA_DIR
// when set, else the working directory's data/), whose files are then all missing and
// reported as the show always did.
std::string ChooseDataDirectory() {
  const DataDirectoryPlaces places = DataDirectoryPlacesHere();
  const FoundDataDirectory found = FindDataDirectory(places);
  return found.directory.empty() ? places.places.front() : found.directory;
}

// Named once the console is given back, so the picture stays clean while the show runs.
void ReportUnreadablePictures(const Show& show) {
  for (const std::string& path : show.unreadablePictures)
    Report("The picture file %s could not be read; the show drew it black.\n", path.c_str());
}

// After a failed start no picture was drawn; without the data directory its own message has
// already said why every file is missing.
void ReportUnreadablePicturesBeforeTheShow(const Show& show, const std::string& dataDir) {
  if (!DataDirectoryExists(dataDir)) return;
  for (const std::string& path : show.unreadablePictures)
    Report("The picture file %s could not be read.\n", path.c_str());
}

}  // namespace

bool OpenMusic(MusicStream& stream, MusicBlock& block, const std::string& dataDir) {
  if (!stream.Init()) {
    Report("Error!\n%s%s", stream.Error().c_str(), stream.Error().empty() ? "" : "\n");
    return false;
  }
  const std::string path = DataPath(dataDir, kMusicFile);
  uint64_t size = 0;
  switch (ReadMusicFile(path, block, &size)) {
    case MusicFileResult::kRead:
      break;
    case MusicFileResult::kNotFound:
      Report("Error!\nFile Not Found\nThe music file %s does not exist\n", path.c_str());
      ReportMissingDataDirectory(dataDir);
      return false;
    case MusicFileResult::kNotRegular:
      Report("Error!\nThe music file %s is not a regular file\n", path.c_str());
      return false;
    case MusicFileResult::kTooLarge:
      Report("Error!\nThe music file %s is %llu bytes; a music file may have at most %llu bytes\n", path.c_str(),
             static_cast<unsigned long long>(size), static_cast<unsigned long long>(kMaxMusicFileBytes));
      return false;
    case MusicFileResult::kEmpty:
      Report("Error!\nThe music file %s is empty\n", path.c_str());
      return false;
    case MusicFileResult::kUnreadable:
      Report("Error!\nCannot read the music file %s\n", path.c_str());
      return false;
  }
  if (!stream.Open(block)) {
    Report("Error!\nCannot decode the music file %s as MP3: %s\n", path.c_str(), stream.Error().c_str());
    return false;
  }
  return true;
}

bool PlayMusic(MusicStream& stream, const std::string& dataDir) {
  if (!stream.Play()) {
    const std::string path = DataPath(dataDir, kMusicFile);
    Report("Error!\nCannot play the music file %s: %s\n", path.c_str(), stream.Error().c_str());
    return false;
  }
  return true;
}

void PrepareShow(Show& show, const std::string& dataDir) {
  PrepareRippleFields();
  show.converter.BuildMap(0xFFFF);
  SetTitle(kWindowTitle);
  show.images.Allocate();
  ShowLoadingLine(4, "loading images\n");
  InitSparkles();
  show.unreadablePictures = show.images.Load(dataDir);
  for (const std::string& path : show.unreadablePictures) DebugPrint("cannot read the picture file %s\n", path.c_str());
  InitSwarm();
  MoveSwarm();
  BuildDotPalette();
  MakeDotGrid();
  ShowLoadingLine(5, "loading music\n");
}

void SetScrollSpeeds(Show& show) {
  show.creditsSpeed = ScrollSpeed(static_cast<uint32_t>(std::strlen(CreditsText)));
  show.greetingsSpeed = ScrollSpeed(static_cast<uint32_t>(std::strlen(GreetingsText)));
}

int DemoMain(bool reduceFlashes) {
  const std::string dataDir = ChooseDataDirectory();
  Show show;
  if (reduceFlashes) show.flashGuard = std::make_unique<FlashGuard>();
  PrepareShow(show, dataDir);
  if (!show.converter.HasMap()) {
    Report("Error!\nNot enough memory for the colour table\n");
    return 1;
  }

  MusicBlock block;
  MusicStream stream;
  if (!OpenMusic(stream, block, dataDir) || !PlayMusic(stream, dataDir)) {
    ReportUnreadablePicturesBeforeTheShow(show, dataDir);
    return 1;
  }
  SetScrollSpeeds(show);
  show.sceneIndex = 0;
  show.ended = false;

  RunFrameLoop(stream, show, SleepBetweenFrames);

  stream.Close();
  show.images.Release();
  block.data.reset();
  if (stream.Silent()) {
    Report("No audio device could be opened, so the show played without sound.\n");
  }
  ReportUnreadablePictures(show);
  return 0;
}
