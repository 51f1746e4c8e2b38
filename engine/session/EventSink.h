#pragma once
// Where the engine's threads post their events for the UI (the GUI's main
// window, the CLI, a test). Posting never waits for the receiver.
#include <cstdint>

namespace fq {

inline constexpr uint32_t kMsgPreviewReady = 1027;  // preview copy ready
inline constexpr uint32_t kMsgLanguageChanged = 1030;
inline constexpr uint32_t kMsgStartScan = 1031;      // wParam: 0 device, 1 backup
inline constexpr uint32_t kMsgCountsChanged = 1032;  // category counts changed
inline constexpr uint32_t kMsgFirstCategory = 1033;  // a category was chosen for first display
inline constexpr uint32_t kMsgScanEnded = 1034;      // finished or cancelled
inline constexpr uint32_t kMsgScanEvent = 1035;      // wParam below
inline constexpr uint32_t kMsgPrintPageReady = 1036;

// wParam of kMsgScanEvent.
inline constexpr uintptr_t kScanEventFirstProgress = 0;
inline constexpr uintptr_t kScanEventWrongPassword = 1;
inline constexpr uintptr_t kScanEventFailed = 3;

class IEventSink {
 public:
  virtual ~IEventSink() = default;
  // Called from any thread; must not block on the UI.
  virtual void postEvent(uint32_t message, uintptr_t wParam) = 0;
};

}  // namespace fq
