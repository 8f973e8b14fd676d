// The tracker's screen as a plain grid of styled cells: the layout (which rows and tracks fit,
// where each is), and the drawing of the document, the cursor, the selection, the status and
// help lines into the grid. Nothing here knows the terminal; the program copies the grid to
// ncurses, and the tests read it as it is.
//
//   line 0              group names over their tracks ("camera" over camera:x, camera:y)
//   line 1              the tracks' own names (the part after the group)
//   lines 2 .. h-3      one line a row: the row number, a bookmark mark, a cell a track
//   line h-2            the status line
//   line h-1            the help line, or the line being typed into when asked something
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tracker/tracker_document.h"

// How a cell looks; the program maps each to colours and attributes.
enum class CellStyle : uint8_t {
  kPlain,
  kRowNumber,      // a row inside a beat
  kBeatNumber,     // a beat's first row
  kBarNumber,      // a bar's first row (four beats)
  kBookmark,       // the bookmark mark beside a row number
  kEmpty,          // a cell with no key and nothing before it
  kKey,            // a key's value and its interpolation's mark
  kBetween,        // the value between two keys, dimmed
  kBarLine,        // an empty or between cell on a bar's first row
  kSelected,       // inside the selection
  kCursor,         // the cursor's cell
  kPlaying,        // the row the playing show is at (its row number)
  kGroup,          // a group's name over its tracks
  kTrackName,      // a track's name
  kTrackNameAtCursor,
  kStatus,
  kStatusWarning,  // the status line when it carries a problem
  kHelp,
  kPrompt,         // a question or the line being typed into
};

struct StyledCell {
  char32_t glyph = U' ';
  CellStyle style = CellStyle::kPlain;
  bool operator==(const StyledCell&) const = default;
};

class CellGrid {
 public:
  CellGrid(int width, int height) : width_(width), height_(height), cells_(static_cast<size_t>(width * height)) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  StyledCell& At(int x, int y) { return cells_[static_cast<size_t>(y * width_ + x)]; }
  const StyledCell& At(int x, int y) const { return cells_[static_cast<size_t>(y * width_ + x)]; }
  // Writes UTF-8 text from (x, y), cut at the grid's edge or after `most` cells; returns the
  // column after the last cell written.
  int Text(int x, int y, std::string_view text, CellStyle style, int most = -1);
  void Fill(int x, int y, int count, char32_t glyph, CellStyle style);
  // The text of `count` cells from (x, y), as UTF-8, trailing blanks kept.
  std::string TextAt(int x, int y, int count) const;

 private:
  int width_, height_;
  std::vector<StyledCell> cells_;
};

// The mark after a key's value: step, linear, smooth, ramp.
inline constexpr char kInterpolationMarks[kTrackInterpolationCount] = {'=', '/', '~', '^'};
const char* InterpolationName(TrackInterpolation interpolation);

// A value in at most `width` cells, right-aligned: three decimals when they fit, fewer, then
// the exponent form.
std::string ValueText(double value, int width);

// A place on the grid: a row, and a track's index.
struct GridPlace {
  int32_t row = 0;
  int32_t track = 0;
  bool operator==(const GridPlace&) const = default;
};
// The block two corners span, in any order.
TrackBlock BlockOf(GridPlace a, GridPlace b);

// Where things are on a screen of a size.
struct TrackerLayout {
  static constexpr int kHeaderLines = 2;
  static constexpr int kFooterLines = 2;
  static constexpr int kCellWidth = 10;  // a value (8), its mark, a space
  static constexpr int kBeatsPerBar = 4;

  int width = 0, height = 0;
  int numberWidth = 0;    // the row number's digits
  int gridLeft = 0;       // the first track's column
  int visibleRows = 0;    // lines for rows
  int visibleTracks = 0;  // tracks that fit across

  static TrackerLayout For(int width, int height, int32_t rows);
  int GridTop() const { return kHeaderLines; }
  int StatusLine() const { return height - 2; }
  int HelpLine() const { return height - 1; }
};

// What the editor shows besides the document.
struct TrackerViewState {
  int32_t rowsPerBeat = 4;
  GridPlace cursor;
  std::optional<GridPlace> anchor;  // the selection's other corner while one is made
  int32_t topRow = 0;               // the first row shown
  int32_t leftTrack = 0;            // the first track shown
  std::optional<int32_t> playingRow;  // while the show plays
  std::optional<std::string> typing;  // a number being typed into the cursor's cell
  std::string status;                 // the whole status line
  bool statusWarns = false;
  std::string bottom;                 // the help line, or a question
  bool asking = false;                // `bottom` is a question (or a name being typed)
  bool bottomWarns = false;           // `bottom` carries a problem

  TrackBlock Selection() const { return BlockOf(anchor.value_or(cursor), cursor); }
  bool Selected(GridPlace place) const;
};

// Moves topRow and leftTrack as little as keeps the cursor on screen.
void ScrollToCursor(TrackerViewState& state, const TrackerLayout& layout);

// The place under a cell of the screen, when it is a track's cell of a row.
std::optional<GridPlace> PlaceAtCell(const TrackerLayout& layout, const TrackerViewState& state,
                                     const TrackerDocument& document, int x, int y);

// "camera" of "camera:rot.y"; empty without a colon.
std::string_view GroupOf(std::string_view trackName);
std::string_view ShortName(std::string_view trackName);

// The whole screen.
void DrawTracker(const TrackerDocument& document, const TrackerViewState& state, const TrackerLayout& layout,
                 CellGrid& grid);

// Every key and what it does, for the '?' screen.
std::vector<std::string> KeyHelpLines();
// Draws the key help over the grid, scrolled by `first` lines.
void DrawKeyHelp(CellGrid& grid, int first);
