#include "setupconfig/dbus/dbus_text.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QLocale>

namespace varnik {
namespace {

std::string ErrorText(const QString& name, const QString& message) {
  return (name + QStringLiteral(": ") + message).toStdString();
}

}  // namespace

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16String(const QString& text) { return text.toStdU16String(); }

std::optional<QString> ValueText(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::QString:
      return value.toString();
    case QMetaType::Bool:
      return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::LongLong:
      return QString::number(value.toLongLong());
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return QString::number(value.toULongLong());
    case QMetaType::Double:
      return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
      break;
  }
  if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
    return value.value<QDBusObjectPath>().path();
  }
  if (value.metaType() == QMetaType::fromType<QDBusSignature>()) {
    return value.value<QDBusSignature>().signature();
  }
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    return ValueText(value.value<QDBusVariant>().variant());
  }
  return std::nullopt;
}

QString ValueSignature(const QVariant& value) {
  // Containers arrive still marshalled; they know their own signature.
  if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
    return value.value<QDBusArgument>().currentSignature();
  }
  if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    return QStringLiteral("v");
  }
  const char* signature = QDBusMetaType::typeToSignature(value.metaType());
  return signature != nullptr ? QString::fromLatin1(signature) : QStringLiteral("?");
}

std::string ErrorText(const QDBusError& error) { return ErrorText(error.name(), error.message()); }

std::string ErrorText(const QDBusMessage& error_reply) {
  return ErrorText(error_reply.errorName(), error_reply.errorMessage());
}

}  // namespace varnik
