// Reads the frames of `quorvel4-capture --format cells` from standard input and prints, for
// luminance and for red as established flash analysers read them (tests/flash_established_reader.h),
// the seconds failing for too many flashes in one second and for four to six kept up, the most
// transitions any area had in one second, and the first area that had them.
//
//   quorvel4-capture --seed 7 --times 0:123700 --format cells --out /dev/stdout --reduce-flashes |
//     flash_established_check 0 123700 60
//
// The frame times are those capture gives T0:T1 at F frames a second: frame k at the show
// time nearest T0 + k / F seconds.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "../flash_established_reader.h"

namespace {

void PrintSeconds(const char* kind, const char* failure, const std::set<int>& seconds) {
  std::printf("%-9s  %-16s %3zu seconds:", kind, failure, seconds.size());
  for (int s : seconds) std::printf(" %d", s);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: flash_established_check T0 T1 FPS < cells\n");
    return 2;
  }
  const int64_t first = std::atoll(argv[1]), last = std::atoll(argv[2]), fps = std::atoll(argv[3]);
  // Its tables are too large for the stack of every platform.
  auto reader = std::make_unique<FlashEstablishedReader>();
  std::vector<uint8_t> bytes(kScreenCells * 2);
  std::vector<Cell> cells(kScreenCells);
  for (int64_t k = 0;; ++k) {
    if (std::fread(bytes.data(), 1, bytes.size(), stdin) != bytes.size()) break;
    for (int i = 0; i < kScreenCells; ++i) cells[i] = MakeCell(bytes[2 * i], bytes[2 * i + 1]);
    const int64_t time = first + (k * 2000 + fps) / (2 * fps);
    if (time > last) {
      std::fprintf(stderr, "flash_established_check: more frames than T0:T1 holds\n");
      return 1;
    }
    reader->Take(static_cast<int32_t>(time), cells.data());
  }
  const FlashEstablishedReader::Reading& reading = reader->Read();
  std::printf("%d frames\n", reader->Frames());
  const char* kinds[] = {"luminance", "red"};
  for (int kind = 0; kind < FlashEstablishedReader::kKinds; ++kind) {
    const FlashEstablishedReader::Area& a = reading.mostArea[kind];
    int most = 0;
    for (int n : reading.most[kind]) most = std::max(most, n);
    std::printf("%-9s  most in one second: %d", kinds[kind], most);
    if (most > 0)
      std::printf(" (%s %dx%d at %d,%d, %d ms)", FlashEstablishedReader::ShapeName(a.shape), a.w, a.h, a.x, a.y,
                  reading.mostTime[kind]);
    std::printf("\n");
    PrintSeconds(kinds[kind], "flash failure", reading.secondsFailing[kind][FlashEstablishedReader::kFlashFailure]);
    PrintSeconds(kinds[kind], "extended failure", reading.secondsFailing[kind][FlashEstablishedReader::kExtendedFailure]);
  }
  return 0;
}
