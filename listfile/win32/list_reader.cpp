// Reading the list, and start-up's deletion of an empty one.
#include <algorithm>
#include <memory>
#include <optional>

#include "common/win32/windows_text.h"
#include "listfile/list_file.h"
#include "listfile/win32/failure.h"
#include "listfile/win32/open_file.h"
#include "listfile/win32/paths.h"
#include "listfile/win32/system_calls.h"

namespace varnik {
namespace {

using namespace win32;

class Win32ListFile final : public ListFileReader {
 public:
  Win32ListFile(std::wstring path, HANDLE file) : path_(std::move(path)), file_(file) {}

  // Only for a plain file; throws otherwise.
  void Examine(const std::string& shown) {
    shown_ = shown;
    info_ = PlainFileInformation(shown, file_.get());
    FileIdentity identity;
    if (IdentityOf(file_.get(), identity)) read_identity_ = identity;
  }

  std::uint64_t Size() const override { return SizeOf(info_); }

  std::size_t Read(std::span<char> buffer) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!win32::Read(file_.get(), buffer.data(), wanted, &got)) Fail(shown_, GetLastError());
    return got;
  }

  void DeleteIfEmpty() override {
    // While this handle is open nobody else may write, rename, replace or
    // delete the file, so what is deleted is the file looked at here: the
    // one that was read (not a list another copy saved since), still empty.
    // Which file that is, its identity tells, not its path: a drive letter
    // mapped to a share, subst or a junction on the way give the same file
    // other paths.
    const Handle named(Open(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                            FILE_FLAG_OPEN_REPARSE_POINT));
    BY_HANDLE_FILE_INFORMATION info{};
    FileIdentity identity;
    if (!read_identity_ || !named.valid() || !QueryInformation(named.get(), &info)) return;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return;  // a link
    if (!IdentityOf(named.get(), identity) || !(identity == *read_identity_) || SizeOf(info) != 0) {
      return;
    }
    // Wine follows a Linux link and shows it as the file it leads to, with
    // the same identity as the file read through it: only a file that sits
    // in the list's own folder under the list's own name is the list.
    if (!InListFolder(named.get())) return;
    Dispose(named.get());
  }

 private:
  // Whether the open file is, once all links are followed, the list's own
  // name in the list's folder, that folder's links followed too (so a
  // drive letter, subst or a junction on the way count the same on both
  // sides). Names compare as Windows compares them, regardless of case.
  bool InListFolder(HANDLE file) const {
    const std::size_t slash = path_.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    const Handle folder(Open(path_.substr(0, slash + 1).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                             FILE_FLAG_BACKUP_SEMANTICS));
    if (!folder.valid()) return false;
    std::wstring expected = FinalPath(folder.get());
    const std::wstring reached = FinalPath(file);
    if (expected.empty() || reached.empty()) return false;
    if (!expected.ends_with(L'\\')) expected += L'\\';
    expected += path_.substr(slash + 1);
    return CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()),
                                reached.c_str(), static_cast<int>(reached.size()),
                                TRUE) == CSTR_EQUAL;
  }

  std::wstring path_;
  std::string shown_;  // the path as the caller gave it, for error texts
  Handle file_;
  BY_HANDLE_FILE_INFORMATION info_{};
  std::optional<FileIdentity> read_identity_;  // none where the system cannot tell
};

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  std::wstring wide = LongPath(WideFromUtf8(path));
  // Others may read, write, replace or delete the list while it is read.
  const HANDLE file = Open(wide.c_str(), GENERIC_READ, kShareAll, FILE_ATTRIBUTE_NORMAL);
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

}  // namespace varnik
