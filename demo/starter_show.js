// A show of your own. Edit this file, then play it:
//
//     quorvel4-demo .                # in this terminal (or --window)
//     quorvel4-capture --show . --times 0:20000 --format mp4 --out show.mp4
//
// A show is this folder: show.js and the files it names. The screen is 80 x 50 cells; most
// effects draw into the canvas, 160 x 100 pixels, which is converted into the cells after the
// scene unless the scene returns true. `quorvel4-demo --api-reference` lists every function.

Title("my first show");
// Music("music.mp3");           // an MP3 of this folder; without one the show runs on a silent clock
Picture("logo", "logo.png");     // any PNG of this folder, by the name the scenes use

// The scene table: Scene(from, to, index, draw). Every frame, the first row whose window holds
// the time t (in milliseconds, both bounds excluded) draws.
Scene(0, 6000, 0, function (t) {
  DrawPlasma(t);                 // a plasma over the whole canvas...
  BlitKeyedImage("logo");        // ...and the picture over it, its black pixels left out
});

Scene(6000, 12000, 1, function (t, scene) {
  DrawStarfield(t);
  Convert2x2();                  // the canvas into the cells now...
  DrawBigText("hello!", 80 - (t - scene.lower) / 20 | 0, 19, 0, 0, 0x0EDB);  // ...text over them
  return true;                   // this scene filled the cells itself
});

// An effect of your own: every pixel of the canvas, from the time. Locals are the engine's
// fastest values: the loop reads no global in its body, and works in whole numbers.
Scene(12000, 18000, 2, function (t) {
  var pixels = canvas, across = (t / 10) | 0, down = (t / 20) | 0, i = 0;
  for (var y = 0; y < 100; ++y) {
    for (var x = 0; x < 160; ++x) {
      pixels[i++] = ((x * 2 + across) & 255) | (x ^ y) << 8 | ((y * 3 - down) & 255) << 16;
    }
  }
});

// The last scene: once it has run, the show ends at the first frame outside every window.
Scene(18000, 20000, 3, function (t) { BlitJitteredImage("logo", idiv(t - 18000, 100)); });
