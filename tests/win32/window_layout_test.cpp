// The real varnik.exe, driven from outside as a user would drive it, with the
// stand-in object registered in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tests/win32/window_fixture.h"

namespace varnik {
namespace {

using testing::Calls;
using testing::kAvvia;
using testing::kCreateAndRead;
using testing::kCreateOnly;
using testing::ReadBytes;
using testing::WindowTest;
namespace fs = std::filesystem;

// --- Layout -----------------------------------------------------------------------

struct ControlCase {
  const char* label;
  int id;
  const wchar_t* kind;
  RECT at_96_dpi;  // left, top, right, bottom in client pixels
  const wchar_t* text;
};

class LayoutTest : public WindowTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(LayoutTest, ControlSitsWhereDesigned) {
  const ControlCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start());
  const UINT dpi = GetDpiForWindow(form_);
  const auto scaled = [&](LONG pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
  const HWND control = Item(c.id);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(testing::ClassOf(control), c.kind);
  const RECT rect = testing::RectInParent(control);
  EXPECT_EQ(rect.left, scaled(c.at_96_dpi.left));
  EXPECT_EQ(rect.top, scaled(c.at_96_dpi.top));
  EXPECT_EQ(rect.right, scaled(c.at_96_dpi.right));
  EXPECT_EQ(rect.bottom, scaled(c.at_96_dpi.bottom));
  EXPECT_EQ(testing::TextOf(control), c.text);

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
  EXPECT_TRUE(style & WS_TABSTOP);
  EXPECT_TRUE(style & WS_VISIBLE);
  if (std::wstring(c.kind) == L"Button") {
    EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "not a plain button";
  } else {
    EXPECT_FALSE(style & ES_MULTILINE);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, LayoutTest,
    ::testing::Values(
        ControlCase{"TxtLabel0", kTxtLabelId[0], L"Edit", {16, 8, 183, 27}, L""},
        ControlCase{"CmdAvvia0", kCmdAvviaId[0], L"Button", {192, 8, 352, 30}, kAvvia},
        ControlCase{"CmdAnnulla", kCmdAnnullaId, L"Button", {376, 24, 425, 46}, L"Esci"},
        ControlCase{"TxtLabel1", kTxtLabelId[1], L"Edit", {16, 40, 183, 59}, L""},
        ControlCase{"CmdAvvia1", kCmdAvviaId[1], L"Button", {192, 40, 352, 62}, kAvvia}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(WindowTest, FormIsTitledSizedAndCentredOnTheScreen) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(testing::TextOf(form_), L"Varnik");
  const UINT dpi = GetDpiForWindow(form_);
  RECT client{};
  GetClientRect(form_, &client);
  EXPECT_EQ(client.right, MulDiv(443, static_cast<int>(dpi), 96));
  EXPECT_EQ(client.bottom, MulDiv(70, static_cast<int>(dpi), 96));

  RECT frame{};
  GetWindowRect(form_, &frame);
  const double left = (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2.0;
  const double top = (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2.0;
  EXPECT_LE(std::abs(frame.left - left), 0.5);
  EXPECT_LE(std::abs(frame.top - top), 0.5);

  std::vector<HWND> children;
  for (HWND child = GetWindow(form_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  EXPECT_EQ(children.size(), 5u) << "the form holds its five controls and nothing else";
}

// --- Start-up -----------------------------------------------------------------------

struct StartCase {
  const char* label;
  std::optional<std::string> list;  // the list file's bytes, if there is one
  const char16_t* name;             // the object's Name, nullptr for Empty
  std::wstring line0, line1;
  Calls calls;
  bool list_afterwards;
};

class StartTest : public WindowTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartTest, FillsTheLines) {
  const StartCase& c = GetParam();
  if (c.list) WriteList(*c.list);
  if (c.name != nullptr) standin_.SetName(c.name);
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(testing::TextOf(Entry(0)), c.line0);
  EXPECT_EQ(testing::TextOf(Entry(1)), c.line1);
  EXPECT_EQ(standin_.Calls(), c.calls);
  EXPECT_EQ(fs::exists(ListFile()), c.list_afterwards);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, StartTest,
    ::testing::Values(
        StartCase{"no_list_reads_name_untrimmed", std::nullopt, u"ROSSI   ", L"ROSSI   ", L"",
                  kCreateAndRead, false},
        StartCase{"empty_list_is_deleted", "", u"ROSSI", L"ROSSI", L"", kCreateAndRead, false},
        StartCase{"empty_name", std::nullopt, nullptr, L"", L"", kCreateAndRead, false},
        StartCase{"two_lines_in_the_code_page", "ROSSI   \r\n  Niccol\xF2\r\n", u"X", L"ROSSI",
                  L"  Niccol\u00F2", kCreateOnly, true},
        StartCase{"one_line", "ROSSI\r\n", u"X", L"ROSSI", L"", kCreateOnly, true},
        StartCase{"long_line_cut_to_22", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\r\n", u"X",
                  L"ABCDEFGHIJKLMNOPQRSTUV", L"", kCreateOnly, true},
        StartCase{"long_name_cut_to_22", std::nullopt, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
                  L"ABCDEFGHIJKLMNOPQRSTUV", L"", kCreateAndRead, false}),
    [](const auto& test) { return std::string(test.param.label); });

// --- Keyboard -----------------------------------------------------------------------

TEST_F(WindowTest, TypingStopsAt22Characters) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int line = 0; line < 2; ++line) {
    testing::TypeChars(Entry(line), L"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(testing::TextOf(Entry(line)), L"ABCDEFGHIJKLMNOPQRSTUV") << "line " << line;
  }
}

TEST_F(WindowTest, TabVisitsTheControlsInTheirOrder) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(FocusIs(Entry(0))) << "the first line has the focus at start";
  for (const int id :
       {kCmdAvviaId[0], kCmdAnnullaId, kTxtLabelId[1], kCmdAvviaId[1], kTxtLabelId[0]}) {
    testing::PostKey(testing::FocusOf(process_->thread_id()), VK_TAB);
    EXPECT_TRUE(FocusIs(Item(id))) << "control " << id;
  }
}

struct KeyCase {
  const char* label;
  UINT key;
  int line;
};

class IgnoredKeyTest : public WindowTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(IgnoredKeyTest, PressesNothingAndKeepsTheWindow) {
  WriteList("ROSSI\r\nROSSI-2\r\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  const HWND entry = Entry(GetParam().line);
  if (GetParam().line == 1) {
    // The dialog manager moves on from wherever the focus is when it handles
    // each Tab: three Tabs lead from the first line to the second.
    for (int i = 0; i < 3; ++i) testing::PostKey(Entry(0), VK_TAB);
  }
  ASSERT_TRUE(FocusIs(entry));
  testing::PostKey(entry, GetParam().key);
  // Posted keys are handled in order: once the Tab after it has moved the
  // focus, the key has been handled.
  testing::PostKey(entry, VK_TAB);
  ASSERT_TRUE(FocusIs(Item(GetParam().line == 0 ? kCmdAvviaId[0] : kCmdAvviaId[1])));
  EXPECT_TRUE(process_->Running());
  EXPECT_TRUE(IsWindowVisible(form_));
  EXPECT_EQ(process_->MessageBoxNow(), nullptr);
  EXPECT_EQ(standin_.Calls(), kCreateOnly);
  EXPECT_EQ(ReadBytes(ListFile()), "ROSSI\r\nROSSI-2\r\n");
}

INSTANTIATE_TEST_SUITE_P(Keys, IgnoredKeyTest,
                         ::testing::Values(KeyCase{"enter_line0", VK_RETURN, 0},
                                           KeyCase{"enter_line1", VK_RETURN, 1},
                                           KeyCase{"escape_line0", VK_ESCAPE, 0},
                                           KeyCase{"escape_line1", VK_ESCAPE, 1}),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace varnik
