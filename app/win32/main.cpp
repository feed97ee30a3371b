// varnik.exe: the program's entry point.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdint>
#include <exception>
#include <optional>

#include "app/failure_message.h"
#include "app/win32/varnik_app.h"
#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "ui/win32/failure_report.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Themed controls from Common Controls 6, which the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  // The object lives in the window's single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(com)) {
    const varnik::PlatformError error(varnik::SystemErrorText(com),
                                      {static_cast<std::uint32_t>(com), false});
    varnik::ReportFailure(nullptr, varnik::MessageForFailure(error));
    return 1;
  }

  int status = 1;
  std::optional<varnik::FailureMessage> failure;
  try {
    varnik::VarnikApp app(instance);
    status = app.Run();
  } catch (const std::exception& error) {
    // The window could not be made; the dialog logic reports its own failures.
    failure = varnik::MessageForFailure(error);
  }
  if (failure) varnik::ReportFailure(nullptr, *failure);
  CoUninitialize();
  return status;
}
