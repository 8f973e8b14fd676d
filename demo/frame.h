// One frame of the show, as every program draws it: the loop that repeats it is the show
// session's (ShowSession::Step and Run), whatever the clock, the pause and the back end.
#pragma once

#include <cstdint>

#include "demo/music_clock.h"
#include "demo/show.h"

// Draws the scene of time t, converts the Canvas unless the scene filled the cells itself,
// presents the CellScreen (or, in the gentle mode, the last presented frame where this one
// would flash too often) and clears both buffers.
void RunFrame(int32_t t, Show& show);

// The frame of time t as RunFrame draws it, leaving every state that RunFrame leaves (the
// effects', the script's, the gentle mode's), but not presented: a seek runs the frames before
// its time this way.
void ReplayFrame(int32_t t, Show& show);

// The frame rate of the grid a seek replays, the one an export's --times T0:T1 steps by.
constexpr int kGridFramesPerSecond = 60;

// The time of frame k of a grid of `fps` frames a second that starts at `first`: the show time
// nearest k / fps seconds after `first`, halves rounded up. Exports and seeks share it, so a
// seek replays exactly the frames an export of the same span draws.
int64_t GridFrameTime(int32_t first, int64_t k, int fps);

// Why the loop stops before drawing a frame of `clock`, or ShowEnd::kRunning to draw it: a key
// is waiting (it stays in the input: the loop only looks), the end rule has fired or the clock
// has run out. Where keys are commands (`keysEnd` false), only the back end's own reasons to
// end count as the key (ConsoleMustEnd): a program that reads keys takes them itself.
ShowEnd StopReason(const MusicClock& clock, const Show& show, bool keysEnd = true);

// The live show's pause between frames.
void SleepBetweenFrames();
