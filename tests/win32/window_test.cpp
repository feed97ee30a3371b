// The real varnik.exe, driven from outside as a user would drive it, with the
// stand-in object registered in its place: the window as the system shows it,
// and one run each that applies, that refuses a line, and that fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "app/failure_message.h"
#include "common/platform_error.h"
#include "setupconfig/com/system_error_text.h"
#include "setupconfig/com/windows_text.h"
#include "tests/win32/standin_state.h"
#include "tests/win32/window_driver.h"
#include "ui/win32/control_ids.h"

namespace varnik {
namespace {

using namespace testing;  // the driver's verbs, the stand-in and the process
using Calls = std::vector<std::string>;

// Puts text on the clipboard and pastes it into a control, as Ctrl+V does.
void Paste(HWND control, const std::wstring& text) {
  const HWND owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, nullptr);
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(owner) && EmptyClipboard() &&
              SetClipboardData(CF_UNICODETEXT, memory) != nullptr && CloseClipboard());
  SendMessageW(control, WM_PASTE, 0, 0);
  DestroyWindow(owner);
}

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
  bool FocusIs(HWND control) const {
    return process_->WaitUntil([&] { return FocusOf(process_->thread_id()) == control; });
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
// system's annotation service, which Wine lacks (there they keep their
// captions).
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
  const std::pair<const wchar_t*, const wchar_t*> controls[] = {
      {L"Edit", L"ROSSI"},  {L"Button", avvia},
      {L"Button", L"Esci"}, {L"Edit", L"  Niccol\u00F2 ABCDEFGHIJKL"},
      {L"Button", avvia},
  };
  std::vector<RECT> placed;
  for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    ASSERT_LT(placed.size(), std::size(controls));
    const auto [kind, text] = controls[placed.size()];
    EXPECT_EQ(ClassOf(child), kind);
    EXPECT_EQ(TextOf(child), text);
    RECT at{}, overlap{};
    GetWindowRect(child, &at);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_TRUE(at.left >= 0 && at.top >= 0 && at.right <= client.right &&
                at.bottom <= client.bottom);
    for (const RECT& other : placed) EXPECT_FALSE(IntersectRect(&overlap, &at, &other));
    placed.push_back(at);
  }
  ASSERT_EQ(placed.size(), std::size(controls));
  EXPECT_GT(placed[3].top, placed[0].bottom) << "the second line is not below the first";

  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  std::vector<std::wstring> names;
  for (const int line : {0, 1}) {
    for (const int id : {kTxtLabelId[line], kCmdAvviaId[line]}) {
      std::wstring name = AccessibleName(Item(id));
      if (wine && id == kCmdAvviaId[line]) {
        EXPECT_EQ(name, avvia);
        continue;
      }
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
      EXPECT_NE(name.find(line == 0 ? L"prima riga" : L"seconda riga"), std::wstring::npos) << id;
      EXPECT_EQ(std::count(names.begin(), names.end(), name), 0) << id;
      names.push_back(name);
    }
  }
  EXPECT_EQ(AccessibleName(Item(kCmdAnnullaId)), L"Esci");
}

// Typing, Tab, Enter and Esc in one session, which the close box ends: Enter
// on an apply button presses it, and the empty line is refused.
TEST_F(WindowTest, KeyboardReachesEveryControlAndARefusedLineSavesNothing) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(FocusIs(Entry(0))) << "the first line has the focus at start";
  for (int line = 0; line < 2; ++line) {
    for (const wchar_t c : std::wstring_view(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
      Send(Entry(line), WM_CHAR, c, 1);  // typed, each handled before the next
    }
    EXPECT_EQ(TextOf(Entry(line)), L"ABCDEFGHIJKLMNOPQRSTUV") << "line " << line;
  }
  for (const int id :
       {kCmdAvviaId[0], kCmdAnnullaId, kTxtLabelId[1], kCmdAvviaId[1], kTxtLabelId[0]}) {
    PostKey(FocusOf(process_->thread_id()), VK_TAB);
    EXPECT_TRUE(FocusIs(Item(id))) << "control " << id;
  }

  // Enter and Esc press no button. Posted keys are handled in order: once
  // the Tab after them has moved the focus, they have been handled.
  for (const UINT key : std::initializer_list<UINT>{VK_RETURN, VK_ESCAPE, VK_TAB})
    PostKey(Entry(0), key);
  ASSERT_TRUE(FocusIs(Item(kCmdAvviaId[0])));
  EXPECT_TRUE(process_->Running());
  EXPECT_EQ(process_->MessageBoxNow(), nullptr);

  SetText(Entry(0), L"");
  PostKey(Item(kCmdAvviaId[0]), VK_RETURN);
  const HWND box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "Enter did not press the button";
  EXPECT_EQ(TextOf(box), L"ATTENZIONE");
  EXPECT_EQ(MessageText(box), L"Errore nella prima riga: indicare il dato. ");
  EXPECT_FALSE(IsWindowEnabled(form_)) << "the box is not modal";
  Click(GetDlgItem(box, IDOK));
  ASSERT_TRUE(process_->WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }));

  PostMessageW(form_, WM_CLOSE, 0, 0);
  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", "get Name"}));
  EXPECT_FALSE(std::filesystem::exists(list_)) << "the close box saved the lines";
}

TEST_F(WindowTest, AppliedLineGoesToTheObjectAndBothLinesToTheFileInTheCodePage) {
  // Without a list the first line shows the object's Name.
  standin_.SetName(u"Citt\u00E0");
  ASSERT_NO_FATAL_FAILURE(Start());
  // Of a pasted text the edit box keeps the first line.
  Paste(Entry(1), L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   \r\nSECONDA");
  EXPECT_EQ(TextOf(Entry(1)), L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   ");
  Click(Item(kCmdAvviaId[1]));

  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(),
            (Calls{"create", "get Name", PutNameLine(u" \u00E0\u00E8\u00EC\u00F2\u00F9-2"),
                   ApplyLine(true)}));
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
    ASSERT_NE(text, "");
    PlatformError failure(text, {static_cast<std::uint32_t>(c.code)});
    failure.MarkStep(c.step);
    EXPECT_EQ(MessageText(box), ToWide(MessageForFailure(failure).box));
    Click(GetDlgItem(box, IDOK));
    EXPECT_EQ(process.WaitForExit(), 1u);
    EXPECT_FALSE(std::filesystem::exists(list_));
  }
}

}  // namespace
}  // namespace varnik
