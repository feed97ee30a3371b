#include "common/win32/windows_text.h"

#include <windows.h>

#include <climits>

namespace varnik {
namespace {

int LengthArgument(std::size_t size) {
  return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

}  // namespace

std::wstring ToWide(std::u16string_view text) { return {text.begin(), text.end()}; }

std::u16string FromWide(std::wstring_view text) { return {text.begin(), text.end()}; }

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = LengthArgument(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
  return result;
}

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = LengthArgument(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), needed);
  return result;
}

}  // namespace varnik
