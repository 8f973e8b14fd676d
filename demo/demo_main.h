// The show from start to end: resources, music, the frame loop and the shutdown.
#pragma once

#include <string>

#include "demo/music_stream.h"
#include "demo/show.h"

// Where the show looks for its pictures and music: relative to the working directory.
inline constexpr const char* kDataDirectory = "data";
inline constexpr const char* kWindowTitle = "[quenby] // [dralsk] | alt+enter for fullscreen ";
inline constexpr const char* kMusicFile = "8920.mp3";
// Said wherever the show is started from a command line (its --help).
inline constexpr const char* kFlashWarning =
    "Warning: the show contains flashing images. It may trigger seizures in people with\n"
    "photosensitive epilepsy; --reduce-flashes keeps it to three flashes a second or fewer.\n";

// Everything before the music: the converter's table, the ripple fields, the title, the
// pictures and the effects' tables, with the two loading lines. A picture that cannot be read
// is left black and listed in show.unreadablePictures. The converter is left without a table
// when there is no memory for one (show.converter.HasMap()); DemoMain then stops.
//
// The order is part of the show: the sparkles (5000 draws), then the swarm (its set-up and
// first move) take their numbers from the one random generator, after the 80 of the window
// title, so the order of these steps fixes every random stream the show draws later. The other
// steps draw no numbers; they only have to be done before the first frame.
void PrepareShow(Show& show, const std::string& dataDir);

// Opens the audio output (which checks its library's version) and decodes the music file,
// ready to play. On a failure the console is given back, the reason printed, and false
// returned.
bool OpenMusic(MusicStream& stream, MusicBlock& block, const std::string& dataDir);

// Starts the opened music; the same reporting on failure.
bool PlayMusic(MusicStream& stream, const std::string& dataDir);

// The scrolling speeds from the lengths of the two texts.
void SetScrollSpeeds(Show& show);

// Runs the whole show; 0 after a normal end or a key, 1 after a start-up failure. With
// `reduceFlashes` the frame loop keeps the flashes at three a second or fewer.
int DemoMain(bool reduceFlashes = false);
