#pragma once

#include <QDBusConnection>
#include <memory>
#include <string_view>

#include "setupconfig/object_wait.h"

namespace varnik {

// Creates the object registered under prog_id on the given bus. The bus is
// really contacted: when the object's name has no owner, the bus is asked to
// start the service that provides it. The object is the connection that owns
// the name at that moment, and every later call goes to it by its unique name:
// should it go away, calls fail with the bus's text rather than reach whoever
// owns the name next. Name is read and assigned through
// org.freedesktop.DBus.Properties, Apply is called with one boolean, all by
// name at run time. Every call, creation included, is sent without a time
// limit and waited for through `waiter` (which must outlive the object): while
// it waits, Qt's events go on, but the user's input and the window system's
// requests to close a window are dropped. When the waiter throws, the call is
// abandoned (its answer, should one come, is dropped) and the error goes on.
// A call whose callee leaves the bus fails at once with the bus's own error.
// Throws PlatformError with the bus's "<error name>: <error message>" on any
// failure, and for a program id with no known address on the bus; when the
// bus says at creation that nobody owns or can start the name, the error's
// object_missing() is true.
std::unique_ptr<SetupConfig> CreateDBusSetupConfig(const QDBusConnection& bus,
                                                   std::u16string_view prog_id,
                                                   ObjectWaiter& waiter);

}  // namespace varnik
