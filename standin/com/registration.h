#pragma once

#include <windows.h>

namespace varnik::standin {

// {9EFDE1B1-958F-4AD3-A8A5-A78E5FAEFCF9}
inline constexpr CLSID kStandInClassId = {
    0x9efde1b1, 0x958f, 0x4ad3, {0xa8, 0xa5, 0xa7, 0x8e, 0x5f, 0xae, 0xfc, 0xf9}};

// The same object served from a program of its own, out of process:
// {5B0C7E52-3C1D-4F0B-9E55-2D6F3A4B7C11}
inline constexpr CLSID kLocalStandInClassId = {
    0x5b0c7e52, 0x3c1d, 0x4f0b, {0x9e, 0x55, 0x2d, 0x6f, 0x3a, 0x4b, 0x7c, 0x11}};

inline constexpr const wchar_t* kStandInProgId = L"VeruVeve.SetupConfig";

// Registers the DLL at module_path as the in-process server of the ProgID,
// for the current user. Wine looks classes up only in the machine's hive, so
// under Wine the registration goes there.
HRESULT RegisterServer(const wchar_t* module_path);

// Removes what RegisterServer wrote. A ProgID that now names another class
// (the real object's, say) is left alone.
HRESULT UnregisterServer();

// Registers the program at program_path as the local server of
// kLocalStandInClassId, leaving the ProgID alone: whoever wants the object
// from that program points the ProgID's CLSID at that class.
HRESULT RegisterLocalServer(const wchar_t* program_path);

// Removes what RegisterLocalServer wrote.
HRESULT UnregisterLocalServer();

}  // namespace varnik::standin
