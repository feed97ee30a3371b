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
// user asked through the surface whether to go on (SlowObjectWaiter).
//
// One action at a time: while a handler runs (a call to the object and its
// box, a warning, the save) every other handler asked for is refused without
// a word, whatever asked for it: a key, a click, an accessibility action, a
// timer, a queued event, a box's own event loop. Once the window is closed,
// or a failure has left a handler (the front end then reports it and ends
// the program), no handler runs again.
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

  // Whether a call to the object is under way, or its box is open: the end
  // of the session, which would stop the program between the object's steps,
  // waits for it.
  bool WaitingForObject() const { return waiter_.Waiting(); }

 private:
  enum class State { Idle, Acting, Over };
  // Runs a handler unless another is under way or the dialog is over.
  template <typename Handler>
  void Act(Handler&& handler);
  void Load();
  void Apply(std::int16_t Index);
  // Closes the window; the dialog is over.
  void Close();

  DialogSurface& surface_;
  SlowObjectWaiter waiter_;
  SetupConfigFactory create_setup_config_;
  NameListFile list_file_;
  std::unique_ptr<SetupConfig> setup_config_;  // from Form_Load to the end
  State state_ = State::Idle;
};

}  // namespace varnik
