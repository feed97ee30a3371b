#pragma once

#include <windows.h>

#include <string>

namespace varnik {

// The system's text for a Win32 error code, without the line end; empty when
// the system has none.
std::string Win32ErrorText(DWORD error);

// Throws PlatformError with the system's text for GetLastError() and the
// error as its HRESULT.
[[noreturn]] void ThrowLastError();

}  // namespace varnik
