#include "setupconfig/dbus/dbus_text.h"

#include <gtest/gtest.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>
#include <limits>

namespace varnik {
namespace {

struct ValueCase {
  const char* label;
  QVariant value;
  std::optional<QString> text;
};

TEST(ValueTextTest, ValuesWithAPlainTextBecomeThatTextOthersNothing) {
  const ValueCase cases[] = {
      {"string", QVariant(QStringLiteral(" Rossi ")), QStringLiteral(" Rossi ")},
      {"empty string", QVariant(QString()), QString()},
      {"true", QVariant(true), QStringLiteral("true")},
      {"false", QVariant(false), QStringLiteral("false")},
      {"byte", QVariant::fromValue(uchar{200}), QStringLiteral("200")},
      {"int16", QVariant::fromValue(short{-7}), QStringLiteral("-7")},
      {"uint16", QVariant::fromValue(ushort{65535}), QStringLiteral("65535")},
      {"int32", QVariant(-42), QStringLiteral("-42")},
      {"uint32", QVariant(4000000000u), QStringLiteral("4000000000")},
      {"int64", QVariant::fromValue(std::numeric_limits<qlonglong>::min()),
       QStringLiteral("-9223372036854775808")},
      {"uint64", QVariant::fromValue(std::numeric_limits<qulonglong>::max()),
       QStringLiteral("18446744073709551615")},
      {"double", QVariant(2.5), QStringLiteral("2.5")},
      {"double, shortest exact form", QVariant(0.1), QStringLiteral("0.1")},
      {"object path", QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a/b"))),
       QStringLiteral("/a/b")},
      {"variant in a variant", QVariant::fromValue(QDBusVariant(QStringLiteral("Verdi"))),
       QStringLiteral("Verdi")},
      {"string list", QVariant(QStringList{QStringLiteral("a")}), std::nullopt},
      {"variant of a list",
       QVariant::fromValue(QDBusVariant(QVariant(QStringList{QStringLiteral("a")}))), std::nullopt},
      {"nothing", QVariant(), std::nullopt},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ValueText(c.value), c.text);
  }
}

TEST(ValueTextTest, SignatureNamesTheDBusType) {
  EXPECT_EQ(ValueSignature(QVariant(QStringList{})), QStringLiteral("as"));
  EXPECT_EQ(ValueSignature(QVariant(1)), QStringLiteral("i"));
}

TEST(TextConversionTest, SixteenBitUnitsPassUnchangedBothWays) {
  const std::u16string texts[] = {u"", u"Citt\u00E0", u"\U0001F600", std::u16string(1, u'\xD800')};
  for (const std::u16string& text : texts) {
    EXPECT_EQ(ToU16String(ToQString(text)), text);
  }
}

TEST(ErrorTextTest, IsNameColonMessage) {
  EXPECT_EQ(ErrorText(QDBusError(QDBusError::NoReply, QStringLiteral("too slow"))),
            "org.freedesktop.DBus.Error.NoReply: too slow");
  const QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("a.b"), QStringLiteral("/"), QStringLiteral("a.b"), QStringLiteral("M"));
  EXPECT_EQ(
      ErrorText(call.createErrorReply(QStringLiteral("a.b.Oops"), QStringLiteral("Perch\u00E9"))),
      "a.b.Oops: Perch\xC3\xA9");
}

}  // namespace
}  // namespace varnik
