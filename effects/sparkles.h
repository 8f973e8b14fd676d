// A thousand small circling plus signs in the Canvas.
#pragma once

// Every sparkle back to all zero, as before InitSparkles at program start (InitSparkles sets
// only the colours, centres and sizes: the angles and places would carry over).
void ResetSparkles();

void InitSparkles();
void MoveSparkles();
void DrawSparkles();
