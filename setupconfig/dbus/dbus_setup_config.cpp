#include "setupconfig/dbus/dbus_setup_config.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QList>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <utility>

#include "common/platform_error.h"
#include "setupconfig/dbus/dbus_object_address.h"
#include "setupconfig/dbus/dbus_text.h"

namespace varnik {
namespace {

const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
const QString kBusInterface = QStringLiteral("org.freedesktop.DBus");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNameProperty = QStringLiteral("Name");

// One blocking call that either answers or throws, within the timeout.
class BlockingCaller {
 public:
  BlockingCaller(QDBusConnection bus, std::chrono::milliseconds timeout)
      : bus_(std::move(bus)),
        timeout_ms_(static_cast<int>(
            std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, INT_MAX))) {}

  QDBusMessage Call(const QString& service, const QString& path, const QString& interface,
                    const QString& member, const QList<QVariant>& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    QDBusMessage reply = bus_.call(message, QDBus::Block, timeout_ms_);
    if (reply.type() != QDBusMessage::ReplyMessage) throw PlatformError(ErrorText(reply));
    return reply;
  }

 private:
  QDBusConnection bus_;
  int timeout_ms_;
};

class DBusSetupConfig final : public SetupConfig {
 public:
  DBusSetupConfig(BlockingCaller caller, DBusObjectAddress address)
      : caller_(std::move(caller)), address_(std::move(address)) {}

  std::u16string Name() override {
    const QDBusMessage reply = CallObject(kPropertiesInterface, QStringLiteral("Get"),
                                          {address_.interface, kNameProperty});
    const QList<QVariant> answer = reply.arguments();
    if (answer.size() != 1 || answer.front().metaType() != QMetaType::fromType<QDBusVariant>()) {
      throw PlatformError(Describe(
          QStringLiteral("answered the Name query with signature \"%1\"").arg(reply.signature())));
    }
    const QVariant value = answer.front().value<QDBusVariant>().variant();
    const std::optional<QString> text = ValueText(value);
    if (!text) {
      throw PlatformError(
          Describe(QStringLiteral("gave a Name of D-Bus type \"%1\", which is not text")
                       .arg(ValueSignature(value))));
    }
    return ToU16String(*text);
  }

  void SetName(std::u16string_view name) override {
    const QVariant value = QVariant::fromValue(QDBusVariant(ToQString(name)));
    CallObject(kPropertiesInterface, QStringLiteral("Set"),
               {address_.interface, kNameProperty, value});
  }

  void Apply(bool value) override {
    // Whatever Apply answers is of no interest; only a failure counts.
    CallObject(address_.interface, QStringLiteral("Apply"), {QVariant(value)});
  }

 private:
  QDBusMessage CallObject(const QString& interface, const QString& member,
                          const QList<QVariant>& arguments) const {
    return caller_.Call(address_.service, address_.path, interface, member, arguments);
  }

  std::string Describe(const QString& what) const {
    return (address_.service + QLatin1Char(' ') + what).toStdString();
  }

  BlockingCaller caller_;
  DBusObjectAddress address_;
};

// Makes sure someone owns the service name, asking the bus to start the
// activatable service when nobody does yet.
void EnsureOwner(const BlockingCaller& caller, const QString& service) {
  const QDBusMessage has_owner =
      caller.Call(kBusService, kBusPath, kBusInterface, QStringLiteral("NameHasOwner"), {service});
  if (!has_owner.arguments().value(0).toBool()) {
    caller.Call(kBusService, kBusPath, kBusInterface, QStringLiteral("StartServiceByName"),
                {service, QVariant::fromValue(0u)});
  }
}

}  // namespace

std::unique_ptr<SetupConfig> CreateDBusSetupConfig(const QDBusConnection& bus,
                                                   std::u16string_view prog_id,
                                                   std::chrono::milliseconds call_timeout) {
  std::optional<DBusObjectAddress> address = DBusObjectAddressFor(prog_id);
  if (!address) {
    throw PlatformError("No D-Bus service is known for the program id \"" +
                        ToQString(prog_id).toStdString() + "\"");
  }
  if (!bus.isConnected()) throw PlatformError(ErrorText(bus.lastError()));

  BlockingCaller caller(bus, call_timeout);
  EnsureOwner(caller, address->service);
  return std::make_unique<DBusSetupConfig>(std::move(caller), std::move(*address));
}

}  // namespace varnik
