#pragma once
// A private X server for the window tests: Xvfb on a display number it picks
// itself, stopped when the object goes away.
#include <sys/types.h>

#include <string>

namespace fq::app::test {

class XvfbServer {
 public:
  // Starts Xvfb with one screen of `width`×`height`; display() is empty when
  // no server could be started (no Xvfb installed, or it failed).
  XvfbServer(int width, int height);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& display() const { return m_display; }
  // Why display() is empty.
  const std::string& failure() const { return m_failure; }

 private:
  pid_t m_pid = -1;
  std::string m_display;
  std::string m_failure;
};

}  // namespace fq::app::test
