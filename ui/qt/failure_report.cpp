#include "ui/qt/failure_report.h"

#include <exception>
#include <ostream>
#include <string>

#include <QByteArrayView>
#include <QMessageBox>
#include <QString>

namespace varnik {
namespace {

constexpr QStringView kErrorTitle = u"Varnik";
constexpr std::string_view kUnknownFailure = "Errore sconosciuto.";

}  // namespace

void ReportFailure(QWidget* parent, std::string_view text, std::ostream& errors) {
  if (text.empty()) text = kUnknownFailure;
  // Standard error first: the text is kept even when nobody dismisses the box.
  errors << "varnik: " << text << std::endl;

  QMessageBox box(QMessageBox::Critical, kErrorTitle.toString(),
                  QString::fromUtf8(QByteArrayView(text)), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool CallReportingFailure(QWidget* parent, std::ostream& errors,
                          const std::function<void()>& call) {
  std::string failure;
  try {
    call();
    return true;
  } catch (const std::exception& error) {
    // A PlatformError carries the platform's own text; anything else that
    // escapes (memory running out) is reported the same way.
    failure = error.what();
  }
  // Reported outside the handler, so that the box's event loop does not run
  // with an exception in flight.
  ReportFailure(parent, failure, errors);
  return false;
}

}  // namespace varnik
