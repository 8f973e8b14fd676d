// What sync tracks cost: a call of track() (its name looked up, its keys searched, the value
// interpolated), a frame of the plasma with twenty tracks read against one with none, and how
// long a key set in an editor takes to reach the screen over a real loopback connection.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>

#include "demo/live_show.h"
#include "demo/sync_client.h"
#include "demo/show.h"
#include "demo/show_script.h"
#include "demo/show_session.h"
#include "quorvel4/console.h"
#include "quorvel4/sync_protocol.h"
#include "bench_support.h"
#include "../tests/scripted_editor.h"

namespace {

// A show of one scene whose body is `body`, with the tempo and the tracks it names; every track
// gets 64 keys of every interpolation.
std::unique_ptr<Show> TrackedShowOf(const std::string& body) {
  auto show = SceneShowOf(body, "Tempo(120, 4);\n");
  for (SyncTrack& track : show->script->MutableTracks())
    for (int32_t k = 0; k < 64; ++k)
      track.SetKey({k * 16, static_cast<float>(k % 7), static_cast<TrackInterpolation>(k % kTrackInterpolationCount)});
  return show;
}

void RunFrames(benchmark::State& state, Show& show) {
  int32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(show.script->RunScene(t, show.sceneIndex, show.ended, show.failure));
    t = t % 100000 + 17;
  }
  if (!show.failure.empty()) state.SkipWithError(show.failure.c_str());
}

// 1,000 calls a scene, against the same loop adding a number: the difference is the calls'.
void BM_TrackCalls(benchmark::State& state) {
  auto show = TrackedShowOf(state.range(0) ? "var s = 0; for (var i = 0; i < 1000; ++i) s += track('fx:speed');"
                                           : "var s = 0; for (var i = 0; i < 1000; ++i) s += i;");
  RunFrames(state, *show);
  state.counters["calls"] = benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TrackCalls)->ArgName("track")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The plasma with twenty tracks read and used, against the plasma alone.
void BM_PlasmaFrameWithTracks(benchmark::State& state) {
  std::string body = "var v = 0;";
  for (int i = 0; i < state.range(0); ++i) body += "v += track('fx:t" + std::to_string(i) + "');";
  body += "DrawPlasma(t + (v | 0));";
  auto show = TrackedShowOf(body);
  RunFrames(state, *show);
}
BENCHMARK(BM_PlasmaFrameWithTracks)->ArgName("tracks")->Arg(0)->Arg(20)->Unit(benchmark::kMicrosecond);

// From the moment an editor sends a SET_KEY to the first frame presented with its value, for 100
// keys sent at random moments, while the show plays (range 0) or stands paused at 5 s (range 1),
// where each key shows through a replay of the 300 frames before. The show runs its frame loop
// as the program does: a tick, then 10 ms of sleep.
void BM_SetKeyToFrame(benchmark::State& state) {
  const bool paused = state.range(0) != 0;
  char name[] = "/tmp/qvl_bench_XXXXXX";
  const std::filesystem::path folder = mkdtemp(name);
  std::ofstream(folder / "show.js") << "Tempo(120, 4);\nScene(0, 100000000, 1, function (t) {\n"
                                       "  DrawPlasma(t); Convert2x2(); PrintAt(0, 0, 'v=' + track('bench:value'));\n"
                                       "  return true;\n});\n";
  constexpr int kKeys = 100;
  std::vector<double> latencies;
  for (auto _ : state) {
    HeadlessBackend* screen = [] {
      auto backend = std::make_unique<HeadlessBackend>();
      HeadlessBackend* raw = backend.get();
      UseConsoleBackend(std::move(backend));
      return raw;
    }();
    ScriptedEditor editor;
    ShowSettings settings;
    settings.seed = 1;
    settings.showDir = folder.string();
    settings.keysAreCommands = true;
    ShowSession session(settings);
    std::string error;
    const auto steady = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
    LiveSettings live;
    live.edit = true;
    live.sync = SyncAddress{"127.0.0.1", editor.Port()};
    if (paused) live.startMs = 5000;
    LiveShow show(session, live, steady);
    if (!session.Open(error) || !show.Begin(error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> sent(kKeys), seen(kKeys);
    std::atomic<int> shownKeys{0};
    std::atomic<bool> over{false};
    std::thread editing([&] {
      std::mt19937 random(7);
      if (!editor.Accept(nullptr) || editor.Read(19, nullptr) != "hello, synctracker!") return;
      editor.Send("hello, demo!");
      editor.Read(5 + 11, nullptr);
      if (paused) editor.Send(Pause(true));
      for (int k = 0; k < kKeys && !over; ++k) {
        // The next key once the last one has shown, a random moment of the frame loop later.
        while (shownKeys < k && !over) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random)));
        sent[static_cast<size_t>(k)] = Clock::now();
        editor.Send(SetKey(0, 0, static_cast<float>(k + 1), 0));
      }
      while (!over) editor.ReadWaiting(), std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    int next = 0;
    while (next < kKeys && Clock::now() < deadline && show.Tick()) {
      std::string top;
      for (int i = 2; i < 8; ++i) top += static_cast<char>(CellCharacter(screen->LastFrame()[static_cast<size_t>(i)]));
      if (std::atoi(top.c_str()) == next + 1) {
        seen[static_cast<size_t>(next)] = Clock::now();
        shownKeys = ++next;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    over = true;
    editing.join();
    for (int k = 0; k < next; ++k)
      latencies.push_back(std::chrono::duration<double, std::milli>(seen[static_cast<size_t>(k)] - sent[static_cast<size_t>(k)]).count());
    if (next < kKeys) state.SkipWithError("not every key reached the screen");
  }
  std::filesystem::remove_all(folder);
  if (latencies.empty()) return;
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_ms"] = latencies[latencies.size() / 2];
  state.counters["worst_ms"] = latencies.back();
  state.counters["keys"] = static_cast<double>(latencies.size());
}
BENCHMARK(BM_SetKeyToFrame)->ArgName("paused")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A project's first burst: 50,000 keys over 20 tracks sent at once, as an editor answers the
// show's GET_TRACKs. Each poll takes what kMostBytesAPoll allows; the longest poll is what one
// frame pays for the network.
void BM_SyncClientTakesAFloodOfKeys(benchmark::State& state) {
  constexpr int kTracks = 20;
  constexpr int kKeys = 50000;
  std::vector<double> polls;
  for (auto _ : state) {
    ScriptedEditor editor;
    TcpAddress address;
    std::string error;
    if (!LookUpTcpAddress("127.0.0.1", editor.Port(), address, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    int64_t ms = 0;
    SyncClient client(address, [&] { return ms; });
    std::vector<SyncTrack> tracks;
    for (int i = 0; i < kTracks; ++i) tracks.emplace_back("fx:t" + std::to_string(i));
    const ScriptedEditor::Pump pump = [&] { client.Poll(tracks); };
    if (!editor.Accept(pump) || editor.Read(19, pump) != "hello, synctracker!" || !editor.Send("hello, demo!")) {
      state.SkipWithError("no greeting");
      break;
    }
    size_t asked = 0;
    for (const SyncTrack& track : tracks) asked += 5 + track.Name().size();
    editor.Read(asked, pump);
    std::string flood;
    for (int k = 0; k < kKeys; ++k) flood += SetKey(static_cast<uint32_t>(k % kTracks), static_cast<uint32_t>(k / kTracks), 0.5f * k, k % 4);
    std::thread sending([&] { editor.Send(flood); });
    size_t held = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (held < static_cast<size_t>(kKeys) && std::chrono::steady_clock::now() < deadline) {
      const auto start = std::chrono::steady_clock::now();
      client.Poll(tracks);
      polls.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      held = 0;
      for (const SyncTrack& track : tracks) held += track.Keys().size();
    }
    sending.join();
    if (held < static_cast<size_t>(kKeys)) state.SkipWithError("not every key came");
  }
  if (polls.empty()) return;
  std::sort(polls.begin(), polls.end());
  state.counters["polls"] = static_cast<double>(polls.size());
  state.counters["median_poll_ms"] = polls[polls.size() / 2];
  state.counters["longest_poll_ms"] = polls.back();
}
BENCHMARK(BM_SyncClientTakesAFloodOfKeys)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
