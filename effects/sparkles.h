// A thousand small circling plus signs in the Canvas.
#pragma once

void InitSparkles();
void MoveSparkles();
void DrawSparkles();
