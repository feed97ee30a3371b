#include "ui/qt/failure_report.h"

#include <exception>
#include <optional>
#include <ostream>

#include <QMessageBox>
#include <QString>

#include "ui/qt/lone_box.h"

namespace varnik {
namespace {

constexpr QStringView kErrorTitle = u"Varnik";

}  // namespace

void ReportFailure(QWidget* parent, const FailureMessage& message, std::ostream& errors) {
  // Standard error first: the text is kept even when nobody dismisses the box.
  // A stream that fails stays quiet; its state is cleared for the next report.
  errors.write(message.standard_error.data(),
               static_cast<std::streamsize>(message.standard_error.size()));
  errors.flush();
  errors.clear();

  QMessageBox box(QMessageBox::Critical, kErrorTitle.toString(),
                  QString::fromStdU16String(message.box), QMessageBox::Ok, parent);
  LetLoneBoxStandAlone(box);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool CallReportingFailure(QWidget* parent, std::ostream& errors,
                          const std::function<void()>& call) {
  std::optional<FailureMessage> failure;
  try {
    call();
    return true;
  } catch (const std::exception& error) {
    // A PlatformError carries the failed step and the platform's own text;
    // anything else that escapes (memory running out) is reported too.
    failure = MessageForFailure(error);
  }
  // Reported outside the handler, so that the box's event loop does not run
  // with an exception in flight.
  ReportFailure(parent, *failure, errors);
  return false;
}

}  // namespace varnik
