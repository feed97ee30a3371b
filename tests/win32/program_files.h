#pragma once

#include <filesystem>

namespace varnik::testing {

// A file built beside the running test program, such as varnik.exe or the
// stand-in DLL: every program of the build lands in one folder.
std::filesystem::path BuiltFile(const wchar_t* name);

}  // namespace varnik::testing
