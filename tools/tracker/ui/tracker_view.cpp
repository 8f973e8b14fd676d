#include "tracker/ui/tracker_view.h"

#include <algorithm>
#include <cstdio>

#include "demo/utf8.h"
#include "quorvel4/cp437.h"

int CellGrid::Text(int x, int y, std::string_view text, CellStyle style, int most) {
  if (y < 0 || y >= height_) return x;
  const int end = most < 0 ? width_ : std::min(width_, x + most);
  for (size_t at = 0; at < text.size() && x < end;) {
    char32_t glyph = U'\uFFFD';
    if (!DecodeUtf8(text, at, glyph)) ++at;  // a byte that is no UTF-8 shows as the replacement
    // Control characters in a name would move the terminal's cursor: they show as '?'.
    if (glyph < 0x20 || glyph == 0x7F) glyph = U'?';
    if (x >= 0) At(x, y) = {glyph, style};
    ++x;
  }
  return x;
}

void CellGrid::Fill(int x, int y, int count, char32_t glyph, CellStyle style) {
  if (y < 0 || y >= height_) return;
  for (int k = std::max(0, x); k < std::min(width_, x + count); ++k) At(k, y) = {glyph, style};
}

std::string CellGrid::TextAt(int x, int y, int count) const {
  std::string text;
  for (int k = x; k < x + count && k < width_; ++k) {
    char utf8[4];
    text.append(utf8, static_cast<size_t>(Utf8Encode(At(k, y).glyph, utf8)));
  }
  return text;
}

const char* InterpolationName(TrackInterpolation interpolation) {
  switch (interpolation) {
    case TrackInterpolation::kStep: return "step";
    case TrackInterpolation::kLinear: return "linear";
    case TrackInterpolation::kSmooth: return "smooth";
    case TrackInterpolation::kRamp: return "ramp";
  }
  return "?";
}

std::string ValueText(double value, int width) {
  char text[64];
  for (int decimals = 3; decimals >= 0; --decimals) {
    const int n = std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    if (n <= width) return text;
  }
  // Too large for a fixed point: the exponent form, as many digits as fit.
  for (int digits = std::max(1, width - 6); digits >= 1; --digits) {
    const int n = std::snprintf(text, sizeof text, "%*.*g", width, digits, value);
    if (n <= width) return text;
  }
  return std::string(static_cast<size_t>(width), '#');
}

TrackerLayout TrackerLayout::For(int width, int height, int32_t rows) {
  TrackerLayout layout;
  layout.width = width;
  layout.height = height;
  int digits = 1;
  for (int32_t last = std::max(rows - 1, 0); last >= 10; last /= 10) ++digits;
  layout.numberWidth = std::max(4, digits);
  layout.gridLeft = layout.numberWidth + 2;  // the bookmark's mark and a space
  layout.visibleRows = std::max(0, height - kHeaderLines - kFooterLines);
  layout.visibleTracks = std::max(0, (width - layout.gridLeft) / kCellWidth);
  return layout;
}

TrackBlock BlockOf(GridPlace a, GridPlace b) {
  TrackBlock block;
  block.firstTrack = static_cast<size_t>(std::max(0, std::min(a.track, b.track)));
  block.lastTrack = static_cast<size_t>(std::max(0, std::max(a.track, b.track)));
  block.firstRow = std::min(a.row, b.row);
  block.lastRow = std::max(a.row, b.row);
  return block;
}

bool TrackerViewState::Selected(GridPlace place) const {
  if (!anchor) return false;
  const TrackBlock block = Selection();
  const auto track = static_cast<size_t>(place.track);
  return place.row >= block.firstRow && place.row <= block.lastRow && track >= block.firstTrack && track <= block.lastTrack;
}

void ScrollToCursor(TrackerViewState& state, const TrackerLayout& layout) {
  const int32_t rows = std::max(1, layout.visibleRows);
  if (state.cursor.row < state.topRow) state.topRow = state.cursor.row;
  if (state.cursor.row >= state.topRow + rows) state.topRow = state.cursor.row - rows + 1;
  const int32_t tracks = std::max(1, layout.visibleTracks);
  if (state.cursor.track < state.leftTrack) state.leftTrack = state.cursor.track;
  if (state.cursor.track >= state.leftTrack + tracks) state.leftTrack = state.cursor.track - tracks + 1;
  state.topRow = std::max(0, state.topRow);
  state.leftTrack = std::max(0, state.leftTrack);
}

std::optional<GridPlace> PlaceAtCell(const TrackerLayout& layout, const TrackerViewState& state,
                                     const TrackerDocument& document, int x, int y) {
  const int line = y - layout.GridTop();
  if (line < 0 || line >= layout.visibleRows || x < layout.gridLeft) return std::nullopt;
  const int column = (x - layout.gridLeft) / TrackerLayout::kCellWidth;
  if (column >= layout.visibleTracks) return std::nullopt;
  const GridPlace place{state.topRow + line, state.leftTrack + column};
  if (place.row >= document.Rows() || static_cast<size_t>(place.track) >= document.TrackCount()) return std::nullopt;
  return place;
}

std::string_view GroupOf(std::string_view trackName) {
  const size_t colon = trackName.find(':');
  return colon == std::string_view::npos ? std::string_view() : trackName.substr(0, colon);
}

std::string_view ShortName(std::string_view trackName) {
  const size_t colon = trackName.find(':');
  return colon == std::string_view::npos ? trackName : trackName.substr(colon + 1);
}

namespace {

constexpr int kValueWidth = TrackerLayout::kCellWidth - 2;

void DrawHeaders(const TrackerDocument& document, const TrackerViewState& state, const TrackerLayout& layout,
                 int32_t lastTrack, CellGrid& grid) {
  const auto name = [&](int32_t track) -> const std::string& { return document.Track(static_cast<size_t>(track)).Name(); };
  grid.Text(0, 1, "row", CellStyle::kTrackName, layout.numberWidth);
  // A group's header spans the run of its tracks on screen; the run goes on past the screen's
  // left edge, so its name is repeated where the screen starts.
  for (int32_t track = state.leftTrack; track < lastTrack;) {
    const std::string_view group = GroupOf(name(track));
    int32_t end = track + 1;
    while (end < lastTrack && GroupOf(name(end)) == group) ++end;
    const int x = layout.gridLeft + (track - state.leftTrack) * TrackerLayout::kCellWidth;
    const int span = (end - track) * TrackerLayout::kCellWidth - 1;
    if (!group.empty()) {
      grid.Fill(x, 0, span, U'\u2500', CellStyle::kGroup);
      grid.Text(x, 0, group, CellStyle::kGroup, span);
    }
    track = end;
  }
  for (int32_t track = state.leftTrack; track < lastTrack; ++track) {
    const int x = layout.gridLeft + (track - state.leftTrack) * TrackerLayout::kCellWidth;
    const CellStyle style = track == state.cursor.track ? CellStyle::kTrackNameAtCursor : CellStyle::kTrackName;
    grid.Text(x, 1, ShortName(name(track)), style, TrackerLayout::kCellWidth - 1);
  }
}

CellStyle NumberStyle(int32_t row, int32_t rowsPerBeat, const TrackerViewState& state) {
  if (state.playingRow == row) return CellStyle::kPlaying;
  if (row % (rowsPerBeat * TrackerLayout::kBeatsPerBar) == 0) return CellStyle::kBarNumber;
  if (row % rowsPerBeat == 0) return CellStyle::kBeatNumber;
  return CellStyle::kRowNumber;
}

void DrawCell(const TrackerDocument& document, const TrackerViewState& state, GridPlace place, bool barRow, int x,
              int y, CellGrid& grid) {
  if (place == state.cursor && state.typing) {
    std::string typed = *state.typing + "_";
    if (typed.size() > static_cast<size_t>(kValueWidth + 1)) typed = typed.substr(typed.size() - kValueWidth - 1);
    grid.Fill(x, y, TrackerLayout::kCellWidth - 1, U' ', CellStyle::kPrompt);
    grid.Text(x, y, typed, CellStyle::kPrompt, TrackerLayout::kCellWidth - 1);
    return;
  }
  const TrackCell cell = document.CellAt(static_cast<size_t>(place.track), place.row);
  std::string text;
  CellStyle style;
  switch (cell.kind) {
    case TrackCell::Kind::kKey:
      text = ValueText(cell.value, kValueWidth);
      text += kInterpolationMarks[static_cast<int>(cell.key.interpolation)];
      style = CellStyle::kKey;
      break;
    case TrackCell::Kind::kBetween:
    case TrackCell::Kind::kHeld:
      text = ValueText(cell.value, kValueWidth) + " ";
      style = barRow ? CellStyle::kBarLine : CellStyle::kBetween;
      break;
    case TrackCell::Kind::kEmpty:
    default:
      text = std::string(kValueWidth - 3, ' ') + "--- ";
      style = barRow ? CellStyle::kBarLine : CellStyle::kEmpty;
      break;
  }
  if (place == state.cursor) style = CellStyle::kCursor;
  else if (state.Selected(place)) style = CellStyle::kSelected;
  grid.Text(x, y, text, style, TrackerLayout::kCellWidth - 1);
}

}  // namespace

void DrawTracker(const TrackerDocument& document, const TrackerViewState& state, const TrackerLayout& layout,
                 CellGrid& grid) {
  for (int y = 0; y < grid.Height(); ++y) grid.Fill(0, y, grid.Width(), U' ', CellStyle::kPlain);
  const auto trackCount = static_cast<int32_t>(document.TrackCount());
  const int32_t lastTrack = std::min(trackCount, state.leftTrack + layout.visibleTracks);
  DrawHeaders(document, state, layout, lastTrack, grid);

  const int32_t rowsPerBeat = std::max(1, state.rowsPerBeat);
  for (int line = 0; line < layout.visibleRows; ++line) {
    const int32_t row = state.topRow + line;
    if (row >= document.Rows()) break;
    const int y = layout.GridTop() + line;
    char number[16];
    std::snprintf(number, sizeof number, "%*d", layout.numberWidth, row);
    grid.Text(0, y, number, NumberStyle(row, rowsPerBeat, state));
    if (document.IsBookmark(row)) grid.Text(layout.numberWidth, y, "*", CellStyle::kBookmark);
    const bool barRow = row % (rowsPerBeat * TrackerLayout::kBeatsPerBar) == 0;
    for (int32_t track = state.leftTrack; track < lastTrack; ++track) {
      const int x = layout.gridLeft + (track - state.leftTrack) * TrackerLayout::kCellWidth;
      DrawCell(document, state, {row, track}, barRow, x, y, grid);
    }
  }

  if (layout.height >= 2) {
    const CellStyle status = state.statusWarns ? CellStyle::kStatusWarning : CellStyle::kStatus;
    grid.Fill(0, layout.StatusLine(), grid.Width(), U' ', status);
    grid.Text(0, layout.StatusLine(), state.status, status);
  }
  if (layout.height >= 1) {
    const CellStyle bottom = state.bottomWarns ? CellStyle::kStatusWarning
                             : state.asking    ? CellStyle::kPrompt
                                               : CellStyle::kHelp;
    grid.Fill(0, layout.HelpLine(), grid.Width(), U' ', bottom);
    grid.Text(0, layout.HelpLine(), state.bottom, bottom);
  }
}

std::vector<std::string> KeyHelpLines() {
  return {
      "Keys of quorvel4-tracker (any key closes this; arrows scroll it)",
      "",
      "0-9 - .           type a value; Enter sets the key at the cursor, Escape cancels",
      "Delete            delete the keys of the selection (or the cursor's)",
      "i                 cycle the interpolation of the key at or before the cursor:",
      "                  step =, linear /, smooth ~, ramp ^ (the mark after a value)",
      "Space             play or pause the show",
      "Arrows            move; PgUp/PgDn a screenful; Home/End the first/last row",
      "Shift+moves       select a block (Shift+arrows, Shift+PgUp/PgDn/Home/End)",
      "mouse             click moves the cursor, drag selects",
      "Ctrl+C Ctrl+X     copy, cut the selection",
      "Ctrl+V            paste at the cursor",
      "Ctrl+Z            undo",
      "Ctrl+Y            redo (Ctrl+Shift+Z where the terminal tells it apart)",
      "Ctrl+Up/Down      add 1 to / take 1 from the selected keys' values",
      "Ctrl+Shift+Up/Dn  the same by 0.1",
      "Ctrl+PgUp/PgDn    the same by 10",
      "k                 bookmark the cursor's row, or take the bookmark away",
      "Alt+PgUp/PgDn     the bookmark before / after the cursor",
      "Ctrl+S            save the project (asks for a name for a new one)",
      "Ctrl+E            the show saves its track files (SAVE_TRACKS)",
      "Ctrl+Q            quit (asks when there are unsaved changes)",
      "?                 this list",
      "",
      "Grid: a bar's first row is banded, beats' row numbers are bright, '*' marks a",
      "bookmark, dim values are those between two keys, '---' a row with no value.",
  };
}

void DrawKeyHelp(CellGrid& grid, int first) {
  const std::vector<std::string> lines = KeyHelpLines();
  for (int y = 0; y < grid.Height(); ++y) {
    grid.Fill(0, y, grid.Width(), U' ', CellStyle::kPlain);
    const size_t line = static_cast<size_t>(first + y);
    if (line < lines.size()) grid.Text(1, y, lines[line], y == 0 && first == 0 ? CellStyle::kGroup : CellStyle::kPlain);
  }
}
