#include "quorvel4/terminal_encoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "quorvel4/cp437.h"
#include "quorvel4/palette.h"
#include "terminal_rows.h"
#include "terminal_sequences.h"

// The rows of a frame are encoded in terminal_rows.h, built for this kind of processor by
// terminal_encoder_x86_64.cpp or terminal_encoder_generic.cpp.

using namespace qvl_terminal;

namespace {

// The synchronized-output markers around a frame, with room to spare.
constexpr size_t kFrameOverhead = 64;

// Levels of the xterm 256-colour cube (indices 16-231) and its grey ramp (232-255).
constexpr uint8_t kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

Rgb Xterm256Rgb(int index) {
  if (index >= 232) {
    const auto level = static_cast<uint8_t>(8 + 10 * (index - 232));
    return {level, level, level};
  }
  const int cube = index - 16;
  return {kCubeLevels[cube / 36], kCubeLevels[(cube / 6) % 6], kCubeLevels[cube % 6]};
}

int DistanceSquared(const Rgb& a, const Rgb& b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

bool Equals(const char* value, const char* wanted) { return value && std::strcmp(value, wanted) == 0; }

Cell SameLooking(Cell cell) {
  const uint8_t code = CellCharacter(cell);
  const unsigned fg = CellForeground(cell), bg = CellBackground(cell);
  const auto solid = [](unsigned color) { return MakeCell(kSpace, color, color); };
  if (code == kNul || code == kSpace || code == kNoBreakSpace) return solid(bg);
  if (code == kFullBlock || fg == bg) return solid(fg);
  if (code == kLowerHalf) return MakeCell(kUpperHalf, bg, fg);
  if (code == kRightHalf) return MakeCell(kLeftHalf, bg, fg);
  return cell;
}

std::string HexByte(uint8_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[value >> 4], kDigits[value & 15]};
}

}  // namespace

Cell SameLookingCell(Cell cell) { return SameLooking(cell); }

// One entry a sequence: some terminals (alacritty 0.11) ignore a sequence that sets them all.
std::string SetPaletteEntryBytes(int ansi, const Rgb& colour) {
  return std::string(seq::kOscPaletteEntry) + std::to_string(ansi) + seq::kParamSeparator + std::string(seq::kRgbSpec) +
         HexByte(colour.r) + '/' + HexByte(colour.g) + '/' + HexByte(colour.b) + std::string(seq::kStringTerminator);
}

std::string_view SetVgaPaletteBytes() {
  static const std::string bytes = [] {
    std::string out;
    for (int console = 0; console < 16; ++console) out += SetPaletteEntryBytes(AnsiColorOf(console), kVgaPalette[console]);
    return out;
  }();
  return bytes;
}

std::string_view ResetPaletteBytes() { return seq::kResetPalette; }

ColorMode ChooseColorMode(const char* override, const char* colorterm, const char* term) {
  if (Equals(override, "truecolor") || Equals(override, "24bit")) return ColorMode::kTrueColor;
  if (Equals(override, "256")) return ColorMode::kIndexed256;
  if (Equals(override, "16")) return ColorMode::kAnsi16;
  if (Equals(override, "palette")) return ColorMode::kPalette;
  if (Equals(colorterm, "truecolor") || Equals(colorterm, "24bit")) return ColorMode::kTrueColor;
  if (term && std::strstr(term, "256")) return ColorMode::kIndexed256;
  return ColorMode::kAnsi16;
}

int Xterm256IndexOf(int console) {
  const Rgb& want = kVgaPalette[console & 15];
  int best = 16;
  for (int index = 17; index < 256; ++index) {
    if (DistanceSquared(Xterm256Rgb(index), want) < DistanceSquared(Xterm256Rgb(best), want)) best = index;
  }
  return best;
}

TerminalEncoder::TerminalEncoder(ColorMode mode) : mMode(mode) {
  for (int code = 0; code < 256; ++code) {
    Glyph& glyph = mGlyphs[code][0];
    glyph.length = static_cast<uint8_t>(Utf8Encode(kCp437ToUnicode[code], glyph.bytes));
  }
  // The other forms (DrawCell): a full block for a space, the mirror of a half block.
  for (int code = 0; code < 256; ++code) {
    const bool halfBlock = code == kUpperHalf || code == kLeftHalf;
    const int other = code == kSpace ? kFullBlock : halfBlock ? code ^ kMirrorBits : code;
    mGlyphs[code][1] = mGlyphs[other][0];
  }
  std::array<std::string, 16> fgParams, bgParams;
  for (int color = 0; color < 16; ++color) {
    std::string& fg = fgParams[color];
    std::string& bg = bgParams[color];
    switch (mMode) {
      case ColorMode::kTrueColor: {
        const Rgb& c = kVgaPalette[color];
        const std::string rgb = std::to_string(c.r) + ';' + std::to_string(c.g) + ';' + std::to_string(c.b);
        fg = std::string(seq::kFgRgb) + rgb;
        bg = std::string(seq::kBgRgb) + rgb;
        break;
      }
      case ColorMode::kIndexed256: {
        const std::string index = std::to_string(Xterm256IndexOf(color));
        fg = std::string(seq::kFgIndexed) + index;
        bg = std::string(seq::kBgIndexed) + index;
        break;
      }
      case ColorMode::kAnsi16:
      case ColorMode::kPalette: {
        const int ansi = AnsiColorOf(color);
        const bool bright = ansi >= 8;
        fg = std::to_string((bright ? seq::kFgAnsiBrightBase : seq::kFgAnsiBase) + (ansi & 7));
        bg = std::to_string((bright ? seq::kBgAnsiBrightBase : seq::kBgAnsiBase) + (ansi & 7));
        break;
      }
    }
  }
  const auto setSgr = [this](int index, const std::string& params) {
    const std::string text = std::string(seq::kCsi) + params + seq::kGraphicsFinal;
    std::memcpy(mSgrs[index].text, text.data(), text.size());
    mSgrs[index].length = static_cast<uint8_t>(text.size());
  };
  for (int fg = 0; fg < 16; ++fg) {
    for (int bg = 0; bg < 16; ++bg) {
      setSgr(SgrIndex(true, true, fg, bg), fgParams[fg] + seq::kParamSeparator + bgParams[bg]);
    }
  }
  // The cheapest colour change: one colour, the shorter of the two forms.
  int cheapest = 1 << 30;
  for (int color = 0; color < 16; ++color) {
    setSgr(SgrIndex(true, false, color, -1), fgParams[color]);
    setSgr(SgrIndex(false, true, -1, color), bgParams[color]);
    cheapest = std::min({cheapest, int{mSgrs[SgrIndex(true, false, color, -1)].length},
                         int{mSgrs[SgrIndex(false, true, -1, color)].length}});
  }
  mEveryChangePassesOver = 2 * cheapest > kPassOverCost;
  SetOrigin(0, 0);
}

void TerminalEncoder::SetOrigin(int column, int row) {
  mOriginX = column;
  mOriginY = row;
  for (int x = 0; x < kScreenWidth; ++x) mColumnMoveCosts[x] = MoveCost(mOriginX + x + 1);
  Invalidate();
}

void TerminalEncoder::Invalidate() {
  mShownValid = false;
  mTerminal.penFg = mTerminal.penBg = kUnknown;
  mTerminal.cursorX = mTerminal.cursorY = kUnknown;
}

std::string_view TerminalEncoder::ReplayStart() {
  static const std::string start = std::string(seq::kHideCursor) + std::string(seq::kClearScreen);
  return start;
}

std::string_view TerminalEncoder::PlainColors() { return seq::kResetGraphics; }

std::string TerminalEncoder::ReplayEnd() const {
  std::string bytes(seq::kResetGraphics);
  bytes += seq::kCsi;
  bytes += std::to_string(mOriginY + kScreenHeight + 1);
  bytes += seq::kParamSeparator;
  bytes += std::to_string(mOriginX + 1);
  bytes += seq::kCursorPositionFinal;
  bytes += seq::kShowCursor;
  return bytes;
}

// CellsOfPen for a pen of which a colour is not known, out of line: it happens at the start of
// a frame sent whole at most.
[[gnu::noinline]] TerminalEncoder::PenCells TerminalEncoder::CellsOfPartPen(int penFg, int penBg) const {
  const Columns ofFg = penFg >= 0 ? OfKey(KeyOf(penFg, penFg)) : Columns{};
  const Columns ofBg = penBg >= 0 ? OfKey(KeyOf(penBg, penBg)) : Columns{};
  return {ofFg | ofBg, ofFg};
}

std::string_view TerminalEncoder::EncodeFrame(const Cell* cells, std::string_view prefix) {
  const size_t capacity = kMaxBytesPerCell * kScreenCells + kFrameOverhead + prefix.size();
  if (mBuffer.size() < capacity) mBuffer.resize(capacity);
  Terminal t = mTerminal;
  t.out = mBuffer.data();
  t.Put(seq::kSyncBegin);
  t.Put(prefix);
  const char* cellsBegin = t.out;
  EncodeRowsForThisProcessor(t, cells);
  mShownValid = true;
  if (t.out == cellsBegin && prefix.empty()) {
    mTerminal = t;
    return {};
  }
  t.Put(seq::kSyncEnd);
  mTerminal = t;
  return {mBuffer.data(), static_cast<size_t>(t.out - mBuffer.data())};
}
