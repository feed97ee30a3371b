// The built files as Windows sees them: what they import and what resources
// varnik.exe carries.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "tests/core/temp_dir.h"
#include "tests/win32/program_files.h"

namespace varnik {
namespace {

using testing::BuiltFile;

template <typename T>
T ReadAt(const std::string& image, std::size_t offset) {
  T value{};
  if (offset + sizeof value <= image.size())
    std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}

// The DLLs a 64-bit PE file imports, in lower case, read from its import
// directory (and its delay-load directory, which must be empty here).
std::set<std::string> ImportedDlls(const std::string& image, bool* has_delay_imports) {
  const auto dos = ReadAt<IMAGE_DOS_HEADER>(image, 0);
  const auto nt_offset = static_cast<std::size_t>(dos.e_lfanew);
  const auto nt = ReadAt<IMAGE_NT_HEADERS64>(image, nt_offset);
  EXPECT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);

  std::vector<IMAGE_SECTION_HEADER> sections;
  const std::size_t first_section =
      nt_offset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
  for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
    sections.push_back(
        ReadAt<IMAGE_SECTION_HEADER>(image, first_section + i * sizeof(IMAGE_SECTION_HEADER)));
  }
  const auto file_offset = [&](DWORD rva) -> std::size_t {
    for (const IMAGE_SECTION_HEADER& section : sections) {
      if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
        return rva - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return image.size();
  };

  *has_delay_imports =
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress != 0;
  std::set<std::string> dlls;
  const DWORD imports =
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (std::size_t at = file_offset(imports);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto descriptor = ReadAt<IMAGE_IMPORT_DESCRIPTOR>(image, at);
    if (descriptor.Name == 0) break;
    std::string name(image.c_str() + std::min(file_offset(descriptor.Name), image.size()));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    dlls.insert(name);
  }
  return dlls;
}

// DLLs that come with every Windows system.
const std::set<std::string> kSystemDlls = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll",  "ucrtbase.dll", "user32.dll",   "version.dll"};

class ImportsTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ImportsTest, ImportOnlyWindowsSystemDlls) {
  const std::string image = testing::ReadBytes(BuiltFile(GetParam()));
  ASSERT_GT(image.size(), 1024u);
  bool has_delay_imports = true;
  const std::set<std::string> dlls = ImportedDlls(image, &has_delay_imports);
  EXPECT_FALSE(has_delay_imports);
  EXPECT_TRUE(dlls.count("kernel32.dll"));
  for (const std::string& dll : dlls) {
    EXPECT_TRUE(kSystemDlls.count(dll) || dll.rfind("api-ms-win-", 0) == 0)
        << dll << " is not part of Windows";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ImportsTest,
                         ::testing::Values(L"varnik.exe", L"varnik_standin.dll"));

// varnik.exe loaded as data, for its resources.
class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(BuiltFile(L"varnik.exe").c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }

  std::string Resource(const wchar_t* type, WORD id) const {
    const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, ManifestAsksForThemesPerMonitorDpiAndNoElevation) {
  const std::string manifest = Resource(MAKEINTRESOURCEW(24), 1);  // RT_MANIFEST, for a program
  for (const char* needle : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"",
                             "PerMonitorV2", "true/pm", "level=\"asInvoker\""}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  }
}

TEST_F(ResourcesTest, CarriesAnIcon) {
  EXPECT_FALSE(Resource(MAKEINTRESOURCEW(14), 1).empty());  // RT_GROUP_ICON
}

TEST(VersionResource, NamesTheProgramAndItsVersion) {
  const std::wstring path = BuiltFile(L"varnik.exe").wstring();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(VARNIK_VERSION_MINOR, VARNIK_VERSION_MAJOR));

  wchar_t* product = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\041004B0\\ProductName",
                             reinterpret_cast<void**>(&product), &length));
  EXPECT_EQ(std::wstring(product), L"Varnik");
}

}  // namespace
}  // namespace varnik
