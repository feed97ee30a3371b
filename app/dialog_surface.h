#pragma once

#include <string>
#include <string_view>

#include "names/entry_line.h"
#include "setupconfig/object_wait.h"

namespace varnik {

// A length on screen: 1/1440 inch, 15 to a pixel at 96 dots per inch. Positions
// and sizes may be fractional.
using Twips = double;

// How the box about an object that is not answering was closed.
enum class WaitChoice {
  Answered,       // the object answered while the box was open
  KeepWaiting,    // "Attendi ancora"
  Stop,           // "Interrompi", Esc, or the box closed
  SessionEnding,  // the session is ending: the program is being made to quit
};

// What the dialog logic needs from the window. The window implements it; the
// logic sees nothing else of it.
class DialogSurface {
 public:
  virtual ~DialogSurface() = default;

  // The whole screen, not the work area.
  virtual Twips ScreenWidth() const = 0;
  virtual Twips ScreenHeight() const = 0;

  // The window's outer size, frame and title included.
  virtual Twips WindowWidth() const = 0;
  virtual Twips WindowHeight() const = 0;

  // Moves the window's outer top-left corner; the size stays.
  virtual void MoveWindow(Twips left, Twips top) = 0;

  virtual void SetTitle(std::u16string_view title) = 0;

  // The text of the line's text box. A text set longer than the box holds is
  // cut to what the box holds.
  virtual std::u16string EntryText(EntryLine line) const = 0;
  virtual void SetEntryText(EntryLine line, std::u16string_view text) = 0;

  // A modal information message with a single OK button; returns when it is
  // dismissed.
  virtual void ShowInformation(std::u16string_view text, std::u16string_view title) = 0;

  // A modal box titled `title` saying `text`, with two buttons: "Attendi
  // ancora" (the default, Enter) and "Interrompi". Esc, or closing the box,
  // means Stop. A box closed because the session is ending, or asked for
  // while it is ending, returns SessionEnding at once: the user chose
  // nothing. The box closes itself and returns Answered as soon as
  // call.Answered(), which it may poll on a short timer; the window behind it
  // keeps painting and takes no input.
  virtual WaitChoice AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                                      PendingCall& call) = 0;

  // Closes the window, which ends the program.
  virtual void CloseWindow() = 0;
};

}  // namespace varnik
