#include "tests/win32/varnik_process.h"

#include <string>
#include <utility>

#include "tests/win32/program_files.h"
#include "ui/win32/control_ids.h"

namespace varnik::testing {
namespace {

// Long enough for Wine to start a process on a slow machine.
constexpr DWORD kTimeLimitMs = 20000;
constexpr DWORD kPollMs = 10;

struct WindowSearch {
  DWORD process_id;
  const wchar_t* class_name;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM search_pointer) {
  auto* search = reinterpret_cast<WindowSearch*>(search_pointer);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  if (process_id == search->process_id && IsWindowVisible(window) &&
      std::wstring(class_name) == search->class_name) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

VarnikProcess::VarnikProcess(const std::filesystem::path& working_directory) {
  std::wstring command = L"\"" + BuiltFile(L"varnik.exe").wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      working_directory.wstring().c_str(), &startup, &process_)) {
    process_ = {};
  }
}

VarnikProcess::~VarnikProcess() {
  if (process_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, kTimeLimitMs);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool VarnikProcess::WaitUntil(const std::function<bool()>& condition) const {
  const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > deadline || process_.hProcess == nullptr) return false;
    // Paced by the process itself: once it has ended, nothing more can change.
    if (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_OBJECT_0) return condition();
  }
}

HWND VarnikProcess::FindTopLevel(const wchar_t* class_name) const {
  WindowSearch search{process_.dwProcessId, class_name};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND VarnikProcess::WaitForForm() const {
  if (process_.hProcess == nullptr) return nullptr;
  WaitForInputIdle(process_.hProcess, kTimeLimitMs);
  // A message box instead means the program failed to start.
  HWND form = nullptr;
  WaitUntil([&] {
    form = FindTopLevel(kFormClassName);
    return form != nullptr || MessageBoxNow() != nullptr;
  });
  return form;
}

HWND VarnikProcess::WaitForMessageBox() const {
  HWND box = nullptr;
  WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; });
  return box;
}

std::optional<DWORD> VarnikProcess::WaitForExit() const {
  if (process_.hProcess == nullptr ||
      WaitForSingleObject(process_.hProcess, kTimeLimitMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD status = 0;
  GetExitCodeProcess(process_.hProcess, &status);
  return status;
}

}  // namespace varnik::testing
