// Items handed from one thread to several workers and back, in order: a
// ring of fixed size between a producer and a consumer. The producer waits
// when the ring is full, so memory does not grow with the work; workers
// process any item in it; the consumer takes them in the order they were
// added, each once it has been processed.
#ifndef TARNWICK_INSPECT_RUN_ORDERED_PIPELINE_H
#define TARNWICK_INSPECT_RUN_ORDERED_PIPELINE_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

template <typename Item>
class OrderedPipeline {
 public:
  explicit OrderedPipeline(std::size_t size)
      : slots_(size), processed_(size, false) {}

  // The producer: waits while the ring is full. False once the run has
  // been cancelled: the item is dropped, and the producer should stop.
  bool add(Item&& item) {
    std::unique_lock lock(mutex_);
    space_.wait(lock,
                [&] { return tail_ - head_ < slots_.size() || cancelled_; });
    if (cancelled_) return false;
    slots_[tail_ % slots_.size()] = std::move(item);
    processed_[tail_ % slots_.size()] = false;
    ++tail_;
    work_.notify_one();
    return true;
  }

  // The producer has no more.
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    work_.notify_all();
    ready_.notify_one();
  }

  // Stops everyone at once: the producer's next add fails, workers take no
  // more items, and the consumer gets no more. What is being processed
  // still finishes, so the threads can be joined.
  void cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = closed_ = true;
    space_.notify_all();
    work_.notify_all();
    ready_.notify_all();
  }

  bool cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

  // A worker's loop: calls `process` on each item it claims, until the
  // producer has closed and no item waits.
  template <typename Process>
  void work(const Process& process) {
    std::unique_lock lock(mutex_);
    while (true) {
      work_.wait(lock, [&] { return claimed_ < tail_ || closed_; });
      if (claimed_ == tail_ || cancelled_) return;  // nothing left to do
      const std::size_t index = claimed_++;
      Item& item = slots_[index % slots_.size()];
      lock.unlock();
      process(item);  // the slot stays put until the consumer takes it
      lock.lock();
      processed_[index % slots_.size()] = true;
      if (index == head_) ready_.notify_one();
    }
  }

  // The consumer: the next item in order, once processed; false once every
  // one has been taken. Calls `tick` now and then while it waits.
  bool next(Item& item, const std::function<void()>& tick) {
    std::unique_lock lock(mutex_);
    while (!(head_ < tail_ && processed_[head_ % slots_.size()])) {
      if ((closed_ && head_ == tail_) || cancelled_) return false;
      ready_.wait_for(lock, std::chrono::milliseconds(100));
      if (tick) {
        lock.unlock();
        tick();
        lock.lock();
      }
    }
    item = std::move(slots_[head_ % slots_.size()]);
    slots_[head_ % slots_.size()] = Item{};
    ++head_;
    space_.notify_one();
    return true;
  }

 private:
  std::vector<Item> slots_;
  std::vector<bool> processed_;
  std::mutex mutex_;
  std::condition_variable space_, work_, ready_;
  std::size_t head_ = 0, claimed_ = 0, tail_ = 0;
  bool closed_ = false;
  bool cancelled_ = false;
};

#endif
