#include "demo/flash_guard.h"

#include <algorithm>
#include <cstdio>

bool FlashGuard::Filter(int32_t time, Cell* cells) {
  const bool first = presented_.empty();
  FrameLight light = MeasureLight(cells, first ? nullptr : presented_.data());
  const bool hold = !first && counter_.WouldFail(time, light);
  if (hold) {
    std::copy(presented_.begin(), presented_.end(), cells);
    ++held_;
    // The light on the screen at this time is what the count follows: a held frame repeats
    // the presented light and changes no pixel.
    counter_.Take(time, SameLightAgain(presentedLight_));
  } else {
    presented_.assign(cells, cells + kScreenCells);
    counter_.Take(time, light);
    presentedLight_ = std::move(light);
  }
  return hold;
}

void FlashWatch::Take(int32_t time, const Cell* cells) {
  latest_ = counter_.Take(time, MeasureLight(cells, before_.empty() ? nullptr : before_.data()));
  before_.assign(cells, cells + kScreenCells);
}

std::string FlashWarning(const FlashVerdict& verdict) {
  for (const FlashCount& c : verdict.readings) {
    if (!c.fails) continue;
    char text[96];
    std::snprintf(text, sizeof text, "too many flashes: %.1f/s%s, %s, %s", c.Flashes(), c.sustained ? " for 4 s" : "",
                  LightKindName(c.kind), FlashAreaShortName(c.area).c_str());
    return text;
  }
  return "";
}
