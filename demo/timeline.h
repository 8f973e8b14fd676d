// The scene table: which scene draws at a given music time, and with which arguments.
#pragma once

#include <cstdint>
#include <vector>

#include "demo/show.h"

// SceneIndex of the table row that leaves SceneIndex as it was.
constexpr int32_t kKeepSceneIndex = -1;

// A row's time window: lower < t < upper, both bounds excluded.
struct SceneWindow {
  int32_t lower;
  int32_t upper;
  int32_t sceneIndex;  // kKeepSceneIndex for the closing caption
};

// The windows in table order (the order in which they are tried).
std::vector<SceneWindow> SceneWindows();

// Runs the first scene whose window holds t and updates SceneIndex, or applies the end rule
// when no window holds it. Returns the converted flag: true when the scene filled the
// CellScreen itself.
bool RunScene(int32_t t, Show& show);

// The whole Canvas into all 80 x 50 Cells.
void ConvertCanvas(Show& show);

// One random colour over the whole Canvas (three draws: red, green, blue).
void RandomFill();

// The two scrolling texts over the closing scenes.
void DrawScrollTexts(int32_t t, const Show& show);

// Scroll position in columns at time t for a text moving one column every `speed` ms.
int32_t ScrollPosition(int32_t t, float speed);

// Milliseconds of music per column of scroll for a text of `length` characters.
float ScrollSpeed(uint32_t length);
