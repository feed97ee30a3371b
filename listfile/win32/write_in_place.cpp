#include "listfile/win32/write_in_place.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "listfile/win32/failure.h"
#include "listfile/win32/open_file.h"
#include "listfile/win32/system_calls.h"

namespace varnik::win32 {

void WriteInPlace(const std::string& path, const std::wstring& list, std::string_view bytes) {
  // Nobody else writes to it meanwhile.
  Handle file(OpenWaiting(list, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          FILE_ATTRIBUTE_NORMAL));
  if (!file.valid()) Fail(path, GetLastError());
  const std::uint64_t old_size = SizeOf(PlainFileInformation(path, file.get()));
  // Whether anything was asked to change the list yet: until then a failure
  // leaves it as it was, and nothing needs putting back.
  bool touched = false;
  // Sets the file's end, only where it moves: Wine fails setting a file's end
  // to its size on a full disk when that size is nothing.
  const auto resize = [&](std::uint64_t size) {
    std::uint64_t now = 0;
    if (!QuerySize(file.get(), &now)) return false;
    if (now == size) return true;
    if (!Seek(file.get(), size)) return false;
    touched = true;
    return SetEnd(file.get()) != FALSE;
  };
  const auto read = [&](std::string& into) {
    for (std::size_t at = 0; at < into.size();) {
      DWORD got = 0;
      const auto wanted = static_cast<DWORD>(std::min<std::size_t>(into.size() - at, 1u << 30));
      if (!Read(file.get(), into.data() + at, wanted, &got)) return false;
      if (got == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return false;
      }
      at += got;
    }
    return true;
  };
  // Whether the file ends where it is read.
  const auto at_end = [&] {
    char more = 0;
    DWORD got = 0;
    return Read(file.get(), &more, 1, &got) && got == 0;
  };

  // The old list whole, to put back on a failure: where the new one is
  // shorter, cutting off the rest loses the old bytes beyond it.
  std::string old(static_cast<std::size_t>(old_size), '\0');
  if (!Seek(file.get(), 0) || !read(old)) Fail(path, GetLastError());
  // Whether the list holds the old bytes again, and no more, as far as the
  // system can tell: it is read back to be sure. Its length is put back even
  // where the old bytes cannot be written, since the failure may have come
  // before the first new byte went in, after the room was reserved.
  const auto restore = [&] {
    if (Seek(file.get(), 0)) WriteAll(file.get(), old);
    resize(old_size);
    std::string again(old.size(), '\0');
    return Flush(file.get()) && Seek(file.get(), 0) && read(again) && again == old && at_end();
  };
  const auto fail = [&] {
    const DWORD error = GetLastError();
    const bool restored = !touched || restore();
    Fail(path, error, !restored);
  };

  if (bytes.size() > old_size && !resize(bytes.size())) fail();
  if (!Seek(file.get(), 0)) fail();
  touched = true;
  if (!WriteAll(file.get(), bytes) || !resize(bytes.size()) || !Flush(file.get())) fail();
  // Its bytes are on the disk already: a failure here tells nothing of them.
  if (!file.Close()) Fail(path, GetLastError(), true);
}

}  // namespace varnik::win32
