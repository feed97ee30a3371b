#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace varnik::testing {

// The real varnik.exe, started as its own process in a working directory of
// the test's choosing. It inherits the test's environment, so a
// ScopedStandInFolder in force points it at the test's stand-in state. Every
// wait is bounded; a program still running at the end is ended.
class VarnikProcess {
 public:
  explicit VarnikProcess(const std::filesystem::path& working_directory);
  ~VarnikProcess();
  VarnikProcess(const VarnikProcess&) = delete;
  VarnikProcess& operator=(const VarnikProcess&) = delete;

  // The form, once the program shows it and waits for input; nullptr if it
  // does not within the time limit or shows a message box instead.
  HWND WaitForForm() const;
  // A message box of the program, once it is shown; nullptr otherwise.
  HWND WaitForMessageBox() const;
  // The message box the program shows now, if any.
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

}  // namespace varnik::testing
