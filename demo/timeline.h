// The scene step of the frame loop: the show's script picks the scene of a music time from its
// table and draws it (demo/show_script.h), and the helpers its scenes share.
#pragma once

#include <cstdint>

#include "demo/show.h"

// Runs the first scene whose window holds t and updates SceneIndex, or applies the end rule
// when no window holds it. Returns the converted flag: true when the scene filled the
// CellScreen itself. A scene whose script fails sets show.failure.
bool RunScene(int32_t t, Show& show);

// The whole Canvas into all 80 x 50 Cells.
void ConvertCanvas(Show& show);

// One random colour over the whole Canvas (three draws: red, green, blue).
void RandomFill();
