// The cost of one whole frame of every scene: the scene's drawing, the conversion, the filters
// and overlays, and presenting, with the terminal encoding of the whole frame (the worst case:
// the encoder sends only changed cells, and here every cell counts as changed).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "demo/images.h"
#include "demo/show_session.h"
#include "demo/frame.h"
#include "demo/show_script.h"
#include "demo/timeline.h"
#include "quorvel4/console.h"
#include "quorvel4/terminal_encoder.h"

namespace {

// Pictures of a fixed pattern, written once to a scratch directory for the real start-up.
std::string WritePictures() {
  char name[] = "/tmp/qvl_bench_XXXXXX";
  const std::filesystem::path dir = mkdtemp(name);
  for (int id = 0; id < kImageCount; ++id) {
    const PictureFile& picture = PictureFileOf(static_cast<ImageId>(id));
    std::vector<uint8_t> bytes(static_cast<size_t>(picture.width) * picture.height * 3);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    FILE* file = std::fopen((dir / picture.fileName).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return dir.string();
}

// Encodes every presented frame whole, as the terminal back end would on its first frame.
class EncodingBackend : public HeadlessBackend {
 public:
  void Present(const Cell* cells) override {
    encoder_.Invalidate();
    benchmark::DoNotOptimize(encoder_.EncodeFrame(cells).size());
  }

 private:
  TerminalEncoder encoder_{ColorMode::kTrueColor};
};

// The session every program runs, started once on a scripted clock; the benchmarks then draw
// single frames of its show.
Show& PreparedShow() {
  static std::unique_ptr<ShowSession> session;
  if (session) return session->State();
  UseConsoleBackend(std::make_unique<EncodingBackend>());
  const std::string dir = WritePictures();
  session = std::make_unique<ShowSession>(
      ShowSettings{.seed = 2003, .times = std::vector<int32_t>{}, .dataDir = dir, .picturesRequired = true});
  std::string error;
  if (!session->Open(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  std::filesystem::remove_all(dir);
  return session->State();
}

// The built-in show's rows, read from its script.
std::vector<ShowSceneRow> BuiltInRows() {
  Show show;
  std::string error;
  if (!LoadBuiltInScript(show, "", error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  return show.script->Rows();
}

void BM_Frame(benchmark::State& state, int32_t t) {
  Show& show = PreparedShow();
  for (auto _ : state) {
    show.sceneIndex = 0;
    show.ended = false;
    RunFrame(t, show);
  }
}

// One benchmark per row of the table, at the middle of its window.
const bool registered = [] {
  for (const ShowSceneRow& window : BuiltInRows()) {
    const int32_t t = window.lower + (window.upper - window.lower) / 2;
    const std::string scene = window.index ? std::to_string(*window.index) : "caption";
    benchmark::RegisterBenchmark(("Frame/scene_" + scene + "/t_" + std::to_string(t)).c_str(), BM_Frame, t)
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
