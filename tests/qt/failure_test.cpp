// How a platform failure ends the program: the error box, the text on
// standard error, and a non-zero exit status, whether it happens at start-up
// or inside a button's handler.

#include "ui/qt/failure_report.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <optional>
#include <sstream>
#include <stdexcept>

#include "list_file.h"
#include "modal_box_catcher.h"
#include "recording_setup_config.h"
#include "ui/qt/varnik_program.h"
#include "widgets.h"

namespace varnik {
namespace {

using testing::CallLog;
using testing::FailAt;
using testing::ModalBoxCatcher;

const QString kObjectFailure = QString::fromUtf8(testing::kObjectFailureText.data());
const std::string kObjectFailureLine = "varnik: " + std::string(testing::kObjectFailureText) + "\n";

void ExpectErrorBox(const ModalBoxCatcher& catcher, const QString& text) {
  ASSERT_EQ(catcher.boxes().size(), 1u);
  const testing::CaughtBox& box = catcher.boxes().front();
  EXPECT_TRUE(box.is_message_box);
  EXPECT_EQ(box.title, QStringLiteral("Varnik"));
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.text_format, Qt::PlainText);
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.standard_buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
}

TEST(FailureReportTest, ReportShowsTheTextInAnErrorBoxAndOnStandardError) {
  const struct {
    std::string text;
    QString shown;
    std::string line;
  } cases[] = {
      {"Permission denied", "Permission denied", "varnik: Permission denied\n"},
      {"Accesso negato: perch\xC3\xA9?", QString::fromUtf8("Accesso negato: perché?"),
       "varnik: Accesso negato: perch\xC3\xA9?\n"},
      {"", "Errore sconosciuto.", "varnik: Errore sconosciuto.\n"},
  };
  for (const auto& [text, shown, line] : cases) {
    SCOPED_TRACE(text);
    std::ostringstream errors;
    ModalBoxCatcher catcher;
    ReportFailure(nullptr, text, errors);
    ExpectErrorBox(catcher, shown);
    EXPECT_EQ(errors.str(), line);
  }
}

TEST(FailureReportTest, GuardedCallReportsWhatItThrowsAndOnlyThat) {
  const struct {
    const char* label;
    std::function<void()> call;
    bool succeeds;
    QString shown;
  } cases[] = {
      {"no failure", [] {}, true, {}},
      {"platform failure", [] { throw PlatformError("No such file or directory"); }, false,
       "No such file or directory"},
      {"other failure", [] { throw std::length_error("troppo lungo"); }, false, "troppo lungo"},
  };
  for (const auto& [label, call, succeeds, shown] : cases) {
    SCOPED_TRACE(label);
    std::ostringstream errors;
    ModalBoxCatcher catcher;
    EXPECT_EQ(CallReportingFailure(nullptr, errors, call), succeeds);
    if (succeeds) {
      EXPECT_TRUE(catcher.boxes().empty());
      EXPECT_TRUE(errors.str().empty());
    } else {
      ExpectErrorBox(catcher, shown);
      EXPECT_EQ(errors.str(), "varnik: " + shown.toStdString() + "\n");
    }
  }
}

TEST(FailureReportTest, FailureAtStartUpIsReportedAndTheWindowNeverShows) {
  const struct {
    const char* label;
    FailAt fail_at;
    CallLog calls;
  } cases[] = {
      {"object not created", FailAt::Create, {"create VeruVeve.SetupConfig"}},
      {"Name not read", FailAt::Name, {"create VeruVeve.SetupConfig", "Name"}},
  };
  for (const auto& [label, fail_at, calls] : cases) {
    SCOPED_TRACE(label);
    testing::ListFileInTempDir list;  // no file: the object's Name is read
    auto log = std::make_shared<CallLog>();
    std::ostringstream errors;
    VarnikProgram program(testing::RecordingFactory(log, u"ROSSI", fail_at), list.file(), errors);
    ModalBoxCatcher catcher;
    EXPECT_FALSE(program.Start());
    ExpectErrorBox(catcher, kObjectFailure);
    EXPECT_EQ(errors.str(), kObjectFailureLine);
    EXPECT_FALSE(program.window().isVisible());
    EXPECT_TRUE(program.failed());
    EXPECT_EQ(program.ExitStatus(0), kPlatformFailureExitStatus);
    EXPECT_EQ(*log, calls);
  }
}

TEST(FailureReportTest, FailureWhileApplyingIsReportedAndEndsTheProgram) {
  const struct {
    const char* label;
    FailAt fail_at;
    CallLog calls;
  } cases[] = {
      {"Name not assigned", FailAt::SetName, {"create VeruVeve.SetupConfig", "SetName VERDI"}},
      {"Apply failed",
       FailAt::Apply,
       {"create VeruVeve.SetupConfig", "SetName VERDI", "Apply true"}},
  };
  const QByteArray saved = "ROSSI\r\nVERDI\r\n";
  for (const auto& [label, fail_at, calls] : cases) {
    SCOPED_TRACE(label);
    testing::ListFileInTempDir list;
    list.Write(saved);
    auto log = std::make_shared<CallLog>();
    std::ostringstream errors;
    VarnikProgram program(testing::RecordingFactory(log, u"", fail_at), list.file(), errors);
    ASSERT_TRUE(program.Start());
    ModalBoxCatcher catcher;
    QTest::mouseClick(&testing::Find<QPushButton>(program.window(), "CmdAvvia1"), Qt::LeftButton);
    ExpectErrorBox(catcher, kObjectFailure);
    EXPECT_EQ(catcher.boxes().front().parent, &program.window());
    EXPECT_EQ(errors.str(), kObjectFailureLine);
    EXPECT_FALSE(program.window().isVisible());
    EXPECT_EQ(program.ExitStatus(0), kPlatformFailureExitStatus);
    EXPECT_EQ(*log, calls);
    EXPECT_EQ(list.Read(), saved);  // the object goes first: the list is untouched
  }
}

TEST(FailureReportTest, FailureInsideTheEventLoopEndsItWithAFailureStatus) {
  testing::ListFileInTempDir list;
  list.Write("ROSSI\r\nVERDI\r\n");
  auto log = std::make_shared<CallLog>();
  std::ostringstream errors;
  VarnikProgram program(testing::RecordingFactory(log, u"", FailAt::Apply), list.file(), errors);
  ASSERT_TRUE(program.Start());

  ModalBoxCatcher catcher;
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        QTest::mouseClick(&testing::Find<QPushButton>(program.window(), "CmdAvvia0"),
                          Qt::LeftButton);
      },
      Qt::QueuedConnection);
  // A bound on the loop, should the failure not end it.
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(20000);
  const int status = QApplication::exec();

  EXPECT_NE(status, 99) << "the event loop did not end";
  EXPECT_EQ(program.ExitStatus(status), kPlatformFailureExitStatus);
  ExpectErrorBox(catcher, kObjectFailure);
  EXPECT_EQ(errors.str(), kObjectFailureLine);
}

}  // namespace
}  // namespace varnik
