#include "progress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_primitives.h"

namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string MinutesSeconds(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

bool ProgressBarWanted() {
  const char* term = std::getenv("TERM");
  return StandardErrorIsTerminal() && !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

Progress::Progress(size_t frames, bool bar) : frames_(frames), bar_(bar) {}

void Progress::FrameDone() {
  ++done_;
  if (!bar_) return;
  const Clock::time_point now = Clock::now();
  if (done_ < frames_ && now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  const double share = frames_ == 0 ? 1.0 : static_cast<double>(done_) / frames_;
  const int filled = static_cast<int>(share * kBarWidth);
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  char line[160];
  std::snprintf(line, sizeof line, "[%s%s] %zu/%zu frames %3d%%  %s left", std::string(filled, '#').c_str(),
                std::string(kBarWidth - filled, '.').c_str(), done_, frames_, static_cast<int>(share * 100),
                MinutesSeconds(elapsed / share - elapsed).c_str());
  Draw(line);
}

void Progress::Finishing() {
  if (bar_) Draw("[" + std::string(kBarWidth, '#') + "] " + std::to_string(done_) + " frames, finishing the file");
}

void Progress::Draw(const std::string& line) {
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void Progress::Done(const std::string& what, double showSeconds) {
  Clear();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  std::fprintf(stderr, "quorvel4-capture: %zu frames, %.2f s of show, to %s in %.2f s (%.2fx real time)\n", done_, showSeconds,
              what.c_str(), elapsed, elapsed > 0 ? showSeconds / elapsed : 0.0);
  std::fflush(stderr);
}
