#pragma once

#include <stdexcept>
#include <string>

namespace varnik {

// A failure of the operating system or of the outside object: a file that
// cannot be read or written, an object that cannot be created or called.
// what() is the platform's own error text in UTF-8, ready to be shown to the
// user. Nothing below the front end catches it: the front end reports the
// text and ends the program with a non-zero exit status.
class PlatformError : public std::runtime_error {
 public:
  explicit PlatformError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace varnik
