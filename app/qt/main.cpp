// Varnik: puts one of two saved names into the configuration object's Name.

#include <fcntl.h>
#include <signal.h>

#include <cerrno>

#include <QApplication>

#include "setupconfig/object_wait.h"
#include "ui/qt/italian_qt_texts.h"
#include "ui/qt/platform_choice.h"
#include "ui/qt/varnik_program.h"

namespace {

// A failure report must reach its box and its exit status whatever standard
// error is. Writing to a closed pipe fails instead of ending the program, and
// a standard stream the program was started without is opened on /dev/null,
// so no file or socket the program opens later takes its number and gets the
// text meant for standard error. A write past the file-size limit the
// program was started with fails too (EFBIG), so a save it stops is reported
// as a failed save, rather than the program ending in its middle without a
// word after the object took the new Name.
void GuardStandardStreams() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free number is the one just found closed.
      if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) break;
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  GuardStandardStreams();
  varnik::ChooseQtPlatform(argc, argv);
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
