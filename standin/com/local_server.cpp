// varnik_standin_server.exe: the stand-in object served from a program of its
// own, so that callers reach it out of process, through COM's standard
// IDispatch marshalling, as they reach an object that lives in another
// program. It behaves as the DLL does (standin_store.h), and pace.txt can
// also make it end inside a call. "/RegServer" and "/UnregServer" register
// and unregister it (registration.h); started by COM ("-Embedding"), it
// serves one caller and ends once that caller holds nothing of it.
#include <windows.h>

#include <objbase.h>

#include <exception>
#include <string>
#include <string_view>

#include "standin/com/class_factory.h"
#include "standin/com/registration.h"
#include "standin/com/standin_object.h"
#include "standin/com/standin_store.h"

namespace {

HANDLE finished = nullptr;

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

bool Given(std::wstring_view arguments, std::wstring_view option) {
  return arguments.find(L"/" + std::wstring(option)) != std::wstring_view::npos ||
         arguments.find(L"-" + std::wstring(option)) != std::wstring_view::npos;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  using namespace varnik::standin;
  const std::wstring_view arguments(command_line);
  if (Given(arguments, L"RegServer")) return FAILED(RegisterLocalServer(ProgramPath().c_str()));
  if (Given(arguments, L"UnregServer")) return FAILED(UnregisterLocalServer());

  finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (finished == nullptr || FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  try {
    Store::FromEnvironment().RecordServer(GetCurrentProcessId());
  } catch (const std::exception&) {
    return 1;
  }
  WhenServerEmpty([] { SetEvent(finished); });
  ClassFactory factory;
  DWORD registration = 0;
  if (FAILED(CoRegisterClassObject(kLocalStandInClassId, &factory, CLSCTX_LOCAL_SERVER,
                                   REGCLS_SINGLEUSE, &registration))) {
    return 1;
  }
  WaitForSingleObject(finished, INFINITE);
  CoRevokeClassObject(registration);
  CoUninitialize();
  return 0;
}
