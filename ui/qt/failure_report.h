#pragma once

#include <functional>
#include <iosfwd>

#include "app/failure_message.h"

class QWidget;

namespace varnik {

// The exit status of a program ended by a platform failure.
inline constexpr int kPlatformFailureExitStatus = 1;

// Tells the user about a failure that ends the program: the whole message goes
// to `errors`, then the box's share of it into a modal error box over `parent`
// (which may be null) that returns when it is dismissed. An `errors` that
// cannot be written (closed, a broken pipe) keeps nothing else from happening.
void ReportFailure(QWidget* parent, const FailureMessage& message, std::ostream& errors);

// Runs one call into the dialog logic. Qt lets no exception through its event
// loop, so a PlatformError, or any other exception, coming out of the call
// stops here and is reported as above. Returns false when the call failed;
// ending the program is then up to the caller.
bool CallReportingFailure(QWidget* parent, std::ostream& errors, const std::function<void()>& call);

}  // namespace varnik
