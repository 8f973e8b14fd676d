// A bounded queue between the thread that renders frames and the one that writes them:
// the renderer runs ahead by at most `capacity` frames and never waits for a slow write
// sooner than that.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

template <typename Item>
class FrameQueue {
 public:
  explicit FrameQueue(size_t capacity) : capacity_(capacity) {}

  // Waits for room; false once the consumer has given up.
  bool Push(Item item) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [&] { return items_.size() < capacity_ || abandoned_; });
    if (abandoned_) return false;
    items_.push_back(std::move(item));
    notEmpty_.notify_one();
    return true;
  }

  // The next item, or nothing once the queue is closed and empty.
  std::optional<Item> Pop() {
    std::unique_lock lock(mutex_);
    notEmpty_.wait(lock, [&] { return !items_.empty() || closed_; });
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    notFull_.notify_one();
    return item;
  }

  // No more items will come.
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    notEmpty_.notify_all();
  }

  // The consumer stops taking items; pending and later pushes fail.
  void Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    items_.clear();
    notFull_.notify_all();
  }

 private:
  size_t capacity_;
  std::mutex mutex_;
  std::condition_variable notEmpty_, notFull_;
  std::deque<Item> items_;
  bool closed_ = false;
  bool abandoned_ = false;
};
