#pragma once

#include <chrono>

#include "app/dialog_surface.h"
#include "setupconfig/object_wait.h"

namespace varnik {

// How long a call to the object may go unanswered before the user is asked,
// and how long each "Attendi ancora" waits before asking again.
inline constexpr std::chrono::milliseconds kFirstObjectWait{5'000};
inline constexpr std::chrono::milliseconds kNextObjectWait{10'000};

// The program's way of waiting for the object: no time limit of its own, but
// the user is asked, with the window's box, whether to go on waiting each time
// the object has kept silent for a while. Stopping throws a PlatformError
// marked stopped_by_user(); a session that ends meanwhile, one marked
// session_ending().
class SlowObjectWaiter final : public ObjectWaiter {
 public:
  explicit SlowObjectWaiter(DialogSurface& surface,
                            std::chrono::milliseconds first_wait = kFirstObjectWait,
                            std::chrono::milliseconds next_wait = kNextObjectWait);

  // Waits first_wait, then asks; each "Attendi ancora" waits next_wait and
  // asks again. The box names the call that is waiting. A call found answered
  // when a box returns has answered, whatever the box says.
  void Wait(ObjectCall which, PendingCall& call) override;

  // Whether a call to the object is being waited for, its box included.
  bool Waiting() const { return waiting_; }

 private:
  DialogSurface& surface_;
  std::chrono::milliseconds first_wait_;
  std::chrono::milliseconds next_wait_;
  bool waiting_ = false;
};

}  // namespace varnik
