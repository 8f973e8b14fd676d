// Runs a fuzz target's LLVMFuzzerTestOneInput once on every file of the folders (or files)
// named, without a fuzzing engine: the seed corpus and every input that ever made the target
// fail, replayed in the ordinary test builds so that a fixed fault stays fixed. A failing
// input stops the run (the sanitizers' report or FUZZ_CHECK's) after its path is said.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path place = argv[i];
    std::error_code error;
    if (std::filesystem::is_directory(place, error)) {
      for (const auto& entry : std::filesystem::directory_iterator(place))
        // Dot files keep an empty folder in the repository; they are no inputs.
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".")) inputs.push_back(entry.path());
    } else if (std::filesystem::is_regular_file(place, error)) {
      inputs.push_back(place);
    } else {
      std::fprintf(stderr, "replay: no file or folder %s\n", argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const std::filesystem::path& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.eof() && file.fail()) {
      std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
      return 2;
    }
    // Said before the run, so that a crash is known by its input.
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
    // A copy of exactly the file's size: a read past its end is the sanitizer's to see.
    // An empty input is a valid pointer and no bytes, as the fuzzer gives it.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    static const uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &kNothing : data.data(), data.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
