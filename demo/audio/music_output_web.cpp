// The music in a browser: the page's Web Audio decodes the MP3 and plays it; the clock is the
// position the listener hears, read from the audio context's output timestamp.
#include <emscripten.h>

#include "demo/audio/music_output.h"

// The stream's state lives on the JavaScript side, in Module.qvlMusic:
//   context   the AudioContext (null without Web Audio: the show then plays silently)
//   decoded   "pending", "ready" or "failed"; buffer holds the decoded samples
//   wanted    Play was asked for; playback starts once decoding has settled
//   startAt   context time at which the first sample sounds (music), or
//   silentAt  performance.now() at which the silent clock started (no music)

EM_JS(int, qvl_music_init, (), {
  const Context = globalThis.AudioContext || globalThis.webkitAudioContext;
  const music = {context: null, decoded: "pending", buffer: null, wanted: false, source: null,
                 startAt: null, silentAt: null, error: ""};
  Module.qvlMusic = music;
  // Said once, as the native show says it: the show goes on, on a silent clock.
  const silent = (why) => {
    music.decoded = "failed";
    music.error = why;
    if (Module.qvlNotice && !Module.qvlToldSilent) Module.qvlNotice("No sound (" + why + "): the show plays silently.");
    Module.qvlToldSilent = true;
    return 0;
  };
  if (!Context) return silent("this browser has no Web Audio");
  try {
    music.context = new Context();
  } catch (e) {
    return silent("the browser's audio could not start: " + String(e && e.message ? e.message : e));
  }
  return 1;
});

EM_JS(void, qvl_music_open, (const uint8_t* bytes, int size), {
  const music = Module.qvlMusic;
  if (!music.context) return;
  // decodeAudioData takes the buffer over: give it a copy of the block.
  const copy = HEAPU8.slice(bytes, bytes + size).buffer;
  const failed = (reason) => {
    music.decoded = "failed";
    music.error = String(reason && reason.message ? reason.message : reason);
    if (Module.qvlNotice) Module.qvlNotice("The music could not be decoded (" + music.error + "): the show plays without sound.");
    if (music.wanted) music.startSilent();
  };
  music.startSilent = () => { if (music.silentAt === null) music.silentAt = performance.now(); };
  music.startSource = () => {
    const source = music.context.createBufferSource();
    source.buffer = music.buffer;
    source.connect(music.context.destination);
    // A little ahead, so the first sample is not cut: the clock counts from then.
    music.startAt = music.context.currentTime + 0.05;
    source.start(music.startAt);
    music.source = source;
  };
  try {
    music.context.decodeAudioData(copy).then((buffer) => {
      music.buffer = buffer;
      music.decoded = "ready";
      if (music.wanted) music.startSource();
    }, failed);
  } catch (e) {
    failed(e);
  }
});

EM_JS(void, qvl_music_play, (), {
  const music = Module.qvlMusic;
  music.wanted = true;
  if (!music.context) {
    music.silentAt = performance.now();
    return;
  }
  // Called from the page's click or key handler, which is what lets the browser play sound.
  music.context.resume();
  if (music.decoded === "ready") music.startSource();
  if (music.decoded === "failed") music.startSilent();
});

// Milliseconds heard so far, or -1 before the music (or the silent clock) has started.
EM_JS(double, qvl_music_position, (), {
  const music = Module.qvlMusic;
  if (!music) return -1;
  if (music.silentAt !== null) return performance.now() - music.silentAt;
  if (music.startAt === null || !music.context) return -1;
  const context = music.context;
  let heard = context.currentTime - (context.outputLatency || context.baseLatency || 0);
  if (context.state === "running" && context.getOutputTimestamp) {
    // The sample at the speakers at performanceTime, carried on to now by the wall clock
    // (at most a tenth of a second, should the audio thread stall).
    const stamp = context.getOutputTimestamp();
    if (stamp.contextTime > 0 && stamp.performanceTime > 0) {
      const since = Math.min(Math.max(performance.now() - stamp.performanceTime, 0), 100);
      heard = stamp.contextTime + since / 1000;
    }
  }
  return (heard - music.startAt) * 1000;
});

EM_JS(int, qvl_music_silent, (), {
  const music = Module.qvlMusic;
  return !music || !music.context || music.decoded === "failed" ? 1 : 0;
});

EM_JS(void, qvl_music_error, (char* out, int size), {
  const music = Module.qvlMusic;
  stringToUTF8(music ? music.error : "", out, size);
});

EM_JS(void, qvl_music_close, (), {
  const music = Module.qvlMusic;
  if (!music || music.closed) return;
  music.closed = true;
  if (music.source) music.source.stop();
  if (music.context) music.context.close();
  // The clock stays where it was.
  music.startAt = null;
  music.silentAt = null;
});

namespace {

class WebMusicOutput : public MusicOutput {
 public:
  // Without Web Audio the show still runs, on a steady clock.
  bool Init() override {
    qvl_music_init();
    return true;
  }
  bool Silent() const override { return qvl_music_silent() != 0; }
  // Decoding goes on in the background; a file the browser cannot decode is found out then,
  // and the show plays silently on a steady clock.
  bool Open(const MusicBlock& block) override {
    qvl_music_open(block.data.get(), static_cast<int>(block.size));
    return true;
  }
  // Starts as soon as decoding has settled; until then the clock stands at 0.
  bool Play() override {
    qvl_music_play();
    return true;
  }
  // The page works out the heard position itself, afresh on every call.
  std::optional<MusicSample> Sample() override {
    const double position = qvl_music_position();
    if (position < 0.0) return std::nullopt;
    return MusicSample{position, false, SteadyMilliseconds()};
  }
  void Close() override { qvl_music_close(); }
  const std::string& Error() const override {
    char text[256];
    qvl_music_error(text, sizeof text);
    error_ = text;
    return error_;
  }
};

}  // namespace

std::unique_ptr<MusicOutput> MakeMusicOutput() { return std::make_unique<WebMusicOutput>(); }
