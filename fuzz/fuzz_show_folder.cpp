// A show's folder as the programs load it: its show.js run (its declarations), then the files it
// names read (pictures in PNG or raw, texts, sync points). The input is the script, then files:
//   u16 script length, script bytes, then per file: u8 name length, name, u16 length, bytes
// (little-endian). A load either succeeds, with every picture whole, or fails with a message;
// it never crashes, never reads outside the folder and never runs for long (a short budget).
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "demo/show_folder.h"
#include "demo/show_script.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

uint16_t Length(FuzzBytes& bytes) {
  const uint16_t low = bytes.Byte();
  return static_cast<uint16_t>(low | bytes.Byte() << 8);
}

const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path path = fs::temp_directory_path() / ("qvl_fuzz_show_" + std::to_string(::getpid()));
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes bytes(data, size);
  const std::string script(bytes.Take(Length(bytes)));
  std::error_code code;
  for (const fs::directory_entry& entry : fs::directory_iterator(Folder(), code)) fs::remove_all(entry.path(), code);
  while (bytes.Left() > 0) {
    const std::string name(bytes.Take(bytes.Byte()));
    const std::string_view content = bytes.Take(Length(bytes));
    if (!IsShowFileName(name) || name.find('/') != std::string::npos) continue;
    std::ofstream(Folder() / name, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  ShowScript show;
  show.Engine().SetCallBudget(std::chrono::milliseconds(100));
  std::string error;
  if (!show.Load("show.js", script, ShowFolder(Folder().string()), error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  std::vector<std::string> unreadable;
  if (!show.ReadFiles(false, unreadable, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(unreadable.empty());
  for (const ShowPicture& picture : show.Pictures()) {
    FUZZ_CHECK(picture.width > 0 && picture.height > 0);
    FUZZ_CHECK(picture.pixels.size() == static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  }
  FUZZ_CHECK(!show.Rows().empty());
  return 0;
}
