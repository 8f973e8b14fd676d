#include "demo/timeline.h"

#include <algorithm>
#include <array>

#include "demo/cell_filters.h"
#include "demo/scroll_texts.h"
#include "demo/show_script.h"
#include "effects/big_text.h"
#include "effects/bit_patterns.h"
#include "effects/blits.h"
#include "effects/cell_noise.h"
#include "effects/dot_cube.h"
#include "effects/emblem_ticker.h"
#include "effects/pinwheel.h"
#include "effects/plasma.h"
#include "effects/sparkles.h"
#include "effects/spiral.h"
#include "effects/starfield.h"
#include "effects/swarm.h"
#include "effects/text_lines.h"
#include "effects/water_ripples.h"
#include "quorvel4/random.h"

Pixel CanvasCopy[kCanvasPixels];

Show::Show() = default;
Show::~Show() = default;

namespace {

// A scene draws the frame at music time t and returns whether it filled the CellScreen itself.
// `window` is the scene's own row of the table: a scene that counts its time from its start
// or towards its end reads the bounds there, so each bound is written once, in the table.
using SceneAction = bool (*)(int32_t t, const SceneWindow& window, Show& show);

struct Scene {
  SceneWindow window;
  SceneAction action;
};

constexpr bool kConverted = true;
constexpr bool kLeftToLoop = false;

// Scenes whose start other scenes count from.
constexpr int32_t kRipplesScene = 14;    // the ripples begin; they run on under scene 16
constexpr int32_t kFirstTextScene = 39;  // the scrolling texts begin
constexpr int32_t kLastTextScene = 45;   // the last scene under the texts

// Two rows after scene 42 carry numbers of their own rather than 43 and 44, so that every
// scene after them keeps the number the rest of the show (kFirstTextScene, kLastTextScene, the
// tests) knows it by. SceneIndex only records the last scene, and the end rule looks for
// kLastScene alone, so these numbers change nothing.
constexpr int32_t kRampTextsScene = 2042;
constexpr int32_t kPatternTextsScene = 1042;

// The window of the scene numbered `sceneIndex` (defined with the table).
const SceneWindow& WindowOf(int32_t sceneIndex);

// Milliseconds since the scene's window opened.
int32_t Elapsed(int32_t t, const SceneWindow& window) { return t - window.lower; }

// How far t is through the window, 0 to 1, in double precision.
double Progress(int32_t t, const SceneWindow& window) {
  return double(Elapsed(t, window)) / double(window.upper - window.lower);
}

// Renderers whose time argument is a float take the integer time converted once.
float F(int32_t x) { return static_cast<float>(x); }
bool Odd(int32_t x) { return (x & 1) != 0; }

int32_t WidthOf(ImageId id) { return PictureFileOf(id).width; }
int32_t HeightOf(ImageId id) { return PictureFileOf(id).height; }

// A whole Canvas of the picture, from its left edge on.
void Blit(const Show& show, ImageId id) {
  BlitImage(show.images[id], Canvas, WidthOf(id), HeightOf(id), 0, 0, kCanvasWidth, kCanvasHeight);
}
void Keyed(const Show& show, ImageId id, int32_t left = 0) {
  BlitKeyedImage(show.images[id], Canvas, WidthOf(id), HeightOf(id), left, 0, kCanvasWidth, kCanvasHeight);
}
void Jitter(const Pixel* picture, int32_t maxShift) { BlitJitteredImage(picture, Canvas, maxShift); }
void Jitter(const Show& show, ImageId id, int32_t maxShift) { Jitter(show.images[id], maxShift); }

// The finished Canvas, shaken: copied aside, then drawn back over itself row by row.
void ShakeCanvas(int32_t maxShift) {
  std::copy(Canvas, Canvas + kCanvasPixels, CanvasCopy);
  Jitter(CanvasCopy, maxShift);
}

// A quick flicker between the two bit patterns.
void FlickerPatterns(int32_t t) {
  if (Odd(t / 2))
    DrawXorPattern((t & 4) * 4);
  else
    DrawAndPattern((t & 4) * 2);
}

// Flicker between a shaken picture and a still one.
bool ShakenOrStill(bool shaken, Show& show, ImageId shakenPicture, int32_t maxShift, ImageId stillPicture) {
  if (shaken)
    Jitter(show, shakenPicture, maxShift);
  else
    Blit(show, stillPicture);
  return kLeftToLoop;
}

// One random colour behind the sparkles, which move on every 100 ms of music.
bool SparklesScene(int32_t t, const SceneWindow&, Show&) {
  if (t % 100 == 0) MoveSparkles();
  RandomFill();
  DrawSparkles();
  return kLeftToLoop;
}

bool OpeningPicture(int32_t, const SceneWindow&, Show& show) {
  Blit(show, kQo);
  return kLeftToLoop;
}

bool ShakenOpening(int32_t, const SceneWindow&, Show& show) {
  Jitter(show, kQo, 2);
  return kLeftToLoop;
}

// Still for the first second, then waving, the wave growing towards 8 pixels at the window's
// end.
bool WavingPicture(int32_t t, const SceneWindow& window, Show& show) {
  if (Elapsed(t, window) < 1000) {
    Blit(show, kOsmir);
  } else {
    const float amplitude = static_cast<float>(double(Elapsed(t, window)) * 8.0 / double(window.upper - window.lower));
    BlitWavyImage(show.images[kOsmir], Canvas, WidthOf(kOsmir), HeightOf(kOsmir), t, amplitude);
  }
  return kLeftToLoop;
}

// Still for 400 ms, then shaking one pixel further every 250 ms.
bool GrowingShake(int32_t t, const SceneWindow& window, Show& show) {
  Jitter(show, kVarnel, std::max(Elapsed(t, window) - 400, 0) / 250);
  return kLeftToLoop;
}

// The picture shakes for the last 20 ms of every 160 ms.
bool ShakingPicture(int32_t t, const SceneWindow&, Show& show) { return ShakenOrStill((t / 4) % 40 >= 35, show, kTrelbo, 5, kTrelbo); }

// The logo, four Canvases wide, slides across the window from its left end to its right end.
bool LogoOverPlasma(int32_t t, const SceneWindow& window, Show& show) {
  const float f = static_cast<float>(Progress(t, window));
  DrawBluePlasma(F(t / 2));
  const int32_t travel = WidthOf(kKvrtLogo640) - kCanvasWidth;
  Keyed(show, kKvrtLogo640, static_cast<int32_t>(double(travel) * double(f)));
  return kLeftToLoop;
}

bool Pinwheel(int32_t t, const SceneWindow&, Show&) {
  DrawPinwheel(t);
  return kConverted;
}

// The picture behind the spiral goes to the Canvas, which this scene never converts: it is
// drawn as the scene's script says, and never seen. From 1431 to 1831 ms into the window the
// spiral flickers. (The window opens at 13245, inside scene 6's, which is tried first: this
// scene is first seen at 13425.)
bool SpiralFlicker(int32_t t, const SceneWindow& window, Show& show) {
  if (Elapsed(t, window) < 1431 || Elapsed(t, window) > 1831) {
    Blit(show, kHalvernR);
    DrawSpiral(t);
  } else if (Odd(t / 2)) {
    DrawSpiral((t & 4) * 4);
  } else {
    DrawSpiral((t & 4) * 2);
  }
  return kConverted;
}

bool SlowSpiral(int32_t t, const SceneWindow&, Show&) {
  DrawSpiral(t / 3);
  return kConverted;
}

// The xor filter lies over the shaken picture for the first 699 ms.
bool ShakenXorPicture(int32_t t, const SceneWindow& window, Show& show) {
  Jitter(show, kFerrund, 10);
  if (Elapsed(t, window) > 699) return kLeftToLoop;
  ConvertCanvas(show);
  FilterXorTime(t);
  return kConverted;
}

// From 5203 to 6398 ms into the window the ramp filter lies over the portrait.
bool PlasmaPortrait(int32_t t, const SceneWindow& window, Show& show) {
  DrawPlasma(F(t));
  Keyed(show, kQuenby);
  if (Elapsed(t, window) < 5203 || Elapsed(t, window) > 6398) return kLeftToLoop;
  ConvertCanvas(show);
  FilterXorRamp(t);
  return kConverted;
}

bool MaskedPortrait(int32_t t, const SceneWindow&, Show& show) {
  DrawPlasma(F(3 * t));
  Keyed(show, kQuenby);
  ConvertCanvas(show);
  FilterMask();
  return kConverted;
}

bool PlasmaFace(int32_t t, const SceneWindow&, Show& show) {
  DrawPlasma(F(t));
  Keyed(show, kFace);
  return kLeftToLoop;
}

bool StarsFace(int32_t t, const SceneWindow&, Show& show) {
  DrawStarfield(3 * t);
  Keyed(show, kFace2);
  return kLeftToLoop;
}

bool RipplesFace(int32_t t, const SceneWindow& window, Show& show) {
  DrawWaterRipples(Elapsed(t, window));
  Keyed(show, kFace);
  return kLeftToLoop;
}

bool ShakenPortrait(int32_t, const SceneWindow&, Show& show) {
  Jitter(show, kQuenby, 40);
  return kLeftToLoop;
}

// The ripples go on from where scene 14 started them.
bool RipplesLogo(int32_t t, const SceneWindow&, Show& show) {
  DrawWaterRipples(t - WindowOf(kRipplesScene).lower);
  Keyed(show, kDralsk);
  return kLeftToLoop;
}

bool FastTextLines(int32_t t, const SceneWindow&, Show&) {
  DrawTextLines(3 * t);
  return kConverted;
}

bool XorSweep(int32_t t, const SceneWindow&, Show&) {
  DrawXorPattern(4 * t - 160000);
  return kLeftToLoop;
}

bool TextLines(int32_t t, const SceneWindow&, Show&) {
  DrawTextLines(t);
  return kConverted;
}

bool Spiral(int32_t t, const SceneWindow&, Show&) {
  DrawSpiral(t);
  return kConverted;
}

bool FastXor(int32_t t, const SceneWindow&, Show&) {
  DrawXorPattern(8 * t);
  return kLeftToLoop;
}

bool FastEmblems(int32_t t, const SceneWindow&, Show&) {
  DrawEmblemTicker(2 * t);
  return kConverted;
}

bool EmblemsAndLines(int32_t t, const SceneWindow&, Show&) {
  DrawEmblemTicker(t);
  DrawTextLines(t - 500);
  return kConverted;
}

bool HalvernFlicker(int32_t t, const SceneWindow&, Show& show) {
  Blit(show, Odd(t / 2) ? kHalvern2R : kHalvern2L);
  return kLeftToLoop;
}

// The shakes grow one pixel every 300 ms.
bool ShakingPlasma(int32_t t, const SceneWindow& window, Show&) {
  DrawPlasma(F(t));
  ShakeCanvas(Elapsed(t, window) / 300);
  return kLeftToLoop;
}

bool NoiseCaption(int32_t t, const SceneWindow& window, Show& show) {
  DrawBluePlasma(F(3 * t));
  ShakeCanvas(Elapsed(t, window) / 155);
  ConvertCanvas(show);
  DrawBigText("noise!", 22, 18, 0, 0, 0xFFD8);
  FilterNoise(t);
  FilterBars(Elapsed(t, window));
  return kConverted;
}

bool SlowShakingPlasma(int32_t t, const SceneWindow& window, Show&) {
  DrawPlasma(F(t / 10));
  ShakeCanvas(Elapsed(t, window) / 150);
  return kLeftToLoop;
}

bool ZulFlicker(int32_t t, const SceneWindow&, Show& show) { return ShakenOrStill(Odd(t / 2), show, kHalvern2L, 5, kZul); }

bool EarlyCellNoise(int32_t t, const SceneWindow& window, Show&) {
  DrawCellNoise(Elapsed(t, window));
  return kConverted;
}

bool ZulHalvernFlicker(int32_t t, const SceneWindow&, Show& show) { return ShakenOrStill(Odd(t / 4), show, kZul, 4, kHalvern2R); }

// The ripples come in already moving: their clock runs 1747 ms ahead of the window's.
bool ShakingRipples(int32_t t, const SceneWindow& window, Show&) {
  DrawWaterRipples(Elapsed(t, window) + 1747);
  ShakeCanvas(Elapsed(t, window) / 500);
  return kLeftToLoop;
}

bool AndSweep(int32_t t, const SceneWindow& window, Show&) {
  DrawAndPattern(Elapsed(t, window));
  return kLeftToLoop;
}

bool FastAnd(int32_t t, const SceneWindow&, Show&) {
  DrawAndPattern(2 * t);
  return kLeftToLoop;
}

bool PictureCarousel(int32_t t, const SceneWindow&, Show& show) {
  if (Odd(t / 4)) {
    Jitter(show, kZul, 4);
    return kLeftToLoop;
  }
  static constexpr std::array<ImageId, 4> kPictures = {kHalvernR, kHalvernL, kHalvern2L, kHalvern2R};
  Blit(show, kPictures[(t / 8) % 4]);
  return kLeftToLoop;
}

bool PatternFlicker(int32_t t, const SceneWindow&, Show&) {
  FlickerPatterns(t);
  return kLeftToLoop;
}

// The closing scenes convert their Canvas themselves and scroll the texts over it.
bool ConvertWithTexts(int32_t t, Show& show) {
  ConvertCanvas(show);
  DrawScrollTexts(t, show);
  return kConverted;
}

bool PlasmaTexts(int32_t t, const SceneWindow&, Show& show) {
  DrawPlasma(F(t));
  return ConvertWithTexts(t, show);
}

// The plasma runs backwards, reaching time 0 at the window's end.
bool XorPlasmaTexts(int32_t t, const SceneWindow& window, Show& show) {
  DrawPlasma(F(2 * (window.upper - t)));
  ConvertCanvas(show);
  FilterXorTime(t);
  DrawScrollTexts(t, show);
  return kConverted;
}

bool RipplesTexts(int32_t t, const SceneWindow& window, Show& show) {
  DrawWaterRipples(Elapsed(t, window) / 2);
  return ConvertWithTexts(t, show);
}

// The dot cube goes to the Canvas, which this scene never converts: only the texts are seen.
// The call stays so that the cube's own state moves exactly as the scene's script has it.
bool HiddenCubeTexts(int32_t t, const SceneWindow&, Show& show) {
  DrawDotCube(t * 100);
  DrawScrollTexts(t, show);
  return kConverted;
}

bool RampTexts(int32_t t, const SceneWindow&, Show& show) {
  DrawScrollTexts(t, show);
  FilterXorRamp(t);
  return kConverted;
}

bool PatternTexts(int32_t t, const SceneWindow&, Show& show) {
  FlickerPatterns(t);
  ConvertCanvas(show);
  DrawScrollTexts(t, show);
  if (Odd(t / 2)) FilterInvert();
  return kConverted;
}

bool SwarmTexts(int32_t t, const SceneWindow&, Show& show) {
  MoveSwarm();
  MoveSwarm();
  DrawSwarm();
  return ConvertWithTexts(t, show);
}

bool CloseCubeTexts(int32_t t, const SceneWindow& window, Show& show) {
  DrawDotCubeClose(Elapsed(t, window));
  return ConvertWithTexts(t, show);
}

// The close cube is drawn first and wiped by the starfield, which clears the Canvas: the call
// stays for the cube's own state.
bool StarsTexts(int32_t t, const SceneWindow& window, Show& show) {
  DrawDotCubeClose(Elapsed(t, window));
  DrawStarfield(t);
  return ConvertWithTexts(t, show);
}

bool LateCellNoise(int32_t t, const SceneWindow& window, Show&) {
  DrawCellNoise(Elapsed(t, window));
  return kConverted;
}

bool CubeAndSwarm(int32_t t, const SceneWindow&, Show&) {
  DrawDotCube(t);
  for (int i = 0; i < 4; ++i) MoveSwarm();
  DrawSwarm();
  return kLeftToLoop;
}

bool ClosingCaption(int32_t, const SceneWindow&, Show&) {
  DrawBigText(":) 2003", 15, 14, 0, 0, 0xFFD8);
  return kConverted;
}

// In the order the windows are tried. Scene 7's window starts inside scene 6's, so scene 6
// takes every time up to 13424.
const Scene kScenes[] = {
    {{0, 701, 0}, OpeningPicture},
    {{701, 1356, 1}, ShakenOpening},
    {{1356, 3953, 2}, WavingPicture},
    {{3953, 6491, 3}, GrowingShake},
    {{6491, 8821, 4}, ShakingPicture},
    {{8821, 11134, 5}, LogoOverPlasma},
    {{11134, 13425, 6}, Pinwheel},
    {{13245, 16086, 7}, SpiralFlicker},
    {{16086, 17878, 8}, SlowSpiral},
    {{17878, 21063, 9}, ShakenXorPicture},
    {{21063, 28576, 10}, PlasmaPortrait},
    {{28576, 29909, 11}, MaskedPortrait},
    {{29909, 32569, 12}, PlasmaFace},
    {{32569, 33619, 13}, StarsFace},
    {{33619, 34829, kRipplesScene}, RipplesFace},
    {{34829, 35629, 15}, ShakenPortrait},
    {{35629, 39857, 16}, RipplesLogo},
    {{39857, 43288, 17}, FastTextLines},
    {{43288, 43588, 18}, XorSweep},
    {{43588, 46859, 19}, TextLines},
    {{46859, 49287, 20}, Spiral},
    {{49287, 51527, 21}, FastXor},
    {{51527, 56937, 22}, FastTextLines},
    {{56937, 57537, 23}, FastEmblems},
    {{57537, 61403, 24}, EmblemsAndLines},
    {{61403, 61603, 25}, HalvernFlicker},
    {{61603, 64079, 26}, ShakingPlasma},
    {{64079, 71860, 27}, NoiseCaption},
    {{71860, 73007, 28}, SlowShakingPlasma},
    {{73007, 74145, 29}, ZulFlicker},
    {{74145, 75445, 30}, EarlyCellNoise},
    {{75445, 76747, 31}, ZulHalvernFlicker},
    {{76747, 78147, 32}, ShakingRipples},
    {{78147, 78647, 33}, AndSweep},
    {{78647, 79247, 34}, SparklesScene},
    {{79247, 80558, 35}, FastAnd},
    {{80558, 81821, 36}, SparklesScene},
    {{81821, 83536, 37}, PictureCarousel},
    {{83536, 84006, 38}, PatternFlicker},
    {{84006, 86772, kFirstTextScene}, PlasmaTexts},
    {{86772, 90656, 40}, XorPlasmaTexts},
    {{90656, 91944, 41}, RipplesTexts},
    {{91944, 95691, 42}, HiddenCubeTexts},
    {{95691, 96299, kRampTextsScene}, RampTexts},
    {{96299, 97369, kPatternTextsScene}, PatternTexts},
    {{97369, 101165, 43}, SwarmTexts},
    {{101165, 102110, 44}, CloseCubeTexts},
    {{102110, 104891, 45}, StarsTexts},
    {{104891, 117485, 46}, LateCellNoise},
    {{117485, 122397, kLastScene}, CubeAndSwarm},
    {{122397, 123689, kKeepSceneIndex}, ClosingCaption},
};

const Scene* FindScene(int32_t t) {
  for (const Scene& scene : kScenes)
    if (scene.window.lower < t && t < scene.window.upper) return &scene;
  return nullptr;
}

const SceneWindow& WindowOf(int32_t sceneIndex) {
  for (const Scene& scene : kScenes)
    if (scene.window.sceneIndex == sceneIndex) return scene.window;
  return kScenes[0].window;  // not reached: every caller names a scene of the table
}

}  // namespace

// The texts start at the left edge when the first text scene opens. The quotient is worked
// out in floating point and truncated.
int32_t ScrollPosition(int32_t t, float speed) {
  return static_cast<int32_t>(double(t - WindowOf(kFirstTextScene).lower) / double(speed));
}

std::vector<SceneWindow> SceneWindows() {
  std::vector<SceneWindow> windows;
  for (const Scene& scene : kScenes) windows.push_back(scene.window);
  return windows;
}

bool RunScene(int32_t t, Show& show) {
  if (show.script) return show.script->RunScene(t, show.sceneIndex, show.ended, show.failure);
  const Scene* scene = FindScene(t);
  if (scene == nullptr) {
    if (show.sceneIndex == kLastScene)
      show.ended = true;
    else
      show.sceneIndex = kNoScene;
    return false;
  }
  const bool converted = scene->action(t, scene->window, show);
  if (scene->window.sceneIndex != kKeepSceneIndex) show.sceneIndex = scene->window.sceneIndex;
  return converted;
}

void ConvertCanvas(Show& show) {
  show.converter.ConvertCanvas();
}

void RandomFill() {
  // Three separate statements: the draws' order is fixed (the first one lands in bits 16-23).
  const Pixel high = static_cast<Pixel>(Random() % 256);
  const Pixel middle = static_cast<Pixel>(Random() % 256);
  const Pixel low = static_cast<Pixel>(Random() % 256);
  std::fill(Canvas, Canvas + kCanvasPixels, high * 65536 + middle * 256 + low);
}

void DrawScrollTexts(int32_t t, const Show& show) {
  const int32_t credits = ScrollPosition(t, show.creditsSpeed);
  const int32_t greetings = ScrollPosition(t, show.greetingsSpeed);
  DrawBigText(CreditsText, 1, 31, credits, 0, 0x11DB);
  DrawBigText(CreditsText, 0, 30, credits, 0, 0xFFDB);
  DrawBigText(GreetingsText, 1, 9, greetings, 0, 0x11DB);
  DrawBigText(GreetingsText, 0, 8, greetings, 0, 0xFFDB);
}

float ScrollSpeed(uint32_t length) {
  // The text's width in columns crosses the stretch of music under the texts. A text too short
  // or too long for that stretch still scrolls, one column per millisecond.
  const auto stretch = static_cast<uint32_t>(WindowOf(kLastTextScene).upper - WindowOf(kFirstTextScene).lower);
  const uint32_t columns = length * kBigTextColumns;
  if (columns == 0) return 1.0f;
  return static_cast<float>(std::max(stretch / columns, 1u));
}
