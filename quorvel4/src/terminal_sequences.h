// Every escape sequence the terminal back end sends, declared once and used by name.
#pragma once

#include <string_view>

namespace seq {

// Control sequence introducer and the final bytes of the parameterised sequences.
inline constexpr std::string_view kCsi = "\x1b[";
inline constexpr char kCursorPositionFinal = 'H';  // CSI row ; column H (1-based)
inline constexpr char kCursorForwardFinal = 'C';   // CSI n C
inline constexpr char kCursorBackFinal = 'D';      // CSI n D
inline constexpr char kCursorColumnFinal = 'G';    // CSI column G (1-based)
inline constexpr char kGraphicsFinal = 'm';        // CSI params m (SGR)
inline constexpr char kParamSeparator = ';';

// Colour parameters of SGR.
inline constexpr std::string_view kFgRgb = "38;2;";
inline constexpr std::string_view kBgRgb = "48;2;";
inline constexpr std::string_view kFgIndexed = "38;5;";
inline constexpr std::string_view kBgIndexed = "48;5;";
inline constexpr int kFgAnsiBase = 30;        // 30-37
inline constexpr int kFgAnsiBrightBase = 90;  // 90-97 (bright without bold)
inline constexpr int kBgAnsiBase = 40;        // 40-47
inline constexpr int kBgAnsiBrightBase = 100; // 100-107 (bright without blink)

inline constexpr std::string_view kResetGraphics = "\x1b[0m";
inline constexpr std::string_view kClearScreen = "\x1b[2J";
inline constexpr std::string_view kCursorHome = "\x1b[H";
inline constexpr std::string_view kHideCursor = "\x1b[?25l";
inline constexpr std::string_view kShowCursor = "\x1b[?25h";
// Save and restore the cursor with the pen (DECSC, DECRC): what is drawn beside the picture
// leaves the terminal as the encoder believes it is.
inline constexpr std::string_view kSaveCursor = "\x1b" "7";
inline constexpr std::string_view kRestoreCursor = "\x1b" "8";
inline constexpr char kEraseCharactersFinal = 'X';  // CSI n X: n cells blank, the cursor stays
inline constexpr std::string_view kAutoWrapOff = "\x1b[?7l";
inline constexpr std::string_view kAutoWrapOn = "\x1b[?7h";
// Terminals that do not know synchronized output ignore both.
inline constexpr std::string_view kSyncBegin = "\x1b[?2026h";
inline constexpr std::string_view kSyncEnd = "\x1b[?2026l";
// Window manipulation: resize the text area to 50 rows by 80 columns.
inline constexpr std::string_view kRequestSize80x50 = "\x1b[8;50;80t";
// Save and restore the window title on the terminal's title stack.
inline constexpr std::string_view kPushTitle = "\x1b[22;0t";
inline constexpr std::string_view kPopTitle = "\x1b[23;0t";
// Operating system command that sets the window title, ended by BEL.
inline constexpr std::string_view kTitleBegin = "\x1b]2;";
inline constexpr std::string_view kTitleEnd = "\x07";
// Operating system commands about a palette entry: kOscPaletteEntry, its number, then
// ";rgb:rr/gg/bb" to set it or kQueryPaletteEnd to ask for it (the answer has the first form);
// and the one that puts the terminal's own palette back. Ended by ST.
inline constexpr std::string_view kOscPaletteEntry = "\x1b]4;";
inline constexpr std::string_view kRgbSpec = "rgb:";
inline constexpr std::string_view kResetPalette = "\x1b]104\x1b\\";
inline constexpr std::string_view kStringTerminator = "\x1b\\";
// Questions whose answers arrive on the terminal's input: the colour of a palette entry
// (answered only where OSC 4 is known), then the device attributes (answered by every terminal
// of the VT100 family, after any earlier answer).
inline constexpr std::string_view kQueryPaletteEnd = ";?\x1b\\";
inline constexpr std::string_view kQueryDeviceAttributes = "\x1b[c";
// CAN aborts an escape sequence a frame cut short by a signal may have left open.
inline constexpr std::string_view kCancel = "\x18";
inline constexpr std::string_view kNewLine = "\r\n";

}  // namespace seq
