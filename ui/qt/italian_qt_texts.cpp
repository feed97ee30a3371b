#include "ui/qt/italian_qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace varnik {

bool InstallItalianQtTexts(QCoreApplication& app) {
  const QLocale italian(QLocale::Italian, QLocale::Italy);
  QLocale::setDefault(italian);
  // Owned by the application, which keeps it as long as it runs.
  auto* translator = new QTranslator(&app);
  if (!translator->load(italian, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace varnik
