#include "listfile/win32/failure.h"

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"

namespace varnik::win32 {

void Fail(const std::string& path, DWORD error, bool list_may_be_damaged) {
  const HRESULT result = HRESULT_FROM_WIN32(error);
  PlatformError::Details details{static_cast<std::uint32_t>(result)};
  details.list_may_be_damaged = list_may_be_damaged;
  throw PlatformError(path + ": " + SystemErrorText(result), details);
}

void FailNotPlainFile(const std::string& path, DWORD error) {
  PlatformError::Details details;
  if (error != ERROR_SUCCESS) details.code = static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error));
  throw PlatformError(path +
                          ": non \xC3\xA8 un file normale, ma un dispositivo, una pipe o un altro "
                          "oggetto del sistema; Varnik non lo legge e non lo sostituisce",
                      details);
}

bool MeansNotAFile(DWORD error) {
  constexpr DWORD kNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, which mingw-w64 lacks
  return error == kNoSuchDevice || error == ERROR_CANT_ACCESS_FILE;
}

}  // namespace varnik::win32
