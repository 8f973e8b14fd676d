// Provisional: replaced by the real effect.
#include "swarm.h"

void InitSwarm() {}
void MoveSwarm() {}
void DrawSwarm() {}
