#pragma once

#include <string>
#include <string_view>

namespace varnik {

// Conversions at the edge between the program's text and Windows' own. On
// Windows wchar_t holds UTF-16, the same 16-bit units as entry text.
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// UTF-8, the encoding of PlatformError texts. Invalid input converts with
// U+FFFD in place of what cannot be read.
std::string Utf8FromWide(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view text);

}  // namespace varnik
