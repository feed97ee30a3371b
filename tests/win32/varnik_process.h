// The real varnik.exe, started as its own process with the stand-in object
// registered in its place, and driven from outside as a user would drive it.
// Keys are posted to the window's queue, so they pass through its message
// loop and its dialog manager as typed keys do; where a test says so, they
// are sent instead, straight to a window procedure. Every wait is bounded.
// The window tests include this alone for the system's, the standard
// library's and the test framework's headers they share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/win32/windows_text.h"
#include "tests/win32/standin_state.h"
#include "ui/win32/control_ids.h"

namespace varnik::testing {

using Calls = std::vector<std::string>;

// Long enough for Wine to start a process on a slow machine.
inline constexpr DWORD kTimeLimitMs = 20000;

inline LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

inline std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

inline void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

inline void PostKey(HWND target, UINT virtual_key) {
  // The dialog manager and the form go by the key alone, not by its scan code.
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
}

// A message box's text; its title is TextOf(box).
inline std::wstring MessageText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

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

class WindowTest : public ::testing::Test {
 protected:
  // Starts the program once the list file and the stand-in are set up.
  void Start() {
    process_.emplace(work_.path());
    form_ = process_->WaitForForm();
    const HWND box = process_->MessageBoxNow();
    ASSERT_NE(form_, nullptr) << "the form did not appear; the program says: "
                              << (box != nullptr ? Utf8FromWide(MessageText(box)) : "nothing");
  }
  HWND Item(int id) const { return GetDlgItem(form_, id); }
  HWND Entry(int line) const { return Item(kTxtLabelId[line]); }
  // Whether the control gets the keyboard focus.
  bool FocusIs(HWND control) const {
    return process_->WaitUntil([&] {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      return GetGUIThreadInfo(process_->thread_id(), &info) && info.hwndFocus == control;
    });
  }

  TempDir work_;
  const std::filesystem::path list_ = work_.path() / "name_start.txt";
  StandInState standin_;
  std::optional<VarnikProcess> process_;
  HWND form_ = nullptr;
};

}  // namespace varnik::testing
