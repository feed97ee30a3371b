// The list file through the Win32 file API.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <memory>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"
#include "listfile/list_file.h"

namespace varnik {
namespace {

[[noreturn]] void Fail(const std::string& path, DWORD error, bool list_may_be_damaged = false) {
  const HRESULT result = HRESULT_FROM_WIN32(error);
  PlatformError::Details details{static_cast<std::uint32_t>(result)};
  details.list_may_be_damaged = list_may_be_damaged;
  throw PlatformError(path + ": " + SystemErrorText(result), details);
}

// What stands at the list's place holds no bytes of its own to read or
// replace: a device, a pipe, a socket, a link the system cannot follow.
// `error` is what the system said on opening it, where it said anything.
[[noreturn]] void FailNotPlainFile(const std::string& path, DWORD error = ERROR_SUCCESS) {
  PlatformError::Details details;
  if (error != ERROR_SUCCESS) details.code = static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error));
  throw PlatformError(path +
                          ": non \xC3\xA8 un file normale, ma un dispositivo, una pipe o un altro "
                          "oggetto del sistema; Varnik non lo legge e non lo sostituisce",
                      details);
}

// The errors with which the system refuses to open something that is there
// but is no file: a socket (under Wine), a reparse point of a kind it cannot
// follow (the pipes, sockets and devices that Linux programs leave on NTFS).
bool MeansNotAFile(DWORD error) {
  constexpr DWORD kNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, which mingw-w64 lacks
  return error == kNoSuchDevice || error == ERROR_CANT_ACCESS_FILE;
}

// The path in the form to which no length limit applies ("\\?\"), made whole
// against the working folder first, since in that form every name is taken
// as it is written.
std::wstring LongPath(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;  // the system says why on opening it
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The path of an open file once all links are followed, in its long form
// ("\\?\" and the drive); empty when the system cannot tell.
std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    const bool fits = length < path.size();
    path.resize(length);
    if (length == 0 || fits) return path;
  }
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

// What the system knows of an open file, which must be a plain file: a
// directory fails as the system fails a directory opened as a file, anything
// else that is no file of bytes as no plain file.
BY_HANDLE_FILE_INFORMATION PlainFileInformation(const std::string& path, HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK) FailNotPlainFile(path);
  if (!GetFileInformationByHandle(file, &info)) Fail(path, GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) Fail(path, ERROR_ACCESS_DENIED);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) FailNotPlainFile(path);
  return info;
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

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
  Win32ListFile(std::wstring path, HANDLE file) : path_(std::move(path)), file_(file) {}

  // Only for a plain file; throws otherwise.
  void Examine(const std::string& shown) {
    shown_ = shown;
    info_ = PlainFileInformation(shown, file_.get());
  }

  std::uint64_t Size() const override { return SizeOf(info_); }

  std::size_t Read(std::span<char> buffer) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!ReadFile(file_.get(), buffer.data(), wanted, &got, nullptr)) Fail(shown_, GetLastError());
    return got;
  }

  void DeleteIfEmpty() override {
    // While this handle is open nobody else may write, rename, replace or
    // delete the file, so what is deleted is the file looked at here: the
    // one that was read (not a list another copy saved since), still empty.
    const Handle named(CreateFileW(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!named.valid() || !GetFileInformationByHandle(named.get(), &info)) return;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return;  // a link
    // Nor a link the system does not show as one (Wine shows Linux's links
    // as the files they lead to, and deletes those).
    std::wstring named_path(GetLongPathNameW(path_.c_str(), nullptr, 0), L'\0');
    named_path.resize(
        GetLongPathNameW(path_.c_str(), named_path.data(), static_cast<DWORD>(named_path.size())));
    if (CompareStringOrdinal(FinalPath(named.get()).c_str(), -1, named_path.c_str(), -1, TRUE) !=
        CSTR_EQUAL) {
      return;
    }
    if (info.dwVolumeSerialNumber != info_.dwVolumeSerialNumber ||
        info.nFileIndexHigh != info_.nFileIndexHigh || info.nFileIndexLow != info_.nFileIndexLow ||
        SizeOf(info) != 0) {
      return;
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(named.get(), FileDispositionInfo, &dispose, sizeof dispose);
  }

 private:
  std::wstring path_;
  std::string shown_;  // the path as the caller gave it, for error texts
  Handle file_;
  BY_HANDLE_FILE_INFORMATION info_{};
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

// The new list while it is written: a file in the folder of the file it
// replaces under a fresh name that must not exist yet (CREATE_NEW, which
// never opens what is already there), no longer than the list's own name.
// Deleted unless it replaces the list.
class PendingFile {
 public:
  // Check valid() afterwards; GetLastError() says why it is not.
  PendingFile(const std::wstring& list, DWORD attributes) {
    const std::wstring folder = list.substr(0, list.find_last_of(L'\\') + 1);
    // The names need not be unpredictable, only fresh: CREATE_NEW sees to
    // that, and a name taken already is passed over.
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed =
        static_cast<std::uint64_t>(counter.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
      seed = seed * 6364136223846793005u + 1442695040888963407u;
      name_ = folder + L"~" + Hex(static_cast<std::uint32_t>(seed >> 32)) + L".tmp";
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
    // lasts a moment, so try again, often, for about a second before giving
    // up: where copies keep the list busy, one of many tries finds it free.
    for (int tries = 1;; ++tries) {
      if (MoveFileExW(name_.c_str(), list.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        name_.clear();
        return true;
      }
      const DWORD error = GetLastError();
      if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || tries == 100) {
        return false;
      }
      Sleep(tries < 20 ? 1 : 12);
    }
  }

 private:
  std::wstring name_;  // empty when there is no file to delete
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

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
// system's error, or ERROR_SUCCESS.
DWORD KeepAccessRules(const OldList& old, HANDLE file) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(old.security.get(), &control, &revision)) return GetLastError();
  if ((control & SE_DACL_PROTECTED) != 0) {
    return SetSecurityInfo(file, SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, old.rules, nullptr);
  }
  if (old.rules == nullptr || AnyRuleOfItsOwn(old.rules)) {
    return SetSecurityInfo(file, SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, old.rules, nullptr);
  }
  return ERROR_SUCCESS;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a file that another copy of the program may hold for a moment
// without sharing it (while it rewrites the list in place or deletes it
// empty), trying again for about a second.
HANDLE OpenWaiting(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
  for (DWORD wait = 0;; wait += 10) {
    const HANDLE file =
        CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION || wait > 140) {
      return file;
    }
    Sleep(wait);
  }
}

// The list as a save finds it: absent, or a plain file the user may write,
// reached through any links. Anything else fails the save.
OldList ExamineList(const std::string& path, const std::wstring& list) {
  OldList old;
  old.path = list;
  // Opened for writing, which only a list the user may write allows, though
  // the folder would let a new file take its place; but never written.
  const Handle file(OpenWaiting(list, FILE_READ_ATTRIBUTES | READ_CONTROL | FILE_WRITE_DATA,
                                kShareAll, FILE_FLAG_BACKUP_SEMANTICS));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    if (MeansNotAFile(error)) FailNotPlainFile(path, error);
    // A link whose target is missing is there, but leads nowhere to write.
    const bool absent = error == ERROR_PATH_NOT_FOUND ||
                        (error == ERROR_FILE_NOT_FOUND &&
                         GetFileAttributesW(list.c_str()) == INVALID_FILE_ATTRIBUTES);
    if (!absent) Fail(path, error);
    return old;
  }
  const BY_HANDLE_FILE_INFORMATION info = PlainFileInformation(path, file.get());
  // The user's read-only mark holds: such a list is never replaced.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) Fail(path, ERROR_ACCESS_DENIED);

  // The file the list is once links are followed: a link stays and its
  // target is replaced.
  std::wstring target = FinalPath(file.get());
  if (target.empty()) {
    // A plain file named directly can do without its final path.
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(list.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      Fail(path, error);
    }
    target = list;
  }
  old.path = std::move(target);
  old.exists = true;
  old.attributes = info.dwFileAttributes & kKeptAttributes;

  PSECURITY_DESCRIPTOR security = nullptr;
  const DWORD error = GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, &old.rules, nullptr, &security);
  if (error != ERROR_SUCCESS) Fail(path, error);
  old.security.reset(security);
  return old;
}

// Where the folder forbids a new file, the list itself is rewritten: room for
// the new bytes first, then the new bytes over the old ones, then the rest
// cut off, so the list is never empty on the way. A failure after the first
// byte is overwritten puts the old bytes back where the system lets it, and
// the failure says whether the list is as it was. A crash in the middle can
// leave it torn.
void WriteInPlace(const std::string& path, const std::wstring& list, std::string_view bytes) {
  // Nobody else writes to it meanwhile.
  Handle file(OpenWaiting(list, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          FILE_ATTRIBUTE_NORMAL));
  if (!file.valid()) Fail(path, GetLastError());
  const std::uint64_t old_size = SizeOf(PlainFileInformation(path, file.get()));
  const auto seek = [&](std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file.get(), to, nullptr, FILE_BEGIN) != FALSE;
  };
  // Sets the file's end, only where it moves: Wine fails setting a file's end
  // to its size on a full disk when that size is nothing, which would leave an
  // empty list that was put back reported as damaged.
  const auto resize = [&](std::uint64_t size) {
    LARGE_INTEGER now{};
    if (!GetFileSizeEx(file.get(), &now)) return false;
    return static_cast<std::uint64_t>(now.QuadPart) == size ||
           (seek(size) && SetEndOfFile(file.get()));
  };
  const auto read = [&](std::string& into) {
    for (std::size_t at = 0; at < into.size();) {
      DWORD got = 0;
      const auto wanted = static_cast<DWORD>(std::min<std::size_t>(into.size() - at, 1u << 30));
      if (!ReadFile(file.get(), into.data() + at, wanted, &got, nullptr)) return false;
      if (got == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return false;
      }
      at += got;
    }
    return true;
  };

  // The old bytes the new ones go over, to put back on a failure.
  std::string old(static_cast<std::size_t>(std::min<std::uint64_t>(old_size, bytes.size())), '\0');
  if (!seek(0) || !read(old)) Fail(path, GetLastError());
  // Whether the list holds the old bytes again, as far as the system can
  // tell; it is read back to be sure.
  const auto restore = [&] {
    std::string again(old.size(), '\0');
    LARGE_INTEGER size{};
    return seek(0) && WriteAll(file.get(), old) && resize(old_size) &&
           FlushFileBuffers(file.get()) && seek(0) && read(again) && again == old &&
           GetFileSizeEx(file.get(), &size) &&
           static_cast<std::uint64_t>(size.QuadPart) == old_size;
  };
  const auto fail = [&] {
    const DWORD error = GetLastError();
    const bool restored = restore();
    Fail(path, error, !restored);
  };

  if (bytes.size() > old_size && !resize(bytes.size())) fail();
  if (!seek(0) || !WriteAll(file.get(), bytes) || !resize(bytes.size()) ||
      !FlushFileBuffers(file.get())) {
    fail();
  }
  // Its bytes are on the disk already: a failure here tells nothing of them.
  if (!file.Close()) Fail(path, GetLastError(), true);
}

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  std::wstring wide = LongPath(WideFromUtf8(path));
  // Others may read, write, replace or delete the list while it is read.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return nullptr;
    if (MeansNotAFile(error)) FailNotPlainFile(path, error);
    Fail(path, error);
  }
  auto list = std::make_unique<Win32ListFile>(std::move(wide), file);
  list->Examine(path);
  return list;
}

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  const OldList old = ExamineList(path, LongPath(WideFromUtf8(path)));
  PendingFile file(old.path, old.attributes);
  if (!file.valid()) {
    // A folder where the user may not create files.
    const DWORD error = GetLastError();
    if (old.exists && error == ERROR_ACCESS_DENIED) return WriteInPlace(path, old.path, bytes);
    Fail(path, error);
  }
  if (old.exists) {
    const DWORD error = KeepAccessRules(old, file.get());
    if (error != ERROR_SUCCESS) Fail(path, error);
  }
  if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.Replace(old.path)) {
    Fail(path, GetLastError());
  }
}

}  // namespace varnik
