// The KVRT6 show: two minutes of effects on the music of 8920.mp3.
//
// This is the show the programs play when they are given no folder; it is built into them from
// this file. Copy the folder it lies in to start a show of your own (or run
// `quorvel4-demo --new DIR` for a smaller start), and see docs/shows.md.
//
// A scene is a row of the table: Scene(lower, upper, index, draw). Every frame the rows are tried
// in order, and the first whose window holds the music time t (lower < t < upper) draws. `draw`
// returns true when it filled the cells itself; otherwise the canvas is converted into the cells
// after it. The argument `scene` is the row's own window, so a scene that counts its time from
// its start reads its bounds there.

Title("[quenby] // [dralsk] | alt+enter for fullscreen ");
Music("8920.mp3");

// In the order they are read. Two are never drawn; they are read as the show always has.
Picture("ferrund_osmir", "ferrund_osmir_320x100.raw");
Picture("qo", "qo_160x100.raw");
Picture("varnel", "varnel_160x100.raw");
Picture("halvern_l", "halvern_l_160x100.raw");
Picture("halvern_r", "halvern_r_160x100.raw");
Picture("halvern2_l", "halvern2_l_160x100.raw");
Picture("halvern2_r", "halvern2_r_160x100.raw");
Picture("kvrtlogo_320", "kvrtlogo_320x100.raw");
Picture("kvrtlogo_640", "kvrtlogo_640x100.raw");
Picture("trelbo", "trelbo_160x100.raw");
Picture("osmir", "osmir_160x100.raw");
Picture("ferrund", "ferrund_160x100.raw");
Picture("dralsk", "dralsk_160x100.raw");
Picture("face", "face_160x100.raw");
Picture("face2", "face2_160x100.raw");
Picture("quenby", "quenby_160x100.raw");
Picture("zul", "zul_160x100.raw");

// The two texts that scroll over the closing scenes, with ten blanks at each end.
var BLANKS = "          ";
var CREDITS = BLANKS +
    "code // quenby and dralsk || " +
    "pixels // dralsk and mirelo || " +
    "music // tessarine and quenby || " +
    "sound engine // quenby || " +
    "font // oskvar || " +
    "support // the kvrt6 crew" + BLANKS;
var GREETINGS = BLANKS +
    "ablaze.bitfolk.cobalt.dune.ember.fjord.glimr.haxor.inkwell.jolt." +
    "kiln.lumen.moire.nullpoint.orbital.pixelfen.quark.raven.sine.tape." +
    "umbra.vector.wirefox.xeno.yarrow.zenith.copper.dotmatrix.lowfi.scanline" + BLANKS;

// The texts scroll while the music runs from the first text scene's start to the last one's end:
// each text's width in columns (7 a character) crosses that stretch, in whole milliseconds per
// column, and at least one (an empty text, too).
var TEXTS_FROM = 84006;
var TEXTS_UNTIL = 104891;
function scrollSpeed(text) {
  if (text.length === 0) return 1;
  return Math.max(idiv(TEXTS_UNTIL - TEXTS_FROM, text.length * 7), 1);
}
var CREDITS_SPEED = scrollSpeed(CREDITS);
var GREETINGS_SPEED = scrollSpeed(GREETINGS);

// Each text with a blue shadow one cell right and one down.
function scrollTexts(t) {
  var credits = (t - TEXTS_FROM) / CREDITS_SPEED | 0;
  var greetings = (t - TEXTS_FROM) / GREETINGS_SPEED | 0;
  DrawBigText(CREDITS, 1, 31, credits, 0, 0x11DB);
  DrawBigText(CREDITS, 0, 30, credits, 0, 0xFFDB);
  DrawBigText(GREETINGS, 1, 9, greetings, 0, 0x11DB);
  DrawBigText(GREETINGS, 0, 8, greetings, 0, 0xFFDB);
}

function odd(x) { return (x & 1) !== 0; }
function elapsed(t, scene) { return t - scene.lower; }

// A quick flicker between the two bit patterns.
function flickerPatterns(t) {
  if (odd(idiv(t, 2))) DrawXorPattern((t & 4) * 4);
  else DrawAndPattern((t & 4) * 2);
}

// One random colour behind the sparkles, which move on every 100 ms of music.
function sparkles(t) {
  if (t % 100 === 0) MoveSparkles();
  RandomFill();
  DrawSparkles();
}

// The closing scenes convert their canvas themselves and scroll the texts over it.
function convertWithTexts(t) {
  Convert2x2();
  scrollTexts(t);
  return true;
}

Scene(0, 701, 0, function (t) { BlitImage("qo"); });
Scene(701, 1356, 1, function (t) { BlitJitteredImage("qo", 2); });

// Still for the first second, then waving, the wave growing towards 8 pixels at the end.
Scene(1356, 3953, 2, function (t, scene) {
  var e = elapsed(t, scene);
  if (e < 1000) BlitImage("osmir");
  else BlitWavyImage("osmir", t, e * 8 / (scene.upper - scene.lower));
});

// Still for 400 ms, then shaking one pixel further every 250 ms.
Scene(3953, 6491, 3, function (t, scene) {
  BlitJitteredImage("varnel", idiv(Math.max(elapsed(t, scene) - 400, 0), 250));
});

// The picture shakes for the last 20 ms of every 160 ms.
Scene(6491, 8821, 4, function (t) {
  if (idiv(t, 4) % 40 >= 35) BlitJitteredImage("trelbo", 5);
  else BlitImage("trelbo");
});

// The logo, four canvases wide, slides across the window from its left end to its right end.
Scene(8821, 11134, 5, function (t, scene) {
  var f = Math.fround(elapsed(t, scene) / (scene.upper - scene.lower));
  DrawBluePlasma(idiv(t, 2));
  BlitKeyedImage("kvrtlogo_640", Math.floor((PictureWidth("kvrtlogo_640") - CANVAS_WIDTH) * f));
});

Scene(11134, 13425, 6, function (t) { DrawPinwheel(t); return true; });

// The picture behind the spiral goes to the canvas, which this scene never converts: it is
// drawn as the scene always drew it, and never seen. From 1431 to 1831 ms into the window the
// spiral flickers. (The window opens inside scene 6's, which is tried first: this scene is
// first seen at 13425.)
Scene(13245, 16086, 7, function (t, scene) {
  var e = elapsed(t, scene);
  if (e < 1431 || e > 1831) {
    BlitImage("halvern_r");
    DrawSpiral(t);
  } else if (odd(idiv(t, 2))) {
    DrawSpiral((t & 4) * 4);
  } else {
    DrawSpiral((t & 4) * 2);
  }
  return true;
});

Scene(16086, 17878, 8, function (t) { DrawSpiral(idiv(t, 3)); return true; });

// The xor filter lies over the shaken picture for the first 699 ms.
Scene(17878, 21063, 9, function (t, scene) {
  BlitJitteredImage("ferrund", 10);
  if (elapsed(t, scene) > 699) return false;
  Convert2x2();
  FilterXorTime(t);
  return true;
});

// From 5203 to 6398 ms into the window the ramp filter lies over the portrait.
Scene(21063, 28576, 10, function (t, scene) {
  var e = elapsed(t, scene);
  DrawPlasma(t);
  BlitKeyedImage("quenby");
  if (e < 5203 || e > 6398) return false;
  Convert2x2();
  FilterXorRamp(t);
  return true;
});

Scene(28576, 29909, 11, function (t) {
  DrawPlasma(3 * t);
  BlitKeyedImage("quenby");
  Convert2x2();
  FilterMask();
  return true;
});

Scene(29909, 32569, 12, function (t) { DrawPlasma(t); BlitKeyedImage("face"); });
Scene(32569, 33619, 13, function (t) { DrawStarfield(3 * t); BlitKeyedImage("face2"); });

var RIPPLES_FROM = 33619;  // the ripples begin; they run on under scene 16
Scene(RIPPLES_FROM, 34829, 14, function (t, scene) { DrawWaterRipples(elapsed(t, scene)); BlitKeyedImage("face"); });
Scene(34829, 35629, 15, function (t) { BlitJitteredImage("quenby", 40); });
Scene(35629, 39857, 16, function (t) { DrawWaterRipples(t - RIPPLES_FROM); BlitKeyedImage("dralsk"); });

Scene(39857, 43288, 17, function (t) { DrawTextLines(3 * t); return true; });
Scene(43288, 43588, 18, function (t) { DrawXorPattern(4 * t - 160000); });
Scene(43588, 46859, 19, function (t) { DrawTextLines(t); return true; });
Scene(46859, 49287, 20, function (t) { DrawSpiral(t); return true; });
Scene(49287, 51527, 21, function (t) { DrawXorPattern(8 * t); });
Scene(51527, 56937, 22, function (t) { DrawTextLines(3 * t); return true; });
Scene(56937, 57537, 23, function (t) { DrawEmblemTicker(2 * t); return true; });
Scene(57537, 61403, 24, function (t) { DrawEmblemTicker(t); DrawTextLines(t - 500); return true; });
Scene(61403, 61603, 25, function (t) { BlitImage(odd(idiv(t, 2)) ? "halvern2_r" : "halvern2_l"); });

// The shakes grow one pixel every 300 ms.
Scene(61603, 64079, 26, function (t, scene) { DrawPlasma(t); ShakeCanvas(idiv(elapsed(t, scene), 300)); });

Scene(64079, 71860, 27, function (t, scene) {
  var e = elapsed(t, scene);
  DrawBluePlasma(3 * t);
  ShakeCanvas(idiv(e, 155));
  Convert2x2();
  DrawBigText("noise!", 22, 18, 0, 0, 0xFFD8);
  FilterNoise(t);
  FilterBars(e);
  return true;
});

Scene(71860, 73007, 28, function (t, scene) { DrawPlasma(idiv(t, 10)); ShakeCanvas(idiv(elapsed(t, scene), 150)); });
Scene(73007, 74145, 29, function (t) {
  if (odd(idiv(t, 2))) BlitJitteredImage("halvern2_l", 5);
  else BlitImage("zul");
});
Scene(74145, 75445, 30, function (t, scene) { DrawCellNoise(elapsed(t, scene)); return true; });
Scene(75445, 76747, 31, function (t) {
  if (odd(idiv(t, 4))) BlitJitteredImage("zul", 4);
  else BlitImage("halvern2_r");
});

// The ripples come in already moving: their clock runs 1747 ms ahead of the window's.
Scene(76747, 78147, 32, function (t, scene) {
  var e = elapsed(t, scene);
  DrawWaterRipples(e + 1747);
  ShakeCanvas(idiv(e, 500));
});

Scene(78147, 78647, 33, function (t, scene) { DrawAndPattern(elapsed(t, scene)); });
Scene(78647, 79247, 34, sparkles);
Scene(79247, 80558, 35, function (t) { DrawAndPattern(2 * t); });
Scene(80558, 81821, 36, sparkles);

var CAROUSEL = ["halvern_r", "halvern_l", "halvern2_l", "halvern2_r"];
Scene(81821, 83536, 37, function (t) {
  if (odd(idiv(t, 4))) BlitJitteredImage("zul", 4);
  else BlitImage(CAROUSEL[idiv(t, 8) % 4]);
});

Scene(83536, TEXTS_FROM, 38, flickerPatterns);

Scene(TEXTS_FROM, 86772, 39, function (t) { DrawPlasma(t); return convertWithTexts(t); });

// The plasma runs backwards, reaching time 0 at the window's end.
Scene(86772, 90656, 40, function (t, scene) {
  DrawPlasma(2 * (scene.upper - t));
  Convert2x2();
  FilterXorTime(t);
  scrollTexts(t);
  return true;
});

Scene(90656, 91944, 41, function (t, scene) { DrawWaterRipples(idiv(elapsed(t, scene), 2)); return convertWithTexts(t); });

// The dot cube goes to the canvas, which this scene never converts: only the texts are seen.
// The call stays so that the cube's own state moves as the scene always had it.
Scene(91944, 95691, 42, function (t) { DrawDotCube(t * 100); scrollTexts(t); return true; });

// Two rows after scene 42 carry numbers of their own rather than 43 and 44, so that every scene
// after them keeps its number. The index only records the last scene, and the end rule looks
// for the last row's alone, so these numbers change nothing.
Scene(95691, 96299, 2042, function (t) { scrollTexts(t); FilterXorRamp(t); return true; });
Scene(96299, 97369, 1042, function (t) {
  flickerPatterns(t);
  Convert2x2();
  scrollTexts(t);
  if (odd(idiv(t, 2))) FilterInvert();
  return true;
});

Scene(97369, 101165, 43, function (t) {
  MoveSwarm();
  MoveSwarm();
  DrawSwarm();
  return convertWithTexts(t);
});

Scene(101165, 102110, 44, function (t, scene) { DrawDotCubeClose(elapsed(t, scene)); return convertWithTexts(t); });

// The close cube is drawn first and wiped by the starfield, which clears the canvas: the call
// stays for the cube's own state.
Scene(102110, TEXTS_UNTIL, 45, function (t, scene) {
  DrawDotCubeClose(elapsed(t, scene));
  DrawStarfield(t);
  return convertWithTexts(t);
});

Scene(TEXTS_UNTIL, 117485, 46, function (t, scene) { DrawCellNoise(elapsed(t, scene)); return true; });

// The last scene: once it has run, the first frame outside every window ends the show.
Scene(117485, 122397, 47, function (t) {
  DrawDotCube(t);
  for (var i = 0; i < 4; ++i) MoveSwarm();
  DrawSwarm();
});

// The closing caption leaves the scene index as it was, so the show ends after it.
Scene(122397, 123689, null, function (t) { DrawBigText(":) 2003", 15, 14, 0, 0, 0xFFD8); return true; });
