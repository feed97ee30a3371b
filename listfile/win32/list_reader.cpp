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
    Dispose(named.get());
  }

 private:
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
