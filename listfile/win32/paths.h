#pragma once

#include <windows.h>

#include <string>

namespace varnik::win32 {

// The path in the form to which no length limit applies ("\\?\"), made whole
// against the working folder first, since in that form every name is taken
// as it is written.
std::wstring LongPath(const std::wstring& path);

// The path of an open file once all links are followed, in its long form
// ("\\?\" and the drive); empty when the system cannot tell.
std::wstring FinalPath(HANDLE file);

}  // namespace varnik::win32
