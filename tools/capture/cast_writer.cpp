#include "cast_writer.h"

#include <cinttypes>
#include <cstdio>

#include "quorvel4/palette.h"

std::string JsonEscaped(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;  // UTF-8 passes through as it is
    }
  }
  return out;
}

namespace {

// The header's theme: the VGA colours in ANSI order, light grey on black.
std::string VgaTheme() {
  const auto hex = [](int console) {
    const Rgb& c = kVgaPalette[console];
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return std::string(text);
  };
  std::string palette;
  for (int ansi = 0; ansi < 16; ++ansi) {
    for (int console = 0; console < 16; ++console) {
      if (AnsiColorOf(console) != ansi) continue;
      if (ansi > 0) palette += ':';
      palette += hex(console);
    }
  }
  return ", \"theme\": {\"fg\": \"" + hex(7) + "\", \"bg\": \"" + hex(0) + "\", \"palette\": \"" + palette + "\"}";
}

}  // namespace

CastWriter::CastWriter(const std::string& path, const std::string& title, ColorMode mode)
    : FileFrameWriter(path), encoder_(mode) {
  if (!error.empty()) return;
  Put("{\"version\": 2, \"width\": 80, \"height\": 50, \"title\": \"" + JsonEscaped(title) +
      "\", \"env\": {\"TERM\": \"xterm-256color\"}" + (mode == ColorMode::kPalette ? VgaTheme() : std::string()) +
      "}\n");
}

bool CastWriter::PutEvent(int32_t time, std::string_view bytes) {
  // Whole milliseconds: three decimals are exact.
  const int64_t ms = static_cast<int64_t>(time) - start_;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%" PRId64 ".%03" PRId64 ", \"o\", \"", ms / 1000, ms % 1000);
  line_ = stamp;
  line_ += JsonEscaped(bytes);
  line_ += "\"]\n";
  return Put(line_);
}

bool CastWriter::Write(int32_t time, const Cell* cells) {
  if (first_) start_ = time;
  // The player's terminal: no cursor over the picture while it plays.
  const std::string_view bytes = encoder_.EncodeFrame(cells, first_ ? TerminalEncoder::ReplayStart() : std::string_view{});
  first_ = false;
  last_ = time;
  return bytes.empty() || PutEvent(time, bytes);
}

bool CastWriter::Finish() {
  // Plain colours and the cursor back below the picture at the end.
  if (!first_ && !PutEvent(last_, encoder_.ReplayEnd())) return false;
  return Close({});
}
