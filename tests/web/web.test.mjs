// The web page in headless Chromium: it loads cleanly, its stills equal the offline
// renderer's pictures pixel for pixel (the built-in show's and those of show folders, ?show=),
// and the live show follows the music's clock, ends on a key and survives fullscreen.
//
// Environment: QVL_WEB_DIST (the built page), QVL_CAPTURE (the offline renderer), QVL_DATA
// (the data directory), QVL_CHROMIUM (default /usr/bin/chromium).
import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { promisify } from "node:util";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import zlib from "node:zlib";
import puppeteer from "puppeteer-core";

const dist = process.env.QVL_WEB_DIST;
const capture = process.env.QVL_CAPTURE;
const dataDir = process.env.QVL_DATA;
const chromium = process.env.QVL_CHROMIUM || "/usr/bin/chromium";
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Serves the page; `replaced` maps a path to the bytes served instead of the file's, the
// paths in `missing` are not found, and `mounted` maps a path prefix (such as "/scratch/") to a
// folder served under it.
function startServer(root, replaced, missing, mounted) {
  const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
    const send = (status, body, type) => {
      response.writeHead(status, { "Content-Type": type || "application/octet-stream" });
      response.end(body);
    };
    if (missing.has(name)) return send(404, "");
    if (replaced.has(name)) return send(200, replaced.get(name));
    let folder = root, inside = name;
    for (const [prefix, mount] of mounted) {
      if (name.startsWith(prefix)) [folder, inside] = [mount, name.slice(prefix.length - 1)];
    }
    const file = path.join(folder, path.normalize(inside === "/" ? "/index.html" : inside));
    if (!file.startsWith(folder)) return send(403, "");
    fs.readFile(file, (error, body) => (error ? send(404, "") : send(200, body, types[path.extname(file)])));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// 8-bit RGB or RGBA PNGs as libpng writes them (any filter, no interlace).
function readPng(file) {
  const bytes = fs.readFileSync(file);
  let width = 0, height = 0, channels = 0;
  const idat = [];
  for (let at = 8; at < bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString("latin1", at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      assert.equal(body[8], 8, "8-bit PNG");
      channels = { 2: 3, 6: 4 }[body[9]];
      assert.ok(channels && body[12] === 0, "RGB or RGBA without interlace");
    } else if (type === "IDAT") {
      idat.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; ++x) {
      const value = raw[y * (stride + 1) + 1 + x];
      const left = x >= channels ? pixels[y * stride + x - channels] : 0;
      const up = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const upLeft = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let predicted = 0;
      if (filter === 1) predicted = left;
      else if (filter === 2) predicted = up;
      else if (filter === 3) predicted = (left + up) >> 1;
      else if (filter === 4) {
        const p = left + up - upLeft;
        const [a, b, c] = [Math.abs(p - left), Math.abs(p - up), Math.abs(p - upLeft)];
        predicted = a <= b && a <= c ? left : b <= c ? up : upLeft;
      }
      pixels[y * stride + x] = (value + predicted) & 0xff;
    }
  }
  return { width, height, channels, pixels };
}

// 8-bit RGBA PNGs, unfiltered: pictures for the shows the tests write.
const crcTable = Array.from({ length: 256 }, (_, n) => {
  for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
  return n >>> 0;
});
function pngBytes(width, height, rgba) {
  const chunk = (type, body) => {
    const bytes = Buffer.concat([Buffer.alloc(4), Buffer.from(type, "latin1"), body, Buffer.alloc(4)]);
    bytes.writeUInt32BE(body.length, 0);
    let crc = 0xffffffff;
    for (const byte of bytes.subarray(4, bytes.length - 4)) crc = crcTable[(crc ^ byte) & 0xff] ^ (crc >>> 8);
    bytes.writeUInt32BE((crc ^ 0xffffffff) >>> 0, bytes.length - 4);
    return bytes;
  };
  const header = Buffer.from([0, 0, 0, 0, 0, 0, 0, 0, 8, 6, 0, 0, 0]);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  const rows = [];
  for (let y = 0; y < height; ++y) rows.push(Buffer.from([0]), rgba.subarray(y * width * 4, (y + 1) * width * 4));
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk("IHDR", header),
                        chunk("IDAT", zlib.deflateSync(Buffer.concat(rows))), chunk("IEND", Buffer.alloc(0))]);
}

// The offline renderer's last picture for a seed and a time list: of the built-in show with the
// data folder, or with `source` ["--show", FOLDER] of that show.
async function capturedPicture(seed, times, extra = [], source = ["--data", dataDir]) {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), "qvl-capture-"));
  try {
    await promisify(execFile)(capture, ["--seed", String(seed), ...source, "--times", times, "--format", "png", "--out", out,
                                        ...extra]);
    const last = fs.readdirSync(out).sort().at(-1);
    return readPng(path.join(out, last));
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
}

// The canvas at 1:1, RGBA, carried out of the page as base64 (a plain array is slow to send).
async function canvasPixels(page) {
  return Buffer.from(await page.evaluate(() => {
    const canvas = document.getElementById("screen");
    const bytes = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let text = "";
    for (let at = 0; at < bytes.length; at += 0x8000) text += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
    return btoa(text);
  }), "base64");
}

function firstDifference(expected, rgba) {
  let count = 0, first = null;
  for (let i = 0; i < expected.width * expected.height; ++i) {
    for (let c = 0; c < 3; ++c) {
      if (expected.pixels[i * expected.channels + c] !== rgba[i * 4 + c]) {
        if (first === null) first = { x: i % expected.width, y: Math.floor(i / expected.width) };
        ++count;
        break;
      }
    }
  }
  return { count, first };
}

// The longest still (Lanterns, 1176 frames) draws in about 20 s on a quiet 2-core machine.
const kStillTimeout = 180000;

let browser, server, base, scratch;
const replaced = new Map();
const missing = new Set();
const mounted = new Map();

// Every page of the test, with what went wrong on it.
// `timeout`: how long the page may take to be ready, done or failed; a still draws all its frames
// first, which on a busy machine takes a while.
async function openPage(address, { reducedMotion = false, beforeLoad = null, timeout = 30000 } = {}) {
  const page = await browser.newPage();
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  if (reducedMotion) await page.emulateMediaFeatures([{ name: "prefers-reduced-motion", value: "reduce" }]);
  await page.setViewport({ width: 800, height: 700 });
  const problems = [];
  page.on("console", (message) => {
    // The test's own repeated read-backs of the canvas draw Chromium's advice to set
    // willReadFrequently: that one is not the page's.
    if (/willReadFrequently/.test(message.text())) return;
    if (message.type() === "error" || message.type() === "warn") problems.push(`${message.type()}: ${message.text()}`);
  });
  page.on("pageerror", (error) => problems.push(`page error: ${error.message}`));
  page.on("requestfailed", (request) => problems.push(`request failed: ${request.url()}`));
  page.on("response", (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  await page.goto(base + address);
  await page.waitForFunction(() => ["ready", "done", "failed"].includes(document.body.dataset.state), { timeout });
  return { page, problems, state: () => page.evaluate(() => document.body.dataset.state) };
}

const status = (page) => page.evaluate(() => ({ ...Module.qvlStatus }));

before(async () => {
  assert.ok(dist && capture && dataDir, "QVL_WEB_DIST, QVL_CAPTURE and QVL_DATA must be set");
  // Show folders the tests write, served beside the page as scratch/NAME/.
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), "qvl-shows-"));
  mounted.set("/scratch/", scratch);
  server = await startServer(path.resolve(dist), replaced, missing, mounted);
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), "qvl-chromium-")),
    args: ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           "--autoplay-policy=no-user-gesture-required"],
  });
});

after(async () => {
  await browser?.close();
  server?.close();
  if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
});

describe("the page", () => {
  test("loads without an error, titled as the show, waiting for a click", async () => {
    const { page, problems, state } = await openPage("index.html");
    assert.equal(await state(), "ready");
    assert.deepEqual(problems, []);
    // (document.title gives the title back without its trailing blank)
    assert.equal(await page.title(), "[quenby] // [dralsk] | alt+enter for fullscreen");
    assert.match(await page.$eval("#prompt", (e) => getComputedStyle(e).visibility), /visible/);
    // The loading lines, cell rows 4 and 5, stay up until the click; all else is black.
    const pixels = await canvasPixels(page);
    const litRows = new Set();
    for (let i = 0; i < 640 * 600; ++i) {
      if (pixels[i * 4] || pixels[i * 4 + 1] || pixels[i * 4 + 2]) litRows.add(Math.floor(i / 640 / 12));
    }
    assert.deepEqual([...litRows].sort(), [4, 5]);
    await page.close();
  });

  test("warns of flashing images and offers the gentle mode", async () => {
    const gentle = (page) => page.$eval("#reduce-flashes", (box) => box.checked);
    let { page, problems, state } = await openPage("index.html");
    assert.match(await page.$eval("#warning", (e) => e.textContent), /contains flashing images/);
    assert.equal(await gentle(page), false);
    // Ticking the box does not start the show.
    await page.click("#gentle");
    assert.equal(await gentle(page), true);
    assert.equal(await state(), "ready");
    assert.deepEqual(problems, []);
    await page.close();
    for (const [address, options, ticked] of [["index.html?reduce-flashes=1", {}, true],
                                               ["index.html", { reducedMotion: true }, true],
                                               ["index.html?reduce-flashes=0", { reducedMotion: true }, false]]) {
      ({ page } = await openPage(address, options));
      assert.equal(await gentle(page), ticked, `${address} ${JSON.stringify(options)}`);
      await page.close();
    }
  });

  test("reads the usual spellings of yes and no for the gentle mode, and the browser's preference otherwise", async () => {
    const gentle = (page) => page.$eval("#reduce-flashes", (box) => box.checked);
    const yes = ["1", "true", "yes", "YES", "on", "%201", "1%20", "=0&reduce-flashes=1", "no&reduce-flashes=yes"];
    const no = ["0", "false", "no", "Off", "yes&reduce-flashes=0"];
    const cases = [];
    for (const value of yes) cases.push([`index.html?reduce-flashes=${value}`, {}, true]);
    cases.push(["index.html?reduce-flashes", {}, true]);
    for (const value of no) cases.push([`index.html?reduce-flashes=${value}`, { reducedMotion: true }, false]);
    // Neither yes nor no: the browser's preference decides.
    for (const value of ["maybe", "2", "=0"]) {
      cases.push([`index.html?reduce-flashes=${value}`, { reducedMotion: true }, true]);
      cases.push([`index.html?reduce-flashes=${value}`, {}, false]);
    }
    for (const [address, options, ticked] of cases) {
      const { page } = await openPage(address, options);
      assert.equal(await gentle(page), ticked, `${address} ${JSON.stringify(options)}`);
      await page.close();
    }
  });

  test("says what is wrong with an address it does not understand", async () => {
    for (const [address, word] of [["?seed=abc&times=0:10:10", "seed"], ["?seed=1&times=20:10:5", "T0 <= T1"], ["?seed=1", "times"]]) {
      const { page, state } = await openPage("index.html" + address);
      assert.equal(await state(), "failed", address);
      assert.match(await page.$eval("#notice", (e) => e.textContent), new RegExp(word), address);
      await page.close();
    }
  });
  test("says what failed and what to do when its WebAssembly cannot load", async () => {
    const noticeSays = async (page) => {
      await page.waitForFunction(() => document.body.dataset.state === "failed" &&
                                       document.getElementById("notice").textContent !== "", { timeout: 30000 });
      return page.$eval("#notice", (e) => e.textContent);
    };
    missing.add("/index.wasm");
    try {
      const { page } = await openPage("index.html");
      const notice = await noticeSays(page);
      assert.match(notice, /index\.wasm is missing beside this page \(HTTP 404\)/);
      assert.match(notice, /the whole folder/);
      await page.close();
    } finally {
      missing.clear();
    }
    // The script that holds the page's own code, missing or failing: named all the same.
    for (const [file, body, says] of [["/index.js", null, /index\.js is missing beside this page \(HTTP 404\)/],
                                      ["/index.js", "throw new Error('a broken download');",
                                       /index\.js failed: .*a broken download/]]) {
      if (body === null) missing.add(file);
      else replaced.set(file, body);
      try {
        const { page } = await openPage("index.html");
        assert.match(await noticeSays(page), says);
        await page.close();
      } finally {
        missing.clear();
        replaced.clear();
      }
    }
    const page = await browser.newPage();
    await page.goto("file://" + path.resolve(dist, "index.html"));
    const notice = await noticeSays(page);
    assert.match(notice, /Serve this folder over HTTP/);
    assert.match(notice, /index\.wasm/);
    await page.close();
  });
});

// Inside scenes of cell noise, text lines, the dot cube, the swarm, pictures, sparkles and the
// scroll texts first, then the plasma and the water ripples (which use sin and cos). The
// second seed takes the scenes that draw random numbers.
const timeLists = {
  1: ["74200:74600:20", "39900:40300:20", "101200:101600:25", "117500:117900:20", "6700:6900:20",
      "78700:79200:50", "84100:84500:40", "21100:21400:20", "33650:34000:25"],
  12345: ["74200:74600:20", "117500:117900:20", "78700:79200:50", "33650:34000:25", "4400:4600:20"],
};

describe("stills equal the offline renderer's pictures", () => {
  for (const [seed, lists] of Object.entries(timeLists)) {
    for (const times of lists) {
      test(`seed ${seed}, times ${times}`, async (t) => {
        const captured = capturedPicture(seed, times);
        const { page, problems, state } = await openPage(`index.html?seed=${seed}&times=${times}`, { timeout: kStillTimeout });
        assert.equal(await state(), "done");
        assert.deepEqual(problems, []);
        const expected = await captured;
        const { count, first } = firstDifference(expected, await canvasPixels(page));
        assert.equal(count, 0, `${count} pixels differ, the first at ${JSON.stringify(first)}`);
        const { frames, scriptMs } = await status(page);
        t.diagnostic(`${frames} frames, ${(scriptMs / frames).toFixed(2)} ms of script per frame`);
        await page.close();
      });
    }
  }
});

describe("the gentle mode", () => {
  test("a still equals the offline renderer's in the gentle mode, frames held and all", async () => {
    const times = "81000:82000:17";
    const captured = capturedPicture(1, times, ["--reduce-flashes"]);
    const { page, problems, state } = await openPage(`index.html?seed=1&times=${times}&reduce-flashes=1`);
    assert.equal(await state(), "done");
    assert.deepEqual(problems, []);
    const { count, first } = firstDifference(await captured, await canvasPixels(page));
    assert.equal(count, 0, `${count} pixels differ, the first at ${JSON.stringify(first)}`);
    assert.ok((await status(page)).held > 0, "no frame was held in the show's most flashing second");
    await page.close();
  });

  test("the live show starts in the gentle mode when the box is ticked", async () => {
    const { page, problems } = await openPage("index.html", { reducedMotion: true });
    await page.mouse.click(400, 350);
    await page.waitForFunction(() => document.body.dataset.state === "running" && Module.qvlStatus?.time > 0, { timeout: 30000 });
    assert.equal(typeof (await status(page)).held, "number");
    await page.keyboard.press("x");
    await page.waitForFunction(() => document.body.dataset.state === "ended", { timeout: 5000 });
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("the live show", () => {
  test("follows the music's clock, survives fullscreen and ends on a key", async (t) => {
    const { page, problems, state } = await openPage("index.html");
    await page.mouse.click(400, 350);
    await page.waitForFunction(() => document.body.dataset.state === "running" && Module.qvlStatus?.time > 0, { timeout: 30000 });
    assert.equal(await page.evaluate(() => Module.qvlMusic.decoded), "ready");
    assert.equal((await status(page)).held, null, "the gentle mode is on without being asked for");

    // The clock advances, never back, and the scenes change with it.
    const seen = [];
    while (seen.length < 40 && (seen.at(-1)?.time ?? 0) < 2500) {
      seen.push(await status(page));
      await sleep(50);
    }
    for (let i = 1; i < seen.length; ++i) assert.ok(seen[i].time >= seen[i - 1].time, "the clock went back");
    assert.ok(seen.at(-1).time > seen[0].time, "the clock stood still");
    assert.ok(new Set(seen.map((s) => s.scene)).size >= 2, `one scene only: ${JSON.stringify(seen.at(-1))}`);

    // With the audio held, the clock holds too: it is the music's position, not the wall's.
    await page.evaluate(() => Module.qvlMusic.context.suspend());
    await sleep(200);
    const held = await status(page);
    await sleep(400);
    const stillHeld = await status(page);
    assert.equal(stillHeld.time, held.time, "the clock ran on while the audio was suspended");
    assert.ok(stillHeld.frames > held.frames, "frames stopped while the audio was suspended");
    await page.evaluate(() => Module.qvlMusic.context.resume());
    await page.waitForFunction((time) => Module.qvlStatus.time > time, { timeout: 10000 }, held.time);

    // Fullscreen and modifier keys are not "a key".
    await page.keyboard.press("F11");
    await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 });
    await page.keyboard.press("Shift");
    await page.mouse.click(400, 350, { count: 2 });
    await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 5000 });
    await page.keyboard.down("Alt");
    await page.keyboard.press("Enter");
    await page.keyboard.up("Alt");
    await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 });
    const beforeKey = await status(page);
    await page.waitForFunction((frames) => Module.qvlStatus.frames > frames + 5, { timeout: 10000 }, beforeKey.frames);
    assert.equal(await state(), "running");

    // A key ends the show; the last frame stays.
    await page.keyboard.press("x");
    await page.waitForFunction(() => document.body.dataset.state === "ended", { timeout: 5000 });
    const last = await status(page);
    const picture = await canvasPixels(page);
    await sleep(300);
    assert.equal((await status(page)).frames, last.frames, "frames went on after the key");
    assert.ok(picture.equals(await canvasPixels(page)), "the last frame did not stay");
    assert.ok(picture.some((value, i) => i % 4 !== 3 && value !== 0), "the last frame is black");
    assert.equal(await page.evaluate(() => Module.qvlMusic.context.state), "closed");
    assert.deepEqual(problems, []);
    t.diagnostic(`${last.frames} frames, ${(last.scriptMs / last.frames).toFixed(2)} ms of script per frame ` +
                 `(the longest ${last.maxScriptMs.toFixed(2)} ms)`);
    await page.close();
  });

  test("plays silently, and says so once, without Web Audio", async () => {
    const withoutAudio = [() => { delete window.AudioContext; delete window.webkitAudioContext; },
                          () => { window.AudioContext = function () { throw new Error("no audio device"); }; }];
    for (const beforeLoad of withoutAudio) {
      const { page, state, problems } = await openPage("index.html", { beforeLoad });
      assert.equal(await state(), "ready");
      await page.keyboard.press("Space");
      await page.waitForFunction(() => document.body.dataset.state === "running" && Module.qvlStatus?.time > 500,
                                 { timeout: 15000 });
      const notice = await page.$eval("#notice", (e) => e.textContent);
      assert.equal(notice.match(/the show plays silently/g)?.length, 1, notice);
      assert.deepEqual(problems, []);
      await page.close();
    }
  });

  test("plays on a steady clock, and says so, when the music cannot be decoded", async () => {
    replaced.set("/data/8920.mp3", Buffer.alloc(4096, 0x5a));
    try {
      const { page, state } = await openPage("index.html");
      assert.equal(await state(), "ready");
      await page.waitForFunction(() => Module.qvlMusic.decoded === "failed", { timeout: 10000 });
      assert.match(await page.$eval("#notice", (e) => e.textContent), /could not be decoded/);
      await page.keyboard.press("Space");
      await page.waitForFunction(() => document.body.dataset.state === "running" && Module.qvlStatus?.time > 800,
                                 { timeout: 15000 });
      assert.ok((await status(page)).scene >= 1, "the show did not move past its first scene");
      await page.close();
    } finally {
      replaced.clear();
    }
  });
});

// The page's still of the show folder at `showPath` (relative to the page, such as
// shows/NAME/) against quorvel4-capture --show of the same folder on disk, by default the site's
// own copy: one call for any show the site holds. Returns the page's status record.
async function assertShowStillEqualsCapture(t, showPath, seed, times, folder = path.join(dist, showPath)) {
  const captured = capturedPicture(seed, times, [], ["--show", folder]);
  const { page, problems, state } = await openPage(`index.html?show=${showPath}&seed=${seed}&times=${times}`,
                                                   { timeout: kStillTimeout });
  try {
    const notice = await page.$eval("#notice", (e) => e.textContent);
    assert.equal(await state(), "done", notice);
    assert.deepEqual(problems, []);
    const { count, first } = firstDifference(await captured, await canvasPixels(page));
    assert.equal(count, 0, `${showPath} seed ${seed} times ${times}: ${count} pixels differ, the first at ${JSON.stringify(first)}`);
    const record = await status(page);
    t.diagnostic(`${showPath} times ${times}: ${record.frames} frames, ${(record.scriptMs / record.frames).toFixed(2)} ms of script per frame`);
    return { ...record, title: await page.title() };
  } finally {
    await page.close();
  }
}

// Writes a show folder under the test server's scratch/ folder; `files` maps a name inside the
// folder to its contents. Returns the folder and its path beside the page.
function writeShow(name, files) {
  const folder = path.join(scratch, name);
  for (const [file, body] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(folder, file)), { recursive: true });
    fs.writeFileSync(path.join(folder, file), body);
  }
  return { folder, showPath: `scratch/${name}/` };
}

// What quorvel4-capture says when it cannot render the folder, with the folder named as the
// page names it and without the program's prefix.
async function captureComplaint(folder, showPath) {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), "qvl-capture-"));
  const failure = await promisify(execFile)(capture, ["--seed", "1", "--show", folder, "--times", "0:100:50", "--format", "png",
                                                      "--out", out])
    .then(() => null, (error) => error)
    .finally(() => fs.rmSync(out, { recursive: true, force: true }));
  assert.ok(failure, `quorvel4-capture rendered ${folder}`);
  return failure.stderr.trim().replace(/^quorvel4-capture: /, "").replaceAll(folder, showPath.replace(/\/$/, ""));
}

// A picture with every kind of pixel the keyed blit meets: colours, black, and transparent.
function testPicture(width, height) {
  const rgba = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const at = (y * width + x) * 4;
      const hole = (x + y) % 7 === 0, black = x % 9 === 4;
      rgba.set(black ? [0, 0, 0, 255] : [x * 6 & 255, y * 8 & 255, (x ^ y) * 5 & 255, hole ? 0 : 255], at);
    }
  }
  return pngBytes(width, height, rgba);
}

// The picture's name is in the text file, so the page learns of it only in its second round.
const lanternScript = `Title("a show of the tests");
var lines = Text("texts/list.txt").split("\\n");
Picture("logo", lines[0]);
var greeting = lines[1];
Scene(0, 1000, 0, function (t) {
  DrawPlasma(t);
  BlitKeyedImage("logo", 10, 20);
});
Scene(1000, 3000, 1, function (t, scene) {
  DrawBluePlasma(t);
  BlitKeyedImage("logo", (t - scene.lower) / 40 | 0, 30);
  Convert2x2();
  DrawBigText(greeting, 2 + Random() % 8, 20, 0, 0, 0x0EDB);
  PrintAt(0, 0, greeting);
  return true;
});
`;

function writeLampsShow(name) {
  return writeShow(name, {
    "show.js": lanternScript,
    "texts/list.txt": "pics/logo.png\nhello, web",
    "pics/logo.png": testPicture(45, 30),
  });
}

describe("a show folder of one's own, ?show=PATH/", () => {
  test("its stills equal the offline renderer's, with a PNG picture and a text file that names it", async (t) => {
    const { folder, showPath } = writeLampsShow("lamps");
    for (const [seed, times] of [[1, "0:2000:1000"], [7, "200:800:200"], [12345, "1500:2900:700"]]) {
      const { title } = await assertShowStillEqualsCapture(t, showPath, seed, times, folder);
      assert.equal(title, "a show of the tests");
    }
  });

  test("plays live on a steady clock without music, and ends after its last scene", async () => {
    const { showPath } = writeLampsShow("lamps-live");
    const { page, problems, state } = await openPage(`index.html?show=${showPath}`);
    assert.equal(await state(), "ready");
    assert.equal(await page.title(), "a show of the tests");
    await page.mouse.click(400, 350);
    await page.waitForFunction(() => document.body.dataset.state === "ended", { timeout: 20000 });
    const { time, scene, frames } = await status(page);
    assert.equal(scene, 1, "the last scene ran");
    assert.ok(time >= 3000 && frames > 10, `time ${time}, ${frames} frames`);
    assert.deepEqual(problems, []);
    await page.close();
  });

  test("a missing picture or script and a syntax error are named as the programs name them", async () => {
    const cases = [
      [writeShow("no-picture", { "show.js": 'Picture("gone", "gone.png");\nScene(0, 100, 0, function (t) {});\n' }),
       /the picture "gone": the file scratch\/no-picture\/gone\.png does not exist/],
      [writeShow("broken", { "show.js": 'Title("broken");\nScene(0, 100, 0, function (t) {\n  DrawPlasma(t;\n});\n' }),
       /scratch\/broken\/show\.js:3:\d+: SyntaxError/],
      [{ folder: path.join(scratch, "nothing-here"), showPath: "scratch/nothing-here/" },
       /the folder scratch\/nothing-here holds no show: the file scratch\/nothing-here\/show\.js does not exist/],
    ];
    for (const [{ folder, showPath }, says] of cases) {
      const expected = await captureComplaint(folder, showPath);
      assert.match(expected, says, "quorvel4-capture's words");
      for (const times of ["", "&seed=1&times=0:100:50"]) {
        const { page, state } = await openPage(`index.html?show=${showPath}${times}`);
        assert.equal(await state(), "failed", showPath + times);
        assert.equal(await page.$eval("#notice", (e) => e.textContent), expected, showPath + times);
        await page.close();
      }
    }
  });

  test("a script that names files without end is stopped before the page fetches them", async () => {
    const { showPath } = writeShow("endless", {
      "show.js": 'for (var i = 0; i < 5000; ++i) Picture("p" + i, "p" + i + ".png");\nScene(0, 100, 0, function (t) {});\n',
    });
    const { page, problems, state } = await openPage(`index.html?show=${showPath}`);
    assert.equal(await state(), "failed");
    assert.match(await page.$eval("#notice", (e) => e.textContent), /names more than 1000 files/);
    // None of them is there: each one fetched would be a 404.
    assert.deepEqual(problems, []);
    await page.close();
  });

  test("refuses folders of other sites, absolute paths and .. with a notice, and fetches nothing of them", async () => {
    // As written in the address: %2e%2e is "..", %5C a backslash.
    const addresses = ["http://example.com/shows/x/", "//example.com/shows/x/", "https:example.com/", "/shows/x/",
                       "../", "scratch/../../x/", "%2e%2e/x/", "scratch/..%5Cx/", "", "./"];
    for (const value of addresses) {
      const page = await browser.newPage();
      const requested = [];
      page.on("request", (request) => requested.push(request.url()));
      await page.goto(`${base}index.html?show=${value}`);
      await page.waitForFunction(() => document.body.dataset.state === "failed", { timeout: 30000 });
      assert.match(await page.$eval("#notice", (e) => e.textContent), /The address is not understood: show=.*beside this page/,
                   value);
      const strays = requested.filter((url) => !url.startsWith(base) || /show\.js/.test(url));
      assert.deepEqual(strays, [], value);
      await page.close();
    }
  });

  // The second show: every frame of its first 20 seconds at 17 ms steps, and of 45 seconds at
  // 50 ms steps, its state (ripples, swarm, sparkles, stars) carried from frame to frame as in
  // capture.
  test("the Lanterns show's stills equal the offline renderer's", async (t) => {
    for (const times of ["0:20000:17", "0:45000:50"]) await assertShowStillEqualsCapture(t, "shows/lanterns/", 7, times);
  });

  test("every show folder of the site gets ready to play", async (t) => {
    const shows = path.join(dist, "shows");
    const names = fs.existsSync(shows) ? fs.readdirSync(shows).filter((name) => fs.existsSync(path.join(shows, name, "show.js"))) : [];
    if (names.length === 0) {
      t.skip("the site holds no show folder (shows/ of the repository)");
      return;
    }
    for (const name of names) {
      const { page, problems, state } = await openPage(`index.html?show=shows/${encodeURIComponent(name)}/`);
      assert.equal(await state(), "ready", `${name}: ${await page.$eval("#notice", (e) => e.textContent)}`);
      assert.deepEqual(problems, [], name);
      await page.close();
    }
  });
});
