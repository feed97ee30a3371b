#include "ui/win32/wait_box.h"

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"

namespace varnik {
namespace {

constexpr int kWaitLongerId = 100;
constexpr int kStopId = 101;

// Esc and the close box make the dialog send itself IDCANCEL, from no
// button; not every task dialog acts on that without a Cancel button (Wine's
// does not), so here it presses "Interrompi".
LRESULT CALLBACK StopOnCancel(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR) {
  if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL && lparam == 0) {
    PostMessageW(box, TDM_CLICK_BUTTON, kStopId, 0);
    return 0;
  }
  return DefSubclassProc(box, message, wparam, lparam);
}

// Every tick of the box's timer (about five a second) looks for the answer.
HRESULT CALLBACK OnBoxEvent(HWND box, UINT event, WPARAM, LPARAM, LONG_PTR data) {
  if (event == TDN_CREATED) {
    SetWindowSubclass(box, &StopOnCancel, 1, 0);
    // A box of its own, with no window behind it, comes to the front.
    if (GetWindow(box, GW_OWNER) == nullptr) SetForegroundWindow(box);
  }
  if (event == TDN_DESTROYED) RemoveWindowSubclass(box, &StopOnCancel, 1);
  if (event == TDN_TIMER && reinterpret_cast<PendingCall*>(data)->Answered()) {
    PostMessageW(box, TDM_CLICK_BUTTON, kWaitLongerId, 0);
  }
  return S_OK;
}

}  // namespace

WaitChoice AskToKeepWaitingBox(HWND owner, std::u16string_view text, std::u16string_view title,
                               PendingCall& call) {
  const std::wstring content = ToWide(text);
  const std::wstring caption = ToWide(title);
  const TASKDIALOG_BUTTON buttons[] = {{kWaitLongerId, L"Attendi ancora"},
                                       {kStopId, L"Interrompi"}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  // Esc and the close box give IDCANCEL.
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_CALLBACK_TIMER;
  config.pszWindowTitle = caption.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszContent = content.c_str();
  config.cButtons = static_cast<UINT>(std::size(buttons));
  config.pButtons = buttons;
  config.nDefaultButton = kWaitLongerId;
  config.pfCallback = &OnBoxEvent;
  config.lpCallbackData = reinterpret_cast<LONG_PTR>(&call);

  int pressed = 0;
  // An answer that came while the box was closing is the waiter's to see.
  const HRESULT shown = TaskDialogIndirect(&config, &pressed, nullptr, nullptr);
  if (FAILED(shown)) {
    throw PlatformError(SystemErrorText(shown), {static_cast<std::uint32_t>(shown), false});
  }
  return pressed == kWaitLongerId ? WaitChoice::KeepWaiting : WaitChoice::Stop;
}

}  // namespace varnik
