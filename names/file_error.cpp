#include "names/file_error.h"

#include <cerrno>
#include <cstring>

#include "common/platform_error.h"

namespace varnik {

void Fail(const std::filesystem::path& path, const std::string& reason) {
  const std::u8string name = path.u8string();
  throw PlatformError(std::string(name.begin(), name.end()) + ": " + reason);
}

std::string LastErrorText(const char* fallback) {
  const int error = errno;
  return error != 0 ? std::strerror(error) : fallback;
}

}  // namespace varnik
