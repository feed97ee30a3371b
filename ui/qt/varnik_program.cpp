#include "ui/qt/varnik_program.h"

#include <utility>

#include "ui/qt/failure_report.h"

namespace varnik {

VarnikProgram::VarnikProgram(VarnikDialog::SetupConfigFactory create_setup_config,
                             NameListFile list_file, std::ostream& errors)
    : errors_(errors), dialog_(window_, std::move(create_setup_config), std::move(list_file)) {
  QObject::connect(&window_, &VarnikWindow::CmdAvviaClicked, &window_,
                   [this](std::int16_t index) { Call([&] { dialog_.CmdAvvia_Click(index); }); });
  QObject::connect(&window_, &VarnikWindow::CmdAnnullaClicked, &window_,
                   [this] { Call([&] { dialog_.CmdAnnulla_Click(); }); });
}

bool VarnikProgram::Start() {
  if (!Call([&] { dialog_.Form_Load(); })) return false;
  window_.show();
  // Asks for the keyboard too, which a bare X server without a window
  // manager would otherwise never give: typing starts in the first line.
  window_.raise();
  window_.activateWindow();
  return true;
}

int VarnikProgram::ExitStatus(int event_loop_status) const {
  return failed_ ? kPlatformFailureExitStatus : event_loop_status;
}

bool VarnikProgram::Call(const std::function<void()>& handler) {
  if (CallReportingFailure(&window_, errors_, handler)) return true;
  failed_ = true;
  // The last window closing ends the event loop; main then returns the
  // failure's status.
  window_.close();
  return false;
}

}  // namespace varnik
