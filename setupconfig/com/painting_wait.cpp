#include "setupconfig/com/painting_wait.h"

namespace varnik {
namespace {

constexpr ULONGLONG kLookEveryMs = 250;

// COM's hidden window for this thread's apartment, through which calls come
// in to objects that live here (an in-process object without a threading
// model lives in the program's first apartment, the window's); nullptr when
// there is none.
HWND ApartmentWindow() {
  const DWORD thread = GetCurrentThreadId();
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"OleMainThreadWndClass", nullptr);
       window != nullptr;
       window = FindWindowExW(HWND_MESSAGE, window, L"OleMainThreadWndClass", nullptr)) {
    if (GetWindowThreadProcessId(window, nullptr) == thread) return window;
  }
  return nullptr;
}

}  // namespace

bool WaitPainting(HANDLE done, std::chrono::milliseconds limit) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  const HWND apartment = ApartmentWindow();
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
    // A thread that has not looked at its queue for a few seconds counts as
    // hung (its windows are ghosted): it looks at least this often.
    const DWORD left = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kLookEveryMs));
    const DWORD woken = MsgWaitForMultipleObjectsEx(1, &done, left, QS_ALLINPUT, 0);
    if (woken == WAIT_OBJECT_0) return true;
    MSG message;
    // Peeking also delivers the messages sent from other threads.
    for (const auto& [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                                      {WM_MOUSEFIRST, WM_MOUSELAST},
                                      {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}}) {
      while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
      }
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
      DispatchMessageW(&message);
    while (apartment != nullptr && PeekMessageW(&message, apartment, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
    // Marks what stays in the queue as seen, so that only new messages wake
    // the wait again.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace varnik
