// Whole runs of the program through its real window: start-up from a real
// list file, the user typing and pressing buttons, and what reaches the
// object and the file.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <optional>
#include <sstream>

#include "list_file.h"
#include "modal_box_catcher.h"
#include "recording_setup_config.h"
#include "ui/qt/varnik_program.h"
#include "widgets.h"

namespace varnik {
namespace {

using testing::CallLog;
using testing::Find;
using testing::ModalBoxCatcher;

const CallLog kCreated = {"create VeruVeve.SetupConfig"};

class ProgramFlowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(list_.ok()); }

  // Starts the program on the list file as it is now, with an object whose
  // Name is `name`.
  VarnikProgram& Start(std::u16string name = u"") {
    program_.emplace(testing::RecordingFactory(log_, std::move(name)), list_.file(), errors_);
    EXPECT_TRUE(program_->Start());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window(), 5000));
    return *program_;
  }

  VarnikWindow& window() { return program_->window(); }
  QLineEdit& Line(int index) {
    return Find<QLineEdit>(window(), index == 0 ? "TxtLabel0" : "TxtLabel1");
  }
  QPushButton& Button(const char* name) { return Find<QPushButton>(window(), name); }

  // Replaces a line's text the way a user does: select all, type over it.
  void Retype(int index, const QString& text) {
    QLineEdit& line = Line(index);
    line.setFocus();
    line.selectAll();
    QTest::keyClick(&line, Qt::Key_Delete);
    testing::Type(line, text);
  }

  testing::ListFileInTempDir list_;
  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
  std::ostringstream errors_;
  std::optional<VarnikProgram> program_;
};

TEST_F(ProgramFlowTest, StartShowsTheSavedLinesInACentredTitledWindow) {
  list_.Write("ROSSI   \r\n  ROSSI-2\r\n");
  Start();
  EXPECT_EQ(Line(0).text(), QStringLiteral("ROSSI"));
  EXPECT_EQ(Line(1).text(), QStringLiteral("  ROSSI-2"));
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Varnik"));
  EXPECT_EQ(*log_, kCreated);  // the object's Name is not read
  EXPECT_EQ(QApplication::focusWidget(), &Line(0));

  // Centred on what Qt knew of the window before it was shown.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_NEAR(window().x(), screen.x() + (screen.width() - window().width()) / 2, 1);
  EXPECT_NEAR(window().y(), screen.y() + (screen.height() - window().height()) / 2, 1);
  EXPECT_TRUE(errors_.str().empty());
}

TEST_F(ProgramFlowTest, StartWithoutAListShowsTheObjectsNameCutTo22) {
  const struct {
    const char* name;
    std::optional<QByteArray> file;
  } cases[] = {{"no file", std::nullopt}, {"zero-byte file", QByteArray()}};
  for (const auto& [label, file] : cases) {
    SCOPED_TRACE(label);
    if (file) list_.Write(*file);
    log_->clear();
    Start(u"NOME DELL'OGGETTO LUNGO 30 CAR");
    EXPECT_EQ(Line(0).text(), QStringLiteral("NOME DELL'OGGETTO LUNG"));
    EXPECT_EQ(Line(1).text(), QString());
    EXPECT_EQ(*log_, (CallLog{"create VeruVeve.SetupConfig", "Name"}));
    EXPECT_FALSE(list_.Read().has_value());
    program_.reset();
  }
}

TEST_F(ProgramFlowTest, RefusedLineShowsItsWarningAndChangesNothing) {
  const struct {
    int line;
    QString text;
    QString message;
  } cases[] = {
      {0, "D'Amico", "Errore nella prima riga: carattere non ammesso. "},
      {0, "   ", "Errore nella prima riga: indicare il dato. "},
      {1, "", "Errore nella seconda riga: indicare il dato. "},
      {1, QString::fromUtf8("NICCOLÒ"), "Errore nella seconda riga: carattere non ammesso. "},
  };
  const QByteArray saved = "ROSSI\r\nVERDI\r\n";
  for (const auto& [line, text, message] : cases) {
    SCOPED_TRACE(text.toStdString());
    list_.Write(saved);
    log_->clear();
    Start();
    Retype(line, text);
    {
      ModalBoxCatcher catcher;
      QTest::mouseClick(&Button(line == 0 ? "CmdAvvia0" : "CmdAvvia1"), Qt::LeftButton);
      ASSERT_EQ(catcher.boxes().size(), 1u);
      EXPECT_EQ(catcher.boxes()[0].title, QStringLiteral("ATTENZIONE"));
      EXPECT_EQ(catcher.boxes()[0].text, message);
      EXPECT_EQ(catcher.boxes()[0].icon, QMessageBox::Information);
    }
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(Line(line).text(), text);  // neither trimmed nor cleared
    EXPECT_EQ(*log_, kCreated);
    EXPECT_EQ(list_.Read(), saved);
    program_.reset();
  }
}

TEST_F(ProgramFlowTest, AcceptedLineGoesToTheObjectAndTheFileAndEndsTheProgram) {
  const struct {
    const char* label;
    int line;
    QString line0, line1;
    CallLog calls;
    QByteArray file;
  } cases[] = {
      {"line 0",
       0,
       "ROSSI",
       "VERDI",
       {"create VeruVeve.SetupConfig", "SetName ROSSI", "Apply true"},
       "ROSSI\r\nVERDI\r\n"},
      {"line 1 with line 0 empty",
       1,
       "",
       "ROSSI-2",
       {"create VeruVeve.SetupConfig", "SetName ROSSI-2", "Apply true"},
       "\r\nROSSI-2\r\n"},
      {"trailing spaces dropped, leading kept",
       0,
       "  ROSSI   ",
       "x",
       {"create VeruVeve.SetupConfig", "SetName   ROSSI", "Apply true"},
       "  ROSSI\r\nx\r\n"},
      {"the other line saved unchecked",
       1,
       "D'Amico!",
       QString::fromUtf8("Niccolò"),
       {"create VeruVeve.SetupConfig", "SetName Niccol?", "Apply true"},
       "D'Amico!\r\nNiccol\xF2\r\n"},
  };
  for (const auto& [label, line, line0, line1, calls, file] : cases) {
    SCOPED_TRACE(label);
    list_.Write("VECCHIO\r\nELENCO\r\n");
    log_->clear();
    Start();
    Retype(0, line0);
    Retype(1, line1);
    ModalBoxCatcher catcher;
    QTest::mouseClick(&Button(line == 0 ? "CmdAvvia0" : "CmdAvvia1"), Qt::LeftButton);
    EXPECT_TRUE(catcher.boxes().empty());
    EXPECT_EQ(*log_, calls);
    EXPECT_EQ(list_.Read(), file);
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(program_->failed());
    EXPECT_EQ(program_->ExitStatus(0), 0);
    program_.reset();
  }
}

TEST_F(ProgramFlowTest, CorrectedLineAppliesOnTheSecondPress) {
  list_.Write("ROSSI?\r\n\r\n");
  Start();
  {
    ModalBoxCatcher catcher;
    QTest::mouseClick(&Button("CmdAvvia0"), Qt::LeftButton);
    EXPECT_EQ(catcher.boxes().size(), 1u);
  }
  Line(0).setFocus();
  Line(0).end(false);
  QTest::keyClick(&Line(0), Qt::Key_Backspace);
  ModalBoxCatcher catcher;
  QTest::mouseClick(&Button("CmdAvvia0"), Qt::LeftButton);
  EXPECT_TRUE(catcher.boxes().empty());
  EXPECT_EQ(*log_, (CallLog{"create VeruVeve.SetupConfig", "SetName ROSSI", "Apply true"}));
  EXPECT_EQ(list_.Read(), QByteArray("ROSSI\r\n\r\n"));
  EXPECT_FALSE(window().isVisible());
}

TEST_F(ProgramFlowTest, EsciOrClosingTheWindowSavesAndSendsNothing) {
  const QByteArray saved = "ROSSI\r\nVERDI\r\n";
  for (const bool by_window_system : {false, true}) {
    SCOPED_TRACE(by_window_system ? "closed by the window system" : "Esci");
    list_.Write(saved);
    log_->clear();
    Start();
    Retype(0, "NUOVO");
    Retype(1, "ALTRO");
    if (by_window_system) {
      window().close();
    } else {
      QTest::mouseClick(&Button("CmdAnnulla"), Qt::LeftButton);
    }
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(*log_, kCreated);
    EXPECT_EQ(list_.Read(), saved);
    EXPECT_EQ(program_->ExitStatus(0), 0);
    program_.reset();
  }
}

TEST_F(ProgramFlowTest, EndingTheWindowEndsTheEventLoopWithStatusZero) {
  list_.Write("ROSSI\r\nVERDI\r\n");
  Start();
  QMetaObject::invokeMethod(
      qApp, [this] { QTest::mouseClick(&Button("CmdAvvia1"), Qt::LeftButton); },
      Qt::QueuedConnection);
  // A bound on the loop, should the window fail to end it.
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(20000);
  const int status = QApplication::exec();
  EXPECT_EQ(program_->ExitStatus(status), 0);
  EXPECT_EQ(*log_, (CallLog{"create VeruVeve.SetupConfig", "SetName VERDI", "Apply true"}));
}

}  // namespace
}  // namespace varnik
