// `quorvel4-demo --new DIR`: a starter show that plays at once, written into a new or empty
// folder (a script with comments and one picture, no music).
#pragma once

#include <string>

// The starter's script, compiled in from demo/starter_show.js.
const std::string& StarterShowSource();

// Writes the starter show into `dir`, which must not exist yet or be an empty folder; false
// with `error` (and nothing written) otherwise.
bool WriteStarterShow(const std::string& dir, std::string& error);
