// The stand-in's hold on its name, against a real dbus-daemon: it lets a
// newcomer that asks for the name take it and then quits, keeps it from one
// that does not ask, and quits by itself once no program that called it is
// still connected.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <memory>
#include <vector>

#include "tests/support/standin_bus.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

constexpr int kPatienceMs = 10000;
const QString kObjectName = QStringLiteral("VeruVeve.SetupConfig");

// Stand-ins started by hand on a bus of the test's own, where nothing is
// started on demand.
class StandinTest : public ::testing::Test {
 protected:
  ~StandinTest() override {
    for (const auto& standin : standins_) {
      standin->kill();
      standin->waitForFinished(kPatienceMs);
    }
    QDBusConnection::disconnectFromBus(kConnection);
  }

  QProcess& Start(const QStringList& args) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QString::fromStdString(bus_.Address()));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(state_.path()));
    environment.remove(QStringLiteral("DBUS_STARTER_ADDRESS"));
    QProcess& standin = *standins_.emplace_back(std::make_unique<QProcess>());
    standin.setProcessEnvironment(environment);
    standin.setProcessChannelMode(QProcess::ForwardedChannels);
    standin.start(QStringLiteral(VARNIK_STANDIN_PROGRAM), args);
    EXPECT_TRUE(standin.waitForStarted(kPatienceMs));
    return standin;
  }

  // The process id of the object name's owner; 0 when it has none.
  qint64 OwnerPid() const {
    const QDBusReply<uint> pid = connection_.interface()->servicePid(kObjectName);
    return pid.isValid() ? pid.value() : 0;
  }

  // Waits for the name to be owned by the given process, at most kPatienceMs.
  bool OwnerBecomes(qint64 pid) const {
    QDBusServiceWatcher watcher(kObjectName, connection_, QDBusServiceWatcher::WatchForOwnerChange);
    QSignalSpy changed(&watcher, &QDBusServiceWatcher::serviceOwnerChanged);
    const QDeadlineTimer deadline(kPatienceMs);
    while (OwnerPid() != pid) {
      if (deadline.hasExpired() || !changed.wait(static_cast<int>(deadline.remainingTime()))) {
        return false;
      }
    }
    return true;
  }

  const QString kConnection = QStringLiteral("standin-test");
  test::StandinBus bus_{/*with_standin=*/false};
  test::TempDir state_;
  QDBusConnection connection_ =
      QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), kConnection);
  std::vector<std::unique_ptr<QProcess>> standins_;
};

struct Newcomer {
  const char* label;
  QStringList args;
  bool takes_the_name;
};

void PrintTo(const Newcomer& newcomer, std::ostream* out) { *out << newcomer.label; }

class NewcomerTest : public StandinTest, public ::testing::WithParamInterface<Newcomer> {};

TEST_P(NewcomerTest, TakesTheNameOnlyWhenItAsksAndTheLoserQuits) {
  QProcess& first = Start({});
  ASSERT_TRUE(OwnerBecomes(first.processId()));
  QProcess& second = Start(GetParam().args);
  QProcess& loser = GetParam().takes_the_name ? first : second;
  ASSERT_TRUE(loser.waitForFinished(kPatienceMs));
  EXPECT_EQ(loser.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(loser.exitCode(), GetParam().takes_the_name ? 0 : 1);
  const QProcess& winner = GetParam().takes_the_name ? second : first;
  EXPECT_TRUE(OwnerBecomes(winner.processId()));
  EXPECT_EQ(winner.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(EachKind, NewcomerTest,
                         ::testing::Values(Newcomer{"Replacing", {"--replace"}, true},
                                           Newcomer{"Plain", {}, false}),
                         [](const auto& kind) { return std::string(kind.param.label); });

TEST_F(StandinTest, QuitsAndFreesTheNameOnlyOnceNoCallerIsLeft) {
  QProcess& standin = Start({QStringLiteral("--idle-exit"), QStringLiteral("0.2")});
  ASSERT_TRUE(OwnerBecomes(standin.processId()));
  // A program holds on to the object it found: while its connection stays, so
  // does the stand-in, long past the idle time.
  const QString caller = QStringLiteral("standin-test-caller");
  {
    QDBusConnection program =
        QDBusConnection::connectToBus(QString::fromStdString(bus_.Address()), caller);
    const QDBusMessage get = QDBusMessage::createMethodCall(
        kObjectName, QStringLiteral("/VeruVeve/SetupConfig"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    EXPECT_EQ(program.call(get, QDBus::Block, kPatienceMs).type(), QDBusMessage::ErrorMessage);
    EXPECT_FALSE(standin.waitForFinished(1000));
  }
  QDBusConnection::disconnectFromBus(caller);
  ASSERT_TRUE(standin.waitForFinished(kPatienceMs));
  EXPECT_EQ(standin.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(standin.exitCode(), 0);
  EXPECT_EQ(OwnerPid(), 0);
}

}  // namespace
}  // namespace varnik
