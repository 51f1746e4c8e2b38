#pragma once
// An event sink that keeps every posted event in order, for the CLI's report
// and for tests.
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/session/EventSink.h"

namespace fq {

class EventRecorder : public IEventSink {
 public:
  using Event = std::pair<uint32_t, uintptr_t>;

  void postEvent(uint32_t message, uintptr_t wParam) override {
    std::lock_guard lock(m_mutex);
    m_events.emplace_back(message, wParam);
  }

  std::vector<Event> events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
  }

  void clear() {
    std::lock_guard lock(m_mutex);
    m_events.clear();
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<Event> m_events;
};

}  // namespace fq
