#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace varnik::win32 {

// A file handle, closed when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes now; false (GetLastError() says why) when the system reports an
  // error.
  bool Close();

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file that another copy of the program may hold for a moment
// without sharing it (while it rewrites the list in place or deletes it
// empty), trying again for about a second.
HANDLE OpenWaiting(const std::wstring& path, DWORD access, DWORD share, DWORD flags);

// What the system knows of an open file, which must be a plain file: a
// directory fails as the system fails a directory opened as a file, anything
// else that is no file of bytes as no plain file.
BY_HANDLE_FILE_INFORMATION PlainFileInformation(const std::string& path, HANDLE file);

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info);

// Which file an open handle is, by whatever path, drive letter, share or
// junction it was reached: its volume's serial number and its number there.
struct FileIdentity {
  std::uint64_t volume = 0;
  FILE_ID_128 number{};

  bool operator==(const FileIdentity& other) const;
};

// The file's identity (the full 128-bit number where the system gives it,
// the 64-bit index elsewhere); false when the system cannot tell.
bool IdentityOf(HANDLE file, FileIdentity& identity);

// Writes all the bytes at the file's pointer; false (GetLastError() says
// why) when the system refuses.
bool WriteAll(HANDLE file, std::string_view bytes);

}  // namespace varnik::win32
