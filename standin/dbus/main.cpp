// A stand-in for the VeruVeve.SetupConfig object on the session bus, for
// trying and testing Varnik where the real object is absent. See README.md.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>

#include "standin/dbus/standin_folder.h"
#include "standin/dbus/standin_object.h"

namespace {

using varnik::standin::StandinFolder;
using varnik::standin::StandinObject;

// How long the stand-in waits for a call before it quits by itself, so that it
// holds the name only while someone uses it.
constexpr double kDefaultIdleSeconds = 300;

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

// The idle time in milliseconds (0: never quit when idle), or nothing when
// text is not a number of seconds a timer can hold.
std::optional<int> IdleMilliseconds(const QString& text) {
  bool ok = false;
  const double seconds = text.toDouble(&ok);
  if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds * 1000 > INT_MAX) {
    return std::nullopt;
  }
  return static_cast<int>(std::lround(seconds * 1000));
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
          "  name-type  the D-Bus type Name is served as, e.g. i (default s)\n"
          "  calls      one line per call received\n"
          "  CALL.fail  make CALL fail: error name on the first line, message after it\n"
          "  CALL.hang  never answer CALL\n"
          "  CALL.exit  end at once inside CALL, leaving it unanswered\n"
          "  CALL.delay answer CALL this many seconds late, e.g. 12.5\n"
          "where CALL is get-name, set-name or apply.\n"
          "\n"
          "It lets a later owner take the name and quits when it loses the name, when\n"
          "no program that called it has been connected for the idle time, or when its\n"
          "bus goes away.")
          .arg(folder.Path()));
  parser.addHelpOption();
  const QCommandLineOption replace_option(
      QStringLiteral("replace"),
      QStringLiteral("Take the name from the owner that has it, when that owner allows it."));
  const QCommandLineOption idle_option(
      QStringLiteral("idle-exit"),
      QStringLiteral("Quit after <seconds> with no caller left (default %1; 0: never).")
          .arg(kDefaultIdleSeconds),
      QStringLiteral("seconds"), QString::number(kDefaultIdleSeconds));
  parser.addOption(replace_option);
  parser.addOption(idle_option);
  parser.process(app);
  const std::optional<int> idle_ms = IdleMilliseconds(parser.value(idle_option));
  if (!idle_ms) {
    return Fail(QStringLiteral("--idle-exit takes a number of seconds, not \"%1\"")
                    .arg(parser.value(idle_option)));
  }

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

  // Idle means: no connection that has called the object is still there. A
  // program holds on to the one object it found for the whole run, so the
  // stand-in stays as long as any caller may call again.
  QTimer idle;
  idle.setSingleShot(true);
  idle.setInterval(*idle_ms);
  QObject::connect(&idle, &QTimer::timeout, &app, &QCoreApplication::quit);
  QDBusServiceWatcher callers;
  callers.setConnection(bus);
  callers.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  const auto forget = [&](const QString& caller) {
    callers.removeWatchedService(caller);
    if (callers.watchedServices().isEmpty() && *idle_ms > 0) idle.start();
  };
  QObject::connect(&callers, &QDBusServiceWatcher::serviceUnregistered, &app, forget);
  QObject::connect(&object, &StandinObject::CallReceived, &app, [&](const QString& caller) {
    idle.stop();
    if (callers.watchedServices().contains(caller)) return;
    callers.addWatchedService(caller);
    // A caller that left before the watch began is never reported by it.
    if (!bus.interface()->isServiceRegistered(caller).value()) forget(caller);
  });

  // The real object, or another stand-in, may take the name over at any time;
  // this one then has nothing left to serve.
  const QString service = QString::fromLatin1(varnik::standin::kServiceName);
  QDBusConnectionInterface* const bus_daemon = bus.interface();
  QObject::connect(bus_daemon, &QDBusConnectionInterface::serviceUnregistered, &app,
                   [&service](const QString& name) {
                     if (name == service) QCoreApplication::quit();
                   });
  // The name last, so every call that reaches it finds the object in place.
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> registered =
      bus_daemon->registerService(service,
                                  parser.isSet(replace_option)
                                      ? QDBusConnectionInterface::ReplaceExistingService
                                      : QDBusConnectionInterface::DontQueueService,
                                  QDBusConnectionInterface::AllowReplacement);
  if (!registered.isValid()) return Fail(Describe(registered.error()));
  if (registered.value() != QDBusConnectionInterface::ServiceRegistered) {
    return Fail(
        parser.isSet(replace_option)
            ? QStringLiteral("%1 is owned on this bus by a program that keeps it").arg(service)
            : QStringLiteral("%1 is already owned on this bus (--replace takes it)").arg(service));
  }
  if (*idle_ms > 0) idle.start();
  return app.exec();
}
