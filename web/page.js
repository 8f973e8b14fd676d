// The page around the show (runs before the program starts): the address's options, the data
// files fetched into the program's file system, the canvas fitted to the window, and the
// clicks and keys: the first one starts the show, any later key ends it, Alt+Enter, F11 and
// a double-click toggle fullscreen. The start overlay warns of the flashes and offers the gentle
// mode, ticked from the start by reduce-flashes=1 (or yes, true, on) in the address or, where the
// address says neither yes nor no, when the browser says its user prefers reduced motion.
// With show=PATH/ the page plays the show folder served at PATH beside it instead of the
// built-in show: it fetches PATH/show.js, then what the script names, round after round, and
// only then runs the program.
(function () {
  // Filled in by the build: the pictures and the music, served beside the page in data/.
  const dataFiles = [@QVL_WEB_DATA_FILES@];
  // A script that names files without end must not make the page fetch without end.
  const maxShowFiles = 1000;
  // Where a show's folder lies in the program's file system: the page's own folder, so that
  // the program names a show's files as the address does (shows/NAME/...).
  const pageRoot = "/page";
  const modifierKeys = new Set(["Shift", "Control", "Alt", "AltGraph", "Meta", "OS", "Super", "Hyper",
                                "Fn", "FnLock", "CapsLock", "NumLock", "ScrollLock", "Symbol", "SymbolLock"]);

  const params = new URLSearchParams(location.search);
  // The address's yes or no to the gentle mode: the usual spellings, any case, spaces around
  // them ignored, a bare key a yes; the last one that is a yes or a no counts. null when it
  // says neither: the browser's preference decides then.
  function gentleAsked() {
    let answer = null;
    for (const value of params.getAll("reduce-flashes")) {
      const word = value.trim().toLowerCase();
      if (["", "1", "yes", "y", "true", "on"].includes(word)) answer = true;
      else if (["0", "no", "n", "false", "off"].includes(word)) answer = false;
    }
    return answer;
  }
  // The show folder of show=: a folder beside the page, named relative to it, never another
  // site's or one above the page's folder (a page is often served from a folder of a larger
  // site). { dir, url } (dir as the program names it), { refused } with the notice's words, or
  // null without show=.
  function showFolder() {
    if (!params.has("show")) return null;
    const asked = params.get("show");
    const parts = asked.split("/").filter((part) => part !== "" && part !== ".");
    const refused = "The address is not understood: show=" + JSON.stringify(asked) + " must name a show's folder " +
      "beside this page, relative to it, such as show=shows/NAME/ (no other site, no absolute path, no \"..\").";
    if (asked.startsWith("/") || /[\\:?#]/.test(asked) || parts.includes("..") || parts.length === 0) return { refused };
    const url = new URL(parts.map(encodeURIComponent).join("/") + "/", location.href);
    if (url.origin !== location.origin) return { refused };
    return { dir: parts.join("/"), url: url.href };
  }
  const show = showFolder();

  const args = [];
  if (show && show.dir) args.push("--show", show.dir);
  for (const name of ["seed", "times"]) {
    if (params.has(name)) args.push("--" + name, params.get(name));
  }
  // Stills follow the address alone, so that they equal the offline renderer's pictures.
  if (gentleAsked() === true) args.push("--reduce-flashes");
  Module.arguments = args;

  function gentleBox() {
    return document.getElementById("reduce-flashes");
  }
  function tickGentleBox() {
    const box = gentleBox();
    if (!box) return;
    const asked = gentleAsked();
    box.checked = asked !== null ? asked : window.matchMedia("(prefers-reduced-motion: reduce)").matches;
    // Ticking the box is not the click that starts the show.
    box.parentElement.addEventListener("click", (event) => event.stopPropagation());
  }

  let state = "loading";
  Module.qvlKeyPressed = false;
  Module.qvlSetState = (next) => {
    state = next;
    document.body.dataset.state = next;
  };
  Module.qvlNotice = (text) => {
    const notice = document.getElementById("notice");
    notice.textContent += (notice.textContent ? "\n" : "") + text;
  };
  // The program itself, beside this script: without it the page would stay black and silent.
  const program = (document.currentScript && document.currentScript.src || "index.js").replace(/\.js$/, ".wasm");
  const programName = program.slice(program.lastIndexOf("/") + 1);
  let started = false;
  Module.onRuntimeInitialized = () => {
    started = true;
    if (show && show.dir) {
      fetchShow().then((complete) => { if (complete) callMain(args); }, (error) => Module.onAbort(String(error)));
    }
  };
  // A show of one's own starts once its files are here.
  if (show) Module.noInitialRun = true;
  if (show && show.refused) {
    Module.qvlSetState("failed");
    Module.qvlNotice(show.refused);
  }

  async function whyItDidNotLoad(what) {
    if (location.protocol === "file:") {
      return "The show cannot start from a file opened in the browser: browsers do not let such a page " +
        "load its WebAssembly (" + programName + "). Serve this folder over HTTP instead, for example " +
        "with \"python3 -m http.server\" run in it, and open http://localhost:8000/.";
    }
    try {
      const response = await fetch(program, { method: "HEAD", cache: "no-store" });
      if (!response.ok) {
        return "The show cannot start: " + programName + " is missing beside this page (HTTP " + response.status +
          "). Put the whole folder on the server: index.html, index.js, " + programName + " and data/.";
      }
    } catch (error) {
      return "The show cannot start: " + programName + " could not be fetched (" + error.message +
        "). Check the connection to the server and reload the page.";
    }
    return "The show cannot start: its WebAssembly (" + programName + ") did not load: " + what;
  }

  // Called once for each way the loader tried: only the first says why.
  Module.onAbort = (what) => {
    if (state === "failed") return;
    Module.qvlSetState("failed");
    if (started) {
      Module.qvlNotice("The show stopped: " + what);
      return;
    }
    whyItDidNotLoad(String(what)).then((text) => Module.qvlNotice(text));
  };

  // Opened from a file, the browser refuses to fetch the program, and the loader fails without
  // a word: ask for it once more, to hear the refusal.
  if (location.protocol === "file:") {
    fetch(program).then((response) => response.arrayBuffer()).catch((error) => Module.onAbort(error.message));
  }

  // What the program prints is for the person watching: its start-up failures.
  Module.print = (text) => {
    console.log(text);
    Module.qvlNotice(text);
  };
  Module.printErr = (text) => console.warn(text);

  // A file of the show's folder into the program's file system. One that cannot be fetched is
  // left out: the program names it as missing, as it would anywhere else.
  function fetchShowFile(name) {
    return fetch(show.url + name.split("/").map(encodeURIComponent).join("/"))
      .then((response) => (response.ok ? response.arrayBuffer() : null))
      .then((bytes) => {
        if (!bytes) return;
        const file = pageRoot + "/" + show.dir + "/" + name;
        FS.mkdirTree(file.slice(0, file.lastIndexOf("/")));
        FS.writeFile(file, new Uint8Array(bytes));
      })
      .catch(() => {});
  }

  // Asks the program what the script names until an answer names nothing new (a file read by
  // Text() may name the next), fetching the new ones each round. False when the page gave up.
  async function fetchShow() {
    const asked = new Set(["show.js"]);
    for (;;) {
      const stack = stackSave();
      const listed = UTF8ToString(Module._qvl_show_files(allocateUTF8OnStack(show.dir)));
      stackRestore(stack);
      const fresh = listed.split("\n").filter((name) => name !== "" && !asked.has(name));
      if (fresh.length === 0) return true;
      if (asked.size - 1 + fresh.length > maxShowFiles) {
        Module.qvlNotice("The show cannot start: its script names more than " + maxShowFiles + " files.");
        Module.qvlSetState("failed");
        return false;
      }
      for (const name of fresh) asked.add(name);
      await Promise.all(fresh.map(fetchShowFile));
    }
  }

  Module.preRun = [() => {
    if (show) {
      if (show.refused) return;
      FS.mkdir(pageRoot);
      FS.chdir(pageRoot);
      addRunDependency("show.js");
      fetchShowFile("show.js").finally(() => removeRunDependency("show.js"));
      return;
    }
    FS.mkdir("/data");
    for (const name of dataFiles) {
      const dependency = "data/" + name;
      addRunDependency(dependency);
      // A file that cannot be fetched is simply missing: the show says which, as it would
      // for a missing file anywhere else.
      fetch("data/" + encodeURIComponent(name))
        .then((response) => (response.ok ? response.arrayBuffer() : null))
        .then((bytes) => { if (bytes) FS.writeFile("/data/" + name, new Uint8Array(bytes)); })
        .catch(() => {})
        .finally(() => removeRunDependency(dependency));
    }
  }];

  // Whole multiples of the picture's size where the window allows, in device pixels, so
  // every cell's pixels stay sharp; a fraction only when the window is smaller.
  function fitCanvas() {
    const canvas = document.getElementById("screen");
    const ratio = window.devicePixelRatio || 1;
    let scale = Math.min(window.innerWidth * ratio / 640, window.innerHeight * ratio / 600);
    if (scale >= 1) scale = Math.floor(scale);
    canvas.style.width = (640 * scale / ratio) + "px";
    canvas.style.height = (600 * scale / ratio) + "px";
  }

  function toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (document.documentElement.requestFullscreen) {
      document.documentElement.requestFullscreen().catch(() => {});
    }
  }

  function start() {
    if (state === "ready") Module._qvl_start(gentleBox().checked ? 1 : 0);
  }

  window.addEventListener("keydown", (event) => {
    if (event.key === "F11" || (event.altKey && event.key === "Enter")) {
      event.preventDefault();
      toggleFullscreen();
      return;
    }
    if (modifierKeys.has(event.key) || event.repeat) return;
    // The browser's own shortcuts (Ctrl+R, Ctrl+W, ...) keep working.
    if (!event.ctrlKey && !event.metaKey) event.preventDefault();
    if (state === "ready") start();
    else if (state === "running") Module.qvlKeyPressed = true;
  });
  window.addEventListener("click", start);
  window.addEventListener("dblclick", toggleFullscreen);
  window.addEventListener("resize", fitCanvas);
  document.addEventListener("DOMContentLoaded", () => {
    fitCanvas();
    tickGentleBox();
  });
  if (document.readyState !== "loading") {
    fitCanvas();
    tickGentleBox();
  }
})();
