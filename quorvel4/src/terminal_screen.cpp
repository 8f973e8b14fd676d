#include "terminal_screen.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "backends/title_text.h"
#include "status_text.h"
#include "terminal_sequences.h"

bool Fits(const TerminalSize& size) { return size.columns >= kScreenWidth && size.rows >= kScreenHeight; }

std::string CursorTo(int row, int column) {
  return std::string(seq::kCsi) + std::to_string(row) + seq::kParamSeparator + std::to_string(column) +
         seq::kCursorPositionFinal;
}

std::string BelowPicture(const TerminalSize& size, int originRow) {
  const int below = originRow + kScreenHeight + 1;
  if (below <= size.rows) return CursorTo(below, 1);
  return CursorTo(size.rows, 1) + std::string(seq::kNewLine);
}

std::string TooSmallMessage(const TerminalSize& size) {
  char text[256];
  std::snprintf(text, sizeof text,
                "The show needs a terminal of at least %d x %d cells;\r\n"
                "this one has %d x %d.\r\n"
                "Enlarge the window or make the font smaller,\r\n"
                "or press a key to quit.",
                kScreenWidth, kScreenHeight, size.columns, size.rows);
  std::string bytes;
  for (std::string_view part : {seq::kResetGraphics, seq::kClearScreen, seq::kCursorHome, seq::kAutoWrapOn}) {
    bytes += part;
  }
  bytes += text;
  bytes += seq::kAutoWrapOff;
  return bytes;
}

TerminalScreen::TerminalScreen(TerminalLink& link, ColorMode mode, std::string paletteBack)
    : mLink(link),
      mPalette(mode == ColorMode::kPalette),
      mPaletteBack(std::move(paletteBack)),
      mEncoder(mode),
      mLeave(LeaveBytesEndingWith(seq::kNewLine)) {}

void TerminalScreen::Enter() {
  std::string enter;
  for (std::string_view part : {seq::kPushTitle, seq::kHideCursor, seq::kAutoWrapOff, seq::kResetGraphics}) {
    enter += part;
  }
  // Terminals that honour it grow (or shrink) to the show's size; the others ignore it.
  if (!Fits(mLink.Size())) enter += seq::kRequestSize80x50;
  mLink.Write(enter);
  Relayout();
}

bool TerminalScreen::Present(const Cell* cells) {
  Keep(cells);
  return SendChanges();
}

// The newest frame is kept first, so that a redraw after a resize or a stop already shows it.
void TerminalScreen::Keep(const Cell* cells) { std::copy(cells, cells + kScreenCells, mLatest.begin()); }

bool TerminalScreen::SendChanges() {
  if (mTooSmall) return false;
  const std::string status = mStatusRowDue ? StatusRowBytes() : std::string();
  mStatusRowDue = false;
  const std::string_view bytes = mEncoder.EncodeFrame(mLatest.data(), status);
  mLink.Write(bytes);
  return !bytes.empty();
}

void TerminalScreen::SetTitle(std::string_view title) {
  mTitle = PrintableTitle(std::string(title).c_str());
  WriteTitle();
}

void TerminalScreen::SetStatusLine(std::string_view text) {
  std::string status = StatusText(text, kScreenWidth);
  if (status == mStatus) return;
  const bool wasInTitle = StatusInTitle();
  const bool appears = mStatus.empty() != status.empty();
  mStatus = std::move(status);
  if (mStatusRow >= 0) {
    if (appears) SetLeaveBelowLayout();
    mStatusRowDue = true;
  } else if (wasInTitle || StatusInTitle()) {
    WriteTitle();
  }
}

void TerminalScreen::SendStatusLine() {
  if (!mStatusRowDue) return;
  mStatusRowDue = false;
  mLink.Write(StatusRowBytes());
}

// Drawn with the cursor and pen saved and restored: the encoder's idea of both stays true, so
// the picture's own bytes are the same as without the line.
std::string TerminalScreen::StatusRowBytes() const {
  std::string bytes(seq::kSaveCursor);
  bytes += CursorTo(mStatusRow + 1, mOriginColumn + 1);
  bytes += seq::kResetGraphics;
  bytes += std::string(seq::kCsi) + std::to_string(kScreenWidth) + seq::kEraseCharactersFinal;
  bytes += mStatus;
  bytes += seq::kRestoreCursor;
  return bytes;
}

void TerminalScreen::WriteTitle() {
  const std::string shown = StatusInTitle() ? StatusAndTitle(mStatus, mTitle) : mTitle;
  mLink.Write(std::string(seq::kTitleBegin) + shown + std::string(seq::kTitleEnd));
}

void TerminalScreen::Relayout() {
  const bool wasInTitle = StatusInTitle();
  mSize = mLink.Size();
  mTooSmall = !Fits(mSize);
  mOriginColumn = (mSize.columns - kScreenWidth) / 2;
  mOriginRow = (mSize.rows - kScreenHeight) / 2;
  mStatusRow = !mTooSmall && mOriginRow + kScreenHeight < mSize.rows ? mOriginRow + kScreenHeight : -1;
  mStatusRowDue = false;
  // The status line moves between the title and its row with the layout.
  if (wasInTitle != StatusInTitle()) WriteTitle();
  if (mTooSmall) {
    mEncoder.Invalidate();
    SetLeave(seq::kNewLine);
    mLink.Write(TooSmallMessage(mSize));
    return;
  }
  mEncoder.SetOrigin(mOriginColumn, mOriginRow);
  SetLeaveBelowLayout();
  std::string clear = mPalette ? std::string(SetVgaPaletteBytes()) : std::string();
  clear += seq::kResetGraphics;
  clear += seq::kClearScreen;
  if (mStatusRow >= 0 && !mStatus.empty()) clear += StatusRowBytes();
  mLink.Write(mEncoder.EncodeFrame(mLatest.data(), clear));
}

void TerminalScreen::SetLeaveBelowLayout() {
  const bool statusRow = mStatusRow >= 0 && !mStatus.empty();
  SetLeave(BelowPicture(mSize, mOriginRow + (statusRow ? 1 : 0)));
}

void TerminalScreen::RelayoutIfResized() {
  if (!(mLink.Size() == mSize)) Relayout();
}

// Every way out pops the title stack: going on pushes it again, so that each pop has its push
// and the last one gives the terminal its own title back. The show's title follows with the
// redraw (ShowTitleAgain).
std::string TerminalScreen::ReenterBytes() const {
  std::string bytes;
  for (std::string_view part : {seq::kPushTitle, seq::kHideCursor, seq::kAutoWrapOff}) bytes += part;
  return bytes;
}

void TerminalScreen::ShowTitleAgain() {
  if (!mTitle.empty() || StatusInTitle()) WriteTitle();
}

std::string TerminalScreen::LeaveBytesEndingWith(std::string_view below) const {
  std::string leave;
  // CAN first: a frame cut short by a signal may have left a sequence half sent, and the
  // terminal would swallow the next bytes into it.
  for (std::string_view part : {seq::kCancel, seq::kSyncEnd}) leave += part;
  if (mPalette) leave += std::string(ResetPaletteBytes()) + mPaletteBack;
  for (std::string_view part : {seq::kResetGraphics, seq::kAutoWrapOn}) leave += part;
  leave += below;
  leave += seq::kShowCursor;
  leave += seq::kPopTitle;
  return leave;
}

void TerminalScreen::SetLeave(std::string_view below) {
  mLeave = LeaveBytesEndingWith(below);
  mLink.LeaveBytesChanged(mLeave);
}
