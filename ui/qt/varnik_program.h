#pragma once

#include <cstdint>
#include <functional>
#include <iostream>

#include "app/varnik_dialog.h"
#include "names/name_list.h"
#include "ui/qt/varnik_window.h"

namespace varnik {

// The running program: the window, the dialog logic behind it, and the way
// out. Each call into the dialog logic is guarded: a platform failure is
// reported (error box and standard error) and ends the program with
// kPlatformFailureExitStatus. Every other way out (an apply, "Esci", the
// window system closing the window, which is taken as "Esci") closes the
// window, which ends Qt's event loop with status 0. Where the session manager
// asks before the session ends, the end is refused while the object is being
// waited for.
class VarnikProgram {
 public:
  VarnikProgram(VarnikDialog::SetupConfigFactory create_setup_config, NameListFile list_file = {},
                std::ostream& errors = std::cerr);

  VarnikProgram(const VarnikProgram&) = delete;
  VarnikProgram& operator=(const VarnikProgram&) = delete;

  // Once: runs Form_Load, then shows the window. False when start-up failed;
  // the failure has been reported and the window is not shown.
  bool Start();

  // What main returns, given what Qt's event loop returned.
  int ExitStatus(int event_loop_status) const;

  VarnikWindow& window() { return window_; }

 private:
  bool Call(const std::function<void()>& handler);

  std::ostream& errors_;
  VarnikWindow window_;
  VarnikDialog dialog_;
  bool failed_ = false;
};

}  // namespace varnik
