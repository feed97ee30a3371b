#include "setupconfig/dbus/dbus_setup_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <functional>
#include <string>

#include "common/platform_error.h"
#include "tests/dbus/bus_connection.h"
#include "tests/support/private_bus.h"
#include "tests/support/standin_bus.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

using test::BusConnection;
using test::StandinBus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const QString kService = QStringLiteral("VeruVeve.SetupConfig");

// Long enough for any answer from a live service, short enough for a test to
// wait out a hung one.
constexpr std::chrono::milliseconds kShortTimeout{500};

class DBusSetupConfigTest : public ::testing::Test {
 protected:
  std::unique_ptr<SetupConfig> Create(std::chrono::milliseconds timeout = kDefaultDBusCallTimeout) {
    return CreateDBusSetupConfig(connection_.Get(), kSetupConfigProgId, timeout);
  }

  bool ServiceRunning() const {
    return connection_.Get().interface()->isServiceRegistered(kService).value();
  }

  StandinBus standin_;
  BusConnection connection_{standin_.Address()};
};

TEST_F(DBusSetupConfigTest, CreatingStartsTheServiceAndNameComesFromItsState) {
  standin_.StoreName("ROSSI");
  ASSERT_FALSE(ServiceRunning());

  const std::unique_ptr<SetupConfig> config = Create();

  EXPECT_TRUE(ServiceRunning());
  EXPECT_THAT(standin_.Calls(), IsEmpty());  // creating calls nothing on the object
  EXPECT_EQ(config->Name(), u"ROSSI");
  EXPECT_THAT(standin_.Calls(), ElementsAre("Get Name"));
}

TEST_F(DBusSetupConfigTest, NameOfAServiceWithNoStateIsEmpty) { EXPECT_EQ(Create()->Name(), u""); }

TEST_F(DBusSetupConfigTest, NameKeepsSurroundingSpaces) {
  standin_.StoreName("  ROSSI   ");
  EXPECT_EQ(Create()->Name(), u"  ROSSI   ");
}

TEST_F(DBusSetupConfigTest, AssignThenApplyReachTheServiceInOrderAndPersist) {
  const std::unique_ptr<SetupConfig> config = Create();
  config->SetName(u"ROSSI-2");
  config->Apply(true);

  EXPECT_THAT(standin_.Calls(), ElementsAre("Set Name ROSSI-2", "Apply true"));
  EXPECT_EQ(standin_.StoredName(), "ROSSI-2");
  // Written through a temporary file that has been renamed into place.
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(standin_.Folder())) {
    files.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(files, ::testing::UnorderedElementsAre("calls", "name"));

  // A second object on the same running service sees the new value.
  EXPECT_EQ(Create()->Name(), u"ROSSI-2");
}

TEST_F(DBusSetupConfigTest, CreatingTwiceUsesTheRunningService) {
  const std::unique_ptr<SetupConfig> first = Create();
  first->SetName(u"A");
  const std::unique_ptr<SetupConfig> second = Create();
  EXPECT_EQ(second->Name(), u"A");
}

struct RoundTrip {
  std::u16string text;
  std::string utf8;  // as the service stores it
};

class NonAsciiNameTest : public DBusSetupConfigTest,
                         public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(NonAsciiNameTest, AssignedTextIsStoredAsUtf8AndReadBackUnchanged) {
  const std::unique_ptr<SetupConfig> config = Create();
  config->SetName(GetParam().text);
  EXPECT_EQ(standin_.StoredName(), GetParam().utf8);
  EXPECT_EQ(config->Name(), GetParam().text);
}

TEST_P(NonAsciiNameTest, StoredUtf8IsReadAsText) {
  standin_.StoreName(GetParam().utf8);
  EXPECT_EQ(Create()->Name(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(AccentedAndBeyond, NonAsciiNameTest,
                         ::testing::Values(RoundTrip{u"CITT\u00C0", "CITT\xC3\x80"},
                                           RoundTrip{
                                               u"\u00E0\u00E8\u00E9\u00EC\u00F2\u00F9",
                                               "\xC3\xA0\xC3\xA8\xC3\xA9\xC3\xAC\xC3\xB2\xC3\xB9"},
                                           RoundTrip{u"Perch\u00E9 no ", "Perch\xC3\xA9 no "},
                                           RoundTrip{u"\u20AC 5", "\xE2\x82\xAC 5"},
                                           RoundTrip{u"\U0001F600", "\xF0\x9F\x98\x80"}));

TEST(DBusSetupConfigCreation, ServiceWithNoActivationFileFailsWithTheBusError) {
  const test::TempDir no_services("noservices");
  test::PrivateBus bus(no_services.Path());
  const BusConnection connection(bus.Address());
  try {
    CreateDBusSetupConfig(connection.Get(), kSetupConfigProgId);
    FAIL() << "creation succeeded without a service";
  } catch (const PlatformError& error) {
    EXPECT_THAT(error.what(), HasSubstr("org.freedesktop.DBus.Error.ServiceUnknown: "));
    EXPECT_THAT(error.what(), HasSubstr("VeruVeve.SetupConfig"));
  }
}

TEST(DBusSetupConfigCreation, ServiceThatCannotStartFailsWithTheBusError) {
  const test::TempDir dir("badservice");
  test::WriteActivationFile(dir.Path(), "VeruVeve.SetupConfig", "/bin/false", dir.Path());
  test::PrivateBus bus(dir.Path());
  const BusConnection connection(bus.Address());
  try {
    CreateDBusSetupConfig(connection.Get(), kSetupConfigProgId);
    FAIL() << "creation succeeded with a service that exits";
  } catch (const PlatformError& error) {
    EXPECT_THAT(error.what(), HasSubstr("org.freedesktop.DBus.Error.Spawn"));
  }
}

TEST(DBusSetupConfigCreation, UnknownProgramIdFailsWithoutTouchingTheBus) {
  StandinBus standin;
  const BusConnection connection(standin.Address());
  EXPECT_THROW(CreateDBusSetupConfig(connection.Get(), u"VeruVeve.Other"), PlatformError);
  EXPECT_FALSE(connection.Get().interface()->isServiceRegistered(kService).value());
}

TEST(DBusSetupConfigCreation, ClosedConnectionFailsWithTheBusError) {
  const QDBusConnection nowhere = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("varnik-test-nowhere"));
  try {
    CreateDBusSetupConfig(nowhere, kSetupConfigProgId);
    FAIL() << "creation succeeded without a bus";
  } catch (const PlatformError& error) {
    EXPECT_THAT(error.what(), HasSubstr("org.freedesktop.DBus.Error."));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("varnik-test-nowhere"));
}

// One of the three calls, made on a fresh object.
struct ObjectCall {
  const char* label;
  const char* call;  // the stand-in's name for it
  std::function<void(SetupConfig&)> make;
  std::vector<std::string> calls_received;
};

std::ostream& operator<<(std::ostream& out, const ObjectCall& call) { return out << call.label; }

const ObjectCall kGetName{
    "GetName", "get-name", [](SetupConfig& config) { config.Name(); }, {"Get Name"}};
const ObjectCall kSetName{"SetName",
                          "set-name",
                          [](SetupConfig& config) { config.SetName(u"VERDI"); },
                          {"Set Name VERDI"}};
const ObjectCall kApply{"Apply",
                        "apply",
                        [](SetupConfig& config) {
                          config.SetName(u"VERDI");
                          config.Apply(true);
                        },
                        {"Set Name VERDI", "Apply true"}};

class FailingCallTest : public DBusSetupConfigTest,
                        public ::testing::WithParamInterface<ObjectCall> {};

TEST_P(FailingCallTest, ServiceErrorBecomesPlatformErrorWithItsNameAndMessage) {
  standin_.StoreName("BIANCHI");
  standin_.FailCall(GetParam().call, "VeruVeve.Error.Locked", "Configurazione bloccata");
  const std::unique_ptr<SetupConfig> config = Create();
  try {
    GetParam().make(*config);
    FAIL() << "the call succeeded";
  } catch (const PlatformError& error) {
    EXPECT_STREQ(error.what(), "VeruVeve.Error.Locked: Configurazione bloccata");
  }
  EXPECT_EQ(standin_.Calls(), GetParam().calls_received);
  // Only a successful assignment changes the stored Name.
  EXPECT_EQ(standin_.StoredName(), GetParam().call == std::string("apply") ? "VERDI" : "BIANCHI");
}

class HungCallTest : public DBusSetupConfigTest,
                     public ::testing::WithParamInterface<ObjectCall> {};

TEST_P(HungCallTest, UnansweredCallEndsInATimeoutError) {
  Create();  // started with the usual patience, so only the hung call meets the short one
  standin_.HangCall(GetParam().call);
  const std::unique_ptr<SetupConfig> config = Create(kShortTimeout);
  const auto start = std::chrono::steady_clock::now();
  try {
    GetParam().make(*config);
    FAIL() << "the call succeeded";
  } catch (const PlatformError& error) {
    EXPECT_THAT(error.what(), HasSubstr("org.freedesktop.DBus.Error.NoReply: "));
  }
  // The timeout given, not the default one, ended the wait.
  EXPECT_LT(std::chrono::steady_clock::now() - start, kDefaultDBusCallTimeout / 2);
  EXPECT_EQ(standin_.Calls(), GetParam().calls_received);
}

std::string CallLabel(const ::testing::TestParamInfo<ObjectCall>& call) { return call.param.label; }

INSTANTIATE_TEST_SUITE_P(EachCall, FailingCallTest, ::testing::Values(kGetName, kSetName, kApply),
                         CallLabel);
INSTANTIATE_TEST_SUITE_P(EachCall, HungCallTest, ::testing::Values(kGetName, kSetName, kApply),
                         CallLabel);

}  // namespace
}  // namespace varnik
