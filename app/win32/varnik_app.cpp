#include "app/win32/varnik_app.h"

#include <exception>
#include <optional>

#include "app/failure_message.h"
#include "app/win32/resource_ids.h"
#include "setupconfig/object_wait.h"
#include "ui/win32/failure_report.h"

namespace varnik {

VarnikApp::VarnikApp(HINSTANCE instance)
    : window_(instance, VARNIK_ICON_ID,
              VarnikWindow::Events{
                  [this](std::int16_t index) { Guarded([&] { dialog_.CmdAvvia_Click(index); }); },
                  [this] { Guarded([&] { dialog_.CmdAnnulla_Click(); }); },
                  [this] { return dialog_.WaitingForObject(); },
              }),
      dialog_(window_, &CreateSetupConfig, NameListFile{kNameListFileName, &codec_}) {}

int VarnikApp::Run() {
  Guarded([&] { dialog_.Form_Load(); });
  if (window_.handle() != nullptr) window_.Show();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The dialog manager gives the form Tab, Shift+Tab and the arrow keys.
    const HWND form = window_.handle();
    if (form != nullptr && IsDialogMessageW(form, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return exit_status_;
}

void VarnikApp::Guarded(const std::function<void()>& step) {
  // Nothing may leave a window procedure as an exception.
  std::optional<FailureMessage> failure;
  try {
    step();
    // A handler the dialog refused while a call is out returns here too; the
    // session stays held until that call's own handler is done.
    if (!dialog_.WaitingForObject()) window_.LetSessionEnd();
    return;
  } catch (const std::exception& error) {
    // A PlatformError carries the failed step and the platform's own text;
    // anything else that escapes (memory running out) is reported too.
    failure = MessageForFailure(error);
  }
  window_.LetSessionEnd();
  // Before the window is shown (at start-up) the box stands alone, with a
  // taskbar button of its own.
  const HWND form = window_.handle();
  ReportFailure(form != nullptr && IsWindowVisible(form) ? form : nullptr, *failure);
  exit_status_ = 1;
  window_.CloseWindow();
}

}  // namespace varnik
