#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace varnik::test {

// A real X server of a test's own (Xvfb) with a window manager, as
// scripts/x-desktop starts them. Both are stopped, and waited for, when the
// object goes.
class XDisplay {
 public:
  explicit XDisplay(std::chrono::milliseconds start_timeout = std::chrono::seconds(20));
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // The value for DISPLAY, e.g. ":7".
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace varnik::test
