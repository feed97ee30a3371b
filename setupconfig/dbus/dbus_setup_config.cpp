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

  // The answer, which may be an error.
  QDBusMessage Send(const QString& service, const QString& path, const QString& interface,
                    const QString& member, const QList<QVariant>& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    return bus_.call(message, QDBus::Block, timeout_ms_);
  }

  // The answer; an error throws.
  QDBusMessage Call(const QString& service, const QString& path, const QString& interface,
                    const QString& member, const QList<QVariant>& arguments) const {
    QDBusMessage reply = Send(service, path, interface, member, arguments);
    if (reply.type() != QDBusMessage::ReplyMessage) throw PlatformError(ErrorText(reply));
    return reply;
  }

 private:
  QDBusConnection bus_;
  int timeout_ms_;
};

// The object of one connection, the one that owned the well-known name when
// the object was created. Every call goes to that connection's unique name:
// once it is gone, calls fail with the bus's text, and no process that has
// taken the well-known name since is reached.
class DBusSetupConfig final : public SetupConfig {
 public:
  DBusSetupConfig(BlockingCaller caller, DBusObjectAddress address, QString owner)
      : caller_(std::move(caller)), address_(std::move(address)), owner_(std::move(owner)) {}

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
    return caller_.Call(owner_, address_.path, interface, member, arguments);
  }

  std::string Describe(const QString& what) const {
    return (address_.service + QLatin1Char(' ') + what).toStdString();
  }

  BlockingCaller caller_;
  DBusObjectAddress address_;
  QString owner_;  // the unique name of the connection that serves the object
};

// A failure of the bus while the object is being created, in the bus's own
// words. Only the bus's answer that no service file provides the name means
// that the object is not installed: a service that was started and then went
// away, or that could not be started, is installed and failed.
[[noreturn]] void ThrowCreationError(const QDBusMessage& error_reply, bool not_provided = false) {
  throw PlatformError(ErrorText(error_reply), {std::nullopt, not_provided});
}

// The unique name of the connection that owns the service name, asking the
// bus to start the activatable service when nobody owns it yet.
QString UniqueOwner(const BlockingCaller& caller, const QString& service) {
  const QString get_owner = QStringLiteral("GetNameOwner");
  QDBusMessage owner = caller.Send(kBusService, kBusPath, kBusInterface, get_owner, {service});
  if (owner.type() != QDBusMessage::ReplyMessage) {
    if (owner.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
      ThrowCreationError(owner);
    }
    const QDBusMessage started =
        caller.Send(kBusService, kBusPath, kBusInterface, QStringLiteral("StartServiceByName"),
                    {service, QVariant::fromValue(0u)});
    if (started.type() != QDBusMessage::ReplyMessage) {
      ThrowCreationError(started, started.errorName() ==
                                      QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"));
    }
    // Started, but it may have gone again already.
    owner = caller.Send(kBusService, kBusPath, kBusInterface, get_owner, {service});
    if (owner.type() != QDBusMessage::ReplyMessage) ThrowCreationError(owner);
  }
  const QString unique = owner.arguments().value(0).toString();
  if (unique.isEmpty()) {
    throw PlatformError(QStringLiteral("The bus named no owner for %1").arg(service).toStdString());
  }
  return unique;
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
  QString owner = UniqueOwner(caller, address->service);
  return std::make_unique<DBusSetupConfig>(std::move(caller), std::move(*address),
                                           std::move(owner));
}

}  // namespace varnik
