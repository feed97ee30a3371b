// A slow object: the box that asks whether to wait, what a stop does, an
// answer while the box is open or after a stop, and the one action at a
// time meanwhile. The first wait before the box is the program's real five
// seconds: these runs are few. The object is the stand-in served by its own
// program, out of process, as a slow object is met in practice: the
// program's calls travel through COM's marshalling and the stand-in can die
// inside one.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "app/failure_message.h"
#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "tests/win32/varnik_process.h"

namespace varnik {
namespace {

using namespace testing;  // the stand-in and the program

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
  const bool at_start =
      std::string_view(c.call) == "get Name" || std::string_view(c.call) == "create";
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
    EXPECT_EQ(Send(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    const HWND second = GetDlgItem(form, kCmdAvviaId[1]);
    Click(GetDlgItem(form, kCmdAvviaId[0]));
    if (!dies) {
      // Once the object has the call ("create", "put Name", "call Apply"), a
      // click, a key and a request to close sent straight to the window (not
      // through its queue) do nothing, and the session may not end.
      EXPECT_TRUE(process.WaitUntil([&] { return standin.Calls().size() == 3; }));
      Send(second, BM_CLICK);
      Send(second, WM_KEYDOWN, VK_SPACE, 1);
      Send(second, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0000001u));
      Send(form, WM_CLOSE);
      EXPECT_EQ(Send(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    }
  }

  // A box at start-up, with no window behind it, has a taskbar button of its
  // own: it has no owner.
  HWND box = process.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no box";
  EXPECT_EQ(TextOf(box), L"Varnik");
  EXPECT_EQ(GetWindow(box, GW_OWNER) != nullptr, !at_start);
  if (!dies) {
    const HWND wait_longer = ButtonOf(box, L"Attendi ancora");
    ASSERT_NE(wait_longer, nullptr) << "not the box that asks whether to wait";
    EXPECT_NE(ButtonOf(box, L"Interrompi"), nullptr);
    EXPECT_TRUE(form == nullptr || IsWindow(form)) << "closed while waiting";
    if (form != nullptr) {
      EXPECT_EQ(Send(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE) << "with the box open";
    }
    if (c.then == Then::Answer) standin.Release();
    if (c.then == Then::StopButton) Click(ButtonOf(box, L"Interrompi"));
    if (c.then == Then::StopEsc) PostKey(wait_longer, VK_ESCAPE);
    ASSERT_TRUE(process.WaitUntil([&] { return !IsWindow(box); })) << "the box stays";
    if (c.step) {
      box = process.WaitForMessageBox();
      ASSERT_NE(box, nullptr) << "no failure box";
      EXPECT_EQ(GetWindow(box, GW_OWNER) != nullptr, !at_start);
    }
  }

  // A stopped call the object answers while the failure is on screen, the
  // object's creation included: the program lets go of the object at once,
  // and the server, kept by nothing else, ends too.
  if (c.then == Then::StopEsc) {
    standin.Release();
    EXPECT_TRUE(standin.ServerEnds()) << "the server is still held";
  }
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
  if (at_start) {
    EXPECT_FALSE(std::filesystem::exists(list_file));
  } else {
    EXPECT_EQ(ReadBytes(list_file), c.step ? list : "Neri\r\nVerdi\r\n");
    const Calls calls = standin.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), ApplyLine(true)), 1) << "a second apply";
  }
}

// A call that does not answer shows the box, the window still open though
// asked to close and the second apply button pressed (sent, not posted, so
// that they reach the window while it waits); stopping there fails
// the step as any failure of the object does, and nothing is saved. An
// answer while the box is open closes it and the program goes on.
TEST_F(WindowTest, SlowObjectIsWaitedForUntilItAnswersOrTheUserStops) {
  const SlowCase cases[] = {
      {"create", "hang", Then::StopEsc, FailedStep::CreateObject},
      {"get Name", "hang", Then::StopButton, FailedStep::ReadName},
      {"call Apply", "hang", Then::StopEsc, FailedStep::CallApply},
      {"call Apply", "hang", Then::Answer, std::nullopt},
      // A server that dies in the call fails it at once with the system's text.
      {"call Apply", "exit", Then::None, FailedStep::CallApply},
  };
  for (const SlowCase& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + c.pace);
    RunSlowCase(c, work_.path(), list_);
  }
}

}  // namespace
}  // namespace varnik
