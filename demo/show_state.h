// The state of a show that outlives a frame, and its one owner.
//
// The effects keep their state in statics private to their files (that is what makes a run
// reproducible); the frames share the two buffers; the library holds the sync points. A run
// starts from program-start state only if all of them are put back first, so a second session in
// one process, a seek and a reload each begin here.
#pragma once

#include "demo/show.h"

// Puts back to program start everything a frame reads that lives longer than one frame:
//   - the effects' statics: the plasmas' drifts, the starfield's stars and its last time, the
//     sparkles, the swarm, the text lines' places, the ripple fields and which one is current,
//     the dot cube's lattice and palette (its grid is worked out afresh every frame);
//   - the shared buffers: Canvas, CellScreen and the frames' CanvasCopy;
//   - the library's sync points (the script loads its own again);
//   - the frame loop's record in `show`: the scene index, the end, a failure, and what the
//     gentle mode remembers of the frames it presented (a fresh guard, when there is one).
// Left alone: the random generator, which the console's start-up seeds (a seek reseeds it with
// SeedRandomAsAtStartUp); the script's own globals, which live in its engine and start again
// when its program runs again (ShowScript::Restart); the converter's table and the pictures,
// which frames only read.
void ResetShowState(Show& show);

// The start-up's steps that fill the effects' tables (the sparkles, the swarm and its first
// step, the dot cube's palette and lattice), in the show's order. The sparkles and the swarm
// draw from the generator: run after the script's program and before the first frame, always
// in this order. The dot cube's draw nothing and are the same in every run.
void BuildEffectTables();
