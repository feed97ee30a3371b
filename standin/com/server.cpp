// The DLL's entry points: the class factory for the stand-in object and the
// self-registration regsvr32 calls.
#include <windows.h>

#include <objbase.h>

#include <string>

#include "standin/com/class_factory.h"
#include "standin/com/registration.h"
#include "standin/com/standin_object.h"

namespace varnik::standin {
namespace {

HMODULE this_module = nullptr;

ClassFactory factory;

}  // namespace
}  // namespace varnik::standin

using varnik::standin::factory;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    varnik::standin::this_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID class_id, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (class_id != varnik::standin::kStandInClassId) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return varnik::standin::ServerReferences() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(varnik::standin::this_module, path.data(),
                                            static_cast<DWORD>(path.size()));
    if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return varnik::standin::RegisterServer(path.c_str());
}

extern "C" HRESULT WINAPI DllUnregisterServer() { return varnik::standin::UnregisterServer(); }
