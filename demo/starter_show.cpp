#include "demo/starter_show.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "demo/picture_encode.h"
#include "quorvel4/qmath.h"

namespace fs = std::filesystem;

namespace {

// The starter's picture: a ring of warm colours on black (the keyed blit leaves the black out),
// drawn 1.5 times wider than tall, as a cell of 2 x 2 pixels is a tall glyph on screen.
std::vector<uint8_t> LogoPixels(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = (x - width / 2.0) / 1.5, dy = y - height / 2.0;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (r < 22 || r > 40) continue;
      const double k = (r - 22) / 18;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = 255;
      p[1] = static_cast<uint8_t>(80 + 175 * k);
      p[2] = static_cast<uint8_t>(40 * (1 - k));
    }
  }
  return rgb;
}

}  // namespace

bool WriteStarterShow(const std::string& dir, std::string& error) {
  std::error_code code;
  if (fs::exists(dir, code)) {
    if (!fs::is_directory(dir, code)) {
      error = dir + " is not a folder";
      return false;
    }
    if (!fs::is_empty(dir, code)) {
      error = "the folder " + dir + " is not empty: a new show needs a new or empty folder";
      return false;
    }
  } else if (!fs::create_directories(dir, code)) {
    error = "cannot make the folder " + dir + ": " + code.message();
    return false;
  }
  // Joined as narrow strings, as the folder was given: on Windows a path's narrow form is UTF-8,
  // not the code page the command line and the C library speak.
  const std::string script = dir + "/show.js";
  std::ofstream out(script, std::ios::binary);
  out << StarterShowSource();
  out.close();
  if (!out) {
    error = "cannot write " + script;
    return false;
  }
  const int width = 160, height = 100;
  if (!WritePngFile(dir + "/logo.png", LogoPixels(width, height), width, height, error)) return false;
  return true;
}
