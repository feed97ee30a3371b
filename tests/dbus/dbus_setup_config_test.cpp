// The object over D-Bus, against a real dbus-daemon on which the stand-in is
// started by D-Bus activation.

#include "setupconfig/dbus/dbus_setup_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusMessage>

#include <signal.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "common/platform_error.h"
#include "tests/support/standin_bus.h"

namespace varnik {
namespace {

using test::StandinBus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The PlatformError thrown by the call, if any.
std::optional<PlatformError> Caught(const std::function<void()>& call) {
  try {
    call();
  } catch (const PlatformError& error) {
    return error;
  }
  return std::nullopt;
}

// What a PlatformError thrown by the call says.
std::string Failure(const std::function<void()>& call) {
  const std::optional<PlatformError> error = Caught(call);
  return error ? error->what() : "no failure";
}

// Creates the object over a fresh connection of the test's own to the
// stand-in's bus (or to `bus`), closed at the end of the test.
class DBusSetupConfigTest : public ::testing::Test {
 protected:
  ~DBusSetupConfigTest() override { QDBusConnection::disconnectFromBus(kConnection); }

  std::unique_ptr<SetupConfig> Create(std::chrono::milliseconds timeout = kDefaultDBusCallTimeout,
                                      const StandinBus* bus = nullptr) {
    const QString address = QString::fromStdString((bus ? *bus : standin_).Address());
    QDBusConnection::disconnectFromBus(kConnection);
    return CreateDBusSetupConfig(QDBusConnection::connectToBus(address, kConnection),
                                 kSetupConfigProgId, timeout);
  }

  // A call to the bus itself over the test's connection.
  QVariant CallBus(const char* member, const QList<QVariant>& arguments) const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(member));
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection(kConnection).call(call);
    return reply.arguments().value(0);
  }

  const QString kConnection = QStringLiteral("varnik-test");
  StandinBus standin_;
};

TEST_F(DBusSetupConfigTest, NameIsReadFromTheStartedServiceWhenAsked) {
  standin_.StoreName("ROSSI");
  const std::unique_ptr<SetupConfig> config = Create();
  EXPECT_THAT(standin_.Calls(), IsEmpty());
  EXPECT_EQ(config->Name(), u"ROSSI");
  EXPECT_THAT(standin_.Calls(), ElementsAre("Get Name"));
}

TEST_F(DBusSetupConfigTest, AssignThenApplyReachTheServiceInOrder) {
  const std::unique_ptr<SetupConfig> config = Create();
  config->SetName(u"ROSSI-2");
  config->Apply(true);
  EXPECT_THAT(standin_.Calls(), ElementsAre("Set Name ROSSI-2", "Apply true"));
  EXPECT_EQ(standin_.StoredName(), "ROSSI-2");
}

TEST_F(DBusSetupConfigTest, NamesRoundTripUnchangedAsUtf8) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"  ROSSI   ", "  ROSSI   "},
      {u"CITT\u00C0 Perch\u00E9", "CITT\xC3\x80 Perch\xC3\xA9"},
      {u"\u20AC 5", "\xE2\x82\xAC 5"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
  };
  const std::unique_ptr<SetupConfig> config = Create();
  for (const auto& [text, utf8] : cases) {
    SCOPED_TRACE(utf8);
    config->SetName(text);
    EXPECT_EQ(standin_.StoredName(), utf8);
    EXPECT_EQ(config->Name(), text);
  }
}

TEST_F(DBusSetupConfigTest, MissingServiceFailsWithTheBusErrorAsAMissingObject) {
  const StandinBus no_service(/*with_standin=*/false);
  const std::optional<PlatformError> error =
      Caught([&] { Create(kDefaultDBusCallTimeout, &no_service); });
  ASSERT_TRUE(error);
  EXPECT_THAT(error->what(), HasSubstr("org.freedesktop.DBus.Error.ServiceUnknown: "));
  EXPECT_TRUE(error->object_missing());
}

// The object is the process that owned the name at creation: once it is
// gone, calls fail, even with another process owning the name by then.
TEST_F(DBusSetupConfigTest, CallsNeverReachALaterOwnerOfTheName) {
  const std::unique_ptr<SetupConfig> config = Create();
  const QVariant service = QStringLiteral("VeruVeve.SetupConfig");
  const QString first = CallBus("GetNameOwner", {service}).toString();
  ASSERT_EQ(
      kill(static_cast<pid_t>(CallBus("GetConnectionUnixProcessID", {first}).toUInt()), SIGKILL),
      0);
  // Another stand-in takes the name once the bus has seen the first go.
  QString second = first;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((second.isEmpty() || second == first) && std::chrono::steady_clock::now() < deadline) {
    CallBus("StartServiceByName", {service, QVariant::fromValue(0u)});
    second = CallBus("GetNameOwner", {service}).toString();
  }
  ASSERT_NE(second, first);
  ASSERT_FALSE(second.isEmpty());

  const std::function<void()> calls[] = {
      [&] { config->Name(); }, [&] { config->SetName(u"VERDI"); }, [&] { config->Apply(true); }};
  for (const auto& call : calls) {
    const std::optional<PlatformError> error = Caught(call);
    ASSERT_TRUE(error);
    EXPECT_THAT(error->what(), HasSubstr("org.freedesktop.DBus.Error.ServiceUnknown: "));
    EXPECT_THAT(error->what(), HasSubstr(first.toStdString()));
    EXPECT_FALSE(error->object_missing());
  }
  EXPECT_THAT(standin_.Calls(), IsEmpty());
}

// One of the three calls, made on a fresh object.
struct ObjectCall {
  const char* label;
  const char* call;  // the stand-in's name for it
  std::function<void(SetupConfig&)> make;
  std::vector<std::string> received;
};

const ObjectCall kCalls[] = {
    {"GetName", "get-name", [](SetupConfig& config) { config.Name(); }, {"Get Name"}},
    {"SetName",
     "set-name",
     [](SetupConfig& config) { config.SetName(u"VERDI"); },
     {"Set Name VERDI"}},
    {"Apply",
     "apply",
     [](SetupConfig& config) {
       config.SetName(u"VERDI");
       config.Apply(true);
     },
     {"Set Name VERDI", "Apply true"}},
};

void PrintTo(const ObjectCall& call, std::ostream* out) { *out << call.label; }

class ObjectCallTest : public DBusSetupConfigTest,
                       public ::testing::WithParamInterface<ObjectCall> {};

TEST_P(ObjectCallTest, ServiceErrorBecomesPlatformErrorWithItsNameAndMessage) {
  standin_.StoreName("BIANCHI");
  standin_.FailCall(GetParam().call, "VeruVeve.Error.Locked", "Configurazione bloccata");
  const std::unique_ptr<SetupConfig> config = Create();
  EXPECT_EQ(Failure([&] { GetParam().make(*config); }),
            "VeruVeve.Error.Locked: Configurazione bloccata");
  EXPECT_EQ(standin_.Calls(), GetParam().received);
  EXPECT_EQ(standin_.StoredName(), GetParam().call == std::string("apply") ? "VERDI" : "BIANCHI");
}

TEST_P(ObjectCallTest, UnansweredCallEndsByTheGivenTimeout) {
  Create();  // started with the usual patience, so only the hung call meets the short one
  standin_.HangCall(GetParam().call);
  const std::unique_ptr<SetupConfig> config = Create(std::chrono::milliseconds(500));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT(Failure([&] { GetParam().make(*config); }),
              HasSubstr("org.freedesktop.DBus.Error.NoReply: "));
  EXPECT_LT(std::chrono::steady_clock::now() - start, kDefaultDBusCallTimeout / 2);
  EXPECT_EQ(standin_.Calls(), GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(EachCall, ObjectCallTest, ::testing::ValuesIn(kCalls),
                         [](const auto& call) { return std::string(call.param.label); });

}  // namespace
}  // namespace varnik
