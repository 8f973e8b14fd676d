// The tracker's keys: ncurses' key codes (and the characters of raw mode, where Ctrl+C is 3)
// turned into what they ask for. Modified keys (Ctrl+Up, Alt+Page Up, ...) have no fixed codes
// in ncurses: their codes come from the terminal's description (the extended names kUP5,
// kPRV3, ...), and where the description lacks one, the sequence xterm sends is defined as a key
// of our own, since most terminals send xterm's.
#pragma once

#include <unordered_map>

enum class TrackerAction {
  kNone,
  kType,  // a character of a number: `typed`
  kEnter,
  kEscape,
  kBackspace,
  kDelete,
  kCycleInterpolation,
  kPlayPause,
  kMove,  // `move`, extending the selection when `select`
  kCopy,
  kCut,
  kPaste,
  kUndo,
  kRedo,
  kBookmark,
  kPreviousBookmark,
  kNextBookmark,
  kNudge,  // add `delta` to the selected keys' values
  kSave,
  kSaveTracks,
  kQuit,
  kHelp,
  kMouse,
  kResize,
};

enum class TrackerMove { kUp, kDown, kLeft, kRight, kPageUp, kPageDown, kHome, kEnd };

struct TrackerCommand {
  TrackerAction action = TrackerAction::kNone;
  TrackerMove move = TrackerMove::kUp;
  bool select = false;
  float delta = 0;
  char typed = 0;
};

class TrackerKeys {
 public:
  // The keys every terminal has a code for (ncurses' own, and the control characters).
  TrackerKeys();
  // Learns the modified keys' codes of the terminal ncurses runs on (after newterm and keypad),
  // defining xterm's sequences for those it has none for.
  void LearnModifiedKeys();

  TrackerCommand Decode(int key) const;

 private:
  void Bind(int key, TrackerCommand command) { bound_[key] = command; }
  std::unordered_map<int, TrackerCommand> bound_;
};
