#include "listfile/win32/old_list.h"

#include "listfile/win32/failure.h"
#include "listfile/win32/open_file.h"
#include "listfile/win32/paths.h"
#include "listfile/win32/system_calls.h"

namespace varnik::win32 {
namespace {

// What of the old list's attributes the new one takes over. Read-only is
// not among them: a read-only list is not replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

}  // namespace

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
  const DWORD error = GetSecurity(file.get(), &old.rules, &security);
  if (error != ERROR_SUCCESS) Fail(path, error);
  old.security.reset(security);
  return old;
}

// Rules that all come from the folder come to the new file the same way;
// only a list with rules of its own, or one that shuts out the folder's,
// needs them copied.
DWORD KeepAccessRules(const OldList& old, HANDLE file) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(old.security.get(), &control, &revision)) return GetLastError();
  if ((control & SE_DACL_PROTECTED) != 0) {
    return SetSecurity(file, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                       old.rules);
  }
  if (old.rules == nullptr || AnyRuleOfItsOwn(old.rules)) {
    return SetSecurity(file, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                       old.rules);
  }
  return ERROR_SUCCESS;
}

}  // namespace varnik::win32
