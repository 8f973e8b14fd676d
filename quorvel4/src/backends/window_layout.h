// Where the 640 x 600 picture goes in a window: pure arithmetic, kept apart from SDL so
// that it can be checked on its own.
#pragma once

struct PictureRect {
  int x, y, width, height;
  // True when every picture pixel covers a whole square of window pixels: then the picture
  // is drawn with nearest-neighbour sampling and stays as crisp as the original.
  bool wholeMultiple;
  // The whole multiple the picture is enlarged to with nearest-neighbour sampling before it
  // goes into the rectangle: the rectangle's own scale when wholeMultiple, otherwise the
  // next multiple above the fitted size (the enlarged picture is then blended down, which
  // leaves at most one blended pixel at each edge), or 1 for a picture shrunk below its size.
  int enlarged;
};

// Where the picture goes in an output of `width` x `height` pixels, centred, proportions kept.
// It is drawn at the largest whole multiple that fits when that fills at least 80 % of the
// largest size that fits; otherwise at that largest size, not whole. Without `sharpBlending`
// (no way to enlarge first) only whole multiples are used, and an output smaller than the
// picture gets it scaled down to fit.
PictureRect FitPicture(int width, int height, bool sharpBlending = true);

// The size a window opens with on a display whose usable area is `width` x `height`: the
// picture's own size, or less on a display too small for it.
void OpeningWindowSize(int width, int height, int* windowWidth, int* windowHeight);
