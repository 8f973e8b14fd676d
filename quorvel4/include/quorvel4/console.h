// The console: set-up, presenting the CellScreen, titles, text into cells and debug lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quorvel4/backend.h"
#include "quorvel4/format_check.h"

// The title the library gives the window once the console is set up.
inline constexpr const char* kLibraryTitle = "Quorvel4 console window - press alt-enter for fullscreen";

// Chooses the back end that InitConsole will use. Without a choice, InitConsole opens the
// first usable back end of the table; when there is none, the console runs on with nothing
// to show on, as it does when any console call fails.
void UseConsoleBackend(std::unique_ptr<ConsoleBackend> backend);

// Opens the back end called `name` from the table (empty: the first usable one) for
// InitConsole to use. Returns false with a one-line reason in `error` when it cannot be
// opened; the program decides what follows.
bool ChooseConsoleBackend(std::string_view name, std::string& error);

// The table name of the back end ChooseConsoleBackend opened ("" otherwise): a program may
// lay out its picture for it (a window's cells are not a terminal's).
const std::string& ChosenConsoleBackendName();

// The back end in use (null before InitConsole).
ConsoleBackend* ActiveConsoleBackend();

// Sets up the console and seeds the random generator from the millisecond tick count,
// then draws the 80 numbers of the random window title.
void InitConsole();

// The same with a given seed: the offline renderer and tests replay a run with it.
void InitConsoleWithSeed(uint32_t seed);

// Only the generator's part of InitConsoleWithSeed: seeds it and makes the title's 80 draws,
// touching neither the back end nor the title. Leaves the generator exactly as the console's
// start-up leaves it, for a program that replays a run from its start (a seek).
void SeedRandomAsAtStartUp(uint32_t seed);

// The millisecond tick count InitConsole seeds from (wraps after 49.7 days).
uint32_t TickCount();

// Lets the back end handle its events (input, resizes), then copies all of CellScreen to the
// display in one operation.
int PresentScreen();

// Sets the window title; returns nonzero on success.
int SetTitle(const char* text);

// Formats into a 512-byte buffer and writes all but the last character into consecutive
// cells from (column, row), white on black (attribute 0x0F). Cells outside the screen are
// never written.
int PrintAt(int32_t column, int32_t row, const char* format, ...) QVL_PRINTF_FORMAT(3, 4);

// True when a key is waiting; the key stays in the input.
bool KeyWaiting();

// For a program that reads keys as commands: whether the back end can give them, and the oldest
// key press waiting (false when none is, or the back end cannot).
bool ConsoleReadsKeys();
bool TakeKey(KeyStroke& key);
// The back end's MustEnd: the display or input is gone, or the end was asked for.
bool ConsoleMustEnd();

// Lets the back end handle its events (input, resizes) without presenting: for a program that
// holds its picture (paused) but still reads keys.
void PollConsole();

// A line about the show beside the picture, never over it (ConsoleBackend::SetStatusLine).
void SetStatusLine(std::string_view text);

// Restores the display (terminal modes, cursor, colours). Safe to call more than once.
void ShutdownConsole();
