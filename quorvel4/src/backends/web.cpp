// The browser back end: the cells drawn as the VGA text screen's pixels onto the page's
// canvas, the title as the document's title. The page gathers the keys; this back end only
// asks it, once per frame, whether one has come.
#include <emscripten.h>

#include <vector>

#include "quorvel4/backend.h"
#include "quorvel4/raster.h"

namespace {

// Hands the RGBA picture to the canvas with id "screen" (the page sizes and scales it).
EM_JS(void, qvl_web_put_picture, (const uint8_t* pixels, int width, int height), {
  const canvas = document.getElementById("screen");
  if (!canvas) return;
  if (!Module.qvlScreen) Module.qvlScreen = canvas.getContext("2d", {alpha: false});
  // A fresh view each time: the wasm memory's buffer is replaced when it grows.
  const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
  Module.qvlScreen.putImageData(new ImageData(bytes, width, height), 0, 0);
});

EM_JS(void, qvl_web_set_title, (const char* title), { document.title = UTF8ToString(title); });

// The page decides which key presses count (not modifiers alone, not the fullscreen keys).
EM_JS(int, qvl_web_key_pressed, (), { return Module.qvlKeyPressed ? 1 : 0; });

EM_JS(int, qvl_web_has_canvas, (), { return typeof document !== "undefined" && !!document.getElementById("screen"); });

class WebBackend : public ConsoleBackend {
 public:
  void Present(const Cell* cells) override {
    RasterizeCellsInto(cells, kScreenWidth, kScreenHeight, PixelLayout::kRgba, pixels_.data(), kPitch);
    qvl_web_put_picture(pixels_.data(), kRasterWidth, kRasterHeight);
  }
  void SetTitle(const char* title) override { qvl_web_set_title(title); }
  bool KeyWaiting() override { return keyWaiting_; }
  // A key once seen stays waiting: the show only looks at it.
  void Poll() override { keyWaiting_ = keyWaiting_ || qvl_web_key_pressed() != 0; }
  // The last picture stays on the page.
  void Restore() override {}

 private:
  static constexpr std::size_t kPitch = kRasterWidth * 4;
  std::vector<uint8_t> pixels_ = std::vector<uint8_t>(kPitch * kRasterHeight);
  bool keyWaiting_ = false;
};

bool WebUsable() { return qvl_web_has_canvas() != 0; }

std::unique_ptr<ConsoleBackend> OpenWeb(std::string& error) {
  if (!WebUsable()) {
    error = "the page has no canvas with the id \"screen\"";
    return nullptr;
  }
  return std::make_unique<WebBackend>();
}

const bool kRegistered = RegisterConsoleBackend({"web", 10, WebUsable, OpenWeb, "the web page's canvas"});

}  // namespace
