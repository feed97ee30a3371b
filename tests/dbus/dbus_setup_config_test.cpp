// The object over D-Bus, against a real session bus on which the stand-in is
// started by D-Bus activation; and the stand-in's hold on its name, started by
// hand on that bus.

#include "setupconfig/dbus/dbus_setup_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QProcess>

#include <signal.h>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/platform_error.h"
#include "tests/support/eventually.h"
#include "tests/support/standin_bus.h"

namespace varnik {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::StandinBus;
using ::testing::AllOf;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// Records which calls are waited for and waits for each as `act` says; a call
// still unanswered after that is stopped, as the user would.
class TestWaiter final : public ObjectWaiter {
 public:
  void Wait(ObjectCall which, PendingCall& call) override {
    calls.push_back(which);
    act(call);
    if (!call.Answered()) throw PlatformError("", {std::nullopt, false, true});
  }

  std::vector<ObjectCall> calls;
  std::function<void(PendingCall&)> act = [](PendingCall& call) { call.WaitFor(seconds(20)); };
};

// The PlatformError thrown by the call, if any. Caught(...).value() fails the
// test when there is none.
std::optional<PlatformError> Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const PlatformError& error) {
    return error;
  }
  return std::nullopt;
}

class DBusTest : public ::testing::Test {
 protected:
  ~DBusTest() override {
    for (QProcess& standin : standins_) {
      standin.kill();
      standin.waitForFinished();
    }
    QDBusConnection::disconnectFromBus(kConnection);
  }

  // A fresh connection of the test's own, closed at the end of the test.
  QDBusConnection Connect(const StandinBus& bus) {
    QDBusConnection::disconnectFromBus(kConnection);
    return QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), kConnection);
  }

  std::unique_ptr<SetupConfig> Create() {
    return CreateDBusSetupConfig(Connect(standin_), kSetupConfigProgId, waiter_);
  }

  // A stand-in started by hand, killed at the end of the test.
  QProcess& StartStandin(const QStringList& args) {
    QProcess& standin = standins_.emplace_back();
    standin.setProcessEnvironment(standin_.Environment());
    standin.setProcessChannelMode(QProcess::ForwardedChannels);
    standin.start(QStringLiteral(VARNIK_STANDIN_PROGRAM), args);
    EXPECT_TRUE(standin.waitForStarted());
    return standin;
  }

  // Whether the object's name comes to be owned by the process (0: by none).
  bool OwnerBecomes(qint64 pid) {
    const QDBusConnection bus = Connect(standin_);
    return test::Eventually([&] {
      const QDBusReply<uint> owner = bus.interface()->servicePid(kService);
      return (owner.isValid() ? owner.value() : 0) == pid;
    });
  }

  const QString kConnection = QStringLiteral("varnik-test");
  const QString kService = QStringLiteral("VeruVeve.SetupConfig");
  StandinBus standin_;
  TestWaiter waiter_;
  std::deque<QProcess> standins_;
};

// Name travels as text: a string both ways as UTF-8; a value of another type
// is read as its text, or, where it has none, fails saying which type it was.
TEST_F(DBusTest, NameTravelsAsTextAndCreationCallsNothing) {
  const struct {
    const char* type;
    std::string stored;
    std::u16string text;  // empty: a failure
  } cases[] = {
      {"s", "  ROSSI   ", u"  ROSSI   "},
      {"s", "CITT\xC3\x80 Perch\xC3\xA9", u"CITT\u00C0 Perch\u00E9"},
      {"s", "\xE2\x82\xAC 5", u"\u20AC 5"},
      {"s", "\xF0\x9F\x98\x80", u"\U0001F600"},  // a surrogate pair
      {"b", "true", u"true"},
      {"b", "false", u"false"},
      {"y", "255", u"255"},
      {"n", "-32768", u"-32768"},
      {"q", "65535", u"65535"},
      {"i", "-7", u"-7"},
      {"u", "4294967295", u"4294967295"},
      {"x", "-9223372036854775808", u"-9223372036854775808"},
      {"t", "18446744073709551615", u"18446744073709551615"},
      {"d", "0.1", u"0.1"},
      {"d", "0.30000000000000004", u"0.30000000000000004"},
      {"o", "/VeruVeve/Nome", u"/VeruVeve/Nome"},
      {"g", "a{sv}", u"a{sv}"},
      {"v", "ROSSI", u"ROSSI"},
      {"as", "ROSSI", u""},
  };
  const std::unique_ptr<SetupConfig> config = Create();
  EXPECT_EQ(standin_.Read("calls"), "");
  for (const auto& [type, stored, text] : cases) {
    SCOPED_TRACE(std::string(type) + " " + stored);
    standin_.Write("name", stored);
    standin_.Write("name-type", type);
    if (text.empty()) {
      EXPECT_THAT(Caught([&] { config->Name(); }).value().what(),
                  HasSubstr('"' + std::string(type) + '"'));
      continue;
    }
    EXPECT_EQ(config->Name(), text);
    if (type != std::string("s")) continue;
    standin_.Write("name", "");
    config->SetName(text);
    EXPECT_EQ(standin_.Read("name"), stored);
  }
}

TEST_F(DBusTest, MissingServiceFailsWithTheBusErrorAsAMissingObject) {
  const StandinBus no_service(/*with_standin=*/false);
  const QDBusConnection bus = Connect(no_service);
  if (bus.interface()->activatableServiceNames().value().contains(kService)) {
    GTEST_SKIP() << "this machine has the object installed";
  }
  const std::optional<PlatformError> error =
      Caught([&] { CreateDBusSetupConfig(bus, kSetupConfigProgId, waiter_); });
  ASSERT_TRUE(error);
  EXPECT_THAT(error->what(), HasSubstr("org.freedesktop.DBus.Error.ServiceUnknown: "));
  EXPECT_TRUE(error->object_missing());
}

// The object is the process that owned the name at creation: once it is
// gone, calls fail, even with another process owning the name by then.
TEST_F(DBusTest, CallsNeverReachALaterOwnerOfTheName) {
  const std::unique_ptr<SetupConfig> config = Create();
  QDBusConnectionInterface& bus = *QDBusConnection(kConnection).interface();
  const QString first = bus.serviceOwner(kService);
  ASSERT_EQ(kill(static_cast<pid_t>(bus.servicePid(first).value()), SIGKILL), 0);
  // Another stand-in takes the name once the bus has seen the first go.
  ASSERT_TRUE(test::Eventually([&] {
    bus.startService(kService);
    const QString second = bus.serviceOwner(kService);
    return !second.isEmpty() && second != first;
  }));

  const std::function<void()> calls[] = {
      [&] { config->Name(); }, [&] { config->SetName(u"VERDI"); }, [&] { config->Apply(true); }};
  for (const auto& call : calls) {
    const std::optional<PlatformError> error = Caught(call);
    ASSERT_TRUE(error);
    EXPECT_THAT(error->what(), AllOf(HasSubstr("org.freedesktop.DBus.Error.ServiceUnknown: "),
                                     HasSubstr(first.toStdString())));
    EXPECT_FALSE(error->object_missing());
  }
  EXPECT_EQ(standin_.Read("calls"), "");
}

// Every call, creation included, goes through the waiter and ends only when
// answered, stopped, or left by its callee: a service's error, a user who
// stops waiting, a stand-in that dies inside the call.
TEST_F(DBusTest, CallsAreWaitedForUntilAnsweredStoppedOrLeft) {
  const std::unique_ptr<SetupConfig> config = Create();
  const auto stop_soon = [](PendingCall& call) { EXPECT_FALSE(call.WaitFor(milliseconds(100))); };
  const struct {
    const char* switch_file;
    const char* switch_text;
    std::function<void()> call;
    const char* error;  // a part of the failure's text; "": stopped by the user
  } cases[] = {
      {"apply.fail", "VeruVeve.Error.Locked\nConfigurazione bloccata", [&] { config->Apply(true); },
       "VeruVeve.Error.Locked: Configurazione bloccata"},
      {"set-name.hang", "", [&] { config->SetName(u"VERDI"); }, ""},
      {"apply.exit", "", [&] { config->Apply(false); }, "org.freedesktop.DBus.Error.NoReply: "},
  };
  const auto answer = waiter_.act;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switch_file);
    standin_.Write(c.switch_file, c.switch_text);
    waiter_.act = *c.error == '\0' ? stop_soon : answer;
    const std::optional<PlatformError> error = Caught(c.call);
    standin_.Remove(c.switch_file);
    ASSERT_TRUE(error);
    EXPECT_THAT(error->what(), HasSubstr(c.error));
    EXPECT_EQ(error->stopped_by_user(), *c.error == '\0');
  }
  // Creation asks the bus for the owner, has it start the stand-in, asks again.
  EXPECT_THAT(waiter_.calls,
              ElementsAreArray({ObjectCall::Create, ObjectCall::Create, ObjectCall::Create,
                                ObjectCall::Apply, ObjectCall::AssignName, ObjectCall::Apply}));
  EXPECT_EQ(standin_.Read("calls"), "Apply true\nSet Name VERDI\nApply false\n");
}

TEST_F(DBusTest, StandinKeepsItsNameFromANewcomerUnlessAskedThenQuits) {
  QProcess& first = StartStandin({});
  ASSERT_TRUE(OwnerBecomes(first.processId()));
  QProcess& plain = StartStandin({});
  ASSERT_TRUE(plain.waitForFinished());
  EXPECT_EQ(plain.exitCode(), 1);
  EXPECT_EQ(first.state(), QProcess::Running);
  QProcess& replacing = StartStandin({QStringLiteral("--replace")});
  ASSERT_TRUE(first.waitForFinished());
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_TRUE(OwnerBecomes(replacing.processId()));
}

// A program holds on to the object it found: while its connection stays, so
// does the stand-in, long past its idle time; then it quits and frees the name.
TEST_F(DBusTest, StandinQuitsOnlyOnceNoCallerIsLeft) {
  QProcess& standin = StartStandin({QStringLiteral("--idle-exit"), QStringLiteral("0.2")});
  ASSERT_TRUE(OwnerBecomes(standin.processId()));
  Create()->Name();
  EXPECT_FALSE(standin.waitForFinished(1000));
  QDBusConnection::disconnectFromBus(kConnection);
  ASSERT_TRUE(standin.waitForFinished());
  EXPECT_EQ(standin.exitCode(), 0);
  EXPECT_TRUE(OwnerBecomes(0));
}

}  // namespace
}  // namespace varnik
