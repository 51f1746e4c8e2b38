#pragma once
// An engine event carried to the GUI thread: engine message m arrives as a
// QEvent of type QEvent::User + (m - 1024) holding the message's wParam.
#include <QEvent>
#include <cstdint>

namespace fq::app {

inline constexpr uint32_t kFirstPrivateMessage = 1024;

class SinkEvent : public QEvent {
 public:
  SinkEvent(uint32_t message, uintptr_t wParam)
      : QEvent(static_cast<QEvent::Type>(QEvent::User + static_cast<int>(message - kFirstPrivateMessage))),
        m_wParam(wParam) {}
  uint32_t message() const { return static_cast<uint32_t>(type() - QEvent::User) + kFirstPrivateMessage; }
  uintptr_t wParam() const { return m_wParam; }

 private:
  uintptr_t m_wParam;
};

}  // namespace fq::app
