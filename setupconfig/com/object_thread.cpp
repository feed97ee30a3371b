#include "setupconfig/com/object_thread.h"

#include <objbase.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <new>
#include <utility>

#include "setupconfig/com/com_error.h"
#include "setupconfig/com/painting_wait.h"

namespace varnik {
namespace {

// How long the end of the program waits for the object to let go.
constexpr DWORD kReleaseWaitMs = 5000;

// Wine (8) cancels a call that the filter cancels, but its channel then frees
// the call's message while the thread that carries it to the server still
// writes into it when the answer or the server's end comes; there the call
// is only abandoned, which is sound: the carrying thread keeps waiting and
// the program ends after the stop.
bool CancelsCalls() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

}  // namespace

// What the window's thread and the object's thread share. It outlives both
// sides' use: a thread left with an abandoned call keeps its own reference.
struct ObjectThread::Shared {
  HANDLE job_ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE job_done = CreateEventW(nullptr, TRUE, TRUE, nullptr);  // set while idle
  HRESULT started = S_OK;
  DWORD thread_id = 0;
  Job job;  // the next call; an empty one ends the thread
  std::exception_ptr failure;
  Microsoft::WRL::ComPtr<IDispatch> object;
  // Set when the user stops waiting: the call is cancelled where it can be,
  // and once it comes back, cancelled or answered late, the thread lets go of
  // the object and ends.
  std::atomic<bool> cancel{false};
  const bool cancels_calls = CancelsCalls();

  Shared() = default;
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
  ~Shared() {
    if (job_ready != nullptr) CloseHandle(job_ready);
    if (job_done != nullptr) CloseHandle(job_done);
  }
};

namespace {

// The object thread's message filter: while an outgoing call waits, COM asks
// it at every message whether to go on waiting; once the user has stopped, it
// cancels the call. A call the server turns away because it is busy is tried
// again until it is taken or stopped.
class CancellingFilter final : public IMessageFilter {
 public:
  explicit CancellingFilter(const ObjectThread::Shared& shared) : shared_(shared) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
      *object = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the thread's stack for as long as it is registered.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD rejection) override {
    if (shared_.cancel || rejection == SERVERCALL_REJECTED) return static_cast<DWORD>(-1);
    return 100;  // milliseconds until the call is tried again
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return shared_.cancel && shared_.cancels_calls ? PENDINGMSG_CANCELCALL
                                                   : PENDINGMSG_WAITDEFPROCESS;
  }

 private:
  const ObjectThread::Shared& shared_;
};

DWORD WINAPI RunObjectThread(void* parameter) {
  const std::shared_ptr<ObjectThread::Shared> shared =
      std::move(*static_cast<std::shared_ptr<ObjectThread::Shared>*>(parameter));
  delete static_cast<std::shared_ptr<ObjectThread::Shared>*>(parameter);

  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
  shared->started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const bool com = SUCCEEDED(shared->started);
  CancellingFilter filter(*shared);
  if (com) CoRegisterMessageFilter(&filter, nullptr);
  SetEvent(shared->job_done);

  while (com) {
    const DWORD woken = MsgWaitForMultipleObjectsEx(1, &shared->job_ready, INFINITE, QS_ALLINPUT,
                                                    MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0 + 1) {
      // COM's own messages for this apartment.
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      continue;
    }
    if (woken != WAIT_OBJECT_0) break;
    const ObjectThread::Job job = std::move(shared->job);
    if (!job) break;
    try {
      job(shared->object);
    } catch (...) {
      shared->failure = std::current_exception();
    }
    SetEvent(shared->job_done);
    // A stopped call that came back: the object takes no more calls.
    if (shared->cancel) break;
  }

  shared->object.Reset();
  if (com) {
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
  }
  return 0;
}

// A call on the object thread, answered when the thread is idle again.
class ThreadCall final : public PendingCall {
 public:
  explicit ThreadCall(HANDLE done) : done_(done) {}
  bool Answered() const override { return WaitForSingleObject(done_, 0) == WAIT_OBJECT_0; }
  bool WaitFor(std::chrono::milliseconds limit) override { return WaitPainting(done_, limit); }

 private:
  HANDLE done_;
};

}  // namespace

ObjectThread::ObjectThread() : shared_(std::make_shared<Shared>()) {
  if (shared_->job_ready == nullptr || shared_->job_done == nullptr) {
    ThrowComError(HRESULT_FROM_WIN32(GetLastError()));
  }
  ResetEvent(shared_->job_done);
  auto* parameter = new std::shared_ptr<Shared>(shared_);
  thread_ = CreateThread(nullptr, 0, &RunObjectThread, parameter, 0, &shared_->thread_id);
  if (thread_ == nullptr) {
    const DWORD error = GetLastError();
    delete parameter;
    ThrowComError(HRESULT_FROM_WIN32(error));
  }
  WaitForSingleObject(shared_->job_done, INFINITE);
  if (FAILED(shared_->started)) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    ThrowComError(shared_->started);
  }
}

ObjectThread::~ObjectThread() {
  // After a stop the thread lets go of the object by itself once the call
  // comes back, the object's creation included, so that a server kept only
  // by it can end while the failure is on screen.
  if (!abandoned_ || WaitForSingleObject(shared_->job_done, 0) == WAIT_OBJECT_0) {
    shared_->job = nullptr;
    SetEvent(shared_->job_ready);
    WaitForSingleObject(thread_, kReleaseWaitMs);
  }
  CloseHandle(thread_);
}

void ObjectThread::Call(ObjectCall which, ObjectWaiter& waiter, Job job) {
  // Only after a stop, which ends the program: the thread is still busy.
  if (abandoned_) ThrowComError(RPC_E_CALL_CANCELED);
  shared_->job = std::move(job);
  shared_->failure = nullptr;
  ResetEvent(shared_->job_done);
  SetEvent(shared_->job_ready);

  ThreadCall call(shared_->job_done);
  try {
    waiter.Wait(which, call);
  } catch (...) {
    abandoned_ = true;
    shared_->cancel = true;
    // Wakes the wait in COM's channel, which then asks the filter.
    PostThreadMessageW(shared_->thread_id, WM_NULL, 0, 0);
    throw;
  }
  if (shared_->failure) std::rethrow_exception(shared_->failure);
}

}  // namespace varnik
