#include "common/win32/ansi_code_page.h"

#include <algorithm>
#include <climits>

namespace varnik {
namespace {

// The texts here are lines of the list file, far below the API's int limit;
// anything beyond it would be cut rather than overflow.
int Length(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

bool IsSurrogatePair(wchar_t high, wchar_t low) {
  return high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF;
}

bool IsUtf8(UINT code_page) {
  return code_page == CP_UTF8 || (code_page == CP_ACP && GetACP() == CP_UTF8);
}

}  // namespace

std::u16string AnsiCodePage::Decode(std::string_view bytes) const {
  const int length = Length(bytes.size());
  const int needed = MultiByteToWideChar(code_page_, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(code_page_, 0, bytes.data(), length, text.data(), needed);
  return {text.begin(), text.end()};
}

std::string AnsiCodePage::Encode(std::u16string_view text) const {
  // UTF-8 holds every character and takes neither the flag nor a default.
  const bool utf8 = IsUtf8(code_page_);
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* const unmappable = utf8 ? nullptr : "?";

  std::wstring wide(text.begin(), text.end());
  if (!utf8) {
    // A character beyond the 16-bit range is one character, so one '?';
    // some systems would give one for each half of the pair.
    for (std::size_t at = 0; at + 1 < wide.size(); ++at) {
      if (IsSurrogatePair(wide[at], wide[at + 1])) wide.replace(at, 2, 1, L'?');
    }
  }
  const int length = Length(wide.size());
  const int needed =
      WideCharToMultiByte(code_page_, flags, wide.data(), length, nullptr, 0, unmappable, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(code_page_, flags, wide.data(), length, bytes.data(), needed, unmappable,
                      nullptr);
  return bytes;
}

}  // namespace varnik
