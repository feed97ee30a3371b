#pragma once

#include <windows.h>

namespace varnik::standin {

// {9EFDE1B1-958F-4AD3-A8A5-A78E5FAEFCF9}
inline constexpr CLSID kStandInClassId = {
    0x9efde1b1, 0x958f, 0x4ad3, {0xa8, 0xa5, 0xa7, 0x8e, 0x5f, 0xae, 0xfc, 0xf9}};

inline constexpr const wchar_t* kStandInProgId = L"VeruVeve.SetupConfig";

// Registers the DLL at module_path as the in-process server of the ProgID,
// for the current user. Wine looks classes up only in the machine's hive, so
// under Wine the registration goes there.
HRESULT RegisterServer(const wchar_t* module_path);

// Removes what RegisterServer wrote. A ProgID that now names another class
// (the real object's, say) is left alone.
HRESULT UnregisterServer();

}  // namespace varnik::standin
