#pragma once

#include <windows.h>

#include <string>

namespace varnik::win32 {

// Throws the PlatformError for the system's error: the path as the caller
// gave it, ": ", and the system's text; its code the error as an HRESULT.
[[noreturn]] void Fail(const std::string& path, DWORD error, bool list_may_be_damaged = false);

// What stands at the list's place holds no bytes of its own to read or
// replace: a device, a pipe, a socket, a link the system cannot follow.
// `error` is what the system said on opening it, where it said anything.
[[noreturn]] void FailNotPlainFile(const std::string& path, DWORD error = ERROR_SUCCESS);

// The errors with which the system refuses to open something that is there
// but is no file: a socket (under Wine), a reparse point of a kind it cannot
// follow (the pipes, sockets and devices that Linux programs leave on NTFS).
bool MeansNotAFile(DWORD error);

}  // namespace varnik::win32
