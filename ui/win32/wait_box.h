#pragma once

#include <windows.h>

#include <string_view>

#include "app/dialog_surface.h"

namespace varnik {

// The box that asks whether to go on waiting for the object: a modal task
// dialog over `owner` with the title and text given, a warning icon and two
// buttons, "Attendi ancora" (the default, Enter) and "Interrompi"; Esc and the
// close box stop too. It closes by itself, and says Answered, as soon as the
// call is answered. Without an owner it has a taskbar button and comes to the
// front. Throws PlatformError when the box cannot be shown.
WaitChoice AskToKeepWaitingBox(HWND owner, std::u16string_view text, std::u16string_view title,
                               PendingCall& call);

}  // namespace varnik
