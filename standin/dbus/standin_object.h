#pragma once

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <functional>
#include <optional>

#include "standin/dbus/standin_folder.h"

namespace varnik::standin {

inline constexpr char kServiceName[] = "VeruVeve.SetupConfig";
inline constexpr char kObjectPath[] = "/VeruVeve/SetupConfig";
inline constexpr char kInterfaceName[] = "VeruVeve.SetupConfig";

// The configuration object as the program sees it: a Name property read and
// written through org.freedesktop.DBus.Properties, and Apply(boolean). Name is
// kept in the folder; every call is recorded there first, then served, failed
// late or left unanswered as the folder's switches say. Apply only records.
// Messages are handled by hand so that every failure, a property write's
// included, reaches the caller as a D-Bus error.
class StandinObject final : public QDBusVirtualObject {
  Q_OBJECT

 public:
  explicit StandinObject(StandinFolder folder, QObject* parent = nullptr);

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 signals:
  // A method call from the connection `caller` (its unique name) reached the
  // object, whatever the answer.
  void CallReceived(const QString& caller);

 private:
  // The answer to a call, sent delay_ms after the call came; none when the
  // call is to hang.
  struct Answer {
    std::optional<QDBusMessage> message;
    int delay_ms = 0;
  };

  Answer Serve(const QDBusMessage& message) const;

  // Records a well-formed call, then answers it as the switches for `call`
  // say, or with serve() when they say nothing.
  Answer Controlled(const QDBusMessage& message, const QString& call, const QString& record,
                    const std::function<QDBusMessage()>& serve) const;

  // Records a call that is not one of ours and answers it with an error.
  QDBusMessage Refuse(const QDBusMessage& message, const QString& error_name,
                      const QString& text) const;

  StandinFolder folder_;
};

}  // namespace varnik::standin
