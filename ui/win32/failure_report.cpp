#include "ui/win32/failure_report.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "common/win32/windows_text.h"

namespace varnik {
namespace {

void WriteStandardError(std::string_view utf8) {
  const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  if (errors == nullptr || errors == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(errors, &mode)) {
    // A console shows UTF-16 whatever its code page.
    const std::wstring text = WideFromUtf8(utf8);
    DWORD written = 0;
    WriteConsoleW(errors, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  while (!utf8.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(utf8.size(), INT_MAX));
    if (!WriteFile(errors, utf8.data(), chunk, &written, nullptr) || written == 0) return;
    utf8.remove_prefix(written);
  }
}

}  // namespace

void ReportFailure(HWND owner, const FailureMessage& message) {
  // Standard error first: the text is kept even when nobody dismisses the box.
  WriteStandardError(message.standard_error);
  const std::wstring box = ToWide(message.box);
  // With no owner, the box comes to the front by itself.
  MessageBoxW(owner, box.c_str(), L"Varnik",
              MB_OK | MB_ICONERROR | (owner == nullptr ? MB_SETFOREGROUND : 0));
}

}  // namespace varnik
