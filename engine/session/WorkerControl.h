#pragma once
// What a worker thread and the thread that controls it share: the progress
// lock, the cancel flag and the finished flag. The scan session and the
// recovery job both run on it.
//
// Protocol: the worker reports progress under the lock and answers 2
// (cancelled) once the cancel flag is set; the controller takes the same lock
// to freeze the worker (e.g. while it asks the user), sets the flag, releases
// the lock and waits for the finished flag in 50 ms steps.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/session/CountedLock.h"

namespace fq {

class WorkerControl {
 public:
  // `finished`: whether there is no run yet to wait for.
  explicit WorkerControl(bool finished) : m_finished(finished) {}
  WorkerControl(const WorkerControl&) = delete;
  WorkerControl& operator=(const WorkerControl&) = delete;

  CountedLock& lock() { return m_lock; }
  // Holds the lock: the worker stops at its next report until it is released.
  std::unique_lock<CountedLock> hold() { return std::unique_lock<CountedLock>(m_lock); }
  bool holds(const std::unique_lock<CountedLock>& held) const {
    return held.mutex() == &m_lock && held.owns_lock();
  }

  // A new run: neither cancelled nor finished.
  void begin() {
    m_cancel = false;
    m_finished = false;
  }
  // Sets the cancel flag; the caller holds the lock, so the worker sees the
  // flag at its next report at the latest.
  void setCancel() { m_cancel = true; }
  bool cancelRequested() const { return m_cancel.load(); }

  // Set by the worker last, once everything it hands over is in place.
  void markFinished() { m_finished = true; }
  bool finished() const { return m_finished.load(); }
  // `between` runs between two waits (the UI repaints there); it must not
  // block on the worker.
  void waitUntilFinished(const std::function<void()>& between = {}) const {
    while (!m_finished.load()) {
      std::this_thread::sleep_for(kFinishPoll);
      if (between && !m_finished.load()) between();
    }
  }

 private:
  static constexpr auto kFinishPoll = std::chrono::milliseconds(50);

  CountedLock m_lock;
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_finished;
};

}  // namespace fq
