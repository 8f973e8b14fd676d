#include "terminal_input.h"

#include <algorithm>

#include "terminal_sequences.h"

namespace {

constexpr char kEsc = '\x1b';
constexpr char kBel = '\x07';
// Longer than any answer to the two questions: "ESC ] 4 ; 0 ; rgb:ffff/ffff/ffff ESC \"
// is 26 bytes, a device-attributes answer a few parameters.
constexpr size_t kMaxAnswer = 96;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The top 8 bits of one "h", "hh", "hhh" or "hhhh" component of an rgb: colour.
std::optional<uint8_t> Component(std::string_view hex) {
  if (hex.empty() || hex.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (const char c : hex) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  const unsigned max = (1u << (4 * hex.size())) - 1;
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// The entry N of "4;N;rgb:R/G/B" (the body of a palette answer), if one of the 16.
std::optional<int> PaletteEntry(std::string_view body) {
  if (body.size() < 4 || body.substr(0, 2) != "4;") return std::nullopt;
  int entry = 0;
  size_t at = 2;
  for (; at < body.size() && at < 5 && IsDigit(body[at]); ++at) entry = entry * 10 + (body[at] - '0');
  if (at == 2 || at >= body.size() || body[at] != ';' || entry > 15) return std::nullopt;
  return entry;
}

// "4;N;rgb:R/G/B" (the body of a palette answer) as a colour.
std::optional<Rgb> PaletteBody(std::string_view body) {
  const size_t colour = body.find("rgb:");
  if (colour == std::string_view::npos) return std::nullopt;
  std::string_view rest = body.substr(colour + 4);
  uint8_t parts[3];
  for (int k = 0; k < 3; ++k) {
    const size_t slash = k < 2 ? rest.find('/') : rest.size();
    if (slash == std::string_view::npos) return std::nullopt;
    const std::optional<uint8_t> value = Component(rest.substr(0, slash));
    if (!value) return std::nullopt;
    parts[k] = *value;
    rest = k < 2 ? rest.substr(slash + 1) : std::string_view{};
  }
  return Rgb{parts[0], parts[1], parts[2]};
}

}  // namespace

void TerminalInput::AwaitAnswers() {
  ++mPaletteRounds;
  ++mAttributesAwaited;
  mPalette = {};
}

bool TerminalInput::PaletteAnswered() const {
  return std::any_of(mPalette.begin(), mPalette.end(), [](const std::optional<Rgb>& entry) { return entry.has_value(); });
}

int TerminalInput::TakeAttributeAnswers() {
  const int answers = mAttributeAnswersUntaken;
  mAttributeAnswersUntaken = 0;
  return answers;
}

// Whether `bytes` starts with an awaited answer (kWhole, its `length`), could still become
// one with more bytes (kPrefix), or cannot (kNo).
TerminalInput::Match TerminalInput::Classify(std::string_view bytes, size_t* length) const {
  if (bytes.empty() || bytes[0] != kEsc || (mPaletteRounds == 0 && mAttributesAwaited == 0)) return Match::kNo;
  if (bytes.size() == 1) return Match::kPrefix;
  if (bytes[1] == ']' && mPaletteRounds > 0) {
    // ESC ] 4 ; ... ended by BEL or ESC backslash; printable bytes between.
    constexpr std::string_view kHead = seq::kOscPaletteEntry;
    const size_t head = bytes.size() < kHead.size() ? bytes.size() : kHead.size();
    if (bytes.substr(0, head) != kHead.substr(0, head)) return Match::kNo;
    for (size_t i = kHead.size(); i < bytes.size() && i < kMaxAnswer; ++i) {
      const char c = bytes[i];
      if (c == kBel) {
        *length = i + 1;
        return Match::kWhole;
      }
      if (c == kEsc) {
        if (i + 1 == bytes.size()) return Match::kPrefix;
        // ESC backslash ends it; some terminals (rxvt-unicode) end it with the ESC alone,
        // right before their answer to the next question.
        *length = bytes[i + 1] == '\\' ? i + 2 : i + 1;
        return Match::kWhole;
      }
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return Match::kNo;
    }
    return bytes.size() < kMaxAnswer ? Match::kPrefix : Match::kNo;
  }
  if (bytes[1] == '[' && mAttributesAwaited > 0) {
    // ESC [ ? digits and semicolons c: no key sends a question mark there.
    if (bytes.size() == 2) return Match::kPrefix;
    if (bytes[2] != '?') return Match::kNo;
    for (size_t i = 3; i < bytes.size() && i < kMaxAnswer; ++i) {
      if (bytes[i] == 'c') {
        *length = i + 1;
        return Match::kWhole;
      }
      if (!IsDigit(bytes[i]) && bytes[i] != ';') return Match::kNo;
    }
    return bytes.size() < kMaxAnswer ? Match::kPrefix : Match::kNo;
  }
  return Match::kNo;
}

void TerminalInput::Sort(int64_t nowMs) {
  while (!mHeld.empty()) {
    size_t length = 0;
    switch (Classify(mHeld, &length)) {
      case Match::kPrefix:
        return;
      case Match::kWhole: {
        const std::string_view answer = std::string_view(mHeld).substr(0, length);
        if (answer[1] == ']') {
          const size_t terminator = answer.back() == kBel || answer.back() == kEsc ? 1 : 2;
          // More answers may follow, one for each entry asked about, until the attributes'.
          const std::string_view body = answer.substr(2, answer.size() - 2 - terminator);
          const std::optional<int> entry = PaletteEntry(body);
          if (entry && !mPalette[*entry]) mPalette[*entry] = PaletteBody(body);
        } else {
          mAttributesAnswered = true;
          --mAttributesAwaited;
          ++mAttributeAnswersUntaken;
          // Answered in order: the palette's answers of the oldest round came before this.
          if (mPaletteRounds > 0) --mPaletteRounds;
        }
        mHeld.erase(0, length);
        mHeldSince = nowMs;
        break;
      }
      case Match::kNo:
        mKeys += mHeld[0];
        mHeld.erase(0, 1);
        mHeldSince = nowMs;
        break;
    }
  }
}

void TerminalInput::Feed(std::string_view bytes, int64_t nowMs) {
  // Patience counts from the newest byte: an answer trickling in over a slow link is waited for.
  if (!bytes.empty()) mHeldSince = nowMs;
  mHeld.append(bytes);
  Sort(nowMs);
}

void TerminalInput::Tick(int64_t nowMs) {
  while (!mHeld.empty() && nowMs - mHeldSince >= kPatienceMs) {
    // The beginning never became an answer: its first byte was a key; the rest is sorted again.
    mKeys += mHeld[0];
    mHeld.erase(0, 1);
    mHeldSince = nowMs;
    Sort(nowMs);
  }
}
