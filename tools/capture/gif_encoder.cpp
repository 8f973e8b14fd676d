#include "gif_encoder.h"

#include <algorithm>
#include <array>

#include "quorvel4/palette.h"

namespace {

constexpr int kMinCodeSize = 4;  // 16 colours
constexpr int kClearCode = 1 << kMinCodeSize;
constexpr int kEndCode = kClearCode + 1;
constexpr int kMaxCode = 4095;   // codes are at most 12 bits
constexpr int kMaxDelay = 65535;  // the delay field is 16 bits

void PutWord(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

// Packs codes least significant bit first and cuts them into sub-blocks of 255 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(std::string& out) : out_(out) {}
  void Put(int code, int size) {
    bits_ |= static_cast<uint32_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      Byte(static_cast<uint8_t>(bits_));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  void End() {
    if (count_ > 0) Byte(static_cast<uint8_t>(bits_));
    if (!block_.empty()) Block();
    out_ += '\0';
  }

 private:
  void Byte(uint8_t byte) {
    block_ += static_cast<char>(byte);
    if (block_.size() == 255) Block();
  }
  void Block() {
    out_ += static_cast<char>(block_.size());
    out_ += block_;
    block_.clear();
  }
  std::string& out_;
  std::string block_;
  uint32_t bits_ = 0;
  int count_ = 0;
};

}  // namespace

GifEncoder::GifEncoder(int width, int height, int delay) : width_(width), height_(height), delay_(delay) {
  bytes_ = "GIF89a";
  PutWord(bytes_, width);
  PutWord(bytes_, height);
  // A global table of 2^(3+1) colours, 8 bits a channel.
  bytes_ += static_cast<char>(0x80 | 0x70 | (kMinCodeSize - 1));
  bytes_ += '\0';  // background colour
  bytes_ += '\0';  // square pixels
  for (const Rgb& colour : kVgaPalette) {
    bytes_ += static_cast<char>(colour.r);
    bytes_ += static_cast<char>(colour.g);
    bytes_ += static_cast<char>(colour.b);
  }
  // The application extension that makes viewers loop the animation (0 = for ever).
  bytes_ += "\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01";
  PutWord(bytes_, 0);
  bytes_ += '\0';
}

void GifEncoder::AddPicture(const std::vector<uint8_t>& indices) {
  if (havePending_ && indices == shown_) {
    if (pending_.delay + delay_ <= kMaxDelay) {
      pending_.delay += delay_;
      return;
    }
    // Too long for one delay: the same picture again, as its smallest frame.
    Flush();
    pending_ = Frame{{0, 0, 1, 1}, -1, {shown_[0]}, delay_};
    havePending_ = true;
    return;
  }
  if (havePending_) Flush();
  pending_ = shown_.empty() ? Frame{{0, 0, width_, height_}, -1, indices, 0} : Difference(indices);
  pending_.delay = delay_;
  havePending_ = true;
  shown_ = indices;
}

GifEncoder::Frame GifEncoder::Difference(const std::vector<uint8_t>& next) const {
  int left = width_, top = height_, right = -1, bottom = -1;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* a = &shown_[static_cast<size_t>(y) * width_];
    const uint8_t* b = &next[static_cast<size_t>(y) * width_];
    if (std::equal(a, a + width_, b)) continue;
    top = std::min(top, y);
    bottom = y;
    int x = 0;
    while (a[x] == b[x]) ++x;
    left = std::min(left, x);
    x = width_ - 1;
    while (a[x] == b[x]) --x;
    right = std::max(right, x);
  }
  Frame frame{{left, top, right - left + 1, bottom - top + 1}, -1, {}, 0};
  // A colour that no changed pixel takes can stand for "unchanged": long runs of it pack well.
  std::array<bool, 16> used{};
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      const size_t at = static_cast<size_t>(y) * width_ + x;
      if (shown_[at] != next[at]) used[next[at]] = true;
    }
  const auto unused = std::find(used.begin(), used.end(), false);
  if (unused != used.end()) frame.transparent = static_cast<int>(unused - used.begin());
  frame.pixels.reserve(static_cast<size_t>(frame.rect.width) * frame.rect.height);
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      const size_t at = static_cast<size_t>(y) * width_ + x;
      const bool keep = frame.transparent >= 0 && shown_[at] == next[at];
      frame.pixels.push_back(keep ? static_cast<uint8_t>(frame.transparent) : next[at]);
    }
  return frame;
}

void GifEncoder::Flush() {
  WriteFrame(pending_);
  havePending_ = false;
}

void GifEncoder::WriteFrame(const Frame& frame) {
  // Graphic control: keep the picture under the next frame (disposal 1), the delay, and
  // the transparent index if there is one.
  bytes_ += "\x21\xF9\x04";
  bytes_ += static_cast<char>((1 << 2) | (frame.transparent >= 0 ? 1 : 0));
  PutWord(bytes_, frame.delay);
  bytes_ += static_cast<char>(frame.transparent >= 0 ? frame.transparent : 0);
  bytes_ += '\0';
  bytes_ += '\x2C';
  PutWord(bytes_, frame.rect.left);
  PutWord(bytes_, frame.rect.top);
  PutWord(bytes_, frame.rect.width);
  PutWord(bytes_, frame.rect.height);
  bytes_ += '\0';  // no local colour table, not interlaced
  WriteLzw(frame.pixels);
}

void GifEncoder::WriteLzw(const std::vector<uint8_t>& pixels) {
  bytes_ += static_cast<char>(kMinCodeSize);
  CodeWriter out(bytes_);
  // next[code][colour]: the code of the string `code` followed by `colour`, 0 if none yet.
  static std::array<std::array<uint16_t, 16>, kMaxCode + 1> next;
  auto reset = [&] {
    for (auto& children : next) children.fill(0);
  };
  reset();
  int codeSize = kMinCodeSize + 1;
  int lastCode = kEndCode;  // the highest code assigned
  out.Put(kClearCode, codeSize);
  int current = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int colour = pixels[i];
    if (next[current][colour] != 0) {
      current = next[current][colour];
      continue;
    }
    out.Put(current, codeSize);
    next[current][colour] = static_cast<uint16_t>(++lastCode);
    if (lastCode >= (1 << codeSize)) ++codeSize;
    if (lastCode == kMaxCode) {
      out.Put(kClearCode, codeSize);
      reset();
      codeSize = kMinCodeSize + 1;
      lastCode = kEndCode;
    }
    current = colour;
  }
  out.Put(current, codeSize);
  // The decoder adds one more entry on reading that code and may widen its codes with it.
  if (lastCode + 1 >= (1 << codeSize) && codeSize < 12) ++codeSize;
  out.Put(kEndCode, codeSize);
  out.End();
}

void GifEncoder::Finish() {
  if (havePending_) Flush();
  bytes_ += '\x3B';
}

std::string GifEncoder::TakeBytes() {
  std::string taken;
  taken.swap(bytes_);
  return taken;
}
