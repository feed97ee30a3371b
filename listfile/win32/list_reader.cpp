// Reading the list, and start-up's deletion of an empty one.
#include <algorithm>
#include <memory>

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
    const Handle named(Open(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                            FILE_FLAG_OPEN_REPARSE_POINT));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!named.valid() || !QueryInformation(named.get(), &info)) return;
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
    Dispose(named.get());
  }

 private:
  std::wstring path_;
  std::string shown_;  // the path as the caller gave it, for error texts
  Handle file_;
  BY_HANDLE_FILE_INFORMATION info_{};
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
