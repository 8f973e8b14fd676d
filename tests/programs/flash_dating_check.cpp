// Reads the frames of `quorvel4-capture --format cells` from standard input and prints, for
// each dating of a transition (at the frame that completes it, at its far extreme), the
// quarter-second slides of a one-second window with more than three flashes, the whole
// seconds they begin in, and the most flashes in any one second. Only luminance is read.
//
//   quorvel4-capture --seed 7 --times 0:123700 --format cells --out /dev/stdout --reduce-flashes |
//     flash_dating_check 0 123700 60 [every]
//
// The frame times are those capture gives T0:T1 at F frames a second: frame k at the show
// time nearest T0 + k / F seconds. "every": quarter-screen windows at every position, not only
// 25 of them, and 10-degree fields (27 x 17 cells) at every position.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../flash_dating_reader.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: flash_dating_check T0 T1 FPS [every] < cells\n");
    return 2;
  }
  const int64_t first = std::atoll(argv[1]), last = std::atoll(argv[2]), fps = std::atoll(argv[3]);
  FlashDatingReader reader(argc > 4 && std::strcmp(argv[4], "every") == 0);
  std::vector<uint8_t> bytes(kScreenCells * 2);
  std::vector<Cell> cells(kScreenCells);
  int64_t k = 0;
  for (;; ++k) {
    if (std::fread(bytes.data(), 1, bytes.size(), stdin) != bytes.size()) break;
    for (int i = 0; i < kScreenCells; ++i) cells[i] = static_cast<Cell>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    const int64_t time = first + (k * 2000 + fps) / (2 * fps);
    if (time > last) {
      std::fprintf(stderr, "flash_dating_check: more frames than T0:T1 holds\n");
      return 1;
    }
    reader.Take(static_cast<int32_t>(time), cells.data());
  }
  const FlashDatingReader::Reading reading = reader.Read();
  std::printf("%d frames\n", reader.Frames());
  const char* names[] = {"at completion", "at extreme"};
  for (int d = 0; d < FlashDatingReader::kDatings; ++d) {
    std::printf("%-13s  windows over three: %3d  most in one second: %.1f  seconds:", names[d], reading.windowsOver[d],
                reading.most[d] / 2.0);
    for (int s : reading.secondsOver[d]) std::printf(" %d", s);
    std::printf("\n");
  }
  return 0;
}
