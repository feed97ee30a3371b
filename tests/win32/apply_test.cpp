// A run that applies a line, of the program as built and as its installer
// leaves it: what the object and the list file get. (A run that fails is
// shown with a slow object, slow_object_test.cpp; what each failure says, in
// com_setup_config_test.cpp and the core's tests.)
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdlib>
#include <cstring>

#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program
using Microsoft::WRL::ComPtr;

// Saved over the list the program started from, under its relative name.
TEST_F(WindowTest, AppliedLineGoesToTheObjectAndBothLinesToTheFileInTheCodePage) {
  WriteBytes(list_, "Citt\xE0\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  // Of a text pasted from the clipboard the edit box keeps the first line.
  const wchar_t pasted[] = L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   \r\nSECONDA";
  // Fixed memory: the handle is its address.
  const HGLOBAL memory = GlobalAlloc(GMEM_FIXED, sizeof pasted);
  std::memcpy(memory, pasted, sizeof pasted);
  const HWND owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(owner) && EmptyClipboard() &&
              SetClipboardData(CF_UNICODETEXT, memory) && CloseClipboard());
  Send(Entry(1), WM_PASTE);
  DestroyWindow(owner);
  EXPECT_EQ(TextOf(Entry(1)), L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   ");
  Click(Item(kCmdAvviaId[1]));

  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(),
            (Calls{"create", PutNameLine(u" \u00E0\u00E8\u00EC\u00F2\u00F9-2"), ApplyLine(true)}));
  EXPECT_EQ(ReadBytes(list_), "Citt\xE0\r\n \xE0\xE8\xEC\xF2\xF9-2\r\n");
}

// --- As the installer leaves it -----------------------------------------------
//
// scripts/test-msi runs this alone after a silent install, with
// VARNIK_SHORTCUT naming the Start menu entry the installer made; ctest
// leaves it out, since it needs the installed program.

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
