// The tracker's screen drawn into a plain grid: what each cell of the grid says and how it is
// styled, for a document built here, with no terminal.
#ifdef QVL_TRACKER_PROGRAM
#include <gtest/gtest.h>

#include <string>

#include "tracker/ui/tracker_view.h"

namespace {

SyncTrack Track(const std::string& name, std::vector<TrackKey> keys) {
  SyncTrack track(name);
  EXPECT_TRUE(track.SetKeys(std::move(keys)));
  return track;
}

// camera:x and camera:y under "camera", then an ungrouped track; rows per beat 4.
TrackerDocument Sample() {
  SyncProject project;
  project.tracks.push_back(Track("camera:x", {{0, 1.0f, TrackInterpolation::kLinear}, {8, 3.0f, TrackInterpolation::kStep}}));
  project.tracks.push_back(Track("camera:y", {{4, -2.5f, TrackInterpolation::kSmooth}}));
  project.tracks.push_back(Track("fade", {{2, 123456.0f, TrackInterpolation::kRamp}, {6, 0.0f, TrackInterpolation::kStep}}));
  project.bookmarks = {5};
  return TrackerDocument(std::move(project));
}

struct Drawn {
  TrackerDocument document = Sample();
  TrackerViewState state;
  TrackerLayout layout;
  CellGrid grid;
  explicit Drawn(int width = 80, int height = 24) : layout(TrackerLayout::For(width, height, document.Rows())), grid(width, height) {}
  void Draw() { DrawTracker(document, state, layout, grid); }
  // The cells of a track on a row, as text, and the style of its first cell.
  std::string Cell(int32_t track, int32_t row) const {
    return grid.TextAt(layout.gridLeft + (track - state.leftTrack) * TrackerLayout::kCellWidth, layout.GridTop() + row - state.topRow,
                       TrackerLayout::kCellWidth - 1);
  }
  CellStyle StyleOf(int32_t track, int32_t row) const {
    return grid.At(layout.gridLeft + (track - state.leftTrack) * TrackerLayout::kCellWidth + 7, layout.GridTop() + row - state.topRow).style;
  }
};

TEST(TrackerUiGrid, ValuesFitTheirCellsInTheMostDigitsThatFit) {
  EXPECT_EQ(ValueText(1.0, 8), "   1.000");
  EXPECT_EQ(ValueText(-2.5, 8), "  -2.500");
  EXPECT_EQ(ValueText(123456.0, 8), "123456.0");
  EXPECT_EQ(ValueText(-1234567.0, 8), "-1234567");
  for (double value : {1e30, -3.4e38, 987654321.0, -12345678.0}) {
    const std::string text = ValueText(value, 8);
    EXPECT_EQ(text.size(), 8u) << value;
    EXPECT_EQ(text.find('#'), std::string::npos) << value << ": " << text;
    EXPECT_NE(text.find('e'), std::string::npos) << value << ": " << text;
  }
}

TEST(TrackerUiGrid, KeysShowTheirValueAndMarkAndTheRowsBetweenShowTheInterpolatedValueDimmed) {
  Drawn drawn;
  drawn.state.cursor = {20, 2};  // off the rows looked at
  drawn.Draw();
  EXPECT_EQ(drawn.Cell(0, 0), "   1.000/");
  EXPECT_EQ(drawn.StyleOf(0, 0), CellStyle::kKey) << "a key on a bar's row is a key all the same";
  EXPECT_EQ(drawn.Cell(0, 4), "   2.000 ");  // halfway along the linear run
  EXPECT_EQ(drawn.StyleOf(0, 4), CellStyle::kBetween);
  EXPECT_EQ(drawn.Cell(0, 8), "   3.000=");
  EXPECT_EQ(drawn.Cell(0, 9), "     --- ") << "after the last key";
  EXPECT_EQ(drawn.Cell(1, 0), "     --- ") << "before the first key";
  EXPECT_EQ(drawn.StyleOf(1, 1), CellStyle::kEmpty);
  EXPECT_EQ(drawn.Cell(1, 4), "  -2.500~");
  EXPECT_EQ(drawn.Cell(2, 2), "123456.0^");
  EXPECT_EQ(drawn.Cell(2, 3), "115740.0 ") << "a ramp: v0 + (v1 - v0) t^2 at t = 1/4";
  EXPECT_EQ(drawn.StyleOf(2, 3), CellStyle::kBetween);
}

TEST(TrackerUiGrid, GroupsHeadTheirTracksAndRowsMarkBeatsBarsAndBookmarks) {
  Drawn drawn;
  drawn.state.cursor = {3, 1};
  drawn.Draw();
  const int left = drawn.layout.gridLeft, w = TrackerLayout::kCellWidth;
  EXPECT_EQ(drawn.grid.TextAt(left, 0, 6), "camera");
  EXPECT_EQ(drawn.grid.At(left + w + 3, 0).style, CellStyle::kGroup) << "the group's header spans both its tracks";
  EXPECT_EQ(drawn.grid.At(left + 2 * w, 0).glyph, U' ') << "an ungrouped track has no header";
  EXPECT_EQ(drawn.grid.TextAt(left, 1, 9), "x        ");
  EXPECT_EQ(drawn.grid.TextAt(left + w, 1, 9), "y        ");
  EXPECT_EQ(drawn.grid.At(left + w, 1).style, CellStyle::kTrackNameAtCursor);
  EXPECT_EQ(drawn.grid.TextAt(left + 2 * w, 1, 4), "fade");

  const int top = drawn.layout.GridTop();
  EXPECT_EQ(drawn.grid.TextAt(0, top + 0, 4), "   0");
  EXPECT_EQ(drawn.grid.At(3, top + 0).style, CellStyle::kBarNumber);
  EXPECT_EQ(drawn.grid.At(3, top + 4).style, CellStyle::kBeatNumber);
  EXPECT_EQ(drawn.grid.At(3, top + 5).style, CellStyle::kRowNumber);
  EXPECT_EQ(drawn.grid.At(3, top + 16).style, CellStyle::kBarNumber);
  EXPECT_EQ(drawn.grid.At(4, top + 5).glyph, U'*');
  EXPECT_EQ(drawn.grid.At(4, top + 6).glyph, U' ');
  EXPECT_EQ(drawn.StyleOf(1, 16), CellStyle::kBarLine) << "the bar's first row is banded";
  EXPECT_EQ(drawn.StyleOf(1, 3), CellStyle::kCursor);
}

TEST(TrackerUiGrid, TheSelectionAndTheTypedNumberShowWhereTheyAre) {
  Drawn drawn;
  drawn.state.cursor = {6, 0};
  drawn.state.anchor = GridPlace{4, 1};
  drawn.Draw();
  for (int32_t row = 4; row <= 6; ++row) {
    for (int32_t track = 0; track <= 1; ++track) {
      const CellStyle expected = GridPlace{row, track} == drawn.state.cursor ? CellStyle::kCursor : CellStyle::kSelected;
      EXPECT_EQ(drawn.StyleOf(track, row), expected) << row << "," << track;
    }
  }
  EXPECT_NE(drawn.StyleOf(2, 5), CellStyle::kSelected);
  EXPECT_NE(drawn.StyleOf(0, 7), CellStyle::kSelected);
  const TrackBlock block = drawn.state.Selection();
  EXPECT_EQ(block.firstRow, 4);
  EXPECT_EQ(block.lastRow, 6);
  EXPECT_EQ(block.firstTrack, 0u);
  EXPECT_EQ(block.lastTrack, 1u);

  drawn.state.anchor.reset();
  drawn.state.typing = "-0.25";
  drawn.Draw();
  EXPECT_EQ(drawn.Cell(0, 6), "-0.25_   ");
  EXPECT_EQ(drawn.grid.At(drawn.layout.gridLeft, drawn.layout.GridTop() + 6).style, CellStyle::kPrompt);
}

TEST(TrackerUiGrid, EveryCellOnScreenMapsBackToItsPlaceAndTheCursorStaysInView) {
  for (const auto& [width, height] : {std::pair{80, 24}, std::pair{120, 40}, std::pair{33, 9}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    Drawn drawn(width, height);
    EXPECT_EQ(drawn.layout.visibleRows, height - 4);
    EXPECT_EQ(drawn.layout.visibleTracks, (width - 6) / TrackerLayout::kCellWidth);
    drawn.state.cursor = {9000, 2};
    ScrollToCursor(drawn.state, drawn.layout);
    EXPECT_GE(drawn.state.cursor.row, drawn.state.topRow);
    EXPECT_LT(drawn.state.cursor.row, drawn.state.topRow + drawn.layout.visibleRows);
    EXPECT_GE(drawn.state.cursor.track, drawn.state.leftTrack);
    EXPECT_LT(drawn.state.cursor.track, drawn.state.leftTrack + drawn.layout.visibleTracks);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::optional<GridPlace> place = PlaceAtCell(drawn.layout, drawn.state, drawn.document, x, y);
        const int line = y - drawn.layout.GridTop(), column = (x - drawn.layout.gridLeft) / TrackerLayout::kCellWidth;
        const bool inGrid = line >= 0 && line < drawn.layout.visibleRows && x >= drawn.layout.gridLeft &&
                            column < drawn.layout.visibleTracks && drawn.state.leftTrack + column < 3;
        ASSERT_EQ(place.has_value(), inGrid) << x << "," << y;
        if (place) {
          EXPECT_EQ(*place, (GridPlace{drawn.state.topRow + line, drawn.state.leftTrack + column}));
        }
      }
    }
  }
}

TEST(TrackerUiGrid, NamesWithControlCharactersOrBrokenUtf8CannotMoveTheTerminalsCursor) {
  CellGrid grid(12, 1);
  grid.Text(0, 0, "a\x1b[2Jb\xff\xc3\xa9", CellStyle::kTrackName);
  EXPECT_EQ(grid.TextAt(0, 0, 8), "a?[2Jb\xEF\xBF\xBD\xC3\xA9");
}

}  // namespace
#endif
