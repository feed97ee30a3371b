#include "standin/dbus/standin_object.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QTimer>
#include <QVariantMap>
#include <cstdlib>
#include <functional>

namespace varnik::standin {
namespace {

const QString kInterface = QString::fromLatin1(kInterfaceName);
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kName = QStringLiteral("Name");

// The property interface argument may name our interface or be left empty.
bool IsOurProperty(const QList<QVariant>& args) {
  const QString interface = args.value(0).toString();
  return (interface.isEmpty() || interface == kInterface) && args.value(1).toString() == kName;
}

}  // namespace

StandinObject::StandinObject(StandinFolder folder, QObject* parent)
    : QDBusVirtualObject(parent), folder_(std::move(folder)) {}

QString StandinObject::introspect(const QString&) const {
  return QStringLiteral(
      "  <interface name=\"VeruVeve.SetupConfig\">\n"
      "    <property name=\"Name\" type=\"s\" access=\"readwrite\"/>\n"
      "    <method name=\"Apply\">\n"
      "      <arg name=\"value\" type=\"b\" direction=\"in\"/>\n"
      "    </method>\n"
      "  </interface>\n");
}

bool StandinObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  emit CallReceived(message.service());
  Answer answer;
  try {
    answer = Serve(message);
  } catch (const FolderError& error) {
    answer.message = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                              QString::fromStdString(error.what()));
  }
  // A hung call is kept unanswered: only the caller, or its bus, ends it. A
  // late answer leaves the stand-in free to take other calls meanwhile.
  if (!answer.message) return true;
  if (answer.delay_ms == 0) {
    connection.send(*answer.message);
  } else {
    QTimer::singleShot(answer.delay_ms, this,
                       [connection, reply = *answer.message] { connection.send(reply); });
  }
  return true;
}

StandinObject::Answer StandinObject::Serve(const QDBusMessage& message) const {
  const QString interface = message.interface();
  const QString member = message.member();
  const QString signature = message.signature();
  const QList<QVariant> args = message.arguments();

  if (interface == kProperties && member == QStringLiteral("Get") &&
      signature == QStringLiteral("ss") && IsOurProperty(args)) {
    return Controlled(message, QStringLiteral("get-name"), QStringLiteral("Get Name"), [&] {
      return message.createReply(QVariant::fromValue(QDBusVariant(folder_.ReadName())));
    });
  }
  if (interface == kProperties && member == QStringLiteral("Set") &&
      signature == QStringLiteral("ssv") && IsOurProperty(args)) {
    const QVariant value = args[2].value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<QString>()) {
      return {Refuse(message, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                     QStringLiteral("Name takes a string"))};
    }
    const QString name = value.toString();
    return Controlled(message, QStringLiteral("set-name"), QStringLiteral("Set Name ") + name, [&] {
      folder_.WriteName(name);
      return message.createReply();
    });
  }
  if ((interface == kInterface || interface.isEmpty()) && member == QStringLiteral("Apply") &&
      signature == QStringLiteral("b")) {
    const QString value = args[0].toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return Controlled(message, QStringLiteral("apply"), QStringLiteral("Apply ") + value,
                      [&] { return message.createReply(); });
  }
  return {Refuse(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                 QStringLiteral("This object has the property Name (s) and the method Apply (b) "
                                "of interface %1 only")
                     .arg(kInterface))};
}

StandinObject::Answer StandinObject::Controlled(const QDBusMessage& message, const QString& call,
                                                const QString& record,
                                                const std::function<QDBusMessage()>& serve) const {
  folder_.Record(record);
  const CallControl control = folder_.ControlFor(call);
  if (control.exit) std::_Exit(1);  // gone without a word, the call still open
  if (control.hang) return {};
  if (!control.error_name.isEmpty()) {
    return {message.createErrorReply(control.error_name, control.error_message), control.delay_ms};
  }
  return {serve(), control.delay_ms};
}

QDBusMessage StandinObject::Refuse(const QDBusMessage& message, const QString& error_name,
                                   const QString& text) const {
  QStringList args;
  for (const QVariant& arg : message.arguments()) args << arg.toString();
  folder_.Record(QStringLiteral("Refused %1.%2(%3)")
                     .arg(message.interface(), message.member(), args.join(QLatin1Char(','))));
  return message.createErrorReply(error_name, text);
}

}  // namespace varnik::standin
