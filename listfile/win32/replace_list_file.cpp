// A save: the new list written beside the old one and put in its place, or,
// where the folder allows no new file, written over it.
#include "common/win32/windows_text.h"
#include "listfile/list_file.h"
#include "listfile/win32/failure.h"
#include "listfile/win32/old_list.h"
#include "listfile/win32/open_file.h"
#include "listfile/win32/paths.h"
#include "listfile/win32/pending_file.h"
#include "listfile/win32/system_calls.h"
#include "listfile/win32/write_in_place.h"

namespace varnik {

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  using namespace win32;
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
  if (!WriteAll(file.get(), bytes) || !Flush(file.get()) || !file.Replace(old.path)) {
    Fail(path, GetLastError());
  }
}

}  // namespace varnik
