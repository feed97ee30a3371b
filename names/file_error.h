#pragma once

#include <filesystem>
#include <string>

namespace varnik {

// Throws PlatformError with the file's name and the system's reason.
[[noreturn]] void Fail(const std::filesystem::path& path, const std::string& reason);

// The system's text for the last failed C library call (errno), for the
// stream operations that report no error code of their own.
std::string LastErrorText(const char* fallback);

}  // namespace varnik
