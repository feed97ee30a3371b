#pragma once

#include <QDeadlineTimer>
#include <functional>

namespace varnik::test {

// Whether the condition holds, checked again and again until it does or the
// time (in milliseconds) runs out.
inline bool Eventually(const std::function<bool()>& condition, int patience_ms = 20000) {
  for (const QDeadlineTimer deadline(patience_ms); !deadline.hasExpired();) {
    if (condition()) return true;
  }
  return condition();
}

}  // namespace varnik::test
