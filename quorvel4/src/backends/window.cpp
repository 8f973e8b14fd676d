// The window back end: the show in a desktop window of its own, drawn as a VGA text screen
// shows it (8 x 12 glyphs, the VGA palette), the same picture that `quorvel4-capture --format png`
// writes. Alt+Enter and F11 switch between the window and the whole screen.
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "quorvel4/display_signals.h"
#include "quorvel4/backend.h"
#include "quorvel4/debug.h"
#include "quorvel4/raster.h"
#include "../status_text.h"
#include "title_text.h"
#include "window_keys.h"
#include "window_layout.h"

namespace {

// Keys that change how the show is seen, and keys that are never pressed on their own
// account: none of them ends the show.
bool IsModifierOnly(SDL_Keycode key) {
  switch (key) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL:
    case SDLK_LALT: case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI: case SDLK_MODE:
    case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK:
      return true;
    default:
      return false;
  }
}

bool IsEnter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }

// The modifiers as SDL had them when this key went down, not as they are now or were at an
// earlier event.
bool TogglesFullscreen(const SDL_Keysym& key) {
  return (IsEnter(key.sym) && (key.mod & KMOD_ALT) != 0) || key.sym == SDLK_F11;
}

// How long after a switch to or from the full screen a lone Enter still belongs to it.
constexpr Uint32 kSwitchMilliseconds = 1000;

// Key strokes kept for a program that reads keys; a plain show never takes them, and those
// beyond are dropped, as a keyboard's full buffer drops them.
constexpr size_t kMaxWaitingKeys = 256;
// A title longer than this says nothing more to anyone.
constexpr int kLongestStatusLine = 200;

// Cheap and without side effects: SDL is only started when the window is opened.
bool DisplayThere() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

std::string CannotOpen(const char* what, const char* why = SDL_GetError()) {
  std::string error = std::string("cannot open a window: ") + what + " (" + why + ")";
  if (!DisplayThere()) error += "; neither DISPLAY nor WAYLAND_DISPLAY is set";
  return error;
}

// SDL's drivers that draw into memory only, taken when they are asked for by name.
bool ShowsWindows(const char* driver) {
  const std::string name = driver ? driver : "";
  if (name != "offscreen" && name != "dummy") return true;
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  return asked && name == asked;
}

// The window's X connection, watched for the moment it breaks (the X server ended, the link to
// it went down). Xlib's own handlers print "XIO: fatal IO error ..." and end the process on the
// spot, before the show is given back and without a word of the program's own; these only
// note the break, and the show ends in order at its next frame. A server that is ending
// first destroys the window, so the last requests may also be refused ("BadDrawable"): Xlib's
// handler would end the process for that too. A refused request costs a frame at most, so it
// goes to the debug sink and the show goes on, as does the extension library's note that an
// extension is missing (a dying server answers so for shared memory, which SDL then does
// without). Xlib's handlers are the process's, so this state is too.
namespace x_connection {

bool broken = false;
bool pumping = false;  // inside SDL's event pump, where Xlib survives a broken connection

constexpr const char* kLost = "the window's display went away (the connection to its X server broke)";

using IoErrorHandler = int (*)(Display*);
using IoErrorExitHandler = void (*)(Display*, void*);
using ErrorHandler = int (*)(Display*, XErrorEvent*);
using ExtensionErrorHandler = int (*)(Display*, const char*, const char*);

int NoteBreak(Display*) {
  broken = true;
  return 0;
}

// Noticed while the events are read, the break lets the show end in order. Noticed in the
// middle of drawing, it would return into graphics libraries that do not expect a dead
// connection (Mesa reads the answers that never came): the process ends here, with the same
// line. Nothing on a display that is gone can be given back.
void KeepRunning(Display*, void*) {
  broken = true;
  if (!pumping) EndProcessWithReason(kLost);
}

int NoteMissingExtension(Display*, const char* extension, const char* reason) {
  DebugPrint("the X extension %s: %s", extension, reason);
  return 0;
}

int NoteRefusal(Display*, XErrorEvent* event) {
  DebugPrint("the X server refused a request (error %d, request %d.%d)", event->error_code, event->request_code,
             event->minor_code);
  return 0;
}

// Xlib as SDL loaded it, while the handlers are ours.
struct Watch {
  void* xlib = nullptr;
  IoErrorHandler (*setHandler)(IoErrorHandler) = nullptr;
  IoErrorHandler previous = nullptr;
  ErrorHandler (*setErrorHandler)(ErrorHandler) = nullptr;
  ErrorHandler previousError = nullptr;
  void* xext = nullptr;  // the extension library, where SDL loaded it
  ExtensionErrorHandler (*setExtensionHandler)(ExtensionErrorHandler) = nullptr;
  ExtensionErrorHandler previousExtension = nullptr;
};

// Watches the X connection of `window` where the window is on X and Xlib lets a program live
// on after its connection broke (libX11 1.7 and later); otherwise leaves Xlib as it is.
Watch Start(SDL_Window* window) {
  Watch watch;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return watch;
  // SDL loads Xlib itself; this takes the copy it loaded, never another.
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!xlib) return watch;
  const auto setExitHandler =
      reinterpret_cast<void (*)(Display*, IoErrorExitHandler, void*)>(dlsym(xlib, "XSetIOErrorExitHandler"));
  const auto setHandler = reinterpret_cast<IoErrorHandler (*)(IoErrorHandler)>(dlsym(xlib, "XSetIOErrorHandler"));
  const auto setErrorHandler = reinterpret_cast<ErrorHandler (*)(ErrorHandler)>(dlsym(xlib, "XSetErrorHandler"));
  if (!setExitHandler || !setHandler || !setErrorHandler) {
    dlclose(xlib);
    return watch;
  }
  broken = false;
  setExitHandler(info.info.x11.display, KeepRunning, nullptr);
  watch.previous = setHandler(NoteBreak);
  watch.setHandler = setHandler;
  watch.previousError = setErrorHandler(NoteRefusal);
  watch.setErrorHandler = setErrorHandler;
  watch.xlib = xlib;
  if (void* xext = dlopen("libXext.so.6", RTLD_LAZY | RTLD_NOLOAD)) {
    const auto setExtensionHandler = reinterpret_cast<ExtensionErrorHandler (*)(ExtensionErrorHandler)>(
        dlsym(xext, "XSetExtensionErrorHandler"));
    if (setExtensionHandler) {
      watch.previousExtension = setExtensionHandler(NoteMissingExtension);
      watch.setExtensionHandler = setExtensionHandler;
      watch.xext = xext;
    } else {
      dlclose(xext);
    }
  }
  return watch;
}

// After the display is closed: Xlib's handler as it was.
void Stop(Watch& watch) {
  if (!watch.xlib) return;
  watch.setHandler(watch.previous);
  watch.setErrorHandler(watch.previousError);
  dlclose(watch.xlib);
  if (watch.xext) {
    watch.setExtensionHandler(watch.previousExtension);
    dlclose(watch.xext);
  }
  watch = Watch{};
}

}  // namespace x_connection

class WindowBackend final : public ConsoleBackend {
 public:
  ~WindowBackend() override { Restore(); }

  // Returns false with the reason in `error`; what was made so far is undone by Restore.
  bool Open(std::string& error) {
    // The show's own handlers must see Ctrl-C, not SDL's.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Probing for a Wayland display, the Wayland client library prints "XDG_RUNTIME_DIR is
    // invalid or not set" without a runtime folder (su, sudo, a service) before the program's
    // own message: the debug sink takes it.
    bool started = false;
    {
      StandardErrorToDebugSink held;
      started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    if (!started) {
      error = CannotOpen("the video system did not start");
      return false;
    }
    videoStarted_ = true;
    // Without a display SDL falls back on a driver that draws nowhere: the show would play
    // unseen, and wait for a key nobody can press.
    if (!ShowsWindows(SDL_GetCurrentVideoDriver())) {
      error = CannotOpen("the video system did not start", "no display could be reached; SDL offers only a driver that shows nothing");
      return false;
    }

    int width = kRasterWidth, height = kRasterHeight;
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
      OpeningWindowSize(usable.w, usable.h, &width, &height);
    }
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_ALLOW_HIGHDPI;
    window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!window_) {
      error = CannotOpen("the window was refused");
      return false;
    }
    // Tear-free where the display can wait for its refresh; any renderer will do otherwise.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) {
      error = CannotOpen("nothing can draw into it");
      return false;
    }
    // BGRA32 is the byte order B, G, R, A in memory on every machine: RasterizeCellsInto's kBgra.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGRA32, SDL_TEXTUREACCESS_STREAMING, kRasterWidth,
                                 kRasterHeight);
    if (!texture_) {
      error = CannotOpen("no texture for the picture");
      return false;
    }
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    canEnlarge_ = SDL_RenderTargetSupported(renderer_) == SDL_TRUE;
    xWatch_ = x_connection::Start(window_);
    // On by default on a desktop, but the characters of a program that reads keys depend on it.
    SDL_StartTextInput();
    // SIGINT and SIGTERM end the show as a key would; the show then shuts down in order and,
    // once the window is closed, the process ends by the same signal, as it does on the
    // terminal.
    display_signals::Plan plan;
    plan.endInOrder = true;
    display_signals::Install(plan);
    signalsInstalled_ = true;
    return true;
  }

  void Present(const Cell* cells) override {
    if (!texture_ || DisplayGone()) return;
    // A minimised or hidden window shows nothing, and waiting for its refresh could block.
    if (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) return;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
    RasterizeCellsInto(cells, kScreenWidth, kScreenHeight, PixelLayout::kBgra, static_cast<uint8_t*>(pixels),
                       static_cast<std::size_t>(pitch));
    SDL_UnlockTexture(texture_);

    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
    PictureRect fit = FitPicture(outputWidth, outputHeight, canEnlarge_);
    SDL_Texture* shown = texture_;
    if (!fit.wholeMultiple && fit.enlarged > 1) {
      shown = Enlarged(fit.enlarged);
      if (!shown) {
        canEnlarge_ = false;
        fit = FitPicture(outputWidth, outputHeight, false);
        shown = texture_;
      }
    }
    // Whole multiples and the enlarged picture stay crisp; a picture shrunk below its size
    // keeps its thin lines by blending.
    SDL_SetTextureScaleMode(texture_, fit.wholeMultiple || shown != texture_ ? SDL_ScaleModeNearest
                                                                               : SDL_ScaleModeLinear);
    const SDL_Rect target{fit.x, fit.y, fit.width, fit.height};
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, shown, nullptr, &target);
    SDL_RenderPresent(renderer_);
  }

  void SetTitle(const char* title) override {
    title_ = PrintableTitle(title);
    ShowTitle();
  }

  // The status line goes into the title: a bar below the picture would take rows from it, or
  // change the picture's fit in the window.
  void SetStatusLine(std::string_view text) override {
    std::string status = StatusText(text, kLongestStatusLine);
    if (status == status_) return;
    status_ = std::move(status);
    ShowTitle();
  }

  // Any key press ends a plain show; repeats and the window's own keys do not count.
  bool KeyWaiting() override { return ended_ || DisplayGone() || display_signals::EndRequested(); }

  bool ReadsKeys() const override { return true; }

  bool TakeKey(KeyStroke& key) override {
    if (keys_.empty()) Poll();
    if (keys_.empty()) return false;
    key = keys_.front();
    keys_.pop_front();
    return true;
  }

  bool MustEnd() override { return closed_ || DisplayGone() || display_signals::EndRequested(); }

  std::string Lost() const override {
    return DisplayGone() ? x_connection::kLost : std::string();
  }

  // Cells of 8 x 12 pixels.
  double PixelHeightToWidth() const override { return 1.5; }

  void Poll() override {
    // Nothing more comes from a display that went away.
    if (!window_ || DisplayGone()) return;
    SDL_Event event;
    const auto next = [&event] {
      x_connection::pumping = true;
      const bool got = SDL_PollEvent(&event) != 0;
      x_connection::pumping = false;
      return got;
    };
    while (next()) {
      if (event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
        ended_ = closed_ = true;
      } else if (event.type == SDL_KEYDOWN) {
        OnKey(event.key);
      } else if (event.type == SDL_TEXTINPUT && acceptText_) {
        for (const KeyStroke& key : KeysOfText(event.text.text, textAlt_)) Queue(key);
      }
    }
  }

  void Restore() override {
    lost_ = DisplayGone();
    if (lost_) {
      // Nothing is left to give back to an X server that went away, and closing SDL's other
      // connections to it would only make Xlib end the process on the spot: they are left
      // to the process's end, and Xlib keeps the quiet handlers.
      enlarged_ = texture_ = nullptr;
      renderer_ = nullptr;
      window_ = nullptr;
      videoStarted_ = false;
    }
    if (enlarged_) SDL_DestroyTexture(enlarged_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    enlarged_ = nullptr;
    enlargedMultiple_ = 0;
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    // The music keeps SDL's audio; only the video this back end started is given back.
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
    x_connection::Stop(xWatch_);
    if (signalsInstalled_) display_signals::Remove();
    signalsInstalled_ = false;
  }

 private:
  bool DisplayGone() const { return lost_ || (xWatch_.xlib && x_connection::broken); }

  void OnKey(const SDL_KeyboardEvent& key) {
    if (IsModifierOnly(key.keysym.sym)) return;
    if (TogglesFullscreen(key.keysym) || EnterOfASwitch(key)) {
      acceptText_ = false;
      if (key.repeat != 0 || !TogglesFullscreen(key.keysym)) return;
      ToggleFullscreen();
      switched_ = true;
      switchedAt_ = key.timestamp;
      return;
    }
    // A held key repeats: a program that reads keys gets every repeat (holding Right seeks
    // on), but a repeat is no new press that would end a plain show.
    const KeyDownMeaning meaning = MeaningOfKeyDown(key.keysym.sym, key.keysym.mod);
    acceptText_ = meaning.textFollows;
    textAlt_ = AltIn(key.keysym.mod);
    if (meaning.key) Queue(*meaning.key);
    if (key.repeat == 0) ended_ = true;
  }

  void Queue(const KeyStroke& key) {
    if (keys_.size() < kMaxWaitingKeys) keys_.push_back(key);
  }

  // Only when it changed: some window managers redraw the whole frame for a new title.
  // In ASCII: SDL sets the title that window managers show (_NET_WM_NAME) only when Xlib can
  // convert it in the program's locale, which is "C" (the program never sets one): any other
  // character would leave the old title showing, a stale status line.
  void ShowTitle() {
    std::string shown = AsciiOnly(StatusAndTitle(status_, title_));
    if (!window_ || shown == shownTitle_) return;
    shownTitle_ = std::move(shown);
    SDL_SetWindowTitle(window_, shownTitle_.c_str());
  }

  // Switching, the window may lose the keyboard for a moment; given it back, SDL reports the
  // keys then down as new presses, without the Alt that was pressed before the switch. An
  // Enter so soon after a switch is the rest of an Alt+Enter, not a key to end the show.
  bool EnterOfASwitch(const SDL_KeyboardEvent& key) const {
    return switched_ && IsEnter(key.keysym.sym) && key.timestamp - switchedAt_ < kSwitchMilliseconds;
  }

  // The picture enlarged `multiple` times with nearest-neighbour sampling, in a texture that
  // is then blended down to the fitted size: every glyph edge gets at most one blended pixel
  // and every row and column of the picture stays as wide as its neighbours. The texture is
  // made again only when the multiple changes. Null when it cannot be made or drawn into.
  SDL_Texture* Enlarged(int multiple) {
    if (multiple != enlargedMultiple_) {
      if (enlarged_) SDL_DestroyTexture(enlarged_);
      enlargedMultiple_ = multiple;
      enlarged_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGRA32, SDL_TEXTUREACCESS_TARGET,
                                    kRasterWidth * multiple, kRasterHeight * multiple);
      if (enlarged_) {
        SDL_SetTextureBlendMode(enlarged_, SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(enlarged_, SDL_ScaleModeLinear);
      }
    }
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    if (!enlarged_ || SDL_SetRenderTarget(renderer_, enlarged_) != 0) return nullptr;
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_SetRenderTarget(renderer_, nullptr);
    return enlarged_;
  }

  void ToggleFullscreen() {
    const Uint32 flags = SDL_GetWindowFlags(window_);
    if (flags & SDL_WINDOW_FULLSCREEN) {
      SDL_SetWindowFullscreen(window_, 0);
      // Back to the window as it was: SDL alone would bring it back at its opening size.
      if (maximisedBeforeFullscreen_) SDL_MaximizeWindow(window_);
      SDL_ShowCursor(SDL_ENABLE);
    } else {
      maximisedBeforeFullscreen_ = (flags & SDL_WINDOW_MAXIMIZED) != 0;
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
      // Like a console in full screen: no mouse pointer over the picture.
      SDL_ShowCursor(SDL_DISABLE);
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* enlarged_ = nullptr;
  int enlargedMultiple_ = 0;
  bool canEnlarge_ = false;
  bool videoStarted_ = false;
  bool ended_ = false;
  bool closed_ = false;  // the close button, or the session asked the program to quit
  std::deque<KeyStroke> keys_;
  bool acceptText_ = false;  // the last key pressed types the character of the next text event
  bool textAlt_ = false;
  std::string title_;
  std::string status_;
  std::string shownTitle_;
  bool maximisedBeforeFullscreen_ = false;
  bool switched_ = false;
  Uint32 switchedAt_ = 0;
  bool signalsInstalled_ = false;
  x_connection::Watch xWatch_;
  bool lost_ = false;
};

std::unique_ptr<ConsoleBackend> OpenWindow(std::string& error) {
  auto backend = std::make_unique<WindowBackend>();
  if (!backend->Open(error)) return nullptr;
  return backend;
}

const bool kRegistered = RegisterConsoleBackend(
    {"window", 20, DisplayThere, OpenWindow,
     "a window of its own (Alt+Enter or F11: full screen)"});

}  // namespace
