#include "standin/dbus/standin_folder.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <climits>
#include <cmath>

namespace varnik::standin {
namespace {

const QString kFolderName = QStringLiteral("varnik-setupconfig-standin");
const QString kFallbackError = QStringLiteral("org.freedesktop.DBus.Error.Failed");

QString Unreadable(const QFile& file) {
  return QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
}

QByteArray ReadWhole(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw FolderError(Unreadable(file));
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) throw FolderError(Unreadable(file));
  return bytes;
}

bool IsValidErrorName(const QString& name) {
  static const QRegularExpression kErrorName(
      QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)+$"));
  return name.size() <= 255 && kErrorName.match(name).hasMatch();
}

QString EscapeLine(QString line) {
  line.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  line.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  return line;
}

}  // namespace

QString StandinFolder::DefaultPath() {
  QString state_home = qEnvironmentVariable("XDG_STATE_HOME");
  if (state_home.isEmpty() || QDir::isRelativePath(state_home)) {
    state_home = QDir::homePath() + QStringLiteral("/.local/state");
  }
  return state_home + QLatin1Char('/') + kFolderName;
}

void StandinFolder::Create() const {
  if (!QDir().mkpath(path_)) throw FolderError(QStringLiteral("cannot create %1").arg(path_));
}

QVariant StandinFolder::ReadName() const {
  const QString path = FilePath(QStringLiteral("name"));
  const QString text = QFileInfo::exists(path) ? QString::fromUtf8(ReadWhole(path)) : QString();
  const QString type_path = FilePath(QStringLiteral("name-type"));
  if (!QFileInfo::exists(type_path)) return text;
  const QByteArray type = ReadWhole(type_path).trimmed();
  // Qt converts text to numbers and booleans, not to these. Paths and
  // signatures take only valid text; Qt empties them otherwise.
  if (type == "o" && text.startsWith(u'/') && QDBusObjectPath(text).path() == text) {
    return QVariant::fromValue(QDBusObjectPath(text));
  }
  if (type == "g" && QDBusSignature(text).signature() == text) {
    return QVariant::fromValue(QDBusSignature(text));
  }
  if (type == "v") return QVariant::fromValue(QDBusVariant(text));
  QVariant value(text);
  const QMetaType meta_type = QDBusMetaType::signatureToMetaType(type.constData());
  if (!meta_type.isValid() || !value.convert(meta_type)) {
    throw FolderError(QStringLiteral("%1 holds \"%2\", which cannot be served as D-Bus type \"%3\"")
                          .arg(path, text, QString::fromUtf8(type)));
  }
  return value;
}

void StandinFolder::WriteName(const QString& name) const {
  QSaveFile file(FilePath(QStringLiteral("name")));
  const QByteArray bytes = name.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw FolderError(
        QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
  }
}

void StandinFolder::Record(const QString& line) const {
  QFile file(FilePath(QStringLiteral("calls")));
  const QByteArray bytes = EscapeLine(line).toUtf8() + '\n';
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
      !file.flush()) {
    throw FolderError(
        QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
  }
}

CallControl StandinFolder::ControlFor(const QString& call) const {
  CallControl control;
  control.hang = QFileInfo::exists(FilePath(call + QStringLiteral(".hang")));
  control.exit = QFileInfo::exists(FilePath(call + QStringLiteral(".exit")));

  const QString delay_path = FilePath(call + QStringLiteral(".delay"));
  if (QFileInfo::exists(delay_path)) {
    const QString text = QString::fromUtf8(ReadWhole(delay_path)).trimmed();
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !(seconds >= 0) || seconds * 1000 > INT_MAX) {
      control.error_name = kFallbackError;
      control.error_message =
          QStringLiteral("%1 holds \"%2\", which is not a number of seconds").arg(delay_path, text);
      return control;
    }
    control.delay_ms = static_cast<int>(std::lround(seconds * 1000));
  }

  const QString fail_path = FilePath(call + QStringLiteral(".fail"));
  if (!QFileInfo::exists(fail_path)) return control;

  const QString text = QString::fromUtf8(ReadWhole(fail_path));
  const qsizetype line_end = text.indexOf(QLatin1Char('\n'));
  control.error_name = text.left(line_end).trimmed();
  control.error_message = line_end < 0 ? QString() : text.mid(line_end + 1).trimmed();
  if (!IsValidErrorName(control.error_name)) {
    // An invalid name could not be sent at all; the caller would only see
    // a timeout. Say what is wrong instead.
    control.error_message = QStringLiteral("%1 holds \"%2\", which is not a D-Bus error name")
                                .arg(fail_path, control.error_name);
    control.error_name = kFallbackError;
  }
  return control;
}

QString StandinFolder::FilePath(const QString& name) const {
  return path_ + QLatin1Char('/') + name;
}

}  // namespace varnik::standin
