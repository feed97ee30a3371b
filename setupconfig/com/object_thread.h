#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>

#include "setupconfig/object_wait.h"

namespace varnik {

// The thread on which the object lives and every call to it is made: a
// single-threaded apartment of its own. The window's thread hands it one call
// at a time and, while it waits for the answer, keeps the window painting and
// can ask the user whether to wait longer.
//
// A call to an object in another process goes through COM's channel, which
// waits for the answer in this thread's message loop and asks the thread's
// message filter at each message whether to go on; stopping posts the thread
// a message and the filter answers PENDINGMSG_CANCELCALL, so COM cancels the
// call (RPC_E_CALL_CANCELED); under Wine, whose cancel is unsound, the call is
// only abandoned. A call into an object inside this process (an in-process
// server) runs on this thread and cannot be interrupted: stopping then leaves
// it running and it is abandoned too. Either way the caller goes on at once.
class ObjectThread {
 public:
  // A call, run on the thread with the object's slot (empty until created).
  using Job = std::function<void(Microsoft::WRL::ComPtr<IDispatch>& object)>;

  // Starts the thread; throws PlatformError when it cannot.
  ObjectThread();
  // Releases the object on its thread and ends the thread. After a call was
  // abandoned, the thread does so itself as soon as the call comes back
  // (unless the process has ended first); this waits for nothing.
  ~ObjectThread();
  ObjectThread(const ObjectThread&) = delete;
  ObjectThread& operator=(const ObjectThread&) = delete;

  // Runs job on the thread and returns once it has ended, waiting through
  // waiter; what job throws is thrown here. When the waiter throws (the user
  // stopped waiting), the call is cancelled and abandoned and the waiter's
  // exception goes on; the object takes no more calls, and is let go of as
  // soon as the call comes back.
  void Call(ObjectCall which, ObjectWaiter& waiter, Job job);

  // What this side and the thread share (object_thread.cpp).
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
  bool abandoned_ = false;
};

}  // namespace varnik
