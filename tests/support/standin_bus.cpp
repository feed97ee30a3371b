#include "tests/support/standin_bus.h"

#include <stdexcept>

namespace varnik::test {
StandinBus::StandinBus(bool with_standin, const std::string& service_program) {
  // The standard session bus, whose activatable services come first from
  // XDG_DATA_HOME: the build tree's share folder, or one with none. The
  // stand-in inherits the daemon's environment, and with it the state folder.
  std::filesystem::create_directories(Folder());
  if (!service_program.empty()) {
    const std::filesystem::path services = dir_.path() / "dbus-1" / "services";
    std::filesystem::create_directories(services);
    WriteBytes(services / "VeruVeve.SetupConfig.service",
               "[D-BUS Service]\nName=VeruVeve.SetupConfig\nExec=" + service_program + "\n");
  }
  const QString dir = QString::fromStdString(Utf8(dir_.path()));
  QProcessEnvironment environment = Environment();
  environment.insert(QStringLiteral("XDG_DATA_HOME"),
                     with_standin ? QStringLiteral(VARNIK_BUILD_SHARE_DIR) : dir);
  environment.insert(QStringLiteral("XDG_DATA_DIRS"), dir);
  environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  daemon_.setProcessEnvironment(environment);
  // Not the test's standard error: a daemon outliving a crashed test would
  // keep the test runner waiting for the end of its output.
  daemon_.setStandardErrorFile(dir + QStringLiteral("/bus.log"));
  daemon_.start(
      QStringLiteral(VARNIK_DBUS_DAEMON),
      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  while (!daemon_.canReadLine()) {
    if (!daemon_.waitForReadyRead(10000)) {
      throw std::runtime_error("dbus-daemon did not print its address");
    }
  }
  address_ = daemon_.readLine().trimmed().toStdString();
}

StandinBus::~StandinBus() {
  daemon_.kill();
  daemon_.waitForFinished();
}

QProcessEnvironment StandinBus::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromStdString(address_));
  environment.remove(QStringLiteral("DBUS_STARTER_ADDRESS"));
  environment.insert(QStringLiteral("XDG_STATE_HOME"),
                     QString::fromStdString(Utf8(dir_.path() / "state")));
  return environment;
}

}  // namespace varnik::test
