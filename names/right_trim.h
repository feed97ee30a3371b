#pragma once

#include <string>
#include <string_view>

namespace varnik {

// Removes trailing U+0020 spaces and nothing else: tabs and other white space
// stay, and so do leading spaces.
std::u16string RightTrim(std::u16string_view text);

}  // namespace varnik
