// Starting the real varnik.exe and reading and driving its windows the way a
// user reaches them. Keys are posted to the window's queue, so they pass
// through its message loop and its dialog manager as typed keys do.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "ui/win32/control_ids.h"

namespace varnik::testing {

// Long enough for Wine to start a process on a slow machine.
constexpr DWORD kTimeLimitMs = 20000;

inline LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

inline std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

inline void SetText(HWND control, const std::wstring& text) {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

inline void PostKey(HWND target, UINT virtual_key) {
  // The dialog manager and the form go by the key alone, not by its scan code.
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
}

// The window with the keyboard focus in the thread.
inline HWND FocusOf(DWORD thread_id) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread_id, &info) ? info.hwndFocus : nullptr;
}

// A message box's text (its title is TextOf(box)): the box's one static
// control that is not its icon.
inline std::wstring MessageText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM found) -> BOOL {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        if (ClassOf(child) != L"Static" || (style & SS_TYPEMASK) == SS_ICON) return TRUE;
        *reinterpret_cast<std::wstring*>(found) = TextOf(child);
        return reinterpret_cast<std::wstring*>(found)->empty();
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// The name a screen reader announces for a control, read through the
// system's accessibility interface; empty when it gives none.
inline std::wstring AccessibleName(HWND control) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring name;
  IAccessible* object = nullptr;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  // __uuidof: mingw's oleacc import library carries IID_IAccessible as code.
  if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                           __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&object)))) {
    if (object->get_accName(self, &text) == S_OK && text != nullptr) {
      name.assign(text, SysStringLen(text));
    }
    object->Release();
  }
  SysFreeString(text);
  if (SUCCEEDED(com)) CoUninitialize();
  return name;
}

// A file built beside the running test program: every program of the build
// lands in one folder.
inline std::filesystem::path BuiltFile(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path() / name;
}

// The real varnik.exe (or another program, such as an installed one),
// started as its own process in a working directory of the test's choosing.
// It inherits the test's environment, so a StandInState in force points it at
// the test's stand-in state. Every wait is bounded; a program still running
// at the end is ended.
class VarnikProcess {
 public:
  explicit VarnikProcess(const std::filesystem::path& working_directory,
                         const std::filesystem::path& program = BuiltFile(L"varnik.exe")) {
    std::wstring command = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_directory.wstring().c_str(), &startup, &process_)) {
      process_ = {};
    }
  }
  ~VarnikProcess() {
    if (process_.hProcess == nullptr) return;
    TerminateProcess(process_.hProcess, 99);  // fails harmlessly once it has ended
    WaitForSingleObject(process_.hProcess, kTimeLimitMs);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  VarnikProcess(const VarnikProcess&) = delete;
  VarnikProcess& operator=(const VarnikProcess&) = delete;

  // Waits until condition() holds or the time limit passes; says which.
  bool WaitUntil(const std::function<bool()>& condition) const {
    const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
    for (;;) {
      if (condition()) return true;
      if (GetTickCount64() > deadline || process_.hProcess == nullptr) return false;
      // Paced by the process itself: once it has ended, nothing more can change.
      if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) return condition();
    }
  }

  // The form, once the program shows it and waits for input; nullptr if it
  // does not within the time limit or shows a message box instead.
  HWND WaitForForm() const {
    WaitForInputIdle(process_.hProcess, kTimeLimitMs);
    HWND form = nullptr;
    WaitUntil([&] { return (form = FindTopLevel(kFormClassName)) != nullptr || MessageBoxNow(); });
    return form;
  }
  HWND MessageBoxNow() const { return FindTopLevel(L"#32770"); }
  HWND WaitForMessageBox() const {
    HWND box = nullptr;
    WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; });
    return box;
  }
  // The exit status, once the program has ended; nothing if it is still running.
  std::optional<DWORD> WaitForExit() const {
    DWORD status = 0;
    if (!WaitUntil([&] { return !Running(); }) || !GetExitCodeProcess(process_.hProcess, &status)) {
      return std::nullopt;
    }
    return status;
  }

  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD thread_id() const { return process_.dwThreadId; }

 private:
  // A visible top-level window of the program.
  HWND FindTopLevel(const wchar_t* class_name) const {
    for (HWND window = FindWindowExW(nullptr, nullptr, class_name, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, class_name, nullptr)) {
      DWORD process_id = 0;
      GetWindowThreadProcessId(window, &process_id);
      if (process_id == process_.dwProcessId && IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  PROCESS_INFORMATION process_{};
};

}  // namespace varnik::testing
