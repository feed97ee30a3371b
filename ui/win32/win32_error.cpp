#include "ui/win32/win32_error.h"

#include <cstdint>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"

namespace varnik {

std::string Win32ErrorText(DWORD error) { return SystemErrorText(HRESULT_FROM_WIN32(error)); }

void ThrowLastError() {
  const DWORD error = GetLastError();
  throw PlatformError(Win32ErrorText(error),
                      {static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error)), false});
}

}  // namespace varnik
