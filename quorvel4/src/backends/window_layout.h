// Where the 640 x 600 picture goes in a window: pure arithmetic, kept apart from SDL so
// that it can be checked on its own.
#pragma once

struct PictureRect {
  int x, y, width, height;
  // True when every picture pixel covers a whole square of window pixels: then the picture
  // is drawn with nearest-neighbour sampling and stays as crisp as the original.
  bool wholeMultiple;
};

// The largest whole multiple of the picture that fits into an output of `width` x `height`
// pixels, centred. An output smaller than the picture gets it scaled down to fit, its
// proportions kept, and not whole.
PictureRect FitPicture(int width, int height);

// The size a window opens with on a display whose usable area is `width` x `height`: the
// picture's own size, or less on a display too small for it.
void OpeningWindowSize(int width, int height, int* windowWidth, int* windowHeight);
