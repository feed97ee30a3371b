#pragma once

#include <windows.h>

#include <string>

namespace varnik::win32 {

// The new list while it is written: a file in the folder of the file it
// replaces under a fresh name that must not exist yet (CREATE_NEW, which
// never opens what is already there), no longer than the list's own name.
// Held open without sharing until it replaces the list, and renamed and
// deleted through that handle, never by name: another program cannot open it
// in between and keep it from either. Deleted unless it replaces the list,
// waiting a moment where another program (a virus scanner) holds it.
class PendingFile {
 public:
  // Check valid() afterwards; GetLastError() says why it is not.
  PendingFile(const std::wstring& list, DWORD attributes);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool valid() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return file_; }

  // Renames the complete file to the list's name in one step, replacing any
  // list there, and closes it. (ReplaceFileW is no single step: it moves the
  // old list aside first, and a failure or a crash in between leaves no list
  // at all.) Waits a moment where another program holds the list. False,
  // with GetLastError() saying why, when the system refuses.
  bool Replace(const std::wstring& list);

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace varnik::win32
