#pragma once
// The process-wide quit counter: a value above 0 asks a running device backup
// to stop. Written by the UI thread, the scan thread and the device library's
// notification thread, hence atomic.
#include <atomic>

namespace fq {

std::atomic<int>& QuitCounter();

// Whether a stop has been asked for since the running loop started.
inline bool QuitRequested() { return QuitCounter().load() > 0; }

}  // namespace fq
