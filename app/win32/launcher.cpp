// varnik-launcher.exe, the command of the Start menu entry the installer
// makes. It starts varnik.exe, from its own folder, in the user's own working
// folder %LOCALAPPDATA%\Varnik, made first when missing, so each user who
// starts Varnik from the menu keeps name_start.txt there. The shortcut cannot
// name that folder itself: an installation for every user makes one shortcut
// for all of them, and the installer can make the folder only for the user
// who installs. Ends with varnik.exe's exit status.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"

namespace {

// Says what failed, in the system's words where it has some, and the code.
int Fail(const std::wstring& what, HRESULT error) {
  std::wstring text = what + L"\n\n";
  const std::string system_text = varnik::SystemErrorText(error);
  if (!system_text.empty()) text += varnik::WideFromUtf8(system_text) + L"\n\n";
  wchar_t code[32];
  swprintf(code, 32, L"Codice di errore: 0x%08lX", static_cast<unsigned long>(error));
  text += code;
  MessageBoxW(nullptr, text.c_str(), L"Varnik", MB_OK | MB_ICONERROR);
  return 1;
}

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  PWSTR local = nullptr;
  const HRESULT found =
      SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local);
  if (FAILED(found)) {
    return Fail(L"Varnik non \u00E8 riuscito a trovare la cartella dei dati dell'utente.", found);
  }
  const std::wstring folder = std::wstring(local) + L"\\Varnik";
  CoTaskMemFree(local);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return Fail(L"Varnik non \u00E8 riuscito a creare la cartella " + folder + L".", LastError());
  }

  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  program.replace(program.rfind(L'\\') + 1, std::wstring::npos, L"varnik.exe");
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return Fail(L"Varnik non \u00E8 riuscito ad avviare " + program + L".", LastError());
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
