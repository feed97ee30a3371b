// The real varnik.exe, driven from outside as a user would drive it, with the
// stand-in object registered in its place: the window as the system shows it,
// one run each that applies, that refuses a line, and that fails, and the
// program as its installer leaves it. Keys are posted to the window's queue,
// so they pass through its message loop and its dialog manager as typed keys
// do. Every wait is bounded.
#include <windows.h>

#include <oleacc.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "app/failure_message.h"
#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"
#include "tests/win32/standin_state.h"
#include "ui/win32/control_ids.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in
using Calls = std::vector<std::string>;
using Microsoft::WRL::ComPtr;

// Long enough for Wine to start a process on a slow machine.
constexpr DWORD kTimeLimitMs = 20000;

LRESULT Send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(Send(window, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void PostKey(HWND target, UINT virtual_key) {
  // The dialog manager and the form go by the key alone, not by its scan code.
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
}

// A message box's text; its title is TextOf(box).
std::wstring MessageText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

// The name a screen reader announces for a control, read through the
// system's accessibility interface; empty when it gives none.
std::wstring AccessibleName(HWND control) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::wstring name;
  IAccessible* object = nullptr;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  // __uuidof: mingw's oleacc import library carries IID_IAccessible as code.
  if (SUCCEEDED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                           __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&object)))) {
    if (object->get_accName(self, &text) == S_OK && text != nullptr) {
      name.assign(text, SysStringLen(text));
    }
    object->Release();
  }
  SysFreeString(text);
  if (SUCCEEDED(com)) CoUninitialize();
  return name;
}

// A file built beside the running test program: every program of the build
// lands in one folder.
std::filesystem::path BuiltFile(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path() / name;
}

// The real varnik.exe (or another program, such as an installed one),
// started as its own process in a working directory of the test's choosing.
// It inherits the test's environment, so a StandInState in force points it at
// the test's stand-in state. Every wait is bounded; a program still running
// at the end is ended.
class VarnikProcess {
 public:
  explicit VarnikProcess(const std::filesystem::path& working_directory,
                         const std::filesystem::path& program = BuiltFile(L"varnik.exe")) {
    std::wstring command = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_directory.wstring().c_str(), &startup, &process_)) {
      process_ = {};
    }
  }
  ~VarnikProcess() {
    if (process_.hProcess == nullptr) return;
    TerminateProcess(process_.hProcess, 99);  // fails harmlessly once it has ended
    WaitForSingleObject(process_.hProcess, kTimeLimitMs);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  VarnikProcess(const VarnikProcess&) = delete;
  VarnikProcess& operator=(const VarnikProcess&) = delete;

  // Waits until condition() holds or the time limit passes; says which.
  bool WaitUntil(const std::function<bool()>& condition) const {
    const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
    for (;;) {
      if (condition()) return true;
      if (GetTickCount64() > deadline || process_.hProcess == nullptr) return false;
      // Paced by the process itself: once it has ended, nothing more can change.
      if (WaitForSingleObject(process_.hProcess, 10) == WAIT_OBJECT_0) return condition();
    }
  }

  // The form, once the program shows it and waits for input; nullptr if it
  // does not within the time limit or shows a message box instead.
  HWND WaitForForm() const {
    WaitForInputIdle(process_.hProcess, kTimeLimitMs);
    HWND form = nullptr;
    WaitUntil([&] { return (form = FindTopLevel(kFormClassName)) != nullptr || MessageBoxNow(); });
    return form;
  }
  HWND MessageBoxNow() const { return FindTopLevel(L"#32770"); }
  HWND WaitForMessageBox() const {
    HWND box = nullptr;
    WaitUntil([&] { return (box = MessageBoxNow()) != nullptr; });
    return box;
  }
  // The exit status, once the program has ended; nothing if it is still running.
  std::optional<DWORD> WaitForExit() const {
    DWORD status = 0;
    if (!WaitUntil([&] { return !Running(); }) || !GetExitCodeProcess(process_.hProcess, &status)) {
      return std::nullopt;
    }
    return status;
  }

  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD thread_id() const { return process_.dwThreadId; }

 private:
  // A visible top-level window of the program.
  HWND FindTopLevel(const wchar_t* class_name) const {
    for (HWND window = FindWindowExW(nullptr, nullptr, class_name, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, class_name, nullptr)) {
      DWORD process_id = 0;
      GetWindowThreadProcessId(window, &process_id);
      if (process_id == process_.dwProcessId && IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  PROCESS_INFORMATION process_{};
};

class WindowTest : public ::testing::Test {
 protected:
  // Starts the program once the list file and the stand-in are set up.
  void Start() {
    process_.emplace(work_.path());
    form_ = process_->WaitForForm();
    const HWND box = process_->MessageBoxNow();
    ASSERT_NE(form_, nullptr) << "the form did not appear; the program says: "
                              << (box != nullptr ? Utf8FromWide(MessageText(box)) : "nothing");
  }
  HWND Item(int id) const { return GetDlgItem(form_, id); }
  HWND Entry(int line) const { return Item(kTxtLabelId[line]); }
  // Whether the control gets the keyboard focus.
  bool FocusIs(HWND control) const {
    return process_->WaitUntil([&] {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      return GetGUIThreadInfo(process_->thread_id(), &info) && info.hwndFocus == control;
    });
  }

  TempDir work_;
  const std::filesystem::path list_ = work_.path() / "name_start.txt";
  StandInState standin_;
  std::optional<VarnikProcess> process_;
  HWND form_ = nullptr;
};

// The form centred on the screen with its five controls shown, in the order
// Tab takes them, each inside the form and clear of the others; the saved
// lines in the code page, cut to what a line holds. What a screen reader
// announces for each control says its line, whatever the line holds: the
// entry lines take their names from hidden labels, the buttons from the
// system's annotation service, which Wine lacks.
TEST_F(WindowTest, FormShowsItsControlsCentredAndNamedByLine) {
  WriteBytes(list_, "ROSSI   \r\n  Niccol\xF2 ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(TextOf(form_), L"Varnik");
  RECT frame{}, client{};
  GetWindowRect(form_, &frame);
  GetClientRect(form_, &client);
  EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2.0, 0.5);
  EXPECT_NEAR(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2.0, 0.5);

  const wchar_t* const avvia = L"Metti questo dato su Name";
  const std::wstring texts[] = {L"ROSSI", avvia, L"Esci", L"  Niccol\u00F2 ABCDEFGHIJKL", avvia};
  std::vector<RECT> placed;
  for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    ASSERT_LT(placed.size(), std::size(texts));
    EXPECT_EQ(TextOf(child), texts[placed.size()]);
    RECT at{}, overlap{};
    GetWindowRect(child, &at);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_TRUE(IntersectRect(&overlap, &at, &client) && EqualRect(&overlap, &at)) << "outside";
    for (const RECT& other : placed)
      EXPECT_FALSE(IntersectRect(&overlap, &at, &other)) << "overlap";
    placed.push_back(at);
  }
  ASSERT_EQ(placed.size(), std::size(texts));
  EXPECT_GT(placed[3].top, placed[0].bottom) << "the second line is not below the first";

  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  std::vector<std::wstring> names;
  for (const int line : {0, 1}) {
    for (const int id : {kTxtLabelId[line], kCmdAvviaId[line]}) {
      std::wstring name = AccessibleName(Item(id));
      if (wine && id == kCmdAvviaId[line]) continue;
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
      EXPECT_NE(name.find(line == 0 ? L"prima riga" : L"seconda riga"), std::wstring::npos) << id;
      EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << id;
      names.push_back(name);
    }
  }
  EXPECT_EQ(AccessibleName(Item(kCmdAnnullaId)), L"Esci");
}

// Typing, Tab, Enter, Space and Esc in one session, which the close box ends.
// Enter or Space presses the button with the focus however the focus got
// there; Enter in a line and Esc press nothing. Both lines are empty, so
// every press is refused.
TEST_F(WindowTest, KeyboardPressesTheFocusedButtonHoweverTheFocusArrived) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(FocusIs(Entry(0))) << "the first line has the focus at start";
  for (int line = 0; line < 2; ++line) {
    // Typed, each character handled before the next.
    for (const wchar_t c : std::wstring_view(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
      Send(Entry(line), WM_CHAR, c, 1);
    EXPECT_EQ(TextOf(Entry(line)), L"ABCDEFGHIJKLMNOPQRSTUV") << "line " << line;
  }
  const HWND first = Item(kCmdAvviaId[0]), second = Item(kCmdAvviaId[1]);
  HWND focused = Entry(0);
  for (const int id :
       {kCmdAvviaId[0], kCmdAnnullaId, kTxtLabelId[1], kCmdAvviaId[1], kTxtLabelId[0]}) {
    PostKey(focused, VK_TAB);
    ASSERT_TRUE(FocusIs(focused = Item(id))) << "control " << id;
  }

  // Posted keys are handled in order: once the Tabs after them have moved the
  // focus (to "Esci", so that the click below moves it off the default), they
  // have been handled.
  for (const UINT key : std::initializer_list<UINT>{VK_RETURN, VK_ESCAPE, VK_TAB, VK_TAB})
    PostKey(Entry(0), key);
  ASSERT_TRUE(FocusIs(Item(kCmdAnnullaId)));
  EXPECT_TRUE(process_->Running());
  EXPECT_EQ(process_->MessageBoxNow(), nullptr) << "Enter in a line or Esc pressed a button";

  for (const int line : {0, 1}) Send(Entry(line), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  // The refusal of the line, modal, dismissed; the focus goes back.
  const auto refused = [&](int line) {
    const HWND box = process_->WaitForMessageBox();
    if (box == nullptr) return ::testing::AssertionFailure() << "no button was pressed";
    EXPECT_EQ(TextOf(box), L"ATTENZIONE");
    EXPECT_EQ(MessageText(box), line == 0 ? L"Errore nella prima riga: indicare il dato. "
                                          : L"Errore nella seconda riga: indicare il dato. ");
    EXPECT_FALSE(IsWindowEnabled(form_)) << "the box is not modal";
    Click(GetDlgItem(box, IDOK));
    return ::testing::AssertionResult(
        process_->WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(form_); }));
  };
  const struct {
    const char* way;
    HWND button;
    std::function<void()> move_focus;
  } ways[] = {
      {"a click, then its warning closing", first,
       [&] {
         Click(first);
         EXPECT_TRUE(refused(0));
       }},
      // Pressed on the button and released off it, which presses nothing.
      {"the mouse", second,
       [&] {
         PostMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
         PostMessageW(second, WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
       }},
      {"another window active, then the form again", second,
       [&] {
         const HWND other = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                            100, 100, nullptr, nullptr, nullptr, nullptr);
         SetForegroundWindow(other);
         EXPECT_TRUE(process_->WaitUntil([&] {
           GUITHREADINFO info{};
           info.cbSize = sizeof info;
           return GetGUIThreadInfo(process_->thread_id(), &info) && info.hwndFocus == nullptr;
         })) << "the form was not deactivated";
         SetForegroundWindow(form_);
         DestroyWindow(other);
       }},
      {"Tab", first, [&] { PostKey(second, VK_TAB), PostKey(Entry(0), VK_TAB); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    way.move_focus();
    ASSERT_TRUE(FocusIs(way.button));
    EXPECT_EQ(process_->MessageBoxNow(), nullptr);
    PostKey(way.button, VK_RETURN);
    ASSERT_TRUE(refused(way.button == first ? 0 : 1));
    ASSERT_TRUE(FocusIs(way.button)) << "the focus did not come back after the warning";
  }
  PostKey(first, VK_SPACE);
  EXPECT_TRUE(refused(0)) << "Space";

  PostMessageW(form_, WM_CLOSE, 0, 0);
  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", "get Name"}));
  EXPECT_FALSE(std::filesystem::exists(list_)) << "the close box saved the lines";
}

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

// The object fails, at start-up or on apply: the program says which step
// failed with the object's text, or the system's for its code, and ends with
// status 1.
TEST_F(WindowTest, FailureOfTheObjectIsReportedAndEndsTheProgram) {
  const struct {
    const char* call;
    HRESULT code;
    std::u16string description;  // empty: the system's text for the code
    FailedStep step;
  } cases[] = {
      {"create", E_ACCESSDENIED, u"", FailedStep::CreateObject},
      {"call Apply", E_FAIL, u"Impossibile: \u00E8 tardi", FailedStep::CallApply},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    StandInState standin;
    standin.SetName(u"ROSSI");
    standin.Fail(c.call, c.code, c.description);
    VarnikProcess process(work_.path());
    if (c.step == FailedStep::CallApply) {
      const HWND form = process.WaitForForm();
      ASSERT_NE(form, nullptr);
      Click(GetDlgItem(form, kCmdAvviaId[0]));
    }
    const HWND box = process.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no error message";
    EXPECT_EQ(TextOf(box), L"Varnik");
    const std::string text = c.description.empty() ? SystemErrorText(c.code) : Utf8(c.description);
    PlatformError failure(text, {static_cast<std::uint32_t>(c.code)});
    failure.MarkStep(c.step);
    EXPECT_EQ(MessageText(box), ToWide(MessageForFailure(failure).box));
    Click(GetDlgItem(box, IDOK));
    EXPECT_EQ(process.WaitForExit(), 1u);
    EXPECT_FALSE(std::filesystem::exists(list_));
  }
}

// --- A slow object ----------------------------------------------------------------
//
// The first wait before the box is the program's real five seconds: these
// runs are few. The object is the stand-in served by its own program, out of
// process, as a slow object is met in practice: the program's calls travel
// through COM's marshalling and the stand-in can die inside one.

// A button of a box by its text; nullptr when there is none.
HWND ButtonOf(HWND box, const wchar_t* text) {
  return box != nullptr ? FindWindowExW(box, nullptr, L"Button", text) : nullptr;
}

enum class Then { StopButton, StopEsc, Answer, None };
struct SlowCase {
  const char* call;
  const char* pace;
  Then then;
  std::optional<FailedStep> step;  // nothing: the apply succeeds
};

// One run of the program against a call paced as the case says, as the user
// answers the box (Then::None: no box).
void RunSlowCase(const SlowCase& c, const std::filesystem::path& work,
                 const std::filesystem::path& list_file) {
  SCOPED_TRACE(std::string(c.call) + " " + c.pace);
  const bool dies = c.then == Then::None;
  const ObjectInItsOwnProgram out_of_process;
  StandInState standin;
  standin.SetName(u"ROSSI");
  standin.Pace(c.call, c.pace);
  const bool at_start = std::string_view(c.call) == "get Name";
  const std::string list = "Bianchi\r\nVerdi\r\n";
  if (at_start) {
    std::filesystem::remove(list_file);
  } else {
    WriteBytes(list_file, list);
  }
  VarnikProcess process(work);
  HWND form = nullptr;
  if (!at_start) {
    form = process.WaitForForm();
    if (form == nullptr && ButtonOf(process.MessageBoxNow(), L"Interrompi") != nullptr) {
      Click(ButtonOf(process.MessageBoxNow(), L"Interrompi"));
      FAIL() << "the stand-in's own program was not started (is RpcSs running in the prefix?)";
    }
    ASSERT_NE(form, nullptr);
    Send(GetDlgItem(form, kTxtLabelId[0]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Neri"));
    Click(GetDlgItem(form, kCmdAvviaId[0]));
    Click(GetDlgItem(form, kCmdAvviaId[1]));
    PostMessageW(form, WM_CLOSE, 0, 0);
  }

  HWND box = process.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no box";
  EXPECT_EQ(TextOf(box), L"Varnik");
  if (!dies) {
    const HWND wait_longer = ButtonOf(box, L"Attendi ancora");
    ASSERT_NE(wait_longer, nullptr) << "not the box that asks whether to wait";
    EXPECT_NE(ButtonOf(box, L"Interrompi"), nullptr);
    EXPECT_TRUE(form == nullptr || IsWindow(form)) << "closed while waiting";
    if (c.then == Then::Answer) standin.Release();
    if (c.then == Then::StopButton) Click(ButtonOf(box, L"Interrompi"));
    if (c.then == Then::StopEsc) PostKey(wait_longer, VK_ESCAPE);
    ASSERT_TRUE(process.WaitUntil([&] { return !IsWindow(box); })) << "the box stays";
    if (c.step) {
      box = process.WaitForMessageBox();
      ASSERT_NE(box, nullptr) << "no failure box";
    }
  }

  // A stopped call the object answers while the failure is on screen: the
  // program lets go of the object at its end, and the server, kept by nothing
  // else, ends too.
  const bool late_answer = c.then == Then::StopEsc;
  if (late_answer) standin.Release();
  if (c.step) {
    // RPC_S_CALL_FAILED as an HRESULT, when the server is gone.
    constexpr auto kCallFailed = static_cast<HRESULT>(0x800706BEu);
    PlatformError failure = dies ? PlatformError(SystemErrorText(kCallFailed),
                                                 {static_cast<std::uint32_t>(kCallFailed)})
                                 : PlatformError("", {std::nullopt, false, true});
    failure.MarkStep(*c.step);
    EXPECT_EQ(MessageText(box), ToWide(MessageForFailure(failure).box));
    Click(GetDlgItem(box, IDOK));
  }
  EXPECT_EQ(process.WaitForExit(), c.step ? 1u : 0u);
  if (late_answer) {
    EXPECT_TRUE(standin.ServerEnds()) << "the server is still held";
  }
  if (at_start) {
    EXPECT_FALSE(std::filesystem::exists(list_file));
  } else {
    EXPECT_EQ(ReadBytes(list_file), c.step ? list : "Neri\r\nVerdi\r\n");
    const Calls calls = standin.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), ApplyLine(true)), 1) << "a second apply";
  }
}

// A call that does not answer shows the box, the window still open though
// asked to close and the second apply button pressed; stopping there fails
// the step as any failure of the object does, and nothing is saved. An
// answer while the box is open closes it and the program goes on.
TEST_F(WindowTest, SlowObjectIsWaitedForUntilItAnswersOrTheUserStops) {
  const SlowCase cases[] = {
      {"get Name", "hang", Then::StopButton, FailedStep::ReadName},
      {"call Apply", "hang", Then::StopEsc, FailedStep::CallApply},
      {"call Apply", "hang", Then::Answer, std::nullopt},
  };
  for (const SlowCase& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + c.pace);
    RunSlowCase(c, work_.path(), list_);
  }
}

// A server that dies in the call fails it at once with the system's text.
TEST_F(WindowTest, ObjectWhoseServerDiesInApplyFailsTheStepAtOnce) {
  RunSlowCase({"call Apply", "exit", Then::None, FailedStep::CallApply}, work_.path(), list_);
}

// --- As the installer leaves it ------------------------------------------------------
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
