#pragma once

#include <windows.h>

#include <string>

namespace varnik::win32 {

// The new list while it is written: a file in the folder of the file it
// replaces under a fresh name that must not exist yet (CREATE_NEW, which
// never opens what is already there), no longer than the list's own name.
// Deleted unless it replaces the list, waiting a moment where another program
// (a virus scanner) holds it.
class PendingFile {
 public:
  // Check valid() afterwards; GetLastError() says why it is not.
  PendingFile(const std::wstring& list, DWORD attributes);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool valid() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return file_; }

  // Closes the complete file and renames it to the list's name in one step,
  // replacing any list there. (ReplaceFileW is no single step: it moves the
  // old list aside first, and a failure or a crash in between leaves no list
  // at all.) Waits a moment where another program holds the list. False,
  // with GetLastError() saying why, when the system refuses.
  bool Replace(const std::wstring& list);

 private:
  std::wstring name_;  // empty when there is no file to delete
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace varnik::win32
