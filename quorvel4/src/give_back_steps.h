// The give-back steps a program adds (display_signals.h), in the order added. No guard of its
// own: each platform's file changes it with the signals held off or under its lock, and its
// handler reads it.
#pragma once

#include "quorvel4/display_signals.h"

namespace display_signals {

class StepList {
 public:
  // False when there is no room; a step already there stays once.
  bool Add(Step step) {
    for (int i = 0; i < count_; ++i)
      if (steps_[i] == step) return true;
    if (count_ >= kMax) return false;
    steps_[count_++] = step;
    return true;
  }
  void Remove(Step step) {
    for (int i = 0; i < count_; ++i) {
      if (steps_[i] != step) continue;
      for (int j = i + 1; j < count_; ++j) steps_[j - 1] = steps_[j];
      --count_;
      return;
    }
  }
  // Async-signal-safe.
  void RunAll() const {
    for (int i = 0; i < count_; ++i) steps_[i]();
  }
  bool Empty() const { return count_ == 0; }

 private:
  static constexpr int kMax = 4;
  Step steps_[kMax] = {};
  int count_ = 0;
};

}  // namespace display_signals
