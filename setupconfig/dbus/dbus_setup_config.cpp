#include "setupconfig/dbus/dbus_setup_config.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEvent>
#include <QEventLoop>
#include <QList>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <climits>
#include <limits>
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

// Taken by libdbus as no time limit at all: how long to wait is the waiter's
// business, and the user's.
constexpr int kNoTimeout = INT_MAX;

// Whether the event is the user's input to a window: keys, the mouse, touch,
// a pen, a drop, a context menu, an input method's text.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::NativeGesture:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// While it exists, the user's input is dropped (not kept for later, so that
// nothing typed or pressed meanwhile acts once the call is over). What gets
// through (an accessibility action, a timer) meets the dialog logic, which
// takes one action at a time.
class UserInputDropper final : public QObject {
 public:
  UserInputDropper() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  }
  ~UserInputDropper() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  }
  UserInputDropper(const UserInputDropper&) = delete;
  UserInputDropper& operator=(const UserInputDropper&) = delete;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    return IsUserInput(event->type());
  }
};

// A call on its way: Qt's event loop runs while it is waited for.
class DBusPendingCall final : public PendingCall {
 public:
  explicit DBusPendingCall(QDBusPendingCall call) : call_(std::move(call)) {}

  bool Answered() const override { return call_.isFinished(); }

  bool WaitFor(std::chrono::milliseconds limit) override {
    if (call_.isFinished()) return true;
    QEventLoop loop;
    const QDBusPendingCallWatcher watcher(call_);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(std::clamp(limit, std::chrono::milliseconds{0},
                           std::chrono::milliseconds{std::numeric_limits<int>::max()}));
    const UserInputDropper dropper;
    // An answer that came meanwhile has queued the watcher's signal.
    if (!call_.isFinished()) loop.exec();
    return call_.isFinished();
  }

  QDBusMessage Reply() const { return call_.reply(); }

 private:
  QDBusPendingCall call_;
};

// Calls that either answer or throw, each waited for through the waiter.
class WaitedCaller {
 public:
  WaitedCaller(QDBusConnection bus, ObjectWaiter& waiter) : bus_(std::move(bus)), waiter_(waiter) {}

  // The answer, which may be an error. A stop while waiting throws; the call
  // is then dropped, which tells libdbus to forget it.
  QDBusMessage Send(ObjectCall which, const QString& service, const QString& path,
                    const QString& interface, const QString& member,
                    const QList<QVariant>& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    DBusPendingCall call(bus_.asyncCall(message, kNoTimeout));
    waiter_.Wait(which, call);
    return call.Reply();
  }

  // The answer; an error throws.
  QDBusMessage Call(ObjectCall which, const QString& service, const QString& path,
                    const QString& interface, const QString& member,
                    const QList<QVariant>& arguments) const {
    QDBusMessage reply = Send(which, service, path, interface, member, arguments);
    if (reply.type() != QDBusMessage::ReplyMessage) throw PlatformError(ErrorText(reply));
    return reply;
  }

 private:
  QDBusConnection bus_;
  ObjectWaiter& waiter_;
};

// The object of one connection, the one that owned the well-known name when
// the object was created. Every call goes to that connection's unique name:
// once it is gone, calls fail with the bus's text, and no process that has
// taken the well-known name since is reached.
class DBusSetupConfig final : public SetupConfig {
 public:
  DBusSetupConfig(WaitedCaller caller, DBusObjectAddress address, QString owner)
      : caller_(std::move(caller)), address_(std::move(address)), owner_(std::move(owner)) {}

  std::u16string Name() override {
    const QDBusMessage reply =
        CallObject(ObjectCall::ReadName, kPropertiesInterface, QStringLiteral("Get"),
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
    CallObject(ObjectCall::AssignName, kPropertiesInterface, QStringLiteral("Set"),
               {address_.interface, kNameProperty, value});
  }

  void Apply(bool value) override {
    // Whatever Apply answers is of no interest; only a failure counts.
    CallObject(ObjectCall::Apply, address_.interface, QStringLiteral("Apply"), {QVariant(value)});
  }

 private:
  QDBusMessage CallObject(ObjectCall which, const QString& interface, const QString& member,
                          const QList<QVariant>& arguments) const {
    return caller_.Call(which, owner_, address_.path, interface, member, arguments);
  }

  std::string Describe(const QString& what) const {
    return (address_.service + QLatin1Char(' ') + what).toStdString();
  }

  WaitedCaller caller_;
  DBusObjectAddress address_;
  QString owner_;  // the unique name of the connection that serves the object
};

// A failure of the bus while the object is being created, in the bus's own
// words. Only the bus's answer that no service file provides the name means
// that the object is not installed: a service that was started and then went
// away, or that could not be started, is installed and failed.
[[noreturn]] void ThrowCreationError(const QDBusMessage& error_reply) {
  const bool not_provided =
      error_reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
  throw PlatformError(ErrorText(error_reply), {std::nullopt, not_provided});
}

QDBusMessage CallBus(const WaitedCaller& caller, const QString& member,
                     const QList<QVariant>& arguments) {
  QDBusMessage reply =
      caller.Send(ObjectCall::Create, kBusService, kBusPath, kBusInterface, member, arguments);
  if (reply.type() != QDBusMessage::ReplyMessage) ThrowCreationError(reply);
  return reply;
}

// The unique name of the connection that owns the service name, asking the
// bus to start the activatable service when nobody owns it yet.
QString UniqueOwner(const WaitedCaller& caller, const QString& service) {
  const QString get_owner = QStringLiteral("GetNameOwner");
  QDBusMessage owner =
      caller.Send(ObjectCall::Create, kBusService, kBusPath, kBusInterface, get_owner, {service});
  if (owner.type() != QDBusMessage::ReplyMessage) {
    // Nobody owns the name: the only answer here that is not a failure.
    if (owner.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
      ThrowCreationError(owner);
    }
    // ServiceUnknown here: no service file provides the name.
    CallBus(caller, QStringLiteral("StartServiceByName"), {service, QVariant::fromValue(0u)});
    // Started, but it may have gone again already: NameHasNoOwner now is a
    // failure of an installed service, not a missing one.
    owner = CallBus(caller, get_owner, {service});
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
                                                   ObjectWaiter& waiter) {
  std::optional<DBusObjectAddress> address = DBusObjectAddressFor(prog_id);
  if (!address) {
    throw PlatformError("No D-Bus service is known for the program id \"" +
                        ToQString(prog_id).toStdString() + "\"");
  }
  if (!bus.isConnected()) throw PlatformError(ErrorText(bus.lastError()));

  WaitedCaller caller(bus, waiter);
  QString owner = UniqueOwner(caller, address->service);
  return std::make_unique<DBusSetupConfig>(std::move(caller), std::move(*address),
                                           std::move(owner));
}

}  // namespace varnik
