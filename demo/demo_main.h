// The live show from start to end, on the console the program chose: the session's start-up,
// the frame loop on the music's clock, the shutdown, and the lines the console could not show.
#pragma once

#include "demo/live_show.h"
#include "demo/show_session.h"

inline constexpr const char* kWindowTitle = "[quenby] // [dralsk] | alt+enter for fullscreen ";
inline constexpr const char* kMusicFile = "8920.mp3";

// Runs the whole show; 0 after a normal end or a key, 1 after a start-up failure, whose
// reason is printed on standard output once the console is given back (as are the notes after
// the show: no sound, pictures drawn black). `live`: the live editing mode, the start, the loop.
int DemoMain(const ShowSettings& settings = {}, const LiveSettings& live = {});
