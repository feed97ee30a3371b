#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace varnik {

// The system's own text for an HRESULT, without the line end FormatMessage
// adds; when the system has none, the code in hexadecimal.
std::string SystemErrorText(HRESULT result);

// The text for a failed call: the object's description from its exception
// information when it gives one, else the system's text for the failure.
// Fills in deferred exception information first.
std::string ComErrorText(HRESULT result, EXCEPINFO* exception = nullptr);

// Throws PlatformError with ComErrorText.
[[noreturn]] void ThrowComError(HRESULT result, EXCEPINFO* exception = nullptr);

}  // namespace varnik
