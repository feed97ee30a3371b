#include "standin/com/registration.h"

#include <objbase.h>

#include <string>

namespace varnik::standin {
namespace {

constexpr const wchar_t* kDescription = L"Varnik stand-in SetupConfig";

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HKEY ClassesRoot() { return RunningUnderWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::wstring ClassesKey(const std::wstring& below) { return L"Software\\Classes\\" + below; }

std::wstring ClassIdText(const CLSID& class_id = kStandInClassId) {
  wchar_t text[40] = {};
  StringFromGUID2(class_id, text, 40);
  return text;
}

HRESULT FromStatus(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

// Creates the key and sets one of its string values (nullptr: the default).
HRESULT SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(ClassesRoot(), ClassesKey(key).c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  status =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(handle);
  return FromStatus(status);
}

std::wstring GetString(const std::wstring& key) {
  wchar_t value[128] = {};
  DWORD bytes = sizeof value;
  if (RegGetValueW(ClassesRoot(), ClassesKey(key).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                   &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return value;
}

HRESULT DeleteTree(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(ClassesRoot(), ClassesKey(key).c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

}  // namespace

HRESULT RegisterServer(const wchar_t* module_path) {
  const std::wstring class_key = L"CLSID\\" + ClassIdText();
  const std::wstring prog_id = kStandInProgId;
  for (const HRESULT result : {
           SetString(class_key, nullptr, kDescription),
           SetString(class_key + L"\\InprocServer32", nullptr, module_path),
           SetString(class_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
           SetString(class_key + L"\\ProgID", nullptr, prog_id),
           SetString(prog_id, nullptr, kDescription),
           SetString(prog_id + L"\\CLSID", nullptr, ClassIdText()),
       }) {
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  const std::wstring prog_id = kStandInProgId;
  if (GetString(prog_id + L"\\CLSID") == ClassIdText()) {
    if (const HRESULT result = DeleteTree(prog_id); FAILED(result)) return result;
  }
  return DeleteTree(L"CLSID\\" + ClassIdText());
}

HRESULT RegisterLocalServer(const wchar_t* program_path) {
  const std::wstring class_key = L"CLSID\\" + ClassIdText(kLocalStandInClassId);
  for (const HRESULT result : {
           SetString(class_key, nullptr, kDescription),
           SetString(class_key + L"\\LocalServer32", nullptr,
                     L"\"" + std::wstring(program_path) + L"\""),
       }) {
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT UnregisterLocalServer() {
  return DeleteTree(L"CLSID\\" + ClassIdText(kLocalStandInClassId));
}

}  // namespace varnik::standin
