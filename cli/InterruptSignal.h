#pragma once
// Ctrl-C as an event the controlling thread waits for: the SIGINT handler only
// writes one byte into a pipe; everything else happens outside the handler.
#include <chrono>

namespace fq::cli {

class InterruptSignal {
 public:
  InterruptSignal();   // installs the handler
  ~InterruptSignal();  // restores the previous one
  InterruptSignal(const InterruptSignal&) = delete;
  InterruptSignal& operator=(const InterruptSignal&) = delete;

  // Waits up to `timeout` for an interrupt; true when one arrived.
  bool waitFor(std::chrono::milliseconds timeout);

 private:
  bool m_installed = false;
};

}  // namespace fq::cli
