#include "demo/show_state.h"

#include <cstring>
#include <memory>

#include "effects/dot_cube.h"
#include "effects/plasma.h"
#include "effects/sparkles.h"
#include "effects/starfield.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "effects/water_ripples.h"
#include "quorvel4/sync_points.h"
#include "quorvel4/types.h"

void ResetShowState(Show& show) {
  // An effect that gains a static gains its reset here; the tests of each reset run the effect,
  // reset it and check it starts over.
  ResetPlasma();
  ResetStarfield();
  ResetSparkles();
  ResetSwarm();
  ResetTextLines();
  ResetWaterRipples();
  ResetDotCube();

  std::memset(Canvas, 0, sizeof Canvas);
  std::memset(CellScreen, 0, sizeof CellScreen);
  std::memset(CanvasCopy, 0, sizeof CanvasCopy);

  ClearSyncPoints();

  show.sceneIndex = 0;
  show.ended = false;
  show.failure.clear();
  if (show.flashGuard) show.flashGuard = std::make_unique<FlashGuard>();
  if (show.flashWatch) show.flashWatch = std::make_unique<FlashWatch>();
}

void BuildEffectTables() {
  InitSparkles();
  InitSwarm();
  MoveSwarm();
  BuildDotPalette();
  MakeDotGrid();
}
