#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace varnik::testing {

// A file built beside the running test program, such as varnik.exe: every
// program of the build lands in one folder.
std::filesystem::path BuiltFile(const wchar_t* name);

// The real varnik.exe (or another program, such as an installed one),
// started as its own process in a working directory of the test's choosing.
// It inherits the test's environment, so a StandInState in force points it at
// the test's stand-in state. Every wait is bounded; a program still running
// at the end is ended.
class VarnikProcess {
 public:
  explicit VarnikProcess(const std::filesystem::path& working_directory,
                         const std::filesystem::path& program = BuiltFile(L"varnik.exe"));
  ~VarnikProcess();
  VarnikProcess(const VarnikProcess&) = delete;
  VarnikProcess& operator=(const VarnikProcess&) = delete;

  // The form, once the program shows it and waits for input; nullptr if it
  // does not within the time limit or shows a message box instead.
  HWND WaitForForm() const;
  HWND WaitForMessageBox() const;
  HWND MessageBoxNow() const { return FindTopLevel(L"#32770"); }
  // The exit status, once the program has ended; nothing if it is still running.
  std::optional<DWORD> WaitForExit() const;
  // Waits until condition() holds or the time limit passes; says which.
  bool WaitUntil(const std::function<bool()>& condition) const;

  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD thread_id() const { return process_.dwThreadId; }

 private:
  HWND FindTopLevel(const wchar_t* class_name) const;

  PROCESS_INFORMATION process_{};
};

// Reading and driving the program's windows the way a user would reach them.
// Keys are posted to the window's queue, so they pass through its message
// loop and its dialog manager as typed keys do.

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);
// The window with the keyboard focus in the thread.
HWND FocusOf(DWORD thread_id);

void PostKey(HWND target, UINT virtual_key);
// Types characters into a control, each handled before the next is sent.
void TypeChars(HWND control, const std::wstring& text);
void SetText(HWND control, const std::wstring& text);
void Click(HWND button);

// A message box's text; its title is TextOf(box).
std::wstring MessageText(HWND box);

// The name a screen reader announces for a control, read through the
// system's accessibility interface; empty when it gives none.
std::wstring AccessibleName(HWND control);
// Whether the system's accessibility annotation service names controls
// (Wine's does not).
bool AnnotationsWork();

}  // namespace varnik::testing
