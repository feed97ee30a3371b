#pragma once

#include <windows.h>

#include <string>

namespace varnik {

// The system's text for a Win32 error code, without the line end.
std::string Win32ErrorText(DWORD error);

// Throws PlatformError with the system's text for GetLastError().
[[noreturn]] void ThrowLastError();

}  // namespace varnik
