#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace varnik::win32 {

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

// What a save needs to know of the list it replaces.
struct OldList {
  std::wstring path;  // the file to replace: the list, or where its links lead
  bool exists = false;
  DWORD attributes = 0;  // those the new file takes over
  std::unique_ptr<void, LocalFreer> security;
  PACL rules = nullptr;  // inside `security`
};

// The list at `list` (the long form of `path`) as a save finds it: absent,
// or a plain file the user may write, reached through any links. Anything
// else fails the save.
OldList ExamineList(const std::string& path, const std::wstring& list);

// Gives the new file the old list's access rules. Returns the system's
// error, or ERROR_SUCCESS.
DWORD KeepAccessRules(const OldList& old, HANDLE file);

}  // namespace varnik::win32
