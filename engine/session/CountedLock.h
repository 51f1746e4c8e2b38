#pragma once
// The lock a worker thread and the UI thread share (the progress lock). It
// counts how often it was entered and left, so that a pause held across two
// clicks can be checked to balance. A held lock must be left by the thread that
// entered it.
#include <atomic>
#include <cstdint>
#include <mutex>

namespace fq {

class CountedLock {
 public:
  void enter() {
    m_mutex.lock();
    m_entered.fetch_add(1, std::memory_order_relaxed);
  }
  void leave() {
    m_left.fetch_add(1, std::memory_order_relaxed);
    m_mutex.unlock();
  }
  // BasicLockable, for std::lock_guard.
  void lock() { enter(); }
  void unlock() { leave(); }

  uint64_t enteredCount() const { return m_entered.load(std::memory_order_relaxed); }
  uint64_t leftCount() const { return m_left.load(std::memory_order_relaxed); }

 private:
  std::mutex m_mutex;
  std::atomic<uint64_t> m_entered{0};
  std::atomic<uint64_t> m_left{0};
};

}  // namespace fq
