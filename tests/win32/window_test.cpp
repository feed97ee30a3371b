// The real varnik.exe, driven from outside as a user would drive it, with the
// stand-in object registered in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "app/failure_message.h"
#include "common/platform_error.h"
#include "setupconfig/com/windows_text.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/standin_state.h"
#include "tests/win32/window_driver.h"
#include "ui/win32/control_ids.h"

namespace varnik {
namespace {

using namespace testing;  // the driver's verbs, the stand-in and the process
using Calls = std::vector<std::string>;

constexpr const wchar_t* kAvvia = L"Metti questo dato su Name";

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

TEST_F(WindowTest, FormAndControlsSitWhereDesigned) {
  // Saved lines in the code page, the second longer than a line holds.
  WriteBytes(list_, "ROSSI   \r\n  Niccol\xF2 ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  const int dpi = static_cast<int>(GetDpiForWindow(form_));
  const auto scaled = [&](LONG pixels) -> LONG { return MulDiv(pixels, dpi, 96); };
  EXPECT_EQ(TextOf(form_), L"Varnik");
  RECT client{}, frame{};
  GetClientRect(form_, &client);
  GetWindowRect(form_, &frame);
  EXPECT_EQ(client.right, scaled(443));
  EXPECT_EQ(client.bottom, scaled(70));
  EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2.0, 0.5);
  EXPECT_NEAR(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2.0, 0.5);

  struct Control {
    int id;
    const wchar_t* kind;
    RECT at_96_dpi;  // left, top, right, bottom in client pixels
    const wchar_t* text;
  };
  const Control controls[] = {
      {kTxtLabelId[0], L"Edit", {16, 8, 183, 27}, L"ROSSI"},
      {kCmdAvviaId[0], L"Button", {192, 8, 352, 30}, kAvvia},
      {kCmdAnnullaId, L"Button", {376, 24, 425, 46}, L"Esci"},
      {kTxtLabelId[1], L"Edit", {16, 40, 183, 59}, L"  Niccol\u00F2 ABCDEFGHIJKL"},
      {kCmdAvviaId[1], L"Button", {192, 40, 352, 62}, kAvvia},
  };
  // Five controls shown and nothing else, in the order Tab takes them.
  std::vector<std::wstring> kinds;
  for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) kinds.push_back(ClassOf(child));
  }
  EXPECT_EQ(kinds, (std::vector<std::wstring>{L"Edit", L"Button", L"Button", L"Edit", L"Button"}));
  for (const Control& c : controls) {
    SCOPED_TRACE(c.id);
    const HWND control = Item(c.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), c.kind);
    const RECT at = RectInParent(control), want = c.at_96_dpi;
    EXPECT_EQ(
        (std::array{at.left, at.top, at.right, at.bottom}),
        (std::array{scaled(want.left), scaled(want.top), scaled(want.right), scaled(want.bottom)}));
    EXPECT_EQ(TextOf(control), c.text);
  }
}

// What a screen reader announces for each control says its line, whatever
// the line holds. The entry lines take their names from hidden labels; the
// buttons from the annotation service, and where the system lacks it (Wine)
// they keep their captions and the program works on.
TEST_F(WindowTest, ScreenReadersHearWhichLineEachControlBelongsTo) {
  WriteBytes(list_, "ROSSI\r\nVERDI\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  const bool annotated = AnnotationsWork();
  struct Named {
    int id;
    const wchar_t* name;
    const wchar_t* unannotated;  // the name without the service
  };
  const Named controls[] = {
      {kTxtLabelId[0], L"Prima riga", L"Prima riga"},
      {kCmdAvviaId[0], L"Metti la prima riga su Name", kAvvia},
      {kCmdAnnullaId, L"Esci", L"Esci"},
      {kTxtLabelId[1], L"Seconda riga", L"Seconda riga"},
      {kCmdAvviaId[1], L"Metti la seconda riga su Name", kAvvia},
  };
  for (const Named& c : controls) {
    EXPECT_EQ(AccessibleName(Item(c.id)), annotated ? c.name : c.unannotated) << "control " << c.id;
  }
}

// Typing, Tab, Enter and Esc in one session, which the close box ends.
TEST_F(WindowTest, KeyboardReachesEveryControlAndSavesNothing) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(FocusIs(Entry(0))) << "the first line has the focus at start";
  for (int line = 0; line < 2; ++line) {
    TypeChars(Entry(line), L"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
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

  // Enter on a button presses it: on an empty line, the warning.
  SetText(Entry(0), L"");
  PostKey(Item(kCmdAvviaId[0]), VK_RETURN);
  const HWND box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "Enter did not press the button";
  EXPECT_EQ(MessageText(box), L"Errore nella prima riga: indicare il dato. ");
  Click(GetDlgItem(box, IDOK));
  ASSERT_TRUE(process_->WaitUntil([&] { return process_->MessageBoxNow() == nullptr; }));

  PostMessageW(form_, WM_CLOSE, 0, 0);
  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", "get Name"}));
  EXPECT_FALSE(std::filesystem::exists(list_)) << "the close box saved the lines";
}

TEST_F(WindowTest, AppliedLineGoesToTheObjectAndBothLinesToTheFileInTheCodePage) {
  // Without a list the first line shows the object's Name, here with letters
  // Windows-1252 lacks: they are saved as '?', never as look-alikes.
  standin_.SetName(u"\u0141\u00F3\u017A");
  ASSERT_NO_FATAL_FAILURE(Start());
  // Of a pasted text the edit box keeps the first line.
  Paste(Entry(1), L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   \r\nSECONDA");
  EXPECT_EQ(TextOf(Entry(1)), L" \u00E0\u00E8\u00EC\u00F2\u00F9-2   ");
  Click(Item(kCmdAvviaId[1]));

  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(),
            (Calls{"create", "get Name", PutNameLine(u" \u00E0\u00E8\u00EC\u00F2\u00F9-2"),
                   ApplyLine(true)}));
  EXPECT_EQ(ReadBytes(list_), "?\xF3?\r\n \xE0\xE8\xEC\xF2\xF9-2\r\n");
}

// The user corrects a refused line and applies; the object fails, and the
// program reports its text and ends.
TEST_F(WindowTest, RefusedLineWarnsAndAFailedApplyEndsTheProgram) {
  standin_.Fail("call Apply", E_FAIL, u"Impossibile: \u00E8 tardi");
  ASSERT_NO_FATAL_FAILURE(Start());
  SetText(Entry(0), L"D'Amico");
  Click(Item(kCmdAvviaId[0]));
  HWND box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no warning";
  EXPECT_EQ(TextOf(box), L"ATTENZIONE");
  EXPECT_EQ(MessageText(box), L"Errore nella prima riga: carattere non ammesso. ");
  EXPECT_FALSE(IsWindowEnabled(form_)) << "the box is not modal";
  Click(GetDlgItem(box, IDOK));
  ASSERT_TRUE(process_->WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }));
  EXPECT_EQ(process_->MessageBoxNow(), nullptr);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", "get Name"}));

  SetText(Entry(0), L"DAMICO");
  Click(Item(kCmdAvviaId[0]));
  box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no error message";
  EXPECT_EQ(TextOf(box), L"Varnik");
  PlatformError failure("Impossibile: \xC3\xA8 tardi", {static_cast<std::uint32_t>(E_FAIL), false});
  failure.MarkStep(FailedStep::CallApply);
  EXPECT_EQ(MessageText(box), ToWide(MessageForFailure(failure).box));
  Click(GetDlgItem(box, IDOK));
  EXPECT_EQ(process_->WaitForExit(), 1u);
  EXPECT_EQ(standin_.Calls(),
            (Calls{"create", "get Name", PutNameLine(u"DAMICO"), ApplyLine(true)}));
}

}  // namespace
}  // namespace varnik
