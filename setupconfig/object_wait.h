#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "setupconfig/setup_config.h"

namespace varnik {

// The calls the program makes to the configuration object, each of which may
// have to be waited for.
enum class ObjectCall { Create, ReadName, AssignName, Apply };

// A call to the object that the platform side has started and whose answer
// has not been taken yet.
class PendingCall {
 public:
  virtual ~PendingCall() = default;
  // True once the object has answered (with a result or a failure), or the
  // call failed.
  virtual bool Answered() const = 0;
  // Keeps the window painting, and taking no input, until the call is
  // answered or `limit` passes; returns Answered().
  virtual bool WaitFor(std::chrono::milliseconds limit) = 0;
};

// Decides how long the program waits for a call to the object, and whether
// the user is asked. The platform side starts each call, hands it to Wait,
// and takes the answer once Wait returns.
class ObjectWaiter {
 public:
  virtual ~ObjectWaiter() = default;
  // Returns once `call` is answered. Throws PlatformError when the user stops
  // waiting; the platform side then abandons the call and lets the error go
  // on.
  virtual void Wait(ObjectCall which, PendingCall& call) = 0;
};

// Creates the object registered under prog_id, or throws PlatformError. Every
// call to the object, its creation included, is waited for through `waiter`,
// which must outlive the object. Each platform's build supplies it: COM on
// Windows, D-Bus elsewhere.
std::unique_ptr<SetupConfig> CreateSetupConfig(std::u16string_view prog_id, ObjectWaiter& waiter);

}  // namespace varnik
