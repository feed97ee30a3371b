#pragma once

#include <windows.h>

#include "app/failure_message.h"

namespace varnik {

// Tells the user about a failure that ends the program: the whole message goes
// to standard error when the process has one (a console, a file or a pipe it
// was started with), then the box's share of it into a modal error box over
// `owner` (which may be null) that returns when it is dismissed. A standard
// error that cannot be written keeps nothing else from happening.
void ReportFailure(HWND owner, const FailureMessage& message);

}  // namespace varnik
