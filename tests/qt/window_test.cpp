// The window with real widgets on Qt's offscreen platform, and whole runs of
// the program through it on a real list file, with the object replaced by one
// that records what it is given.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "common/platform_error.h"
#include "tests/support/temp_dir.h"
#include "ui/qt/failure_report.h"
#include "ui/qt/varnik_program.h"
#include "ui/qt/varnik_window.h"

namespace varnik {
namespace {

using Calls = std::vector<std::string>;

// The control of the window with that object name; fails the test when there
// is none of that type.
template <typename Control>
Control& Find(QWidget& window, const char* name) {
  auto* control = window.findChild<Control*>(QString::fromLatin1(name));
  if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return *control;
}

// A message box as it looked before it was dismissed.
struct CaughtBox {
  QString title, text;
  Qt::TextFormat format;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  qsizetype button_count;
  QWidget* parent;
  QSize size;  // outer size, frame included
};

// Runs `act` and dismisses each message box it opens with the box's first
// button, the way a user would, recording how the box looked. Boxes are gone
// before the test asserts anything about them, so a failing test cannot leave
// one open and hang the run.
std::vector<CaughtBox> AnswerBoxes(const std::function<void()>& act) {
  std::vector<CaughtBox> boxes;
  QTimer watch;  // runs inside each box's own event loop
  QObject::connect(&watch, &QTimer::timeout, [&boxes] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    boxes.push_back({box->windowTitle(), box->text(), box->textFormat(), box->icon(),
                     box->standardButtons(), box->buttons().size(), box->parentWidget(),
                     box->frameGeometry().size()});
    box->buttons().front()->click();
  });
  watch.start(0);
  act();
  return boxes;
}

class VarnikWindowTest : public ::testing::Test {
 protected:
  void Show() {
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_, 5000));
  }

  VarnikWindow window_;
};

TEST_F(VarnikWindowTest, ControlsSitWhereTheFormPlacesThemInOneFontAndCaptionsFit) {
  EXPECT_EQ(window_.minimumSize(), QSize(443, 70));
  EXPECT_EQ(window_.maximumSize(), QSize(443, 70));
  const QString avvia = QStringLiteral("Metti questo dato su Name");
  const std::tuple<const char*, QRect, QString> controls[] = {
      {"TxtLabel0", {16, 8, 167, 19}, {}},       {"CmdAvvia0", {192, 8, 160, 22}, avvia},
      {"CmdAnnulla", {376, 24, 49, 22}, "Esci"}, {"TxtLabel1", {16, 40, 167, 19}, {}},
      {"CmdAvvia1", {192, 40, 160, 22}, avvia},
  };
  for (const auto& [name, pixels, caption] : controls) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Find<QWidget>(window_, name).geometry(), pixels);
    EXPECT_EQ(Find<QWidget>(window_, name).font(), window_.font());
    if (caption.isEmpty()) continue;
    const auto& button = Find<QPushButton>(window_, name);
    const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
    EXPECT_EQ(button.text(), caption);
    EXPECT_LE(QFontMetricsF(button.font()).horizontalAdvance(caption), button.width() - 2 * margin);
  }
  EXPECT_EQ(window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 5);
}

TEST_F(VarnikWindowTest, EntryLinesHoldAtMost22CharactersTypedOrSet) {
  Show();
  const std::pair<std::u16string, std::u16string> set[] = {
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", u"ABCDEFGHIJKLMNOPQRSTUV"},
      {u"Niccol\u00F2 Niccol\u00F2 Niccol\u00F2", u"Niccol\u00F2 Niccol\u00F2 Niccol"},
      {u"AB\rCD\nEF", u"AB\rCD\nEF"},  // line breaks in a Name stay
  };
  for (const EntryLine line : {EntryLine::First, EntryLine::Second}) {
    for (const auto& [text, shown] : set) {
      window_.SetEntryText(line, text);
      EXPECT_EQ(window_.EntryText(line), shown);
    }
    auto& entry = Find<QLineEdit>(window_, line == EntryLine::First ? "TxtLabel0" : "TxtLabel1");
    entry.clear();
    entry.setFocus();
    QTest::keyClicks(&entry, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    entry.setCursorPosition(0);
    QTest::keyClicks(&entry, QStringLiteral("x"));
    EXPECT_EQ(entry.text(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV"));
  }
}

// Of a pasted text a line keeps what comes before its first line break.
TEST_F(VarnikWindowTest, PastingKeepsTheFirstLineOfThePastedText) {
  Show();
  auto& entry = Find<QLineEdit>(window_, "TxtLabel0");
  entry.setFocus();
  const struct {
    std::u16string before;
    int from, to;  // the part the paste replaces
    QString pasted, after;
  } cases[] = {
      {u"ROSSI", 2, 2, "X\r\nY", "ROXSSI"},
      {u"ROSSI", 0, 5, "\nVERDI", ""},
      {u"ABB", 1, 2, "C\nB", "ACB"},
      {u"A\rB", 3, 3, "C\rD", "A\rBC"},
  };
  for (const auto& c : cases) {
    window_.SetEntryText(EntryLine::First, c.before);
    entry.setCursorPosition(c.from);
    entry.cursorForward(true, c.to - c.from);
    QGuiApplication::clipboard()->setText(c.pasted);
    QTest::keySequence(&entry, QKeySequence::Paste);
    EXPECT_EQ(entry.text(), c.after) << c.pasted.toStdString();
  }
}

TEST_F(VarnikWindowTest, EnterAndSpacePressOnlyTheFocusedButtonAndEscapeClosesNothing) {
  Show();
  std::vector<std::string> pressed;
  QObject::connect(&window_, &VarnikWindow::CmdAvviaClicked, &window_, [&](std::int16_t index) {
    pressed.push_back("CmdAvvia" + std::to_string(index));
  });
  QObject::connect(&window_, &VarnikWindow::CmdAnnullaClicked, &window_,
                   [&] { pressed.push_back("CmdAnnulla"); });
  const auto boxes = AnswerBoxes([&] {
    for (const char* name : {"TxtLabel0", "CmdAvvia0", "CmdAnnulla", "TxtLabel1", "CmdAvvia1"}) {
      Find<QWidget>(window_, name).setFocus();
      for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape}) {
        QTest::keyClick(QApplication::focusWidget(), key);
      }
    }
  });
  EXPECT_TRUE(window_.isVisible());
  // Return, Enter and Space each press the button.
  EXPECT_EQ(pressed, (std::vector<std::string>{"CmdAvvia0", "CmdAvvia0", "CmdAvvia0", "CmdAnnulla",
                                               "CmdAnnulla", "CmdAnnulla", "CmdAvvia1", "CmdAvvia1",
                                               "CmdAvvia1"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(VarnikWindowTest, InformationIsAModalPlainTextBoxWithOneOkButton) {
  Show();
  const auto boxes =
      AnswerBoxes([&] { window_.ShowInformation(u"<b>non</b> \u00E8 markup", u"ATTENZIONE"); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, QStringLiteral("ATTENZIONE"));
  EXPECT_EQ(boxes[0].text, QString::fromUtf8("<b>non</b> è markup"));
  EXPECT_EQ(boxes[0].format, Qt::PlainText);
  EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
  EXPECT_EQ(boxes[0].button_count, 1);
  EXPECT_EQ(boxes[0].parent, &window_);
}

TEST_F(VarnikWindowTest, OuterGeometryIsInTwipsAndMovesRoundToWholePixels) {
  Show();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_.ScreenWidth(), screen.width() * 15.0);
  EXPECT_EQ(window_.WindowHeight(), window_.frameGeometry().height() * 15.0);
  window_.MoveWindow(1507.4, -22.5);
  EXPECT_EQ(window_.frameGeometry().topLeft(), screen.topLeft() + QPoint(100, -2));
  EXPECT_EQ(window_.size(), QSize(443, 70));
}

// An object that records what it is given and fails at Apply when told to.
struct RecordingSetupConfig final : SetupConfig {
  RecordingSetupConfig(Calls& calls_to, bool fail, std::string failure_text)
      : calls(calls_to), fail_apply(fail), failure(std::move(failure_text)) {}
  std::u16string Name() override { return u""; }
  void SetName(std::u16string_view name) override {
    calls.push_back("SetName " + QString::fromStdU16String(std::u16string(name)).toStdString());
  }
  void Apply(bool value) override {
    calls.push_back(value ? "Apply true" : "Apply false");
    if (fail_apply) throw PlatformError(failure);
  }
  Calls& calls;
  bool fail_apply;
  std::string failure;
};

// 100 KB of text: a thousand lines, each wider than a box, and a word that
// no box is wide enough for.
std::string HugeText() {
  std::string text;
  for (int line = 0; line < 1000; ++line) text += "riga " + std::string(80, 'x') + "\n";
  return text + std::string(100'000 - text.size(), 'x');
}

class ProgramTest : public ::testing::Test {
 protected:
  // Starts the program on a list file holding `saved`, or on none, with an
  // object that fails at the step named by fail_at ("create", "Apply").
  bool Start(const char* saved, const std::string& fail_at = "") {
    if (saved != nullptr) std::ofstream(list_, std::ios::binary) << saved;
    program_.emplace(
        [this, fail_at](std::u16string_view) {
          if (fail_at == "create") throw PlatformError(failure_);
          return std::make_unique<RecordingSetupConfig>(calls_, fail_at == "Apply", failure_);
        },
        NameListFile{list_.string()}, errors_);
    return program_->Start();
  }

  void Press(const char* button) {
    QTest::mouseClick(&Find<QPushButton>(program_->window(), button), Qt::LeftButton);
  }

  std::string Saved() const {
    std::ifstream in(list_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  test::TempDir dir_;
  std::filesystem::path list_ = dir_.path() / "name_start.txt";
  Calls calls_;
  std::string failure_;  // what the object's failure says
  std::ostringstream errors_;
  std::optional<VarnikProgram> program_;
};

TEST_F(ProgramTest, RefusedLineWarnsThenTheCorrectedLineIsAppliedAndSaved) {
  ASSERT_TRUE(Start("ROSSI\r\nNiccol\xF2\r\n"));
  auto& line0 = Find<QLineEdit>(program_->window(), "TxtLabel0");
  EXPECT_EQ(Find<QLineEdit>(program_->window(), "TxtLabel1").text(), QString::fromUtf8("Niccolò"));
  line0.setFocus();
  QTest::keyClicks(&line0, "!");
  auto boxes = AnswerBoxes([&] { Press("CmdAvvia0"); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, QStringLiteral("ATTENZIONE"));
  EXPECT_EQ(boxes[0].text, QStringLiteral("Errore nella prima riga: carattere non ammesso. "));
  EXPECT_TRUE(program_->window().isVisible());
  EXPECT_EQ(calls_, Calls{});
  EXPECT_EQ(Saved(), "ROSSI\r\nNiccol\xF2\r\n");

  QTest::keyClick(&line0, Qt::Key_Backspace);
  QTest::keyClicks(&line0, "-2  ");
  boxes = AnswerBoxes([&] { Press("CmdAvvia0"); });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(calls_, (Calls{"SetName ROSSI-2", "Apply true"}));
  EXPECT_EQ(Saved(), "ROSSI-2\r\nNiccol\xF2\r\n");
  EXPECT_FALSE(program_->window().isVisible());
}

TEST_F(ProgramTest, PlatformFailureIsReportedAndEndsTheRunWithAFailureStatus) {
  const struct {
    const char* label;
    const char* saved;
    const char* fail_at;
    FailedStep step;
    std::string text;
  } cases[] = {
      {"at start-up", nullptr, "create", FailedStep::CreateObject, "Servizio terminato"},
      {"while applying", "ROSSI\r\n\r\n", "Apply", FailedStep::CallApply, "Servizio terminato"},
      {"with 100 KB of text", "ROSSI\r\n\r\n", "Apply", FailedStep::CallApply, HugeText()},
  };
  for (const auto& [label, saved, fail_at, step, text] : cases) {
    SCOPED_TRACE(label);
    failure_ = text;
    PlatformError failure(text);
    failure.MarkStep(step);
    const FailureMessage expected = MessageForFailure(failure);
    int status = 0;
    const auto boxes = AnswerBoxes([&] {
      if (!Start(saved, fail_at)) return;
      QMetaObject::invokeMethod(
          qApp, [&] { Press("CmdAvvia0"); }, Qt::QueuedConnection);
      // A bound on the loop, should the failure not end it.
      QTimer::singleShot(20000, &program_->window(), [] { QCoreApplication::exit(99); });
      status = QApplication::exec();
    });
    EXPECT_NE(status, 99) << "the event loop did not end";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Varnik"));
    EXPECT_EQ(boxes[0].text, QString::fromStdU16String(expected.box));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(errors_.str(), expected.standard_error);
    // The box fits on the screen it is shown on, its button included.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_TRUE(boxes[0].size.boundedTo(screen) == boxes[0].size) << boxes[0].size.height();
    EXPECT_FALSE(program_->window().isVisible());
    EXPECT_EQ(program_->ExitStatus(status), kPlatformFailureExitStatus);
    EXPECT_EQ(Saved(), saved ? saved : "");
    errors_.str("");
  }
}

}  // namespace
}  // namespace varnik
