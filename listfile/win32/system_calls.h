#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace varnik::win32 {

// The system calls through which the list file changes anything on disk or
// decides on it, each through one thin function here that forwards to the
// system. Tests hand in a hook that is asked before each call and may make
// it fail, so that every step of a save can be shown to fail cleanly and
// another copy's save can land between any two steps; the program sets none.
enum class Call {
  Open,         // CreateFileW of the list or its folder
  Create,       // CreateFileW of the new file (CREATE_NEW), with its attributes
  Query,        // GetFileInformationByHandle(Ex), GetFileSizeEx, GetFinalPathNameByHandleW
  GetSecurity,  // GetSecurityInfo
  SetSecurity,  // SetSecurityInfo: the access rules copied
  Read,         // ReadFile
  Seek,         // SetFilePointerEx
  Write,        // WriteFile
  SetEnd,       // SetEndOfFile
  Flush,        // FlushFileBuffers
  Close,        // CloseHandle, where its answer counts
  Rename,       // SetFileInformationByHandle(FileRenameInfo): the new file takes the list's place
  Dispose,      // SetFileInformationByHandle(FileDispositionInfo): the empty list, or the new
                // file after a failure
  Wait,         // Sleep, between tries while another program holds the list
};

// Returns ERROR_SUCCESS to let the call go to the system, or the error for
// the call to fail with, as the system would fail it. For Call::Wait any
// error cuts the wait short and nothing fails.
using CallHook = std::function<DWORD(Call)>;

// Sets the hook (an empty one lets every call through) and returns the last.
CallHook SetCallHook(CallHook hook);

// As the system's own calls: on failure the value that means failure, with
// GetLastError() saying why. A refused CloseHandle still closes, as the
// system's does.
// Open is CreateFileW for Call::Open, CreateNew for Call::Create.
HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD flags);
HANDLE CreateNew(const wchar_t* path, DWORD access, DWORD attributes);
BOOL QueryInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
BOOL QueryInformationEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size);
BOOL QuerySize(HANDLE file, std::uint64_t* size);
DWORD QueryFinalPath(HANDLE file, wchar_t* path, DWORD size);
DWORD GetSecurity(HANDLE file, PACL* rules, PSECURITY_DESCRIPTOR* security);
DWORD SetSecurity(HANDLE file, SECURITY_INFORMATION what, PACL rules);
BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* got);
BOOL Seek(HANDLE file, std::uint64_t offset);
BOOL Write(HANDLE file, const void* bytes, DWORD count, DWORD* written);
BOOL SetEnd(HANDLE file);
BOOL Flush(HANDLE file);
BOOL Close(HANDLE file);
// Rename gives the open file (opened with DELETE access) the name `to`, a
// full path, replacing any file there.
BOOL Rename(HANDLE file, const std::wstring& to);
BOOL Dispose(HANDLE file);
void Wait(DWORD milliseconds);

}  // namespace varnik::win32
