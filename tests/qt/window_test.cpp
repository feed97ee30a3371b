// The window with real widgets on Qt's offscreen platform: its controls at
// each screen's DPI, their limits and keys, where it moves, and its boxes.

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
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "common/platform_error.h"
#include "ui/qt/failure_report.h"
#include "ui/qt/varnik_window.h"

namespace varnik {
namespace {

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
  bool one_ok;  // one button, OK
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
                     box->buttons().size() == 1 && box->standardButtons() == QMessageBox::Ok,
                     box->parentWidget(), box->frameGeometry().size()});
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

// On each screen the form is laid out again at its logical DPI, in pixels of
// Qt's, which Qt scales to the screen's own.
TEST_F(VarnikWindowTest, ControlsSitWhereTheFormPlacesThemAtEachScreensDpiInOneFont) {
  Show();
  const std::tuple<const char*, QRect> controls[] = {
      {"TxtLabel0", {16, 8, 167, 19}},   {"CmdAvvia0", {192, 8, 160, 22}},
      {"CmdAnnulla", {376, 24, 49, 22}}, {"TxtLabel1", {16, 40, 167, 19}},
      {"CmdAvvia1", {192, 40, 160, 22}},
  };
  const std::pair<QString, int> screens[] = {{"192", 2}, {"96x2", 1}, {"96", 1}};
  for (const auto& [screen, scale] : screens) {
    SCOPED_TRACE(screen.toStdString());
    window_.windowHandle()->setScreen(
        *std::find_if(QGuiApplication::screens().cbegin(), QGuiApplication::screens().cend(),
                      [&screen = screen](const QScreen* each) { return each->name() == screen; }));
    EXPECT_EQ(window_.minimumSize(), QSize(443, 70) * scale);
    EXPECT_EQ(window_.maximumSize(), QSize(443, 70) * scale);
    for (const auto& [name, pixels] : controls) {
      EXPECT_EQ(Find<QWidget>(window_, name).geometry(),
                QRect(pixels.topLeft() * scale, pixels.size() * scale))
          << name;
      EXPECT_EQ(Find<QWidget>(window_, name).font(), window_.font()) << name;
    }
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
  std::string pressed;  // per press, the apply button's line, or X for the exit button
  QObject::connect(&window_, &VarnikWindow::CmdAvviaClicked,
                   [&](std::int16_t index) { pressed += std::to_string(index); });
  QObject::connect(&window_, &VarnikWindow::CmdAnnullaClicked, [&] { pressed += 'X'; });
  for (const char* name : {"TxtLabel0", "CmdAvvia0", "CmdAnnulla", "TxtLabel1", "CmdAvvia1"}) {
    Find<QWidget>(window_, name).setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape}) {
      QTest::keyClick(QApplication::focusWidget(), key);
    }
  }
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(pressed, "000XXX111");  // Return, Enter and Space each press the button
}

// The dialog logic places the window's outer corner in twips; it lands on the
// nearest whole pixel, halves away from zero.
TEST_F(VarnikWindowTest, MovesTheOuterCornerToTheNearestWholePixel) {
  Show();
  window_.MoveWindow(1507.4, -22.5);
  EXPECT_EQ(window_.frameGeometry().topLeft(),
            QGuiApplication::primaryScreen()->geometry().topLeft() + QPoint(100, -2));
}

// A warning, and the report of a failure that ends the program, here with
// 100 KB of text: a thousand lines wider than a box, and a word no box is wide
// enough for.
TEST_F(VarnikWindowTest, BoxesArePlainTextWithOneOkButtonAndFitTheScreen) {
  Show();
  std::string huge;
  for (int line = 0; line < 1000; ++line) huge += "riga " + std::string(80, 'x') + "\n";
  const FailureMessage failure =
      MessageForFailure(PlatformError(huge + std::string(100'000 - huge.size(), 'x')));
  std::ostringstream errors;
  const auto boxes = AnswerBoxes([&] {
    window_.ShowInformation(u"<b>non</b> \u00E8 markup", u"ATTENZIONE");
    ReportFailure(&window_, failure, errors);
  });
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, QStringLiteral("ATTENZIONE"));
  EXPECT_EQ(boxes[0].text, QString::fromUtf8("<b>non</b> è markup"));
  EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
  EXPECT_EQ(boxes[1].title, QStringLiteral("Varnik"));
  EXPECT_EQ(boxes[1].text, QString::fromStdU16String(failure.box));
  EXPECT_EQ(boxes[1].icon, QMessageBox::Critical);
  EXPECT_EQ(errors.str(), failure.standard_error);
  const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
  for (const CaughtBox& box : boxes) {
    EXPECT_EQ(box.format, Qt::PlainText);
    EXPECT_TRUE(box.one_ok);
    EXPECT_EQ(box.parent, &window_);
    EXPECT_TRUE(box.size.boundedTo(screen) == box.size) << box.size.height();
  }
}

// A call whose answer the test gives by hand.
class HandAnsweredCall final : public PendingCall {
 public:
  bool Answered() const override { return answered; }
  bool WaitFor(std::chrono::milliseconds) override { return answered; }
  bool answered = false;
};

// The box about a silent object: Enter waits longer, Esc or "Interrompi"
// stops (closing the box is Esc), and an answer closes it by itself. Once the
// application is told to quit (here only shown to the window's filter), the
// box that the quit closes, as it closes every window, says that the session
// is ending.
TEST_F(VarnikWindowTest, WaitBoxWaitsOnEnterStopsOtherwiseAndClosesOnTheAnswer) {
  Show();
  HandAnsweredCall call;
  const std::pair<std::function<void(QMessageBox&)>, WaitChoice> cases[] = {
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, WaitChoice::KeepWaiting},
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, WaitChoice::Stop},
      {[](QMessageBox& box) { box.buttons().back()->click(); }, WaitChoice::Stop},
      {[this](QMessageBox& box) {
         QEvent quit(QEvent::Quit);
         window_.eventFilter(qApp, &quit);
         box.close();
       },
       WaitChoice::SessionEnding},
      {[&call](QMessageBox&) { call.answered = true; }, WaitChoice::Answered},
  };
  for (const auto& [act, choice] : cases) {
    QStringList seen;  // title, text, each button's caption with the default one marked
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&, &act = act] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !seen.isEmpty()) return;
      seen << box->windowTitle() << box->text();
      for (QAbstractButton* button : box->buttons()) {
        seen << button->text() + (button == box->defaultButton() ? "*" : "");
      }
      act(*box);
    });
    watch.start(0);
    EXPECT_EQ(window_.AskToKeepWaiting(u"Non risponde.", u"Varnik", call), choice);
    EXPECT_EQ(seen, QStringList({"Varnik", "Non risponde.", "Attendi ancora*", "Interrompi"}));
  }
}

}  // namespace
}  // namespace varnik
