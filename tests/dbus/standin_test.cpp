// The stand-in service on its own: what it refuses, how it reports a broken
// switch, and that it goes when its bus goes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <cstdio>
#include <memory>
#include <optional>

#include "tests/dbus/bus_connection.h"
#include "tests/support/standin_bus.h"

namespace varnik {
namespace {

using test::BusConnection;
using test::StandinBus;
using ::testing::HasSubstr;

const QString kService = QStringLiteral("VeruVeve.SetupConfig");
const QString kPath = QStringLiteral("/VeruVeve/SetupConfig");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kTimeoutMs = 10'000;

QDBusMessage Call(const QDBusConnection& bus, const QString& interface, const QString& member,
                  const QList<QVariant>& args) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, member);
  message.setArguments(args);
  return bus.call(message, QDBus::Block, kTimeoutMs);
}

QVariant Variant(const QVariant& value) { return QVariant::fromValue(QDBusVariant(value)); }

struct Refused {
  const char* label;
  QString interface;
  QString member;
  QList<QVariant> args;
  const char* error_name;
};

TEST(StandinTest, RefusesCallsOutsideTheContractAndKeepsItsName) {
  StandinBus standin;
  standin.StoreName("ROSSI");
  const BusConnection connection(standin.Address());
  const QString iface = kService;
  const Refused cases[] = {
      {"other property",
       kProperties,
       "Get",
       {iface, QStringLiteral("Colour")},
       "org.freedesktop.DBus.Error.UnknownMethod"},
      {"other interface",
       kProperties,
       "Get",
       {QStringLiteral("a.B"), QStringLiteral("Name")},
       "org.freedesktop.DBus.Error.UnknownMethod"},
      {"Name as a number",
       kProperties,
       "Set",
       {iface, QStringLiteral("Name"), Variant(7)},
       "org.freedesktop.DBus.Error.InvalidArgs"},
      {"Apply with text",
       iface,
       "Apply",
       {QStringLiteral("true")},
       "org.freedesktop.DBus.Error.UnknownMethod"},
      {"other method", iface, "Reset", {}, "org.freedesktop.DBus.Error.UnknownMethod"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.label);
    const QDBusMessage reply = Call(connection.Get(), c.interface, c.member, c.args);
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName().toStdString(), c.error_name);
  }
  EXPECT_EQ(standin.StoredName(), "ROSSI");
  for (const std::string& line : standin.Calls()) EXPECT_THAT(line, HasSubstr("Refused "));
}

TEST(StandinTest, ServesNameThroughPropertiesWithAnEmptyInterfaceToo) {
  StandinBus standin;
  const BusConnection connection(standin.Address());
  const QDBusMessage set =
      Call(connection.Get(), kProperties, "Set",
           {QString(), QStringLiteral("Name"), Variant(QStringLiteral("a\nb\\c"))});
  ASSERT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
  const QDBusMessage get =
      Call(connection.Get(), kProperties, "Get", {QString(), QStringLiteral("Name")});
  ASSERT_EQ(get.type(), QDBusMessage::ReplyMessage) << get.errorMessage().toStdString();
  EXPECT_EQ(get.arguments().value(0).value<QDBusVariant>().variant().toString(),
            QStringLiteral("a\nb\\c"));
  // A line break in a value does not split the record.
  EXPECT_EQ(standin.Calls(), (std::vector<std::string>{"Set Name a\\nb\\\\c", "Get Name"}));
  EXPECT_EQ(standin.StoredName(), "a\nb\\c");
}

TEST(StandinTest, FailSwitchWithABadErrorNameIsReportedAsSuch) {
  StandinBus standin;
  standin.FailCall("get-name", "not an error name", "whatever");
  const BusConnection connection(standin.Address());
  const QDBusMessage reply =
      Call(connection.Get(), kProperties, "Get", {kService, QStringLiteral("Name")});
  EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.Failed"));
  EXPECT_THAT(reply.errorMessage().toStdString(), HasSubstr("get-name.fail"));
}

TEST(StandinTest, QuitsWhenItsBusGoesAway) {
  auto standin = std::make_unique<StandinBus>();
  auto connection = std::make_unique<BusConnection>(standin->Address());
  ASSERT_EQ(Call(connection->Get(), kProperties, "Get", {kService, QStringLiteral("Name")}).type(),
            QDBusMessage::ReplyMessage);
  const uint pid = connection->Get().interface()->servicePid(kService).value();
  ASSERT_GT(pid, 0u);
  const long pidfd = syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0);
  if (pidfd < 0) GTEST_SKIP() << "this kernel cannot watch another process's end";

  connection.reset();
  standin.reset();

  pollfd ended{static_cast<int>(pidfd), POLLIN, 0};
  EXPECT_EQ(poll(&ended, 1, kTimeoutMs), 1) << "the stand-in outlived its bus";
  close(static_cast<int>(pidfd));
}

TEST(StandinTest, HelpSaysWhatItIs) {
  const std::string command = test::StandinProgram().string() + " --help";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string help;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) help += buffer;
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_THAT(help, HasSubstr("stand-in for the VeruVeve.SetupConfig object"));
  EXPECT_THAT(help, HasSubstr("where\nthe real object is absent"));
}

}  // namespace
}  // namespace varnik
