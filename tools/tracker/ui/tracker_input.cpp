#include "tracker/ui/tracker_input.h"

#include <curses.h>
#include <term.h>

#include <string>

namespace {

constexpr int Ctrl(char letter) { return letter & 0x1F; }

TrackerCommand Act(TrackerAction action) { return {action}; }
TrackerCommand Move(TrackerMove move, bool select = false) { return {TrackerAction::kMove, move, select}; }
TrackerCommand Nudge(float delta) { return {TrackerAction::kNudge, TrackerMove::kUp, false, delta}; }

// A modified key: its extended terminfo name, the sequence xterm sends for it, and what it does.
struct ModifiedKey {
  const char* name;
  const char* xterm;
  TrackerCommand command;
};

}  // namespace

TrackerKeys::TrackerKeys() {
  for (int key : {int{'\r'}, int{'\n'}, KEY_ENTER}) Bind(key, Act(TrackerAction::kEnter));
  Bind(27, Act(TrackerAction::kEscape));
  for (int key : {KEY_BACKSPACE, 127, 8}) Bind(key, Act(TrackerAction::kBackspace));
  Bind(KEY_DC, Act(TrackerAction::kDelete));
  Bind('i', Act(TrackerAction::kCycleInterpolation));
  Bind(' ', Act(TrackerAction::kPlayPause));
  Bind('k', Act(TrackerAction::kBookmark));
  Bind('?', Act(TrackerAction::kHelp));
  Bind(Ctrl('C'), Act(TrackerAction::kCopy));
  Bind(Ctrl('X'), Act(TrackerAction::kCut));
  Bind(Ctrl('V'), Act(TrackerAction::kPaste));
  Bind(Ctrl('Z'), Act(TrackerAction::kUndo));
  Bind(Ctrl('Y'), Act(TrackerAction::kRedo));
  Bind(Ctrl('S'), Act(TrackerAction::kSave));
  Bind(Ctrl('E'), Act(TrackerAction::kSaveTracks));
  Bind(Ctrl('Q'), Act(TrackerAction::kQuit));
  Bind(KEY_MOUSE, Act(TrackerAction::kMouse));
  Bind(KEY_RESIZE, Act(TrackerAction::kResize));
  Bind(KEY_UP, Move(TrackerMove::kUp));
  Bind(KEY_DOWN, Move(TrackerMove::kDown));
  Bind(KEY_LEFT, Move(TrackerMove::kLeft));
  Bind(KEY_RIGHT, Move(TrackerMove::kRight));
  Bind(KEY_PPAGE, Move(TrackerMove::kPageUp));
  Bind(KEY_NPAGE, Move(TrackerMove::kPageDown));
  Bind(KEY_HOME, Move(TrackerMove::kHome));
  Bind(KEY_END, Move(TrackerMove::kEnd));
  // Shifted moves that ncurses has codes of its own for.
  Bind(KEY_SR, Move(TrackerMove::kUp, true));
  Bind(KEY_SF, Move(TrackerMove::kDown, true));
  Bind(KEY_SLEFT, Move(TrackerMove::kLeft, true));
  Bind(KEY_SRIGHT, Move(TrackerMove::kRight, true));
  Bind(KEY_SPREVIOUS, Move(TrackerMove::kPageUp, true));
  Bind(KEY_SNEXT, Move(TrackerMove::kPageDown, true));
  Bind(KEY_SHOME, Move(TrackerMove::kHome, true));
  Bind(KEY_SEND, Move(TrackerMove::kEnd, true));
}

void TrackerKeys::LearnModifiedKeys() {
  const ModifiedKey keys[] = {
      {"kUP5", "\033[1;5A", Nudge(1)},
      {"kDN5", "\033[1;5B", Nudge(-1)},
      {"kUP6", "\033[1;6A", Nudge(0.1f)},
      {"kDN6", "\033[1;6B", Nudge(-0.1f)},
      {"kPRV5", "\033[5;5~", Nudge(10)},
      {"kNXT5", "\033[6;5~", Nudge(-10)},
      {"kPRV3", "\033[5;3~", Act(TrackerAction::kPreviousBookmark)},
      {"kNXT3", "\033[6;3~", Act(TrackerAction::kNextBookmark)},
      // Shifted moves, for descriptions that lack the standard names.
      {"kUP2", "\033[1;2A", Move(TrackerMove::kUp, true)},
      {"kDN2", "\033[1;2B", Move(TrackerMove::kDown, true)},
      {"kLFT2", "\033[1;2D", Move(TrackerMove::kLeft, true)},
      {"kRIT2", "\033[1;2C", Move(TrackerMove::kRight, true)},
      {"kPRV2", "\033[5;2~", Move(TrackerMove::kPageUp, true)},
      {"kNXT2", "\033[6;2~", Move(TrackerMove::kPageDown, true)},
      {"kHOM2", "\033[1;2H", Move(TrackerMove::kHome, true)},
      {"kEND2", "\033[1;2F", Move(TrackerMove::kEnd, true)},
      // Ctrl+Shift+Z where the terminal tells it from Ctrl+Z: xterm's modifyOtherKeys and the
      // CSI u form (kitty, foot, and xterm when asked). No terminfo names these.
      {nullptr, "\033[27;6;90~", Act(TrackerAction::kRedo)},
      {nullptr, "\033[27;6;122~", Act(TrackerAction::kRedo)},
      {nullptr, "\033[90;6u", Act(TrackerAction::kRedo)},
      {nullptr, "\033[122;6u", Act(TrackerAction::kRedo)},
  };
  // Codes of our own, above any that ncurses gives the extended names it reads.
  int ownCode = KEY_MAX + 0x400;
  for (const ModifiedKey& key : keys) {
    int code = 0;
    if (key.name != nullptr) {
      // tigetstr's argument is not const in older curses headers.
      std::string name = key.name;
      const char* sequence = tigetstr(name.data());
      if (sequence != nullptr && sequence != reinterpret_cast<char*>(-1)) code = key_defined(sequence);
    }
    if (code <= 0) code = key_defined(key.xterm);
    if (code <= 0) {
      code = ownCode++;
      if (define_key(key.xterm, code) != OK) continue;
    }
    Bind(code, key.command);
  }
}

TrackerCommand TrackerKeys::Decode(int key) const {
  if (const auto found = bound_.find(key); found != bound_.end()) return found->second;
  if ((key >= '0' && key <= '9') || key == '-' || key == '.') {
    TrackerCommand command = Act(TrackerAction::kType);
    command.typed = static_cast<char>(key);
    return command;
  }
  return {};
}
