#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/dialog_surface.h"
#include "app/slow_object_waiter.h"
#include "names/name_list.h"
#include "setupconfig/object_wait.h"
#include "setupconfig/setup_config.h"

namespace varnik {

// The logic of the program's one window, kept apart from the window itself:
// it talks to the window only through DialogSurface and to the outside object
// only through SetupConfig. Each handler runs on the window's thread, one at a
// time. No PlatformError is handled here: each is marked with the step that
// failed (FailedStep) and goes on to the front end, which reports it and ends
// the program. A call to the object that keeps silent is waited for, with the
// user asked through the surface whether to go on (SlowObjectWaiter); the
// window takes no input meanwhile, so no other handler runs.
class VarnikDialog {
 public:
  // Creates the object; every call to it is then waited for through the
  // waiter given, the dialog's own.
  using SetupConfigFactory =
      std::function<std::unique_ptr<SetupConfig>(std::u16string_view, ObjectWaiter&)>;

  VarnikDialog(DialogSurface& surface, SetupConfigFactory create_setup_config,
               NameListFile list_file = {});

  // Once, before the window is first shown: centres and titles the window,
  // creates the object, and fills the two lines from the list file, or, when
  // there is no saved list, line 0 from the object's Name.
  void Form_Load();

  // An apply button: checks the line of that Index; a refused line gets a
  // warning and changes nothing. An accepted line goes into the object's
  // Name, the object applies it, both lines are saved, and the window closes.
  void CmdAvvia_Click(std::int16_t Index);

  // The exit button: closes the window; nothing is saved or sent.
  void CmdAnnulla_Click();

 private:
  DialogSurface& surface_;
  SlowObjectWaiter waiter_;
  SetupConfigFactory create_setup_config_;
  NameListFile list_file_;
  std::unique_ptr<SetupConfig> setup_config_;  // from Form_Load to the end
};

}  // namespace varnik
