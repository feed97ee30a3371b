// The keyboard and the mouse on the form: which button Enter and Space press,
// however the focus arrived, and the warning that a refused line brings.

#include <initializer_list>
#include <string_view>

#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program

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

}  // namespace
}  // namespace varnik
