// The show on a terminal that speaks escape sequences, whoever carries the bytes: what it is
// sent on the way in and on the way out, where the picture sits, the newest frame kept for a
// redraw, and the notice shown instead of a garbled picture when the terminal is too small.
// The Linux terminal and the Windows console's virtual-terminal route differ only in how they
// write bytes and read the size (a TerminalLink), so they cannot drift apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quorvel4/terminal_encoder.h"
#include "quorvel4/types.h"

struct TerminalSize {
  int columns;
  int rows;
  bool operator==(const TerminalSize&) const = default;
};

// True when the 80 x 50 picture fits.
bool Fits(const TerminalSize& size);

// The bytes that put the cursor at a 1-based row and column.
std::string CursorTo(int row, int column);

// The first line under a picture whose top is at `originRow` (0-based): when the picture
// reaches the bottom, one new line scrolls it up by a row to make room for the shell's prompt.
std::string BelowPicture(const TerminalSize& size, int originRow);

// Clears the screen and asks for a larger terminal, naming both sizes.
std::string TooSmallMessage(const TerminalSize& size);

// How a terminal screen reaches its terminal.
class TerminalLink {
 public:
  virtual ~TerminalLink() = default;
  virtual void Write(std::string_view bytes) = 0;
  // The visible size in cells; when it cannot be known, one that fits.
  virtual TerminalSize Size() = 0;
  // The leave bytes changed (the picture moved, or no longer fits). Called before the bytes
  // of the new layout are written, so that a signal handler holding a copy restores the
  // cursor to the right place even when it cuts that write short.
  virtual void LeaveBytesChanged(const std::string& /*leave*/) {}
};

class TerminalScreen {
 public:
  // `paletteBack`: in palette mode, what puts the terminal's palette back after OSC 104
  // (which some terminals ignore): its entries as they were, where the terminal told them.
  TerminalScreen(TerminalLink& link, ColorMode mode, std::string paletteBack = {});

  // Takes the terminal: title saved, cursor hidden, no auto-wrap, plain colours (a size
  // request where the picture does not fit), then the first layout.
  // In palette mode every layout (the first, after a resize, after a stop) sets the 16
  // palette entries to the VGA colours before it draws: whoever had the terminal meanwhile
  // (the shell after Ctrl-Z) may have changed them.
  void Enter();
  // Keeps `cells` as the newest frame and sends what changed, unless the terminal is too small.
  // True when bytes went out.
  bool Present(const Cell* cells);
  // Keeps `cells` as the newest frame without sending it (the terminal is behind).
  void Keep(const Cell* cells);
  // Sends what changed since the last frame sent, unless the terminal is too small. True when
  // bytes went out.
  bool SendChanges();
  // Clears the terminal and shows the newest frame centred, or says plainly that the terminal
  // is too small: never a garbled picture.
  void Relayout();
  // Relayout when the size is not the one of the last layout.
  void RelayoutIfResized();

  // The title the program gave (its printable part), shown unless a status line shares it.
  void SetTitle(std::string_view title);
  // A line beside the picture (see ConsoleBackend::SetStatusLine): on the row below the picture
  // where the terminal has one, drawn with the next frame's bytes; otherwise in the title, at
  // once. Nothing is sent when it did not change. Empty: none.
  void SetStatusLine(std::string_view text);
  // True while a status line waits for a frame to go out with.
  bool StatusLineWaiting() const { return mStatusRowDue; }
  // Sends a waiting status line alone (for a program that holds its picture).
  void SendStatusLine();

  // What gives the terminal back: an unfinished sequence cancelled, synchronised output
  // ended, the terminal's own palette back (palette mode), plain colours, auto-wrap on, the cursor under the picture and shown, the title
  // restored. Before the first layout, and while too small, the cursor goes to a new line.
  // A status line on its row stays, as the last frame does (it tells where the show stopped):
  // the cursor goes below it, so that the shell's prompt does not overwrite it.
  const std::string& LeaveBytes() const { return mLeave; }
  // What the terminal is sent when the show goes on after a stop (the shell may have shown
  // the cursor and turned auto-wrap on); a full redraw follows.
  std::string ReenterBytes() const;
  // After the reenter bytes: the pop on the way out took the show's title away.
  void ShowTitleAgain();

  bool TooSmall() const { return mTooSmall; }

 private:
  std::string LeaveBytesEndingWith(std::string_view below) const;
  void SetLeave(std::string_view below);
  void SetLeaveBelowLayout();
  std::string StatusRowBytes() const;
  bool StatusInTitle() const { return !mStatus.empty() && mStatusRow < 0; }
  void WriteTitle();

  TerminalLink& mLink;
  bool mPalette;
  std::string mPaletteBack;
  TerminalEncoder mEncoder;
  std::vector<Cell> mLatest = std::vector<Cell>(kScreenCells, 0);
  TerminalSize mSize{0, 0};
  bool mTooSmall = false;
  int mOriginColumn = 0;
  int mOriginRow = 0;
  std::string mLeave;
  std::string mTitle;
  std::string mStatus;
  int mStatusRow = -1;  // the terminal's row (0-based) below the picture, where it has one
  bool mStatusRowDue = false;
};
