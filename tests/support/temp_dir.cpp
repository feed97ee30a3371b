#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace varnik::test {

TempDir::TempDir(std::string_view tag) {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string pattern = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
  pattern += "/varnik-" + std::string(tag) + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace varnik::test
