// Named time points read from a text file, for timing scenes to music, and a stream
// callback that logs the music stream's events.
//
// A sync file holds a decimal count N, then N records: a name on a line of its own (any
// length; read and discarded) and a decimal time in milliseconds. Whitespace, blank lines
// included, may follow every number. Example:
//
//     2
//     drums in
//     12000
//     chorus
//     45500
#pragma once

#include <cstdint>

// Reads the sync file at `path`, replacing the loaded list, and returns the number of points
// loaded. The file is untrusted: reading stops at the first record that is not complete (end
// of file, or a time that is not a decimal number within int32_t), so a file shorter than its
// count, or with a count that is negative, absurd or not a number, loads just the complete
// records it really holds (none for a count below 1). Sends "numpoints=N" and one line per
// point (its time and its index) to the debug sink. When the file cannot be opened, is no
// regular file (a directory, a FIFO: never waited on) or a read fails, it sends "shite" to the
// debug sink, leaves the loaded list as it was and returns -1.
int32_t LoadSyncPoints(const char* path);

// Empties the loaded list, as it is before any load: a program that runs a second show must not
// let it find the first one's points.
void ClearSyncPoints();

// Replaces the loaded list with `count` times (none when `count` < 1), without a file and without
// debug output: for putting back a list read before.
void SetSyncPoints(const int32_t* times, int32_t count);

// The number of points of the loaded list (0 before any load).
int32_t SyncPointCount();

// The loaded times in file order (SyncPointCount() entries; null when there are none).
const int32_t* SyncPointTimes();

// The index of the point that `time` has passed: scanning in file order, the point before
// the first one whose time is at or after `time`; -1 when that is the first point or the
// list is empty. When every point lies before `time`, the last index, SyncPointCount() - 1.
int32_t FindSyncPoint(int32_t time);

// Milliseconds from `time` until the first point (in file order) at or after it: 0 when
// `time` is a point's time. -1 when no point lies at or after `time` (and for an empty list).
int32_t TimeToNextSyncPoint(int32_t time);

// The music stream's callback. `data` is a sync point's zero-terminated name, or null at the
// end of the stream. Sends "\nSYNCHPOINT : \"NAME\"\n" to the debug sink, or prints
// "\nSTREAM ENDED!!\n" on standard output. Always returns 1.
signed char OnStreamEvent(void* stream, void* data, int length, void* user);
