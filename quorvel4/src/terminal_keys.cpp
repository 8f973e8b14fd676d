#include "terminal_keys.h"

#include <array>

#include "utf8_read.h"

namespace {

constexpr char kEsc = '\x1b';
constexpr char kBel = '\x07';
// Above any key's number or modifier: larger parameters cannot overflow, and name no key.
constexpr int kLargestParameter = 0x10FFFF + 1;
constexpr size_t kMostParameters = 4;

auto Byte(char c) { return static_cast<unsigned char>(c); }
bool IsParameter(char c) { return Byte(c) >= 0x30 && Byte(c) <= 0x3F; }
bool IsIntermediate(char c) { return Byte(c) >= 0x20 && Byte(c) <= 0x2F; }
bool IsFinal(char c) { return Byte(c) >= 0x40 && Byte(c) <= 0x7E; }

// xterm's modifier parameter: 1 plus a bit each for Shift (1), Alt (2), Ctrl (4) and Meta (8),
// which is Alt on most keyboards. Higher bits (kitty's Super, Caps Lock, Num Lock) change nothing.
KeyStroke Modified(KeyStroke key, int modifier) {
  if (modifier < 2) return key;
  const int bits = (modifier - 1) & 15;
  key.shift = key.shift || (bits & 1) != 0;
  key.alt = key.alt || (bits & (2 | 8)) != 0;
  key.ctrl = key.ctrl || (bits & 4) != 0;
  return key;
}

// The control characters a keyboard sends for Enter, Tab, Backspace and Ctrl with a key.
KeyStroke ControlKey(unsigned char byte) {
  switch (byte) {
    case '\r':
    case '\n':
      return NamedKey(Key::kEnter);
    case '\t':
      return NamedKey(Key::kTab);
    case 0x08:
    case 0x7F:
      return NamedKey(Key::kBackspace);
    case 0x00:
      return TypedCharacter(U' ', false, true, false);  // Ctrl-Space, Ctrl-@
    default:
      break;
  }
  // 0x01-0x1A: Ctrl and a letter; 0x1C-0x1F: Ctrl and \ ] ^ _.
  const char32_t key = byte <= 0x1A ? U'a' + byte - 1 : U'\\' + byte - 0x1C;
  return TypedCharacter(key, false, true, false);
}

// A code point that is a character to type: not a control, a surrogate, or one of the private
// use area, where kitty numbers its function keys.
bool IsTypable(int code) {
  return code >= 0x20 && code <= 0x10FFFF && !(code >= 0x7F && code <= 0x9F) && !(code >= 0xD800 && code <= 0xDFFF) &&
         !(code >= 0xE000 && code <= 0xF8FF);
}

// A key given by its code and modifiers (CSI u; xterm's modifyOtherKeys, CSI 27 ; m ; code ~).
bool CodeKey(int code, int modifier, KeyStroke& key) {
  switch (code) {
    case 13: key = NamedKey(Key::kEnter); break;
    case 27: key = NamedKey(Key::kEscape); break;
    case 9: key = NamedKey(Key::kTab); break;
    case 8:
    case 127: key = NamedKey(Key::kBackspace); break;
    default:
      if (!IsTypable(code)) return false;
      key = Modified(NamedKey(Key::kNone), modifier);
      key = TypedCharacter(static_cast<char32_t>(code), key.shift, key.ctrl, key.alt);
      return true;
  }
  key = Modified(key, modifier);
  return true;
}

// The numbers of a parameter string ("1;5", "27;6;122"), missing ones 0; a colon's
// sub-parameters are left out. False when it has more than kMostParameters.
bool Parameters(std::string_view text, std::array<int, kMostParameters>& numbers, size_t& count) {
  numbers = {};
  count = 1;
  bool inSub = false;
  for (const char c : text) {
    if (c == ';') {
      if (count == kMostParameters) return false;
      ++count;
      inSub = false;
    } else if (c == ':') {
      inSub = true;
    } else if (c >= '0' && c <= '9' && !inSub) {
      int& n = numbers[count - 1];
      n = n >= kLargestParameter ? n : n * 10 + (c - '0');
    } else if (c < '0' || c > '9') {
      return false;  // < = > ? are private forms, not keys
    }
  }
  return true;
}

// The keys of the CSI n ~ form (and rxvt's n ^, n $, n @).
bool TildeKey(int number, Key& key) {
  switch (number) {
    case 1: case 7: key = Key::kHome; return true;
    case 2: key = Key::kInsert; return true;
    case 3: key = Key::kDelete; return true;
    case 4: case 8: key = Key::kEnd; return true;
    case 5: key = Key::kPageUp; return true;
    case 6: key = Key::kPageDown; return true;
    default: return false;  // function keys, paste markers
  }
}

// The cursor keys' finals, shared by CSI and SS3.
bool CursorKey(char final, Key& key) {
  switch (final) {
    case 'A': key = Key::kUp; return true;
    case 'B': key = Key::kDown; return true;
    case 'C': key = Key::kRight; return true;
    case 'D': key = Key::kLeft; return true;
    case 'H': key = Key::kHome; return true;
    case 'F': key = Key::kEnd; return true;
    default: return false;
  }
}

// rxvt's lower-case finals: Shift with an arrow after CSI, Ctrl after SS3.
bool RxvtArrow(char final, Key& key) {
  if (final < 'a' || final > 'd') return false;
  return CursorKey(static_cast<char>(final - 'a' + 'A'), key);
}

// A mouse report (CSI < button ; column ; row M, or m on release). Nothing reads the mouse
// yet: an editor that does makes its events here, from `parameters` and `final`.
bool MouseReport(std::string_view /*parameters*/, char /*final*/, KeyStroke& /*key*/) { return false; }

// The key of a whole control sequence, ESC [ `parameters` `final`; false for one no key sends.
bool ControlSequenceKey(std::string_view parameters, char final, KeyStroke& key) {
  if (!parameters.empty() && parameters[0] == '<' && (final == 'M' || final == 'm')) {
    return MouseReport(parameters.substr(1), final, key);
  }
  std::array<int, kMostParameters> p{};
  size_t count = 0;
  if (!Parameters(parameters, p, count)) return false;
  Key named = Key::kNone;
  if (CursorKey(final, named)) {
    key = Modified(NamedKey(named), count >= 2 ? p[1] : 1);
    return true;
  }
  if (RxvtArrow(final, named)) {
    key = NamedKey(named, /*shift=*/true);
    return true;
  }
  switch (final) {
    case 'Z':
      key = Modified(NamedKey(Key::kTab, /*shift=*/true), count >= 2 ? p[1] : 1);
      return true;
    case 'u':
      return CodeKey(p[0], p[1], key);
    case '~':
      if (p[0] == 27 && count >= 3) return CodeKey(p[2], p[1], key);
      if (!TildeKey(p[0], named)) return false;
      key = Modified(NamedKey(named), count >= 2 ? p[1] : 1);
      return true;
    case '^':
    case '$':
    case '@':
      if (!TildeKey(p[0], named)) return false;
      key = NamedKey(named, final != '^', final != '$');
      return true;
    default:
      return false;  // focus reports, function keys, answers nobody asked for
  }
}

// The key of ESC O `parameters` `final` (the cursor keys in application mode, the keypad).
bool Ss3Key(std::string_view parameters, char final, KeyStroke& key) {
  std::array<int, kMostParameters> p{};
  size_t count = 0;
  if (!Parameters(parameters, p, count)) return false;
  Key named = Key::kNone;
  if (CursorKey(final, named)) {
    key = Modified(NamedKey(named), p[count - 1]);
    return true;
  }
  if (RxvtArrow(final, named)) {
    key = NamedKey(named, false, /*ctrl=*/true);
    return true;
  }
  if (final == 'M') {
    key = NamedKey(Key::kEnter);  // the keypad's Enter
    return true;
  }
  return false;
}

}  // namespace

void TerminalKeys::Feed(std::string_view bytes, int64_t nowMs) {
  if (!bytes.empty()) mHeldSince = nowMs;
  // In pieces, so that what is held never grows past two pieces, however much comes at once.
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kMaxSequence);
    bytes.remove_prefix(piece.size());
    mHeld.append(piece);
    Decode();
  }
}

void TerminalKeys::Tick(int64_t nowMs) {
  if (nowMs - mHeldSince < kEscapeWaitMs) return;
  // A quiet moment ends any sequence that was being skipped: whatever comes next is new.
  mSkip = Skip::kNone;
  while (!mHeld.empty()) {
    if (mHeld[0] == kEsc && (mHeld.size() == 1 || mHeld[1] == kEsc)) {
      Push(NamedKey(Key::kEscape));
      mHeld.erase(0, 1);
    } else {
      // ESC and one whole character is Alt with it; anything else held was cut short.
      const Result rest = mHeld[0] == kEsc ? ParseAt(std::string_view(mHeld).substr(1)) : Result{Parse::kNothing, 0, {}};
      if (rest.parse == Parse::kStroke && rest.length + 1 == mHeld.size()) {
        KeyStroke key = rest.key;
        key.alt = true;
        Push(key);
      }
      mHeld.clear();
    }
    Decode();
  }
}

bool TerminalKeys::Take(KeyStroke& key) {
  if (mStrokes.empty()) return false;
  key = mStrokes.front();
  mStrokes.pop_front();
  return true;
}

void TerminalKeys::Push(const KeyStroke& key) {
  if (mStrokes.size() < kMaxWaiting) mStrokes.push_back(key);
}

void TerminalKeys::Decode() {
  while (!mHeld.empty()) {
    if (mSkip != Skip::kNone) {
      if (!SkipRunaway()) return;
      continue;
    }
    // Parsed within a window of the limit's size, so that a sequence longer than that is a
    // runaway whether or not its end has come yet: how the reads cut it changes nothing.
    const std::string_view window = std::string_view(mHeld).substr(0, kMaxSequence + 1);
    const Result result = ParseAt(window);
    if (result.parse == Parse::kIncomplete) {
      if (window.size() <= kMaxSequence) return;  // more may come
      StartSkipping(window.size());
      continue;
    }
    if (result.parse == Parse::kStroke) Push(result.key);
    mHeld.erase(0, result.length);
  }
}

// Drops the first `length` held bytes, the beginning of a runaway, and skips on from the state
// they leave.
void TerminalKeys::StartSkipping(size_t length) {
  // Only a control sequence or a string grows this long (ESC, maybe ESC, then its start).
  const size_t start = mHeld[1] == kEsc ? 2 : 1;
  const char intro = mHeld[start];
  if (intro == '[' || intro == 'O') {
    mSkip = Skip::kControl;
    mSkipRxvt = intro == '[';
    mSkipParameters = mSkipIntermediates = false;
    for (size_t i = start + 1; i < length; ++i) {
      mSkipParameters = mSkipParameters || IsParameter(mHeld[i]);
      mSkipIntermediates = mSkipIntermediates || IsIntermediate(mHeld[i]);
    }
    mHeld.erase(0, length);
  } else {
    // An incomplete string ends in ESC, if anywhere: that ESC may begin its end.
    mSkip = Skip::kString;
    mHeld.erase(0, mHeld[length - 1] == kEsc ? length - 1 : length);
  }
}

// The bytes follow the same rules as in ParseEscape: parameters, then intermediates (rxvt's
// '$' right after parameters is a final), then a final; a byte out of that order breaks the
// sequence off and starts anew. A string ends with BEL or ESC backslash, or before an ESC.
bool TerminalKeys::SkipRunaway() {
  const char c = mHeld[0];
  if (mSkip == Skip::kControl) {
    const bool rxvtFinal = mSkipRxvt && c == '$' && mSkipParameters && !mSkipIntermediates;
    if (IsParameter(c) && !mSkipIntermediates) {
      mSkipParameters = true;
    } else if (IsIntermediate(c) && !rxvtFinal) {
      mSkipIntermediates = true;
    } else {
      if (IsFinal(c) || rxvtFinal) mHeld.erase(0, 1);
      mSkip = Skip::kNone;
      return true;
    }
    mHeld.erase(0, 1);
    return true;
  }
  if (c == kEsc) {
    if (mHeld.size() < 2) return false;  // a backslash may follow
    if (mHeld[1] == '\\') mHeld.erase(0, 2);
    mSkip = Skip::kNone;
    return true;
  }
  mHeld.erase(0, 1);
  if (c == kBel) mSkip = Skip::kNone;
  return true;
}

TerminalKeys::Result TerminalKeys::ParseAt(std::string_view bytes) const {
  const auto lead = Byte(bytes[0]);
  if (bytes[0] == kEsc) return ParseEscape(bytes);
  if (lead < 0x20 || lead == 0x7F) return {Parse::kStroke, 1, ControlKey(lead)};
  if (lead < 0x80) return {Parse::kStroke, 1, CharacterKey(lead)};
  // Malformed UTF-8 is dropped up to the byte that broke it off, which starts anew.
  const Utf8Step step = ReadUtf8(bytes);
  if (step.read == Utf8Read::kIncomplete) return {Parse::kIncomplete, 0, {}};
  if (step.read == Utf8Read::kMalformed || !IsTypable(static_cast<int>(step.code))) {
    return {Parse::kNothing, step.length, {}};
  }
  return {Parse::kStroke, step.length, CharacterKey(step.code)};
}

TerminalKeys::Result TerminalKeys::ParseEscape(std::string_view bytes) const {
  if (bytes.size() < 2) return {Parse::kIncomplete, 0, {}};
  const char intro = bytes[1];
  if (intro == '[' || intro == 'O') {
    size_t end = 2;
    while (end < bytes.size() && IsParameter(bytes[end])) ++end;
    const size_t parametersEnd = end;
    // rxvt ends its Shift forms with '$', which is an intermediate byte anywhere else.
    const bool rxvtShift = intro == '[' && end > 2 && end < bytes.size() && bytes[end] == '$';
    while (!rxvtShift && end < bytes.size() && IsIntermediate(bytes[end])) ++end;
    if (end >= bytes.size()) return {Parse::kIncomplete, 0, {}};
    const char final = bytes[end];
    if (!rxvtShift && !IsFinal(final)) return {Parse::kNothing, end, {}};  // broken off: dropped
    // The old mouse report, CSI M and three bytes of button and position.
    if (intro == '[' && final == 'M' && end == 2) {
      return bytes.size() < 6 ? Result{Parse::kIncomplete, 0, {}} : Result{Parse::kNothing, 6, {}};
    }
    const std::string_view parameters = bytes.substr(2, parametersEnd - 2);
    KeyStroke key;
    const bool known = end == parametersEnd &&  // no key sends intermediate bytes
                       (intro == '[' ? ControlSequenceKey(parameters, final, key) : Ss3Key(parameters, final, key));
    return {known ? Parse::kStroke : Parse::kNothing, end + 1, key};
  }
  if (intro == ']' || intro == 'P') {
    // A string (OSC, DCS: the forms of a terminal's answers), up to BEL or ESC backslash.
    // Some terminals end an answer with ESC alone, which then starts what follows. Typed
    // alone, Alt-] and Alt-P still come through once the wait is over. (APC, PM and SOS
    // are no answer any terminal gives unasked: ESC _, ESC ^ and ESC X stay Alt keys.)
    for (size_t i = 2; i < bytes.size(); ++i) {
      if (bytes[i] == kBel) return {Parse::kNothing, i + 1, {}};
      if (bytes[i] != kEsc) continue;
      if (i + 1 == bytes.size()) return {Parse::kIncomplete, 0, {}};
      return {Parse::kNothing, bytes[i + 1] == '\\' ? i + 2 : i, {}};
    }
    return {Parse::kIncomplete, 0, {}};
  }
  if (intro == kEsc) {
    // rxvt sends Alt with a cursor key as ESC before the key's sequence; any other ESC ESC is
    // the Escape key twice.
    if (bytes.size() < 3) return {Parse::kIncomplete, 0, {}};
    if (bytes[2] != '[' && bytes[2] != 'O') return {Parse::kStroke, 1, NamedKey(Key::kEscape)};
    Result inner = ParseEscape(bytes.substr(1));
    if (inner.parse == Parse::kIncomplete) return inner;
    inner.key.alt = true;
    return {inner.parse, inner.length + 1, inner.key};
  }
  // ESC before a character: Alt with it.
  Result inner = ParseAt(bytes.substr(1));
  if (inner.parse == Parse::kIncomplete) return inner;
  inner.key.alt = true;
  return {inner.parse, inner.length + 1, inner.key};
}
