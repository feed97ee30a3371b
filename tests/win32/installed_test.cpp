// Varnik as its installer leaves it. scripts/test-msi runs this after a
// silent install, with VARNIK_SHORTCUT naming the Start menu entry the
// installer made; ctest does not, since it needs the installed program.
#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/win32/standin_state.h"
#include "tests/win32/window_driver.h"
#include "ui/win32/control_ids.h"

namespace varnik {
namespace {

using namespace testing;  // the driver's verbs, the stand-in and the process
using Microsoft::WRL::ComPtr;

// The command and working folder of a shell link (.lnk) file.
std::pair<std::filesystem::path, std::filesystem::path> ReadShortcut(const wchar_t* file) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> stored;
  wchar_t command[MAX_PATH] = {}, folder[MAX_PATH] = {};
  if (SUCCEEDED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
      SUCCEEDED(link.As(&stored)) && SUCCEEDED(stored->Load(file, STGM_READ))) {
    link->GetPath(command, MAX_PATH, nullptr, 0);
    link->GetWorkingDirectory(folder, MAX_PATH);
  }
  return {command, folder};
}

std::filesystem::path LocalAppData() {
  PWSTR path = nullptr;
  SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path);
  const std::filesystem::path folder = path != nullptr ? path : L"";
  CoTaskMemFree(path);
  return folder;
}

// The entry's command, started in the entry's working folder as the shell
// starts it, runs the program in the user's own folder, where the list lands.
TEST(Installed, StartMenuEntryRunsVarnikInTheUsersOwnFolder) {
  wchar_t file[MAX_PATH] = {};
  ASSERT_NE(GetEnvironmentVariableW(L"VARNIK_SHORTCUT", file, MAX_PATH), 0u)
      << "VARNIK_SHORTCUT names no Start menu entry";
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const auto [command, working_folder] = ReadShortcut(file);
  CoUninitialize();
  ASSERT_FALSE(command.empty()) << "the entry cannot be read";

  StandInState standin;
  standin.SetName(u"ROSSI");
  VarnikProcess started(working_folder, command);
  // The form belongs to varnik.exe, which the entry's command starts.
  HWND form = nullptr;
  ASSERT_TRUE(started.WaitUntil([&] {
    form = FindWindowW(kFormClassName, nullptr);
    return form != nullptr && IsWindowVisible(form);
  })) << "no form from "
      << command << " in " << working_folder;
  Click(GetDlgItem(form, kCmdAvviaId[0]));

  EXPECT_EQ(started.WaitForExit(), 0u);
  EXPECT_EQ(standin.Calls(), (std::vector<std::string>{"create", "get Name", PutNameLine(u"ROSSI"),
                                                       ApplyLine(true)}));
  EXPECT_EQ(ReadBytes(LocalAppData() / "Varnik" / "name_start.txt"), "ROSSI\r\n\r\n");
}

}  // namespace
}  // namespace varnik
