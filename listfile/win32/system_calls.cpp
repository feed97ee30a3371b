#include "listfile/win32/system_calls.h"

// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace varnik::win32 {
namespace {

CallHook& Hook() {
  static CallHook hook;
  return hook;
}

// The error the hook wants for the call, ERROR_SUCCESS for none.
DWORD Refused(Call call) { return Hook() ? Hook()(call) : ERROR_SUCCESS; }

template <typename Result>
Result Fail(DWORD error, Result failed) {
  SetLastError(error);
  return failed;
}

}  // namespace

CallHook SetCallHook(CallHook hook) { return std::exchange(Hook(), std::move(hook)); }

HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD flags) {
  if (const DWORD error = Refused(Call::Open)) return Fail(error, INVALID_HANDLE_VALUE);
  return CreateFileW(path, access, share, nullptr, OPEN_EXISTING, flags, nullptr);
}

HANDLE CreateNew(const wchar_t* path, DWORD access, DWORD attributes) {
  if (const DWORD error = Refused(Call::Create)) return Fail(error, INVALID_HANDLE_VALUE);
  return CreateFileW(path, access, 0, nullptr, CREATE_NEW, attributes, nullptr);
}

BOOL QueryInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  if (const DWORD error = Refused(Call::Query)) return Fail<BOOL>(error, FALSE);
  return GetFileInformationByHandle(file, info);
}

BOOL QueryInformationEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size) {
  if (const DWORD error = Refused(Call::Query)) return Fail<BOOL>(error, FALSE);
  return GetFileInformationByHandleEx(file, kind, info, size);
}

BOOL QuerySize(HANDLE file, std::uint64_t* size) {
  if (const DWORD error = Refused(Call::Query)) return Fail<BOOL>(error, FALSE);
  LARGE_INTEGER got{};
  if (!GetFileSizeEx(file, &got)) return FALSE;
  *size = static_cast<std::uint64_t>(got.QuadPart);
  return TRUE;
}

DWORD QueryFinalPath(HANDLE file, wchar_t* path, DWORD size) {
  if (const DWORD error = Refused(Call::Query)) return Fail<DWORD>(error, 0);
  return GetFinalPathNameByHandleW(file, path, size, 0);
}

DWORD GetSecurity(HANDLE file, PACL* rules, PSECURITY_DESCRIPTOR* security) {
  if (const DWORD error = Refused(Call::GetSecurity)) return error;
  return GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, rules,
                         nullptr, security);
}

DWORD SetSecurity(HANDLE file, SECURITY_INFORMATION what, PACL rules) {
  if (const DWORD error = Refused(Call::SetSecurity)) return error;
  return SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, rules, nullptr);
}

BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* got) {
  if (const DWORD error = Refused(Call::Read)) return Fail<BOOL>(error, FALSE);
  return ReadFile(file, buffer, count, got, nullptr);
}

BOOL Seek(HANDLE file, std::uint64_t offset) {
  if (const DWORD error = Refused(Call::Seek)) return Fail<BOOL>(error, FALSE);
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN);
}

BOOL Write(HANDLE file, const void* bytes, DWORD count, DWORD* written) {
  if (const DWORD error = Refused(Call::Write)) return Fail<BOOL>(error, FALSE);
  return WriteFile(file, bytes, count, written, nullptr);
}

BOOL SetEnd(HANDLE file) {
  if (const DWORD error = Refused(Call::SetEnd)) return Fail<BOOL>(error, FALSE);
  return SetEndOfFile(file);
}

BOOL Flush(HANDLE file) {
  if (const DWORD error = Refused(Call::Flush)) return Fail<BOOL>(error, FALSE);
  return FlushFileBuffers(file);
}

BOOL Close(HANDLE file) {
  if (const DWORD error = Refused(Call::Close)) {
    CloseHandle(file);
    return Fail<BOOL>(error, FALSE);
  }
  return CloseHandle(file);
}

BOOL Rename(HANDLE file, const std::wstring& to) {
  if (const DWORD error = Refused(Call::Rename)) return Fail<BOOL>(error, FALSE);
  // The name follows the structure, which the system takes whole.
  const DWORD name_bytes = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::vector<std::byte> buffer(
      std::max(offsetof(FILE_RENAME_INFO, FileName) + name_bytes + sizeof(wchar_t),
               sizeof(FILE_RENAME_INFO)));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = name_bytes;
  std::memcpy(rename->FileName, to.c_str(), name_bytes + sizeof(wchar_t));
  return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size()));
}

BOOL Dispose(HANDLE file) {
  if (const DWORD error = Refused(Call::Dispose)) return Fail<BOOL>(error, FALSE);
  FILE_DISPOSITION_INFO dispose{TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

void Wait(DWORD milliseconds) {
  if (Refused(Call::Wait) == ERROR_SUCCESS) Sleep(milliseconds);
}

}  // namespace varnik::win32
