// One run that applies a line and one run each that fails: what the object,
// the list file and the user get.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/failure_message.h"
#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program

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

}  // namespace
}  // namespace varnik
