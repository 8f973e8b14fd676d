// What the console needs from a display: a small table of operations that each back end
// fills in. The core never knows which one it talks to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quorvel4/types.h"

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;

  // Shows all 80 x 50 cells (row-major) in one operation.
  virtual void Present(const Cell* cells) = 0;

  // Sets the window (or terminal) title.
  virtual void SetTitle(const char* title) = 0;

  // True when a key is waiting; the key is not consumed.
  virtual bool KeyWaiting() = 0;

  // Gives the display back as it was found. Safe to call more than once.
  virtual void Restore() = 0;
};

// Keeps the presented cells in memory: for tests and for offline rendering.
class HeadlessBackend : public ConsoleBackend {
 public:
  void Present(const Cell* cells) override;
  void SetTitle(const char* title) override { title_ = title; }
  bool KeyWaiting() override { return keyWaiting_; }
  void Restore() override { restored_ = true; }

  // The cells of the last Present (all zero before the first).
  const std::vector<Cell>& LastFrame() const { return lastFrame_; }
  int PresentCount() const { return presentCount_; }
  const std::string& Title() const { return title_; }
  bool Restored() const { return restored_; }

  // Makes KeyWaiting report a key (a scripted key press).
  void PressKey(bool waiting = true) { keyWaiting_ = waiting; }

 private:
  std::vector<Cell> lastFrame_ = std::vector<Cell>(kScreenCells, 0);
  std::string title_;
  int presentCount_ = 0;
  bool keyWaiting_ = false;
  bool restored_ = false;
};
