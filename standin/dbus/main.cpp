// A stand-in for the VeruVeve.SetupConfig object on the session bus, for
// trying and testing Varnik where the real object is absent. See README.md.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <cstdio>

#include "standin/dbus/standin_folder.h"
#include "standin/dbus/standin_object.h"

namespace {

using varnik::standin::StandinFolder;
using varnik::standin::StandinObject;

int Fail(const QString& text) {
  std::fprintf(stderr, "varnik-setupconfig-standin: %s\n", qPrintable(text));
  return 1;
}

QString Describe(const QDBusError& error) {
  return error.name() + QStringLiteral(": ") + error.message();
}

// Started by the bus, the stand-in serves the bus that started it; started by
// hand, the session bus.
QDBusConnection ConnectToBus() {
  if (qEnvironmentVariableIsSet("DBUS_STARTER_ADDRESS")) {
    return QDBusConnection::connectToBus(QDBusConnection::ActivationBus, QStringLiteral("starter"));
  }
  return QDBusConnection::sessionBus();
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("varnik-setupconfig-standin"));

  const StandinFolder folder(StandinFolder::DefaultPath());
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral(
          "A stand-in for the VeruVeve.SetupConfig object, for trying and testing Varnik where\n"
          "the real object is absent. It owns the name VeruVeve.SetupConfig on the session bus\n"
          "and serves /VeruVeve/SetupConfig: the property Name (read and written through\n"
          "org.freedesktop.DBus.Properties) and the method Apply(boolean).\n"
          "\n"
          "Its folder is %1:\n"
          "  name       the Name value (UTF-8)\n"
          "  calls      one line per call received\n"
          "  CALL.fail  make CALL fail: error name on the first line, message after it\n"
          "  CALL.hang  never answer CALL\n"
          "where CALL is get-name, set-name or apply.\n"
          "It quits when its bus goes away.")
          .arg(folder.Path()));
  parser.addHelpOption();
  parser.process(app);

  try {
    folder.Create();
  } catch (const varnik::standin::FolderError& error) {
    return Fail(QString::fromStdString(error.what()));
  }

  QDBusConnection bus = ConnectToBus();
  if (!bus.isConnected()) return Fail(Describe(bus.lastError()));

  bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
              QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
              SLOT(quit()));

  StandinObject object(folder);
  if (!bus.registerVirtualObject(QString::fromLatin1(varnik::standin::kObjectPath), &object)) {
    return Fail(
        QStringLiteral("cannot serve %1").arg(QString::fromLatin1(varnik::standin::kObjectPath)));
  }
  // The name last, so every call that reaches it finds the object in place.
  if (!bus.registerService(QString::fromLatin1(varnik::standin::kServiceName))) {
    const QDBusError error = bus.lastError();
    return Fail(error.isValid() ? Describe(error)
                                : QStringLiteral("%1 is already owned on this bus")
                                      .arg(QString::fromLatin1(varnik::standin::kServiceName)));
  }
  return app.exec();
}
