// The list file through the Win32 file API.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"
#include "listfile/list_file.h"

namespace varnik {
namespace {

[[noreturn]] void Fail(const std::string& path, DWORD error) {
  const HRESULT result = HRESULT_FROM_WIN32(error);
  throw PlatformError(path + ": " + SystemErrorText(result), {static_cast<std::uint32_t>(result)});
}

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
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

class Win32ListFile final : public ListFileReader {
 public:
  Win32ListFile(std::wstring path, std::string shown, HANDLE file, std::uint64_t size)
      : path_(std::move(path)), shown_(std::move(shown)), file_(file), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  std::size_t Read(std::span<char> buffer) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!ReadFile(file_.get(), buffer.data(), wanted, &got, nullptr)) Fail(shown_, GetLastError());
    return got;
  }

  void DeleteIfEmpty() override {
    // While this handle is open nobody else may write, rename or delete the
    // file, so what is deleted is the empty file looked at here.
    const Handle named(CreateFileW(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!named.valid() || !GetFileInformationByHandle(named.get(), &info)) return;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return;  // a link
    if (info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) return;
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(named.get(), FileDispositionInfo, &dispose, sizeof dispose);
  }

 private:
  std::wstring path_;
  std::string shown_;  // the path as the caller gave it, for error texts
  Handle file_;
  std::uint64_t size_;
};

std::wstring Hex(std::uint32_t value) {
  std::wstring digits(8, L'0');
  for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit, value >>= 4) {
    *digit = L"0123456789abcdef"[value & 15];
  }
  return digits;
}

// What of the old list's attributes the new one takes over. Read-only is
// not among them: a read-only list is not replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The new list while it is written: a file in the list's folder under a
// fresh name that must not exist yet (CREATE_NEW, which never opens what is
// already there). Deleted unless it replaces the list.
class PendingFile {
 public:
  // Check valid() afterwards; GetLastError() says why it is not.
  PendingFile(const std::wstring& list, DWORD attributes) {
    // The names need not be unpredictable, only fresh: CREATE_NEW sees to
    // that, and a name taken already is passed over.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed =
        static_cast<std::uint64_t>(counter.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
      seed = seed * 6364136223846793005u + 1442695040888963407u;
      name_ = list + L"." + Hex(static_cast<std::uint32_t>(seed >> 32)) + L".tmp";
      file_ = CreateFileW(name_.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                          attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file_ == INVALID_HANDLE_VALUE) name_.clear();
  }
  ~PendingFile() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    if (!name_.empty()) DeleteFileW(name_.c_str());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool valid() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return file_; }

  // Closes the complete file and renames it to the list's name in one step,
  // replacing any list there. (ReplaceFileW is no single step: it moves the
  // old list aside first, and a failure or a crash in between leaves no list
  // at all.) False, with GetLastError() saying why, when the system refuses.
  bool Replace(const std::wstring& list) {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file)) return false;
    // While another program has the list open (another copy reading or
    // replacing it, a virus scanner), the system refuses to replace it; that
    // lasts a moment, so try again for about a second before giving up.
    for (DWORD wait = 0;; wait += 10) {
      if (MoveFileExW(name_.c_str(), list.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        name_.clear();
        return true;
      }
      const DWORD error = GetLastError();
      if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || wait > 140) {
        return false;
      }
      Sleep(wait);
    }
  }

 private:
  std::wstring name_;  // empty when there is no file to delete
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Whether any access rule was set on the file itself rather than passed on
// by its folder.
bool AnyRuleOfItsOwn(PACL rules) {
  for (DWORD index = 0; index < rules->AceCount; ++index) {
    void* rule = nullptr;
    if (!GetAce(rules, index, &rule)) return true;
    if ((static_cast<const ACE_HEADER*>(rule)->AceFlags & INHERITED_ACE) == 0) return true;
  }
  return false;
}

// Gives the new file the old list's access rules. Rules that all come from
// the folder come to the new file the same way; only a list with rules of its
// own, or one that shuts out the folder's, needs them copied. Returns the
// system's error, or ERROR_SUCCESS (also when the list is gone meanwhile,
// replaced by another copy's save).
DWORD KeepAccessRules(const std::wstring& list, HANDLE file) {
  // Shared in every way, so that no other copy's save has to wait for it.
  const Handle old(CreateFileW(list.c_str(), READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  if (!old.valid()) return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : GetLastError();
  PACL rules = nullptr;
  PSECURITY_DESCRIPTOR security = nullptr;
  DWORD error = GetSecurityInfo(old.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &rules, nullptr, &security);
  if (error != ERROR_SUCCESS) return error;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(security, &control, &revision)) {
    error = GetLastError();
  } else if ((control & SE_DACL_PROTECTED) != 0) {
    error = SetSecurityInfo(file, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, rules, nullptr);
  } else if (rules == nullptr || AnyRuleOfItsOwn(rules)) {
    error = SetSecurityInfo(file, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, rules, nullptr);
  }
  LocalFree(security);
  return error;
}

// Where the folder forbids a new file, the list itself is rewritten: the new
// bytes over the old ones, then the rest cut off, so the list is never empty
// on the way. Unlike a replacement, a crash in the middle can leave it torn.
void WriteInPlace(const std::string& path, const std::wstring& list, std::string_view bytes) {
  Handle file(CreateFileW(list.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !WriteAll(file.get(), bytes) || !SetEndOfFile(file.get()) ||
      !FlushFileBuffers(file.get()) || !file.Close()) {
    Fail(path, GetLastError());
  }
}

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  // Others may read, write, replace or delete the list while it is read.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return nullptr;
    Fail(path, error);
  }
  LARGE_INTEGER size{};
  const bool is_disk_file = GetFileType(file) == FILE_TYPE_DISK;
  if (is_disk_file && !GetFileSizeEx(file, &size)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    Fail(path, error);
  }
  return std::make_unique<Win32ListFile>(std::move(wide), path, file,
                                         static_cast<std::uint64_t>(size.QuadPart));
}

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  const std::wstring list = WideFromUtf8(path);
  const DWORD attributes = GetFileAttributesW(list.c_str());
  const bool has_old = attributes != INVALID_FILE_ATTRIBUTES;
  // A file never takes a folder's place.
  if (has_old && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) Fail(path, ERROR_ACCESS_DENIED);

  PendingFile file(list, has_old ? attributes & kKeptAttributes : 0);
  if (!file.valid()) {
    // A folder where the user may not create files.
    const DWORD error = GetLastError();
    if (has_old && error == ERROR_ACCESS_DENIED) return WriteInPlace(path, list, bytes);
    Fail(path, error);
  }
  if (has_old) {
    const DWORD error = KeepAccessRules(list, file.get());
    if (error != ERROR_SUCCESS) Fail(path, error);
  }
  if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.Replace(list)) {
    Fail(path, GetLastError());
  }
}

}  // namespace varnik
