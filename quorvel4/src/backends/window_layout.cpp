#include "window_layout.h"

#include <algorithm>

#include "quorvel4/raster.h"

namespace {

// The picture scaled down to fit `width` x `height`, proportions kept (at least a pixel).
void ShrinkToFit(int width, int height, int* fitWidth, int* fitHeight) {
  // Compare the proportions in integers: width / height against 640 / 600.
  if (static_cast<long long>(width) * kRasterHeight <= static_cast<long long>(height) * kRasterWidth) {
    *fitWidth = width;
    *fitHeight = static_cast<int>(static_cast<long long>(width) * kRasterHeight / kRasterWidth);
  } else {
    *fitHeight = height;
    *fitWidth = static_cast<int>(static_cast<long long>(height) * kRasterWidth / kRasterHeight);
  }
  *fitWidth = std::max(*fitWidth, 1);
  *fitHeight = std::max(*fitHeight, 1);
}

// Whether k times the picture fills at least 80 % of the largest size that fits, that is
// k / min(width / 640, height / 600) >= 0.8, in integers.
bool WholeMultipleFillsEnough(int width, int height, int k) {
  return 4LL * width <= 5LL * k * kRasterWidth || 4LL * height <= 5LL * k * kRasterHeight;
}

}  // namespace

PictureRect FitPicture(int width, int height, bool sharpBlending) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const int multiple = std::min(width / kRasterWidth, height / kRasterHeight);
  PictureRect rect{0, 0, kRasterWidth * multiple, kRasterHeight * multiple, multiple >= 1, std::max(multiple, 1)};
  if (rect.wholeMultiple && sharpBlending && !WholeMultipleFillsEnough(width, height, multiple)) {
    rect.wholeMultiple = false;
    rect.enlarged = multiple + 1;  // the fitted scale lies strictly between two whole ones
  }
  if (!rect.wholeMultiple) ShrinkToFit(width, height, &rect.width, &rect.height);
  rect.x = (width - rect.width) / 2;
  rect.y = (height - rect.height) / 2;
  return rect;
}

void OpeningWindowSize(int width, int height, int* windowWidth, int* windowHeight) {
  if (width >= kRasterWidth && height >= kRasterHeight) {
    *windowWidth = kRasterWidth;
    *windowHeight = kRasterHeight;
    return;
  }
  ShrinkToFit(std::max(width, 1), std::max(height, 1), windowWidth, windowHeight);
}
