#pragma once

#include <QDBusConnection>
#include <QString>
#include <atomic>
#include <string>

namespace varnik::test {

// A connection of the test's own to the bus at address, closed when it goes.
class BusConnection {
 public:
  explicit BusConnection(const std::string& address)
      : name_(QStringLiteral("varnik-test-%1").arg(next_id_++)),
        connection_(QDBusConnection::connectToBus(QString::fromStdString(address), name_)) {}
  ~BusConnection() { QDBusConnection::disconnectFromBus(name_); }
  BusConnection(const BusConnection&) = delete;
  BusConnection& operator=(const BusConnection&) = delete;

  const QDBusConnection& Get() const { return connection_; }

 private:
  static inline std::atomic<int> next_id_{0};
  QString name_;
  QDBusConnection connection_;
};

}  // namespace varnik::test
