#include "tracker/ui/tracker_app.h"

#include <curses.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "tracker/tracker_document.h"
#include "tracker/ui/tracker_input.h"
#include "tracker/tracker_server.h"
#include "tracker/ui/tracker_view.h"

namespace fs = std::filesystem;

namespace {

// The handlers only note the signal; the loop writes the recovery file and gives the terminal
// back, which no handler may do.
volatile sig_atomic_t gStopSignal = 0;
extern "C" void OnStopSignal(int signal) { gStopSignal = signal; }

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};

// The recovery file is written this long at most after the edit that changed the document, and
// no more often: a large project takes a moment to write.
constexpr auto kRecoveryEvery = std::chrono::milliseconds(500);
// How long the loop waits for a key before it looks at the server again.
constexpr int kPollMs = 10;

constexpr int kMostTypedCharacters = 32;

const char kHelpLine[] = "Enter:set Del i:interp Space:play ^Z/^Y:undo/redo k:mark ^S:save ^Q:quit ?:keys";

// Mouse tracking of button motion (xterm's mode 1002), for dragging a selection: ncurses turns
// on press-and-release reports only.
const char kDragReportsOn[] = "\033[?1002h";
const char kDragReportsOff[] = "\033[?1002l";

std::string FileLabel(const std::string& path) {
  return path.empty() ? std::string("untitled") : fs::path(path).filename().string();
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

// The colours and attributes of each style, as ncurses pairs.
struct StyleLook {
  short foreground, background;
  attr_t attributes;
};

StyleLook LookOf(CellStyle style, bool manyColours) {
  const short grey = manyColours ? 8 : COLOR_WHITE;
  const short band = manyColours ? 236 : COLOR_BLUE;
  switch (style) {
    case CellStyle::kPlain: return {-1, -1, A_NORMAL};
    case CellStyle::kRowNumber: return {grey, -1, manyColours ? A_NORMAL : A_DIM};
    case CellStyle::kBeatNumber: return {COLOR_WHITE, -1, A_BOLD};
    case CellStyle::kBarNumber: return {COLOR_YELLOW, -1, A_BOLD};
    case CellStyle::kBookmark: return {COLOR_MAGENTA, -1, A_BOLD};
    case CellStyle::kEmpty: return {grey, -1, manyColours ? A_NORMAL : A_DIM};
    case CellStyle::kKey: return {COLOR_WHITE, -1, A_BOLD};
    case CellStyle::kBetween: return {grey, -1, manyColours ? A_NORMAL : A_DIM};
    case CellStyle::kBarLine: return {grey, band, A_NORMAL};
    case CellStyle::kSelected: return {COLOR_WHITE, COLOR_BLUE, A_BOLD};
    case CellStyle::kCursor: return {COLOR_BLACK, COLOR_CYAN, A_NORMAL};
    case CellStyle::kPlaying: return {COLOR_BLACK, COLOR_GREEN, A_NORMAL};
    case CellStyle::kGroup: return {COLOR_CYAN, -1, A_BOLD};
    case CellStyle::kTrackName: return {COLOR_CYAN, -1, A_NORMAL};
    case CellStyle::kTrackNameAtCursor: return {COLOR_BLACK, COLOR_CYAN, A_NORMAL};
    case CellStyle::kStatus: return {COLOR_BLACK, COLOR_WHITE, A_NORMAL};
    case CellStyle::kStatusWarning: return {COLOR_WHITE, COLOR_RED, A_BOLD};
    case CellStyle::kHelp: return {-1, -1, A_NORMAL};
    case CellStyle::kPrompt: return {COLOR_BLACK, COLOR_YELLOW, A_NORMAL};
  }
  return {-1, -1, A_NORMAL};
}

constexpr int kStyleCount = static_cast<int>(CellStyle::kPrompt) + 1;

class Tracker {
 public:
  Tracker(const TrackerOptions& options, const OptionTable& table) : options_(options), table_(table) {}
  ~Tracker() { LeaveTerminal(); }

  int Run();

 private:
  enum class Mode { kGrid, kKeyHelp, kAskRecover, kAskQuit, kAskName };

  bool EnterTerminal(std::string& error);
  void LeaveTerminal();
  void Listen();
  void Draw();
  void HandleKey(int key);
  void HandleGridKey(const TrackerCommand& command);
  void HandleTyping(const TrackerCommand& command);
  void HandlePrompt(int key, const TrackerCommand& command);
  void HandleMouse();
  void TakeMouse(const MEVENT& event);
  void HandleEvents(const std::vector<TrackerServer::Event>& events);
  void MoveCursor(TrackerMove move, bool select);
  void CursorMoved(GridPlace was);
  void Changed(const KeyChanges& changes);
  bool HaveTracks();
  void Save();
  bool SaveTo(const std::string& path);
  void AskName(const std::string& suggestion);
  // True when it had something to say.
  bool KeepRecovery(bool now);
  // The option's rows per beat, else the project's, else four.
  void UseRowsPerBeat() {
    view_.rowsPerBeat = options_.rowsPerBeat > 0 ? static_cast<int32_t>(options_.rowsPerBeat)
                        : document_.RowsPerBeat() > 0 ? document_.RowsPerBeat()
                                                      : 4;
  }
  bool Dirty() const { return document_.Dirty() || recovered_; }
  void Say(std::string text) { message_ = std::move(text), messageWarns_ = false; }
  void Warn(std::string text) { message_ = std::move(text), messageWarns_ = true; }
  std::string StatusText() const;
  // Ends the program after a stop signal or a lost terminal: the recovery file first.
  [[noreturn]] void Abandon(int signal, const std::string& why);

  const TrackerOptions& options_;
  const OptionTable& table_;
  TrackerDocument document_;
  TrackerServer server_{document_};
  TrackerKeys keys_;
  TrackerViewState view_;
  TrackerLayout layout_;
  std::optional<TrackClip> clip_;
  std::string path_;
  bool pathTrusted_ = true;  // false when the file there could not be read: saving over it asks
  bool recovered_ = false;   // the document came from the recovery file and is not saved yet
  bool paused_ = true;
  bool openToNetwork_ = false;
  std::string listenProblem_;
  bool listening_ = false;
  Mode mode_ = Mode::kGrid;
  int helpFirst_ = 0;
  std::string nameTyped_;
  std::string confirmedReplace_;  // a name that is there already, typed twice to replace it
  bool quitAfterSave_ = false;
  bool quit_ = false;
  std::string message_;
  bool messageWarns_ = false;
  bool dragging_ = false;
  uint64_t writtenGeneration_ = 0;
  uint64_t drawnGeneration_ = 0;
  std::chrono::steady_clock::time_point lastRecoveryWrite_{};
  bool inTerminal_ = false;
  bool dragReportsWanted_ = false;
  bool dragReports_ = false;
  bool manyColours_ = false;
};

bool Tracker::EnterTerminal(std::string& error) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    error = "needs a terminal (--export writes the track files without one)";
    return false;
  }
  std::setlocale(LC_ALL, "");
  set_escdelay(25);
  if (newterm(nullptr, stdout, stdin) == nullptr) {
    error = "cannot use the terminal (TERM=" + std::string(getenv("TERM") ? getenv("TERM") : "") + ")";
    return false;
  }
  inTerminal_ = true;
  // Raw: Ctrl+C, Ctrl+Z, Ctrl+S and Ctrl+Q are keys here, not signals or flow control.
  raw();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    manyColours_ = COLORS >= 256;
    for (int style = 0; style < kStyleCount; ++style) {
      const StyleLook look = LookOf(static_cast<CellStyle>(style), manyColours_);
      init_pair(static_cast<short>(style + 1), look.foreground, look.background);
    }
  }
  mouseinterval(0);
  if (mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON4_PRESSED | BUTTON5_PRESSED | REPORT_MOUSE_POSITION,
                nullptr) != 0) {
    dragReportsWanted_ = true;  // after ncurses' own mode is out: see Draw
  }
  keys_.LearnModifiedKeys();
  return true;
}

void Tracker::LeaveTerminal() {
  if (!inTerminal_) return;
  inTerminal_ = false;
  endwin();
  // Straight to the terminal, not through a buffer that a signal's default action would leave
  // unwritten.
  if (dragReports_) (void)!write(STDOUT_FILENO, kDragReportsOff, sizeof kDragReportsOff - 1);
}

void Tracker::Listen() {
  const std::optional<SyncAddress> address = ParseListenAddress(options_.listen);
  std::string error;
  if (!address) {
    listenProblem_ = "not listening: " + options_.listen + " is no HOST:PORT";
  } else if (TcpAddress tcp; !LookUpTcpAddress(address->host, address->port, tcp, error) || !server_.Listen(tcp, error)) {
    listenProblem_ = "not listening: " + error;
    Warn("cannot take shows: " + error);
  } else {
    listening_ = true;
    openToNetwork_ = !IsLoopback(address->host);
  }
}

std::string Tracker::StatusText() const {
  std::string text = "row " + std::to_string(view_.cursor.row);
  const auto track = static_cast<size_t>(view_.cursor.track);
  if (track < document_.TrackCount()) {
    text += "  " + document_.Track(track).Name();
    const TrackCell cell = document_.CellAt(track, view_.cursor.row);
    if (cell.kind == TrackCell::Kind::kKey) text += std::string(" ") + InterpolationName(cell.key.interpolation);
  }
  text += paused_ ? "  paused  " : "  playing  ";
  text += FileLabel(path_) + (Dirty() ? "*" : "");
  text += "  ";
  if (openToNetwork_) text += "OPEN TO THE NETWORK: ";
  text += listening_ ? server_.Status() : listenProblem_;
  return text;
}

void Tracker::Draw() {
  int height = 0, width = 0;
  getmaxyx(stdscr, height, width);
  layout_ = TrackerLayout::For(width, height, document_.Rows());
  CellGrid grid(width, height);
  if (mode_ == Mode::kKeyHelp) {
    DrawKeyHelp(grid, helpFirst_);
  } else {
    ScrollToCursor(view_, layout_);
    view_.status = StatusText();
    view_.statusWarns = openToNetwork_ || !listening_;
    view_.asking = mode_ != Mode::kGrid;
    view_.bottomWarns = messageWarns_ && !message_.empty();
    switch (mode_) {
      case Mode::kAskRecover:
        view_.bottom = "A recovery file newer than the project is there (" + RecoveryPath(path_) +
                       "): r recovers it, d discards it";
        break;
      case Mode::kAskQuit:
        view_.bottom = "Unsaved changes: s saves and quits, d discards them and quits, c or Escape goes back";
        break;
      case Mode::kAskName: view_.bottom = "Save as: " + nameTyped_ + "_  (Enter saves, Escape cancels)"; break;
      default: view_.bottom = message_.empty() ? kHelpLine : message_; break;
    }
    if (!message_.empty() && mode_ != Mode::kGrid) view_.bottom += "  | " + message_;
    DrawTracker(document_, view_, layout_, grid);
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const StyledCell& cell = grid.At(x, y);
      const StyleLook look = LookOf(cell.style, manyColours_);
      const wchar_t glyph[2] = {static_cast<wchar_t>(cell.glyph), L'\0'};
      cchar_t shown;
      setcchar(&shown, glyph, look.attributes, has_colors() ? static_cast<short>(static_cast<int>(cell.style) + 1) : 0,
               nullptr);
      mvadd_wch(y, x, &shown);  // the last cell of the screen reports ERR, and is drawn
    }
  }
  refresh();
  // A terminal keeps the last mouse mode it was given: the drag reports go after the mode the
  // first refresh sent.
  if (dragReportsWanted_ && !dragReports_) {
    dragReports_ = true;
    (void)!write(STDOUT_FILENO, kDragReportsOn, sizeof kDragReportsOn - 1);
  }
}

bool Tracker::HaveTracks() {
  if (document_.TrackCount() > 0) return true;
  Warn("no tracks yet: a show adds its tracks when it connects");
  return false;
}

void Tracker::Changed(const KeyChanges& changes) { server_.SendChanges(changes); }

void Tracker::CursorMoved(GridPlace was) {
  if (paused_ && was.row != view_.cursor.row) server_.SendRow(static_cast<uint32_t>(view_.cursor.row));
}

void Tracker::MoveCursor(TrackerMove move, bool select) {
  const GridPlace was = view_.cursor;
  if (select && !view_.anchor) view_.anchor = view_.cursor;
  if (!select) view_.anchor.reset();
  const int32_t page = std::max(1, layout_.visibleRows);
  GridPlace& at = view_.cursor;
  switch (move) {
    case TrackerMove::kUp: at.row -= 1; break;
    case TrackerMove::kDown: at.row += 1; break;
    case TrackerMove::kLeft: at.track -= 1; break;
    case TrackerMove::kRight: at.track += 1; break;
    case TrackerMove::kPageUp: at.row -= page; break;
    case TrackerMove::kPageDown: at.row += page; break;
    case TrackerMove::kHome: at.row = 0; break;
    case TrackerMove::kEnd: at.row = document_.Rows() - 1; break;
  }
  at.row = std::clamp(at.row, 0, std::max(0, document_.Rows() - 1));
  at.track = std::clamp(at.track, 0, std::max(0, static_cast<int32_t>(document_.TrackCount()) - 1));
  CursorMoved(was);
}

void Tracker::HandleTyping(const TrackerCommand& command) {
  std::string& typed = *view_.typing;
  switch (command.action) {
    case TrackerAction::kType:
      if (typed.size() < kMostTypedCharacters) typed += command.typed;
      break;
    case TrackerAction::kBackspace:
      typed.pop_back();
      if (typed.empty()) view_.typing.reset();
      break;
    case TrackerAction::kEscape: view_.typing.reset(); break;
    case TrackerAction::kEnter: {
      float value = 0;
      if (!ParseTrackValue(typed, value)) {
        Warn("not a number: " + typed);
        break;
      }
      view_.typing.reset();
      Changed(document_.SetValue(static_cast<size_t>(view_.cursor.track), view_.cursor.row, value));
      break;
    }
    default: Say("Enter sets the value, Escape cancels it"); break;
  }
}

void Tracker::HandleGridKey(const TrackerCommand& command) {
  const TrackBlock block = view_.Selection();
  switch (command.action) {
    case TrackerAction::kType:
      if (HaveTracks()) view_.typing = std::string(1, command.typed);
      break;
    case TrackerAction::kMove: MoveCursor(command.move, command.select); break;
    case TrackerAction::kEscape: view_.anchor.reset(); break;
    case TrackerAction::kDelete:
      if (HaveTracks()) Changed(document_.DeleteBlock(block));
      break;
    case TrackerAction::kCycleInterpolation:
      if (HaveTracks()) Changed(document_.CycleInterpolation(static_cast<size_t>(view_.cursor.track), view_.cursor.row));
      break;
    case TrackerAction::kNudge:
      if (HaveTracks()) Changed(document_.AddToValues(block, command.delta));
      break;
    case TrackerAction::kCopy:
      if (!HaveTracks()) break;
      clip_ = document_.Copy(block);
      Say("copied " + std::to_string(clip_->rows) + " rows of " + std::to_string(clip_->tracks) + " tracks");
      break;
    case TrackerAction::kCut:
      if (!HaveTracks()) break;
      clip_.emplace();
      Changed(document_.Cut(block, *clip_));
      break;
    case TrackerAction::kPaste:
      if (!HaveTracks()) break;
      if (!clip_) {
        Say("nothing copied yet");
        break;
      }
      Changed(document_.Paste(block.firstTrack, block.firstRow, *clip_));
      break;
    case TrackerAction::kUndo:
      if (!document_.CanUndo()) Say("nothing to undo");
      else Changed(document_.Undo());
      break;
    case TrackerAction::kRedo:
      if (!document_.CanRedo()) Say("nothing to redo");
      else Changed(document_.Redo());
      break;
    case TrackerAction::kBookmark: document_.ToggleBookmark(view_.cursor.row); break;
    case TrackerAction::kPreviousBookmark:
    case TrackerAction::kNextBookmark: {
      const bool next = command.action == TrackerAction::kNextBookmark;
      const std::optional<int32_t> row = document_.NextBookmark(view_.cursor.row, next);
      if (!row) {
        Say(next ? "no bookmark after this row" : "no bookmark before this row");
        break;
      }
      const GridPlace was = view_.cursor;
      view_.anchor.reset();
      view_.cursor.row = std::clamp(*row, 0, std::max(0, document_.Rows() - 1));
      CursorMoved(was);
      break;
    }
    case TrackerAction::kPlayPause:
      paused_ = !paused_;
      server_.SendPause(paused_);
      if (paused_) {
        view_.playingRow.reset();
        server_.SendRow(static_cast<uint32_t>(view_.cursor.row));
      }
      if (!server_.Connected()) Say("no show connected");
      break;
    case TrackerAction::kSave: Save(); break;
    case TrackerAction::kSaveTracks:
      if (!server_.Connected()) {
        Warn("no show connected to save its tracks");
        break;
      }
      server_.SendSaveTracks();
      Say("the show was asked to save its tracks");
      break;
    case TrackerAction::kQuit:
      if (Dirty()) mode_ = Mode::kAskQuit;
      else quit_ = true;
      break;
    case TrackerAction::kHelp:
      mode_ = Mode::kKeyHelp;
      helpFirst_ = 0;
      break;
    case TrackerAction::kMouse: HandleMouse(); break;
    default: break;
  }
}

void Tracker::HandleMouse() {
  // Reports that came together are all in ncurses' queue, which gives the newest first.
  std::vector<MEVENT> events;
  for (MEVENT event{}; getmouse(&event) == OK;) events.push_back(event);
  std::reverse(events.begin(), events.end());
  for (const MEVENT& event : events) TakeMouse(event);
}

void Tracker::TakeMouse(const MEVENT& event) {
  const GridPlace was = view_.cursor;
  if (event.bstate & (BUTTON4_PRESSED | BUTTON5_PRESSED)) {
    for (int k = 0; k < 4; ++k) MoveCursor(event.bstate & BUTTON4_PRESSED ? TrackerMove::kUp : TrackerMove::kDown, false);
    return;
  }
  const std::optional<GridPlace> place = PlaceAtCell(layout_, view_, document_, event.x, event.y);
  if (event.bstate & BUTTON1_PRESSED) {
    if (!place) return;
    view_.cursor = *place;
    view_.anchor = *place;
    dragging_ = true;
  } else if (dragging_ && place) {
    view_.cursor = *place;  // a motion with the button held, or its release
  }
  if (event.bstate & BUTTON1_RELEASED) {
    dragging_ = false;
    if (view_.anchor == view_.cursor) view_.anchor.reset();  // a click, not a drag
  }
  CursorMoved(was);
}

void Tracker::HandlePrompt(int key, const TrackerCommand& command) {
  switch (mode_) {
    case Mode::kKeyHelp:
      if (command.action == TrackerAction::kMove && command.move == TrackerMove::kDown) ++helpFirst_;
      else if (command.action == TrackerAction::kMove && command.move == TrackerMove::kUp) helpFirst_ = std::max(0, helpFirst_ - 1);
      else mode_ = Mode::kGrid;
      helpFirst_ = std::min(helpFirst_, std::max(0, static_cast<int>(KeyHelpLines().size()) - 1));
      break;
    case Mode::kAskRecover: {
      if (key == 'r' || key == 'R') {
        std::string error;
        TrackerDocument recovered;
        if (!LoadTrackerProject(RecoveryPath(path_), recovered, error)) {
          // The file stays, for another try or by hand.
          Warn("the recovery file cannot be read: " + error);
        } else {
          document_ = std::move(recovered);
          UseRowsPerBeat();
          recovered_ = true;
          Say("recovered " + RecoveryPath(path_) + ": save to keep it");
        }
      } else if (key == 'd' || key == 'D') {
        RemoveQuietly(RecoveryPath(path_));
        Say("the recovery file was discarded");
      } else {
        break;
      }
      mode_ = Mode::kGrid;
      writtenGeneration_ = document_.Generation();
      Listen();
      break;
    }
    case Mode::kAskQuit:
      if (key == 's' || key == 'S') {
        mode_ = Mode::kGrid;
        quitAfterSave_ = true;
        Save();
        if (mode_ == Mode::kGrid) quitAfterSave_ = false;  // saved and quitting, or it failed
      } else if (key == 'd' || key == 'D') {
        RemoveQuietly(RecoveryPath(path_));
        quit_ = true;
      } else if (key == 'c' || key == 'C' || command.action == TrackerAction::kEscape) {
        mode_ = Mode::kGrid;
      }
      break;
    case Mode::kAskName:
      if (command.action == TrackerAction::kEscape) {
        mode_ = Mode::kGrid;
        quitAfterSave_ = false;
        Say("not saved");
      } else if (command.action == TrackerAction::kBackspace) {
        // Whole UTF-8 characters: continuation bytes go with their lead.
        while (!nameTyped_.empty() && (static_cast<unsigned char>(nameTyped_.back()) & 0xC0) == 0x80) nameTyped_.pop_back();
        if (!nameTyped_.empty()) nameTyped_.pop_back();
      } else if (command.action == TrackerAction::kEnter) {
        if (nameTyped_.empty()) break;
        std::error_code ignored;
        const bool elsewhere = !(pathTrusted_ && nameTyped_ == path_) && fs::exists(nameTyped_, ignored);
        if (elsewhere && confirmedReplace_ != nameTyped_) {
          confirmedReplace_ = nameTyped_;
          Warn(nameTyped_ + " is there already: Enter again replaces it");
          break;
        }
        mode_ = Mode::kGrid;
        if (SaveTo(nameTyped_) && quitAfterSave_) quit_ = true;
        quitAfterSave_ = false;
      } else if (key >= 0x20 && key <= 0xFF && key != 0x7F) {
        nameTyped_ += static_cast<char>(key);
      }
      break;
    case Mode::kGrid: break;
  }
}

void Tracker::HandleKey(int key) {
  const TrackerCommand command = keys_.Decode(key);
  if (command.action == TrackerAction::kResize) {
    clearok(curscr, TRUE);  // all of it again: the terminal may have lost what it showed
    return;
  }
  if (command.action != TrackerAction::kMouse) message_.clear();
  if (mode_ != Mode::kGrid) {
    HandlePrompt(key, command);
  } else if (view_.typing) {
    HandleTyping(command);
  } else {
    HandleGridKey(command);
  }
}

void Tracker::HandleEvents(const std::vector<TrackerServer::Event>& events) {
  for (const TrackerServer::Event& event : events) {
    switch (event.kind) {
      case TrackerServer::Event::Kind::kConnected: Say("a show connected" + (event.text.empty() ? "" : ": " + event.text)); break;
      case TrackerServer::Event::Kind::kDisconnected:
        Warn("the show went away" + (event.text.empty() ? "" : ": " + event.text));
        view_.playingRow.reset();
        break;
      case TrackerServer::Event::Kind::kTurnedAway:
        Warn("a second show was turned away" + (event.text.empty() ? "" : ": " + event.text));
        break;
      case TrackerServer::Event::Kind::kRow:
        // Only a playing show tells its row: the cursor follows it.
        paused_ = false;
        view_.playingRow = static_cast<int32_t>(std::min<uint32_t>(event.row, INT32_MAX));
        view_.cursor.row = std::clamp(*view_.playingRow, 0, std::max(0, document_.Rows() - 1));
        break;
    }
  }
}

void Tracker::Save() {
  if (path_.empty()) {
    AskName("untitled.rocket");
  } else if (!pathTrusted_) {
    Warn(path_ + " could not be read when it was opened: Enter saves over it");
    AskName(path_);
    confirmedReplace_ = path_;
  } else {
    SaveTo(path_);
    if (quitAfterSave_ && !Dirty()) quit_ = true;
  }
}

void Tracker::AskName(const std::string& suggestion) {
  mode_ = Mode::kAskName;
  nameTyped_ = suggestion;
  confirmedReplace_.clear();
}

bool Tracker::SaveTo(const std::string& path) {
  std::string error;
  if (!SaveTrackerProject(document_, path, error)) {
    Warn("not saved: " + error);
    return false;
  }
  const std::string before = RecoveryPath(path_);
  path_ = path;
  pathTrusted_ = true;
  document_.MarkSaved();
  recovered_ = false;
  RemoveQuietly(before);
  RemoveQuietly(RecoveryPath(path_));
  writtenGeneration_ = document_.Generation();
  Say("saved " + path_);
  return true;
}

bool Tracker::KeepRecovery(bool now) {
  if (document_.Generation() == writtenGeneration_) return false;
  const auto clock = std::chrono::steady_clock::now();
  if (!now && clock - lastRecoveryWrite_ < kRecoveryEvery) return false;
  writtenGeneration_ = document_.Generation();
  lastRecoveryWrite_ = clock;
  const std::string recovery = RecoveryPath(path_);
  if (!Dirty()) {
    RemoveQuietly(recovery);  // undone back to what is saved
    return false;
  }
  std::string error;
  if (SaveTrackerProject(document_, recovery, error)) return false;
  Warn("the recovery file cannot be written: " + error);
  return true;
}

void Tracker::Abandon(int signal, const std::string& why) {
  // Written whatever its generation: the last write may have failed.
  std::string saved;
  if (Dirty()) {
    std::string error;
    const std::string recovery = RecoveryPath(path_);
    saved = SaveTrackerProject(document_, recovery, error) ? "; the unsaved changes are in " + recovery
                                                            : "; the recovery file cannot be written: " + error;
  }
  LeaveTerminal();
  table_.Complain(why + saved);
  if (signal != 0) {
    ::signal(signal, SIG_DFL);
    raise(signal);
  }
  std::exit(1);
}

int Tracker::Run() {
  if (!options_.project.empty()) {
    path_ = options_.project;
    std::string error;
    if (!LoadTrackerProject(path_, document_, error)) {
      // The editor starts empty with the reason; the file is left as it is.
      pathTrusted_ = false;
      Warn(error);
    }
  }
  UseRowsPerBeat();
  writtenGeneration_ = document_.Generation();
  const bool offerRecovery = RecoveryIsNewer(path_);

  std::string error;
  if (!EnterTerminal(error)) {
    table_.Complain(error);
    return 1;
  }
  for (int signal : kStopSignals) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
  ::signal(SIGPIPE, SIG_IGN);

  // Shows are taken once the document they are served is settled.
  if (offerRecovery) {
    mode_ = Mode::kAskRecover;
    listenProblem_ = "not listening until the recovery file is recovered or discarded";
  } else {
    Listen();
  }

  bool redraw = true;
  while (!quit_) {
    if (gStopSignal != 0) {
      const int signal = gStopSignal;
      Abandon(signal, std::string("stopped by ") + strsignal(signal));
    }
    if (redraw) {
      Draw();
      drawnGeneration_ = document_.Generation();
    }
    redraw = false;

    pollfd terminal[2] = {{STDIN_FILENO, POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
    if (poll(terminal, 2, kPollMs) > 0) {
      // A terminal that polls readable with nothing to read has reached its end.
      int waiting = -1;
      const bool inputEnded = (terminal[0].revents & (POLLERR | POLLHUP | POLLNVAL)) ||
                              ((terminal[0].revents & POLLIN) && ioctl(STDIN_FILENO, FIONREAD, &waiting) == 0 && waiting == 0);
      const bool outputLost = terminal[1].revents & (POLLERR | POLLHUP | POLLNVAL);
      if ((inputEnded || outputLost) && gStopSignal == 0) Abandon(0, "the terminal closed");
    }
    for (int key; (key = getch()) != ERR;) {
      HandleKey(key);
      redraw = true;
    }
    if (mode_ != Mode::kAskRecover) {
      const std::vector<TrackerServer::Event> events = server_.Poll(paused_, static_cast<uint32_t>(view_.cursor.row));
      if (!events.empty()) redraw = true;
      HandleEvents(events);
    }
    if (KeepRecovery(false)) redraw = true;
    // A show's GET_TRACK adds tracks: new columns, and the dirty mark.
    if (document_.Generation() != drawnGeneration_) redraw = true;
  }
  LeaveTerminal();
  return 0;
}

}  // namespace

std::optional<SyncAddress> ParseListenAddress(const std::string& text) {
  // The show's own reading, but for port 0: a show cannot connect there, a server can listen
  // on whichever port the system gives it.
  return ParseSyncAddress(text, 0);
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.starts_with("127.");
}

OptionTable TrackerTable(TrackerOptions& options) {
  OptionTable table("quorvel4-tracker", "[OPTIONS] [PROJECT.rocket]",
                    "A sync-tracker in the terminal: edits a show's sync tracks, live while the show plays.");
  table.Add({"--listen", "ADDR:PORT",
             "take shows at ADDR:PORT (IPv6 in brackets), or PORT on 127.0.0.1 (127.0.0.1:1338);\n"
             "the protocol has no password: another address is open to the network",
             [&options](const std::string& value, std::string& error) {
               if (ParseListenAddress(value)) return options.listen = value, true;
               error = "--listen needs HOST:PORT, [HOST]:PORT or PORT, a port up to 65535";
               return false;
             }});
  table.Add({"--rows-per-beat", "N", "rows a beat, for the marks of beats and bars (the project's, else 4)",
             SetNumber(options.rowsPerBeat, "--rows-per-beat", 1, 1024)});
  table.Add({"--export", "DIR", "write the project's tracks into DIR as BASE_NAME.track files, and exit",
             SetText(options.exportDir)});
  table.Add({"--base", "NAME", "the base of the track files --export writes (sync)",
             [&options](const std::string& value, std::string& error) {
               if (!value.empty()) return options.base = value, true;
               error = "--base needs a name";
               return false;
             }});
  table.Add({"", "PROJECT.rocket", "", SetOnce(options.project, "one project at a time")});
  table.AddNote(
      "Without PROJECT the project is new and untitled. In the editor, ? lists the keys.\n"
      "Unsaved changes are kept in PROJECT.recovery (untitled.rocket.recovery) and\n"
      "offered back at the next start.\n");
  return table;
}

int ExportTracks(const TrackerOptions& options, const OptionTable& table) {
  if (options.project.empty()) return table.Refuse("--export needs a PROJECT to export");
  std::error_code missing;
  if (!fs::exists(options.project, missing)) {
    table.Complain(options.project + ": no such file");
    return 1;
  }
  TrackerDocument document;
  std::string error;
  if (!LoadTrackerProject(options.project, document, error)) {
    table.Complain(error);
    return 1;
  }
  std::error_code made;
  fs::create_directories(options.exportDir, made);
  if (made) {
    table.Complain(options.exportDir + ": " + made.message());
    return 1;
  }
  size_t written = 0;
  if (!ExportTrackFiles(document, options.exportDir, options.base, error, &written)) {
    table.Complain(error);
    return 1;
  }
  std::printf("%zu track files written to %s\n", written, options.exportDir.c_str());
  if (std::fflush(stdout) != 0) {
    table.Complain(std::string("cannot write to standard output: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

int RunTracker(const TrackerOptions& options, const OptionTable& table) {
  Tracker tracker(options, table);
  return tracker.Run();
}
