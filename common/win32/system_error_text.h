#pragma once

#include <windows.h>

#include <string>

namespace varnik {

// The system's own text for an HRESULT (a Win32 error code goes in through
// HRESULT_FROM_WIN32), in UTF-8 and without the line end FormatMessage adds;
// empty when the system has none (the code itself travels beside the text).
std::string SystemErrorText(HRESULT result);

}  // namespace varnik
