#include "ui/win32/win32_error.h"

#include "common/platform_error.h"
#include "setupconfig/com/system_error_text.h"

namespace varnik {

std::string Win32ErrorText(DWORD error) { return SystemErrorText(HRESULT_FROM_WIN32(error)); }

void ThrowLastError() { throw PlatformError(Win32ErrorText(GetLastError())); }

}  // namespace varnik
