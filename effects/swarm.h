// A hundred circling crosses with swinging companions, drawn into the Canvas.
#pragma once

// Every member back to all zero, as before InitSwarm at program start.
void ResetSwarm();

void InitSwarm();
void MoveSwarm();
void DrawSwarm();
