#include "tests/win32/program_files.h"

#include <windows.h>

#include <string>

namespace varnik::testing {

std::filesystem::path BuiltFile(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return std::filesystem::path(path).parent_path() / name;
}

}  // namespace varnik::testing
