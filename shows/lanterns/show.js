// Lanterns: fifty seconds of paper lanterns on a night river, a show made with the kit alone.
//
// Play it:     quorvel4-demo shows/lanterns            (add --window for a window of its own)
// Export it:   quorvel4-capture --show shows/lanterns --seed 1 --times 0:50000 --format mp4 --out lanterns.mp4
//
// The folder holds this script and the files it names: music.mp3 (120 BPM, made by
// tools/assets/make_lanterns_music.py), four PNG pictures (tools/assets/make_lanterns_pictures.py),
// sync.txt (the music's accents) and credits.txt (the closing lines). README.md says more.
//
// How a show runs: the program below declares the show (title, music, pictures, texts, sync
// points, tempo and the scene table) once. Then every frame the scene table is tried in order,
// and the first row whose window holds the music's time t (lower < t < upper, in milliseconds)
// draws. Most effects draw into the canvas, 160 x 100 pixels, which is converted into the 80 x 50
// cells after the scene, two by two pixels a cell, unless the scene returns true (it filled the
// cells itself). A cell shows as a tall 8 x 12 glyph, so a canvas pixel is 1.5 times taller than
// wide: round things are drawn 1.5 times wider than tall.
//
// Flashes: nothing here alternates light and dark quickly. The brightest moments are one soft
// glow on each of the music's accents, which are at least two seconds apart, and fades that take
// a second or more; `quorvel4-capture --format flashes` counts no second over three flashes.

Title("Lanterns");
Music("music.mp3");

// Pictures, by the names the scenes use. lantern.png and banner.png are keyed: their black
// pixels are see-through for BlitKeyedImage. banner.png is 480 x 100, three canvases wide.
Picture("title", "title.png");
Picture("lantern", "lantern.png");
Picture("banner", "banner.png");
Picture("moon", "moon.png");

// The music's accents (section starts, the riser, the last chord), as a sync file: a count, then
// a name line and a time for each point. FindSyncPoint and TimeToNextSyncPoint read them.
SyncPoints("sync.txt");

// 120 beats a minute, four rows a beat (sixteenth notes): Row(t) counts rows, so Row(t) / 4
// counts beats and Row(t) / 16 bars. The scenes change on bar lines, every BAR milliseconds.
Tempo(120, 4);
var BAR = 2000;  // one bar of four beats at 120 BPM
function bar(n) { return n * BAR; }
function beats(t) { return Row(t) / 4; }

// The closing lines, one a bar: "heading | detail" on each line of the file.
var CREDITS = Text("credits.txt").split("\n").filter(function (line) {
  return line.replace(/\s+/g, "") !== "";
}).map(function (line) {
  var parts = line.split("|");
  return { heading: parts[0].replace(/^\s+|\s+$/g, ""), detail: (parts[1] || "").replace(/^\s+|\s+$/g, "") };
});

// ------------------------------------------------------------------ helpers

// A canvas pixel is 0xBBGGRR; each channel is clamped to 0..255 and made whole.
function clamp255(v) { return v < 0 ? 0 : v > 255 ? 255 : v | 0; }
function rgb(r, g, b) { return clamp255(r) | clamp255(g) << 8 | clamp255(b) << 16; }

// Milliseconds since the last sync point before t (a large number before the first one).
function sinceSync(t) {
  var i = FindSyncPoint(t);
  return i < 0 ? 1000000 : t - SyncPointTime(i);
}

// Every pixel of the canvas moved towards a warm white by k (0: unchanged, 1: all white). Called
// with a k that jumps up once on a sync point and sinks back over 700 ms: one gentle glow per
// accent, never a strobe.
var GLOW_MS = 700;
function glowAfterSync(t) {
  var e = sinceSync(t);
  if (e >= GLOW_MS) return;
  var f = 1 - e / GLOW_MS;
  var k = 0.45 * f * f;
  // These passes run over all 16,000 pixels a frame, so they skip rgb(): each channel already
  // stays within 0..255, and `| 0` makes it whole.
  for (var i = 0; i < 16000; ++i) {
    var p = canvas[i];
    var r = p & 255, g = p >> 8 & 255, b = p >> 16 & 255;
    canvas[i] = (r + (255 - r) * k) | (g + (235 - g) * k) << 8 | (b + (190 - b) * k) << 16;
  }
}

// Every pixel of the canvas darkened to a share `level` (0: black, 1: as drawn).
function fadeCanvas(level) {
  if (level >= 1) return;
  if (level < 0) level = 0;
  for (var i = 0; i < 16000; ++i) {
    var p = canvas[i];
    canvas[i] = (p & 255) * level | ((p >> 8 & 255) * level) << 8 | ((p >> 16 & 255) * level) << 16;
  }
}

// Effects with a state of their own (the sparkles, the swarm) move one step per call. Stepping
// them by the music's time rather than once a frame keeps them at one speed at any frame rate.
function Stepper(stepMs, move) {
  var done = null;
  return function (t) {
    var due = Math.floor(t / stepMs);
    if (done === null) done = due - 1;
    for (; done < due; ++done) move();
  };
}
var stepSparkles = Stepper(80, MoveSparkles);
var stepSwarm = Stepper(20, MoveSwarm);

// A number from 0 to 1 out of a whole number, always the same: the river's fixed pattern comes
// from here rather than from Random(), so that the effects' random draws stay as they are.
function hash01(n) {
  n = (n ^ 61) ^ (n >>> 16);
  n = Math.imul(n, 9) >>> 0;
  n = n ^ (n >>> 4);
  n = Math.imul(n, 0x27d4eb2d) >>> 0;
  n = n ^ (n >>> 15);
  return (n >>> 0) / 4294967296;
}

// Text in the big font, centred, with a blue shadow one cell right and one down. `cell` is the
// attribute << 8 | character of every lit glyph pixel (0x0EDB: a full block in yellow).
function bigTextCentred(text, row, rise, cell) {
  var column = (SCREEN_WIDTH - 7 * text.length) / 2 | 0;
  DrawBigText(text, column + 1, row + 1, 0, rise, 0x01DB);
  DrawBigText(text, column, row, 0, rise, cell);
}

// ------------------------------------------------------------------ the river (our own effect)
//
// Night sky over water, with lanterns rising from the river and their broken reflections. It
// sets every pixel of the canvas each frame: the sky and water first, row colours worked out
// once, then each lantern and its reflection inside their own small boxes.

var HORIZON = 58;
var ROW_COLOUR = [];
(function () {
  for (var y = 0; y < CANVAS_HEIGHT; ++y) {
    var s;
    if (y < HORIZON) {
      s = y / HORIZON;  // deep blue at the top to purple at the far bank
      ROW_COLOUR.push([10 + 60 * s * s, 0, 60 + 60 * s]);
    } else {
      s = (y - HORIZON) / (CANVAS_HEIGHT - HORIZON);
      ROW_COLOUR.push([0, 20 - 10 * s, 90 - 50 * s]);
    }
  }
})();

var STARS = [];
for (var n = 0; n < 36; ++n) {
  STARS.push({ x: hash01(n * 3 + 1) * CANVAS_WIDTH | 0, y: hash01(n * 3 + 2) * (HORIZON - 8) | 0,
               phase: hash01(n * 3 + 3) * 6.283 });
}

// Each lantern: its column, how fast it climbs (pixels a second), where in its climb it starts
// and its colour. They rise from the far bank into the sky and start again.
var LANTERNS = [];
for (var m = 0; m < 8; ++m) {
  LANTERNS.push({ x: 12 + m * 19 + hash01(100 + m) * 10, speed: 5 + hash01(200 + m) * 4,
                  start: hash01(300 + m), warm: m % 3 });
}
var LANTERN_COLOURS = [[255, 170, 60], [255, 230, 90], [255, 130, 110]];
var CLIMB = HORIZON + 12;  // pixels from the far bank to just above the top

// One lantern of half-width r at (cx, cy), rows yMin to yMax only: a bright core, the paper and
// around it a glow reaching `halo` times its size (1: none), drawn over the canvas. `dim` scales
// it (the reflections are dimmer) and `ripple` shifts each row sideways as the waves do.
function drawLantern(cx, cy, r, colour, dim, halo, t, ripple, yMin, yMax) {
  var ry = r / 1.5;  // round on the screen
  var y0 = Math.max(yMin, Math.floor(cy - ry * halo)), y1 = Math.min(yMax, Math.ceil(cy + ry * halo));
  for (var y = y0; y <= y1; ++y) {
    var shift = ripple ? 2.5 * Math.sin(y * 0.9 + t * 0.004) : 0;
    if (ripple && (y >> 1) % 3 === 0) continue;  // broken by the waves, a row of cells in three
    var dy = (y - cy) / ry;
    var x0 = Math.max(0, Math.floor(cx + shift - r * halo)), x1 = Math.min(CANVAS_WIDTH - 1, Math.ceil(cx + shift + r * halo));
    for (var x = x0; x <= x1; ++x) {
      var dx = (x - cx - shift) / r;
      var d = dx * dx + dy * dy;
      if (d >= halo * halo) continue;
      var i = x + CANVAS_WIDTH * y;
      // the glow adds its light to what lies behind; a reflection is laid over the water, so
      // that it keeps the lantern's warm colour instead of mixing with the blue
      var p = ripple ? 0 : canvas[i];
      var k = d < 1 ? 1 : 0.35 * (halo * halo - d) / (halo * halo - 1);  // the paper, then the glow
      var core = d < 0.3 ? 1 : 0;
      canvas[i] = rgb((p & 255) + (colour[0] + 60 * core) * k * dim,
                      (p >> 8 & 255) + (colour[1] + 60 * core) * k * dim,
                      (p >> 16 & 255) + (colour[2] + 90 * core) * k * dim);
    }
  }
}

function drawRiver(t) {
  // the sky and the water, every pixel
  for (var y = 0; y < CANVAS_HEIGHT; ++y) {
    var c = ROW_COLOUR[y];
    var row = rgb(c[0], c[1], c[2]);
    for (var x = 0; x < CANVAS_WIDTH; ++x) canvas[x + CANVAS_WIDTH * y] = row;
  }
  // the far bank: a dark line of hills
  for (var x = 0; x < CANVAS_WIDTH; ++x) {
    var top = HORIZON - 3 - (2 * Math.sin(x * 0.11) + 1.5 * Math.sin(x * 0.37 + 1) | 0);
    for (var y = top; y < HORIZON + 1; ++y) canvas[x + CANVAS_WIDTH * y] = rgb(20, 0, 60);
  }
  // stars twinkling slowly, each at its own pace
  for (var s = 0; s < STARS.length; ++s) {
    var star = STARS[s];
    var b = 140 + 100 * Math.sin(t * 0.0015 + star.phase);
    canvas[star.x + CANVAS_WIDTH * star.y] = rgb(b, b, b + 20);
  }
  // the lanterns bob on the beat, a pixel up and down, as they climb
  var bob = Math.sin(beats(t) * Math.PI);
  for (var n = 0; n < LANTERNS.length; ++n) {
    var L = LANTERNS[n];
    var climbed = (L.start * CLIMB + t / 1000 * L.speed) % CLIMB;
    var cy = HORIZON - climbed + bob;
    var r = 2 + 6 * climbed / CLIMB;  // small far away at the bank, larger as they come up
    var colour = LANTERN_COLOURS[L.warm];
    drawLantern(L.x, cy, r, colour, 1, 2.2, t, false, 0, HORIZON - 1);
    // its reflection, foreshortened: half as far below the bank as the lantern is above it
    drawLantern(L.x, HORIZON + 3 + (HORIZON - cy) / 2, r, colour, 0.8, 1, t, true, HORIZON + 1, CANVAS_HEIGHT - 1);
  }
}

// ------------------------------------------------------------------ the scene table
//
// Scene(lower, upper, index, draw): draw(t, scene) runs for every frame with lower < t < upper;
// scene.lower and scene.upper are the row's bounds. Each section of the music is four bars.

// Sync tracks: values key-framed on the rows of Tempo, in sync_NAME.track files of this
// folder (docs/sync-tracks.md). track("title:fade") is the track's value at the frame's row;
// `quorvel4-demo --edit --sync 1338 shows/lanterns` edits them live from a sync-tracker, which
// groups them by the part before the colon. Their keys (tools/assets/make_lanterns_tracks.py):
//   title:fade    the intro's fade-in: 0 at row 0 rising linearly to 1 at row 20 (2.5 s)
//   lantern:sway  how far the rising lantern sways, in pixels: 1 at bar 2, smoothly to 4 at
//                 bar 3, then back to 2 at bar 4
//   banner:slide  how far the banner has slid, 0 to 1: eased in and out over bars 8 to 10

// Section 1, the intro. The title fades in over its first 2.5 s.
Scene(bar(0), bar(2), 0, function (t) {
  BlitImage("title");
  fadeCanvas(track("title:fade"));
});

// A lantern rises through the stars, swaying on the beat. Its picture's top row moves from 100
// pixels below the canvas (top = -100) to 60 pixels above it.
Scene(bar(2), bar(4), 1, function (t, scene) {
  var f = (t - scene.lower) / (scene.upper - scene.lower);
  DrawStarfield(idiv(t, 2));
  BlitKeyedImage("lantern", Math.round(track("lantern:sway") * Math.sin(beats(t) * Math.PI / 2)), Math.round(-100 + 160 * f));
});

// Section 2, the drums come in: our own river, with a glow on the downbeat.
Scene(bar(4), bar(8), 2, function (t) {
  drawRiver(t);
  glowAfterSync(t);
});

// Section 3, the theme: the string of lanterns (three canvases wide) slides its 320 pixels
// across the blue plasma, reaching its right end as the scene does, as the banner:slide track
// eases it.
Scene(bar(8), bar(10), 3, function (t) {
  DrawBluePlasma(idiv(t, 2));
  BlitKeyedImage("banner", Math.floor((PictureWidth("banner") - CANVAS_WIDTH) * track("banner:slide")), 0);
  glowAfterSync(t);
});

// The spiral draws straight into the cells, so the scene returns true: nothing to convert.
Scene(bar(10), bar(12), 4, function (t) {
  DrawSpiral(t);
  return true;
});

// Section 4, the breakdown: the big lantern hangs over fresh ripples, swaying once a bar. The
// ripples come in grey on black; a pass over every pixel turns them into brighter blue water.
function tintRipples() {
  for (var i = 0; i < 16000; ++i) {
    var v = canvas[i] & 255;
    if (v > 127) v = 127;  // twice as bright, and within 0..255 again
    canvas[i] = v | (10 + v * 1.6) << 8 | (70 + v * 1.4) << 16;
  }
}
Scene(bar(12), bar(14), 5, function (t, scene) {
  DrawWaterRipples(t - scene.lower);
  tintRipples();
  // the picture's row 44 at the canvas's top: only the lantern's lower half shows, its middle
  // moving two pixels up and down
  BlitKeyedImage("lantern", 0, 44 + Math.round(2 * Math.sin(beats(t) * Math.PI / 2)));
  glowAfterSync(t);
});

// The turning lattice and the swarm. From the riser's sync point on, the swarm hurries more and
// more as the next point (the full band) comes nearer: up to four extra steps a frame.
var RISER = 4;  // the index of "riser" in sync.txt (counting from 0)
Scene(bar(14), bar(16), 6, function (t) {
  DrawDotCube(t);
  var wait = TimeToNextSyncPoint(t);
  var hurry = FindSyncPoint(t) === RISER && wait > 0 ? Math.min(4, 4 - idiv(wait, 500)) : 0;
  stepSwarm(t);
  for (var i = 0; i < hurry; ++i) MoveSwarm();
  DrawSwarm();
});

// Section 5, the full band: the title in the big font over the plasma. The scene converts the
// canvas itself, then lays the text over the cells, so it returns true. The text slides in
// from the right over the first second, then sits, rising a row on every other beat.
Scene(bar(16), bar(18), 7, function (t, scene) {
  DrawPlasma(t);
  glowAfterSync(t);
  Convert2x2();
  var e = Math.min(1, (t - scene.lower) / 1000);
  var slide = Math.round(80 * (1 - e) * (1 - e));  // eases out
  var column = (SCREEN_WIDTH - 7 * 8) / 2 | 0;
  var rise = (Math.floor(beats(t)) & 1);
  DrawBigText("LANTERNS", column + 1 + slide, 20, 0, rise, 0x01DB);
  DrawBigText("LANTERNS", column + slide, 19, 0, rise, 0x0EDB);
  return true;
});

// The pinwheel, with the music's bar and beat written under it from Row(t).
Scene(bar(18), bar(20), 8, function (t) {
  DrawPinwheel(t);
  var b = Math.floor(beats(t));
  PrintAt(31, 47, " bar " + (idiv(b, 4) + 1) + "  beat " + (b % 4 + 1) + " ");
  return true;
});

// Section 6, the outro: the moon on gently moving water, the sparkles glittering on the water
// as silver glints, and one line of the credits a bar, rising into place at the bar's start.
var WATER_TOP = 64;  // the moon picture's water begins here
var GLINTS = new Uint32Array(CANVAS_WIDTH * (CANVAS_HEIGHT - WATER_TOP));
function glitterOnWater() {
  var from = CANVAS_WIDTH * WATER_TOP;
  for (var i = from; i < 16000; ++i) {
    var g = GLINTS[i - from];
    // the sparkle's light without its colour; only the brighter ones glint, laid half over
    var light = ((g & 255) + (g >> 8 & 255) + (g >> 16 & 255)) / 3;
    if (light < 140) continue;
    var p = canvas[i];
    canvas[i] = rgb(((p & 255) + light) / 2, ((p >> 8 & 255) + light) / 2, ((p >> 16 & 255) + light + 40) / 2);
  }
}

Scene(bar(20), bar(24), 9, function (t, scene) {
  // the sparkles first, on the empty canvas, kept aside; then the picture over the whole canvas
  stepSparkles(t);
  DrawSparkles();
  GLINTS.set(canvas.subarray(CANVAS_WIDTH * WATER_TOP));
  BlitImage("moon");                       // where the waves leave the top and bottom edges
  BlitWavyImage("moon", idiv(t, 3), 1.5);
  glitterOnWater();
  glowAfterSync(t);
  Convert2x2();
  var e = t - scene.lower;
  var line = CREDITS[Math.min(idiv(e, BAR), CREDITS.length - 1)];
  var risen = Math.round(12 * Math.min(1, e % BAR / 300));  // rows risen so far, up to 12
  bigTextCentred(line.heading, 26, risen, 0x0FDB);          // its top row: 26, then up to 14
  if (line.detail) PrintAt((SCREEN_WIDTH - line.detail.length) / 2 | 0, 29, line.detail);
  return true;
});

// The last scene, on the last chord: the title again, fading to black. Once it has run, the
// first frame outside every window (t >= 50000) ends the show.
Scene(bar(24), bar(25), 10, function (t, scene) {
  BlitImage("title");
  glowAfterSync(t);
  fadeCanvas((scene.upper - t) / 1400);
});
