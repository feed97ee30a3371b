// The real varnik.exe's three actions, driven from outside: refused lines,
// a full apply, leaving without saving, and platform failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupconfig/com/system_error_text.h"
#include "setupconfig/com/windows_text.h"
#include "tests/win32/window_fixture.h"

namespace varnik {
namespace {

using testing::ApplyLine;
using testing::Calls;
using testing::kCreateOnly;
using testing::PutNameLine;
using testing::ReadBytes;
using testing::WindowTest;

constexpr std::string_view kSavedList = "ROSSI\r\nNiccol\xF2\r\n";

// --- A refused line -----------------------------------------------------------------

struct RefusedCase {
  const char* label;
  int line;
  std::wstring text;
  std::wstring message;
};

class RefusedLineTest : public WindowTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLineTest, WarnsAndChangesNothing) {
  const RefusedCase& c = GetParam();
  WriteList(kSavedList);
  ASSERT_NO_FATAL_FAILURE(Start());
  testing::SetText(Entry(c.line), c.text);
  testing::Click(Item(kCmdAvviaId[c.line]));

  const HWND box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no warning";
  const testing::MessageBoxContent shown = testing::ReadMessageBox(box);
  EXPECT_EQ(shown.title, L"ATTENZIONE");
  EXPECT_EQ(shown.text, c.message);
  EXPECT_EQ(shown.button_ids, std::vector<int>{IDOK});
  EXPECT_NE(shown.icon, nullptr) << "no icon";
  EXPECT_FALSE(IsWindowEnabled(form_)) << "the box is not modal";

  testing::DismissMessageBox(box);
  ASSERT_TRUE(process_->WaitUntil([&] { return process_->MessageBoxNow() == nullptr; }));
  EXPECT_TRUE(process_->WaitUntil([&] { return IsWindowEnabled(form_) != FALSE; }));
  EXPECT_TRUE(process_->Running());
  EXPECT_EQ(testing::TextOf(Entry(c.line)), c.text) << "the refused text stays as it was";
  EXPECT_EQ(standin_.Calls(), kCreateOnly);
  EXPECT_EQ(ReadBytes(ListFile()), kSavedList);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedLineTest,
    ::testing::Values(
        RefusedCase{"apostrophe_line0", 0, L"D'Amico",
                    L"Errore nella prima riga: carattere non ammesso. "},
        RefusedCase{"capital_accent_line1", 1, L"NICCOL\u00D2",
                    L"Errore nella seconda riga: carattere non ammesso. "},
        RefusedCase{"spaces_line0", 0, L"   ", L"Errore nella prima riga: indicare il dato. "},
        RefusedCase{"empty_line1", 1, L"", L"Errore nella seconda riga: indicare il dato. "}),
    [](const auto& test) { return std::string(test.param.label); });

// --- A full apply ---------------------------------------------------------------------

struct ApplyCase {
  const char* label;
  int line;
  std::wstring line0, line1;
  std::u16string name;  // what the object receives
  std::string list;     // the list file's bytes afterwards
};

class ApplyTest : public WindowTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyTest, SendsTheLineSavesBothAndEnds) {
  const ApplyCase& c = GetParam();
  WriteList(kSavedList);
  ASSERT_NO_FATAL_FAILURE(Start());
  testing::SetText(Entry(0), c.line0);
  testing::SetText(Entry(1), c.line1);
  testing::Click(Item(kCmdAvviaId[c.line]));

  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", PutNameLine(c.name), ApplyLine(true)}));
  EXPECT_EQ(ReadBytes(ListFile()), c.list);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ApplyTest,
    ::testing::Values(
        ApplyCase{"line1_accented_trailing_spaces", 1, L"ROSSI", L"Niccol\u00F2-2   ",
                  u"Niccol\u00F2-2", "ROSSI\r\nNiccol\xF2-2\r\n"},
        ApplyCase{"line0_with_refused_line1_saved_as_is", 0, L" \u00E0\u00E8\u00EC\u00F2\u00F9",
                  L"D'Amico\t", u" \u00E0\u00E8\u00EC\u00F2\u00F9",
                  " \xE0\xE8\xEC\xF2\xF9\r\nD'Amico\t\r\n"},
        ApplyCase{"line1_with_empty_line0", 1, L"", L"ROSSI-2", u"ROSSI-2", "\r\nROSSI-2\r\n"}),
    [](const auto& test) { return std::string(test.param.label); });

// --- Leaving without saving -------------------------------------------------------------

struct LeaveCase {
  const char* label;
  void (*leave)(HWND form);
};

class LeaveTest : public WindowTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeaveTest, EndsWithoutSavingOrCallingTheObject) {
  WriteList(kSavedList);
  ASSERT_NO_FATAL_FAILURE(Start());
  testing::SetText(Entry(0), L"CAMBIATO");
  testing::SetText(Entry(1), L"CAMBIATO-2");
  GetParam().leave(form_);

  EXPECT_EQ(process_->WaitForExit(), 0u);
  EXPECT_EQ(standin_.Calls(), kCreateOnly);
  EXPECT_EQ(ReadBytes(ListFile()), kSavedList);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, LeaveTest,
    ::testing::Values(
        LeaveCase{"esci", [](HWND form) { testing::Click(GetDlgItem(form, kCmdAnnullaId)); }},
        LeaveCase{"close_box", [](HWND form) { PostMessageW(form, WM_CLOSE, 0, 0); }}),
    [](const auto& test) { return std::string(test.param.label); });

// --- Platform failures --------------------------------------------------------------------

struct FailureCase {
  const char* label;
  const char* call;
  HRESULT code;
  std::u16string description;
  bool apply;  // the failure comes with an apply, not at start-up
  Calls calls;
};

class FailureTest : public WindowTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, ShowsThePlatformsTextAndEndsWithFailure) {
  const FailureCase& c = GetParam();
  if (c.apply) WriteList(kSavedList);
  standin_.Fail(c.call, c.code, c.description);
  process_.emplace(work_.path());
  if (c.apply) {
    form_ = process_->WaitForForm();
    ASSERT_NE(form_, nullptr);
    testing::Click(Item(kCmdAvviaId[0]));
  }

  const HWND box = process_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no error message";
  const testing::MessageBoxContent shown = testing::ReadMessageBox(box);
  const std::string expected =
      c.description.empty() ? SystemErrorText(c.code) : testing::Utf8(c.description);
  EXPECT_EQ(Utf8FromWide(shown.text), expected);
  EXPECT_EQ(shown.title, L"Varnik");
  testing::DismissMessageBox(box);

  EXPECT_EQ(process_->WaitForExit(), 1u);
  EXPECT_EQ(standin_.Calls(), c.calls);
  if (c.apply) {
    EXPECT_EQ(ReadBytes(ListFile()), kSavedList) << "the list is not touched";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureTest,
    ::testing::Values(FailureCase{"create_bare", "create", E_ACCESSDENIED, u"", false, {"create"}},
                      FailureCase{"get_name_described",
                                  "get Name",
                                  E_FAIL,
                                  u"Nome non leggibile",
                                  false,
                                  {"create", "get Name"}},
                      FailureCase{"put_name_bare",
                                  "put Name",
                                  E_ACCESSDENIED,
                                  u"",
                                  true,
                                  {"create", PutNameLine(u"ROSSI")}},
                      FailureCase{"apply_described",
                                  "call Apply",
                                  E_FAIL,
                                  u"Impossibile applicare: \u00E8 tardi",
                                  true,
                                  {"create", PutNameLine(u"ROSSI"), ApplyLine(true)}}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace varnik
