#include "listfile/win32/paths.h"

#include "listfile/win32/system_calls.h"

namespace varnik::win32 {

std::wstring LongPath(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;  // the system says why on opening it
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = QueryFinalPath(file, path.data(), static_cast<DWORD>(path.size()));
    const bool fits = length < path.size();
    path.resize(length);
    if (length == 0 || fits) return path;
  }
}

}  // namespace varnik::win32
