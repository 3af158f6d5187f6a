// A bounded queue between the thread that reads a corpus's names and the threads that track
// them: the reader waits while it is full, so memory does not grow with the list.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace pitchtrack::cli {

template <typename Item>
class WorkQueue {
 public:
  explicit WorkQueue(size_t capacity) : capacity_(capacity) {}

  // Adds `item` once there is room.
  void push(Item item) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return items_.size() < capacity_; });
    items_.push_back(std::move(item));
    work_.notify_one();
  }

  // The next item, waiting for one; none once the queue is closed and empty.
  std::optional<Item> pop() {
    std::unique_lock lock(mutex_);
    work_.wait(lock, [this] { return !items_.empty() || closed_; });
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    room_.notify_one();
    return item;
  }

  // No more items will come; pop() returns the ones left, then none.
  void close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    work_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::condition_variable work_;
  std::deque<Item> items_;
  bool closed_ = false;
};

}  // namespace pitchtrack::cli
