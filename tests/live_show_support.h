// A live show in the test's own process: a folder holding a show, the frames its export
// shows, and the live show on a clock and a steady time of the test's own.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "demo/frame.h"
#include "demo/live_show.h"
#include "demo/show_session.h"
#include "demo_test_support.h"

inline uint64_t FrameHash(const std::vector<Cell>& cells) {
  uint64_t hash = 14695981039346656037u;
  for (const Cell cell : cells) hash = (hash ^ cell) * 1099511628211u;
  return hash;
}

// A folder with a show and its export's frames on the grid up to 6100 ms.
struct LiveFolder {
  ScratchDirectory scratch;
  std::filesystem::path dir = scratch.path() / "show";

  explicit LiveFolder(const std::string& script) {
    std::filesystem::create_directories(dir);
    Write(script);
  }
  void Write(const std::string& script) {
    // A save a moment after the last is still a change the watcher sees.
    namespace fs = std::filesystem;
    const fs::path file = dir / "show.js";
    const auto before = fs::exists(file) ? fs::last_write_time(file) : fs::file_time_type{};
    std::ofstream(file, std::ios::trunc) << script;
    if (fs::last_write_time(file) <= before) fs::last_write_time(file, before + std::chrono::seconds(1));
  }
  // time -> the frame an export of 0:time ends on.
  std::map<int32_t, uint64_t> Export() const {
    HeadlessBackend* screen = UseHeadlessConsole();
    std::vector<int32_t> times;
    for (int64_t k = 0, t; (t = GridFrameTime(0, k, 60)) <= 6100; ++k) times.push_back(static_cast<int32_t>(t));
    ShowSettings settings;
    settings.seed = 5;
    settings.times = times;
    settings.showDir = dir.string();
    ShowSession session(settings);
    std::string error;
    EXPECT_TRUE(session.Open(error)) << error;
    std::map<int32_t, uint64_t> frames;
    while (session.Step()) frames[session.Report().lastTime] = FrameHash(screen->LastFrame());
    return frames;
  }
};

inline ShowSettings SessionSettings(const std::string& dir, bool edit, LiveClock* clock) {
  ShowSettings settings;
  settings.seed = 5;
  settings.showDir = dir;
  settings.keysAreCommands = edit;
  settings.clock = clock;
  return settings;
}

// A live show on a clock and a steady time of the test's own: each Tick is 20 ms later.
struct Live {
  int64_t nanoseconds = 0;
  int64_t ms = 0;
  RealTimeClock clock{[this] { return nanoseconds; }};
  HeadlessBackend* screen = UseHeadlessConsole();
  ShowSession session;
  LiveShow show;

  Live(const std::string& dir, LiveSettings live)
      : session(SessionSettings(dir, live.edit, &clock)),
        show(session, live, [this] { return ms; }) {
    clock.Start();
    std::string error;
    EXPECT_TRUE(session.Open(error)) << error;
    EXPECT_TRUE(show.Begin(error)) << error;
  }
  bool Tick(int advanceMs = 20) {
    nanoseconds += int64_t{advanceMs} * 1000000;
    ms += advanceMs;
    return show.Tick();
  }
  uint64_t Shown() const { return FrameHash(screen->LastFrame()); }
  std::string TopLine(int length = 16) const {
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>(CellCharacter(screen->LastFrame()[i]));
    return text;
  }
};

