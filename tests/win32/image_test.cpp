// varnik.exe mapped as an image, not run, to read what it imports.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <set>
#include <string>

#include "tests/win32/window_driver.h"

namespace varnik {
namespace {

// DLLs that come with every Windows system.
const std::set<std::string> kSystemDlls = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll",  "ucrtbase.dll", "user32.dll",   "version.dll"};

TEST(VarnikImage, ImportsOnlyWindowsSystemDlls) {
  const HMODULE module = LoadLibraryExW(testing::BuiltFile(L"varnik.exe").c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  // The handle of a module loaded as data carries flags in its low bits.
  const auto* base =
      reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(module) & ~std::uintptr_t{3});
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const IMAGE_DATA_DIRECTORY* directory =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)->OptionalHeader.DataDirectory;
  EXPECT_EQ(directory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress, 0u);

  std::set<std::string> dlls;
  for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
           base + directory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
       import->Name != 0; ++import) {
    std::string dll = base + import->Name;
    for (char& c : dll) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(kSystemDlls.count(dll) || dll.rfind("api-ms-win-", 0) == 0)
        << dll << " is not part of Windows";
    dlls.insert(dll);
  }
  EXPECT_TRUE(dlls.count("kernel32.dll")) << "the import directory was not read";
  FreeLibrary(module);
}

}  // namespace
}  // namespace varnik
