#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <string>
#include <string_view>

class QDBusError;
class QDBusMessage;

namespace varnik {

// Entry text and Qt text hold the same 16-bit units; nothing is lost either way.
QString ToQString(std::u16string_view text);
std::u16string ToU16String(const QString& text);

// The text of a property value as read from the bus. Strings, object paths and
// signatures are taken as they are; booleans become "true" or "false"; integers
// become decimal digits; doubles become their shortest exact decimal form;
// variants inside variants are unwrapped. Anything else (arrays, structures,
// dictionaries, file descriptors) has no sensible text and gives nothing.
std::optional<QString> ValueText(const QVariant& value);

// The D-Bus type signature of a value as read from the bus, e.g. "as".
QString ValueSignature(const QVariant& value);

// "<error name>: <error message>", the bus's own words for a failure.
std::string ErrorText(const QDBusError& error);
std::string ErrorText(const QDBusMessage& error_reply);

}  // namespace varnik
