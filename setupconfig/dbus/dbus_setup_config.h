#pragma once

#include <QDBusConnection>
#include <chrono>
#include <memory>
#include <string_view>

#include "setupconfig/setup_config.h"

namespace varnik {

// How long one call to the bus or the object may take before it counts as
// failed, so a hung service ends in an error text rather than a frozen window.
inline constexpr std::chrono::milliseconds kDefaultDBusCallTimeout{10'000};

// Creates the object registered under prog_id on the given bus. The bus is
// really contacted: when the object's name has no owner, the bus is asked to
// start the service that provides it. The object is the connection that owns
// the name at that moment, and every later call goes to it by its unique name:
// should it go away, calls fail with the bus's text rather than reach whoever
// owns the name next. Name is read and assigned through
// org.freedesktop.DBus.Properties, Apply is called with one boolean, all by
// name at run time. Every call, creation included, waits at most call_timeout.
// Throws PlatformError with the bus's "<error name>: <error message>" on any
// failure, and for a program id with no known address on the bus; only when
// the bus says at creation that no service file provides the name is the
// error's object_missing() true (a service that starts and goes away again is
// a failure like any other).
std::unique_ptr<SetupConfig> CreateDBusSetupConfig(
    const QDBusConnection& bus, std::u16string_view prog_id,
    std::chrono::milliseconds call_timeout = kDefaultDBusCallTimeout);

}  // namespace varnik
