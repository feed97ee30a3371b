// The program as its installer leaves it. scripts/test-msi runs this alone
// after a silent install, with VARNIK_SHORTCUT naming the Start menu entry the
// installer made; ctest leaves it out, since it needs the installed program.
#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program
using Microsoft::WRL::ComPtr;

// The entry's command, started in the entry's working folder as the shell
// starts it, runs the program in the user's own folder, where the list lands.
TEST(Installed, StartMenuEntryRunsVarnikInTheUsersOwnFolder) {
  const wchar_t* const entry = _wgetenv(L"VARNIK_SHORTCUT");
  ASSERT_NE(entry, nullptr) << "VARNIK_SHORTCUT names no Start menu entry";
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  wchar_t command[MAX_PATH] = {}, folder[MAX_PATH] = {};
  ASSERT_HRESULT_SUCCEEDED(
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)));
  ASSERT_TRUE(SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(entry, STGM_READ)) &&
              SUCCEEDED(link->GetPath(command, MAX_PATH, nullptr, 0)) &&
              SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)))
      << "the entry cannot be read";

  StandInState standin;
  standin.SetName(u"ROSSI");
  VarnikProcess started(folder, command);
  // The form belongs to varnik.exe, which the entry's command starts.
  HWND form = nullptr;
  ASSERT_TRUE(started.WaitUntil([&] {
    form = FindWindowW(kFormClassName, nullptr);
    return form != nullptr && IsWindowVisible(form);
  })) << "no form from the entry's command";
  Click(GetDlgItem(form, kCmdAvviaId[0]));
  EXPECT_EQ(started.WaitForExit(), 0u);
  const std::filesystem::path local = _wgetenv(L"LOCALAPPDATA");
  EXPECT_EQ(ReadBytes(local / "Varnik" / "name_start.txt"), "ROSSI\r\n\r\n");
}

}  // namespace
}  // namespace varnik
