#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

#include "common/win32/system_error_text.h"

namespace varnik {

// The text for a failed call: the object's description from its exception
// information when it gives one, else the system's text for the failure.
// Fills in deferred exception information first.
std::string ComErrorText(HRESULT result, EXCEPINFO* exception = nullptr);

// Throws PlatformError with ComErrorText and, as its code, the object's own
// error code from its exception information, or else `result`.
[[noreturn]] void ThrowComError(HRESULT result, EXCEPINFO* exception = nullptr);

}  // namespace varnik
