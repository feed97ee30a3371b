#include <QDBusConnection>
#include <QDBusError>

#include "common/platform_error.h"
#include "setupconfig/dbus/dbus_setup_config.h"
#include "setupconfig/dbus/dbus_text.h"
#include "setupconfig/object_wait.h"

namespace varnik {

// The program's object lives on the user's session bus. QtDBus needs a
// QCoreApplication (or QApplication) to exist before this is called.
std::unique_ptr<SetupConfig> CreateSetupConfig(std::u16string_view prog_id, ObjectWaiter& waiter) {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) throw PlatformError(ErrorText(bus.lastError()));
  return CreateDBusSetupConfig(bus, prog_id, waiter);
}

}  // namespace varnik
