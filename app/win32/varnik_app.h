#pragma once

#include <windows.h>

#include <functional>

#include "app/varnik_dialog.h"
#include "common/win32/ansi_code_page.h"
#include "ui/win32/varnik_window.h"

namespace varnik {

// The Windows program: the form, the dialog logic behind it and the message
// loop. A PlatformError from the logic is shown in a message box and ends
// the program with a non-zero status. COM must be initialised on the thread,
// as a single-threaded apartment, for the object to be created.
class VarnikApp {
 public:
  // Throws PlatformError when the window cannot be created.
  explicit VarnikApp(HINSTANCE instance);

  // Loads the form, shows it and runs until it closes. Returns the exit
  // status: 0, or 1 after a platform failure.
  int Run();

 private:
  // Runs a step of the logic; a failure is reported and closes the window.
  void Guarded(const std::function<void()>& step);

  AnsiCodePage codec_;
  VarnikWindow window_;
  VarnikDialog dialog_;
  int exit_status_ = 0;
};

}  // namespace varnik
