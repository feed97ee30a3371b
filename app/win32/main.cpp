// varnik.exe: the program's entry point.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/win32/varnik_app.h"
#include "common/platform_error.h"
#include "setupconfig/com/system_error_text.h"
#include "setupconfig/com/windows_text.h"

namespace {

int ReportFailure(const std::string& text) {
  MessageBoxW(nullptr, varnik::WideFromUtf8(text).c_str(), L"Varnik", MB_OK | MB_ICONERROR);
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Themed controls from Common Controls 6, which the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  // The object lives in the window's single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(com)) return ReportFailure(varnik::SystemErrorText(com));

  int status = 1;
  try {
    varnik::VarnikApp app(instance);
    status = app.Run();
  } catch (const std::exception& error) {
    status = ReportFailure(error.what());
  }
  CoUninitialize();
  return status;
}
