// Varnik: puts one of two saved names into the configuration object's Name.

#include <QApplication>

#include "setupconfig/setup_config.h"
#include "ui/qt/italian_qt_texts.h"
#include "ui/qt/varnik_program.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("varnik"));
  // The installed desktop file's id (packaging/linux): window managers and
  // docks match the window to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("it.varnik.Varnik"));
  varnik::InstallItalianQtTexts(app);

  varnik::VarnikProgram program(&varnik::CreateSetupConfig);
  if (!program.Start()) return program.ExitStatus(0);
  return program.ExitStatus(QApplication::exec());
}
