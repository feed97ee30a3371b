#include "ui/qt/varnik_program.h"

#include <utility>

#include <QGuiApplication>
#include <QSessionManager>

#include "ui/qt/failure_report.h"

namespace varnik {

VarnikProgram::VarnikProgram(VarnikDialog::SetupConfigFactory create_setup_config,
                             NameListFile list_file, std::ostream& errors)
    : errors_(errors), dialog_(window_, std::move(create_setup_config), std::move(list_file)) {
  QObject::connect(&window_, &VarnikWindow::CmdAvviaClicked, &window_,
                   [this](std::int16_t index) { Call([&] { dialog_.CmdAvvia_Click(index); }); });
  QObject::connect(&window_, &VarnikWindow::CmdAnnullaClicked, &window_,
                   [this] { Call([&] { dialog_.CmdAnnulla_Click(); }); });
  // Where the session manager asks before the session ends, the end waits
  // for a call to the object: ending in its middle would leave the object
  // with the new Name and no Apply, and nothing said.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window_,
                   [this](QSessionManager& manager) {
                     if (dialog_.WaitingForObject() && manager.allowsInteraction()) {
                       manager.cancel();
                       manager.release();
                     }
                   });
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
  // Before the window is shown (at start-up) the box stands alone, so that
  // it has a place of its own in the window list.
  QWidget* owner = window_.isVisible() ? &window_ : nullptr;
  if (CallReportingFailure(owner, errors_, handler)) return true;
  failed_ = true;
  // The last window closing ends the event loop; main then returns the
  // failure's status.
  window_.close();
  return false;
}

}  // namespace varnik
