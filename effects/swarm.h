// A hundred circling crosses with swinging companions, drawn into the Canvas.
#pragma once

void InitSwarm();
void MoveSwarm();
void DrawSwarm();
