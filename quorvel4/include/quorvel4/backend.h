// What the console needs from a display: a small table of operations that each back end
// fills in, and the table of back ends, chosen by name. The core never knows which one it
// talks to.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/keys.h"
#include "quorvel4/types.h"

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;

  // Shows all 80 x 50 cells (row-major) in one operation.
  virtual void Present(const Cell* cells) = 0;

  // Sets the window (or terminal) title.
  virtual void SetTitle(const char* title) = 0;

  // True when a key is waiting; the key is not consumed. Only answers: the events behind
  // the answer are gathered by Poll.
  virtual bool KeyWaiting() = 0;

  // For a program that reads keys as commands (the live editing mode): takes the oldest key
  // press waiting into `key`; false when none is. Only a back end that says ReadsKeys does.
  virtual bool TakeKey(KeyStroke& /*key*/) { return false; }
  virtual bool ReadsKeys() const { return false; }
  // What KeyWaiting reports besides keys: the show must end (the display or the input is gone,
  // a signal or the window's close button asked for the end). A key sequence not yet complete
  // is never a reason. Such a program asks this instead of KeyWaiting.
  virtual bool MustEnd() { return false; }

  // One line about the show (a live editor's time, scene and errors), shown beside the picture,
  // never over it: a terminal puts it on the row below the picture when it has one, else into
  // its title; a window into its title. Empty: no line (the title as SetTitle last set it).
  virtual void SetStatusLine(std::string_view /*text*/) {}

  // Handles what happened since the last call (input, resizes, a lost display). Called once
  // per frame, just before the frame is presented.
  virtual void Poll() {}

  // Gives the display back as it was found. Safe to call more than once.
  virtual void Restore() = 0;

  // How much taller than wide one Canvas pixel (half a cell each way) appears, for a program
  // that fits a picture of square pixels: a terminal's cell is about twice as tall as wide; a
  // back end that draws cells of its own says its own shape.
  virtual double PixelHeightToWidth() const { return 2.0; }

  // Why the display can show nothing any more (a window whose X server went away), as one
  // line; empty while it can. A lost display answers KeyWaiting with true, so the program
  // ends and says why.
  virtual std::string Lost() const { return {}; }

  // False for a back end that shows no one anything and has no keyboard (the headless one):
  // a program that shows cells until a key is pressed ends after its first frame there.
  virtual bool Attended() const { return true; }
};

// One row of the back-end table.
struct BackendEntry {
  // The name the back end is chosen by: "terminal", "headless", "window", ...
  const char* name;
  // Among the back ends usable here, the one with the lowest preference is taken when none
  // is named.
  int preference;
  // True when the back end can be opened here (a terminal behind standard output, a display).
  // Cheap and without side effects. A back end that is never chosen on its own says false.
  bool (*usable)();
  // Opens the back end. On failure returns null and puts a one-line reason into `error`.
  std::unique_ptr<ConsoleBackend> (*open)(std::string& error);
  // A few words on where it shows the cells, for a program's help.
  const char* summary = nullptr;
};

// Adds a back end to the table; each back end's file registers itself once:
//   const bool kRegistered = RegisterConsoleBackend({"name", 10, Usable, Open, "where it shows"});
// Returns true, so the registration can initialise a constant.
bool RegisterConsoleBackend(const BackendEntry& entry);

// The registered back ends, by preference.
std::vector<BackendEntry> ConsoleBackends();

// Their names, by preference, separated by ", " ("none" when there is none).
std::string ConsoleBackendNames();

// Opens the back end called `name`, or, with an empty name, the usable back end with the
// lowest preference (the most preferred one's own reason when none is usable). On failure
// returns null with the reason in `error`. `opened`, when given, receives the name of the
// back end that was tried.
std::unique_ptr<ConsoleBackend> OpenConsoleBackend(std::string_view name, std::string& error,
                                                   std::string* opened = nullptr);

// The program's name, for the line a back end writes when it must end the process itself.
// OpenChosenBackend sets it from the program's option table.
void SetProgramNameForBackends(std::string_view name);

// For a back end that cannot hand control back to the program (a library under it would not
// survive what happened): writes "NAME: reason" to standard error, as the program would, and
// ends the process at once with status 1, running nothing more.
[[noreturn]] void EndProcessWithReason(const char* reason);

// Keeps the presented cells in memory: for tests and for offline rendering.
class HeadlessBackend : public ConsoleBackend {
 public:
  void Present(const Cell* cells) override;
  void SetTitle(const char* title) override { mTitle = title; }
  bool KeyWaiting() override { return mKeyWaiting || !mKeys.empty(); }
  bool TakeKey(KeyStroke& key) override;
  bool ReadsKeys() const override { return true; }
  bool MustEnd() override { return mKeyWaiting; }
  void SetStatusLine(std::string_view text) override { mStatusLine = text; }
  void Restore() override { mRestored = true; }
  bool Attended() const override { return false; }

  // The cells of the last Present (all zero before the first).
  const std::vector<Cell>& LastFrame() const { return mLastFrame; }
  int PresentCount() const { return mPresentCount; }
  const std::string& Title() const { return mTitle; }
  bool Restored() const { return mRestored; }

  // Makes KeyWaiting report a key (a scripted key press).
  void PressKey(bool waiting = true) { mKeyWaiting = waiting; }
  // Queues a key press for TakeKey (it is waiting until taken).
  void PushKey(const KeyStroke& key) { mKeys.push_back(key); }
  const std::string& StatusLine() const { return mStatusLine; }

 private:
  std::vector<Cell> mLastFrame = std::vector<Cell>(kScreenCells, 0);
  std::string mTitle;
  int mPresentCount = 0;
  bool mKeyWaiting = false;
  std::deque<KeyStroke> mKeys;
  std::string mStatusLine;
  bool mRestored = false;
};
