#pragma once

#include <string>
#include <string_view>

namespace varnik {

// Conversions between UTF-8, the encoding of PlatformError texts, and the
// core's 16-bit text. Invalid input converts with U+FFFD in place of what
// cannot be read: a byte that starts no valid sequence, a sequence cut short,
// an overlong form, a surrogate or a value beyond U+10FFFF in UTF-8, and a
// surrogate without its partner in 16-bit text.
std::u16string Utf16FromUtf8(std::string_view bytes);
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace varnik
