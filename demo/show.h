// Everything the frame loop works with: the converter, the show's script (its scenes and
// pictures) and the loop's own record of where the show is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demo/flash_guard.h"
#include "quorvel4/qvl_blockcolor.h"

// SceneIndex of a frame whose time lies in no window (404: no scene found). Any value but
// kLastScene would do; the end rule only asks whether the last scene ran.
constexpr int32_t kNoScene = 404;
// The last scene: once it has run, the first frame outside every window ends the show.
constexpr int32_t kLastScene = 47;

// Why the frames stopped.
enum class ShowEnd {
  kRunning,      // not yet
  kKey,          // a key, or a signal asking the show to end
  kLastScene,    // the timeline passed its last scene
  kClockRanOut,  // a scripted clock gave its last time
  kStopped,      // the program stopped stepping (its output failed, say)
  kFailed,       // the show's script failed in a scene (Show::failure says how)
};

class ShowScript;

struct Show {
  BlockColorConverter converter;
  // Pictures that could not be read: the show draws them black.
  std::vector<std::string> unreadablePictures;
  int32_t sceneIndex = 0;
  bool ended = false;
  // Set in the gentle mode: holds back frames that would flash too often.
  std::unique_ptr<FlashGuard> flashGuard;
  // Set in edit mode: reads the frames as drawn, so the author sees where the show flashes.
  std::unique_ptr<FlashWatch> flashWatch;
  // The show's script: its scene table, and the pictures it declared.
  std::unique_ptr<ShowScript> script;
  // Why the show's script failed, with the place; the frame it failed in is not presented.
  std::string failure;

  Show();
  ~Show();
};

// The frames' copy of a finished Canvas, drawn back with a shake.
extern Pixel CanvasCopy[kCanvasPixels];
