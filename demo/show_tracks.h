// A show's sync tracks: which tracks its script asks for, and their keys as the show's folder
// holds them when no editor is connected: one track file a track (<base>_<name>.track, the
// base "sync" unless the script says otherwise), or one XML project of the editor's.
#pragma once

#include <string>
#include <vector>

#include "demo/show_folder.h"
#include "quorvel4/sync_tracks.h"

// Where a show's tracks come from: TrackSource("sync") and the default read track files of that
// base, TrackSource("NAME.rocket") (or .xml) reads an editor's project.
inline constexpr const char* kDefaultTrackBase = "sync";
bool IsTrackProjectSource(const std::string& source);

// Why `source` cannot be a show's track source (a base that makes no file name a show may use,
// say), or empty.
std::string TrackSourceProblem(const std::string& source);

// The track names that `source`, a script, passes as string literals to track(...), each once,
// in the order they first appear: so that the tracks a show asks for are known when it loads,
// before any scene has run. Comments and other strings are passed over.
std::vector<std::string> TrackNamesInSource(const std::string& source);

// The files of the folder that may hold the keys of `tracks` (each track's file, or the project),
// whether they are there or not: a host that fetches a show's files asks for these too.
std::vector<std::string> TrackFilesOf(const std::string& source, const std::vector<SyncTrack>& tracks);

// Reads the keys of every track of `tracks` (their names given) from the folder: a track whose
// file is missing, or which the project does not hold, has no keys; so has every track when the
// project is missing. False with `error` naming the file when a file is there but is not one
// the format allows. The keys of `tracks` are only replaced when every file was read.
bool ReadTrackKeys(const ShowFolder& folder, const std::string& source, std::vector<SyncTrack>& tracks,
                   std::string& error);

// Writes the keys of `tracks` into the folder as `source` says: every track's file, or the
// project (the tracks it holds besides, its rows and bookmarks kept). Each file is written
// whole under a temporary name, then put in place, so that a reader never sees half a file.
// `written` gets the names of the files written. False with `error` on the first failure.
bool WriteTrackKeys(const ShowFolder& folder, const std::string& source, const std::vector<SyncTrack>& tracks,
                    std::vector<std::string>& written, std::string& error);
