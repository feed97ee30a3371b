#include "ui/qt/varnik_window.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "modal_box_catcher.h"
#include "recording_setup_config.h"
#include "widgets.h"

namespace varnik {
namespace {

using testing::Find;
using testing::ModalBoxCatcher;
using testing::ShowActive;

const QString kDesignText = QStringLiteral("XZZZZZZZZZZZZZZZZZZZZX");
const QString kAvviaCaption = QStringLiteral("Metti questo dato su Name");

struct ControlPlace {
  const char* name;
  QRect pixels;
};

constexpr ControlPlace kPlaces[] = {
    {"TxtLabel0", {16, 8, 167, 19}},   {"CmdAvvia0", {192, 8, 160, 22}},
    {"CmdAnnulla", {376, 24, 49, 22}}, {"TxtLabel1", {16, 40, 167, 19}},
    {"CmdAvvia1", {192, 40, 160, 22}},
};

TEST(VarnikWindowTest, ClientAreaIsFixedAt443By70) {
  VarnikWindow window;
  EXPECT_EQ(window.size(), QSize(443, 70));
  EXPECT_EQ(window.minimumSize(), QSize(443, 70));
  EXPECT_EQ(window.maximumSize(), QSize(443, 70));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(VarnikWindowTest, ControlsSitWhereTheFormPlacesThem) {
  VarnikWindow window;
  for (const auto& [name, pixels] : kPlaces) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Find<QWidget>(window, name).geometry(), pixels);
  }
  EXPECT_EQ(window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 5);
}

TEST(VarnikWindowTest, DesignTimeTitleTextsAndCaptions) {
  VarnikWindow window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("---"));
  for (const char* name : {"TxtLabel0", "TxtLabel1"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Find<QLineEdit>(window, name).text(), kDesignText);
    EXPECT_EQ(Find<QLineEdit>(window, name).maxLength(), 22);
  }
  const std::pair<const char*, QString> captions[] = {
      {"CmdAvvia0", kAvviaCaption}, {"CmdAvvia1", kAvviaCaption}, {"CmdAnnulla", "Esci"}};
  for (const auto& [name, caption] : captions) {
    SCOPED_TRACE(name);
    const auto& button = Find<QPushButton>(window, name);
    EXPECT_EQ(button.text(), caption);  // no '&': no access key
    EXPECT_FALSE(button.isDefault());
    EXPECT_FALSE(button.autoDefault());
  }
}

TEST(VarnikWindowTest, CaptionsFitInsideTheirButtons) {
  VarnikWindow window;
  for (const char* name : {"CmdAvvia0", "CmdAvvia1", "CmdAnnulla"}) {
    SCOPED_TRACE(name);
    const auto& button = Find<QPushButton>(window, name);
    const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
    EXPECT_LE(QFontMetricsF(button.font()).horizontalAdvance(button.text()),
              button.width() - 2 * margin);
  }
}

TEST(VarnikWindowTest, TypingStopsAt22Characters) {
  VarnikWindow window;
  ASSERT_TRUE(ShowActive(window));
  const QString typed = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");  // 30
  for (const char* name : {"TxtLabel0", "TxtLabel1"}) {
    SCOPED_TRACE(name);
    auto& entry = Find<QLineEdit>(window, name);
    entry.clear();
    entry.setFocus();
    QTest::keyClicks(&entry, typed);
    EXPECT_EQ(entry.text(), typed.left(22));
    // A full box takes no more, wherever the cursor is.
    entry.setCursorPosition(0);
    QTest::keyClicks(&entry, QStringLiteral("x"));
    EXPECT_EQ(entry.text(), typed.left(22));
  }
}

TEST(VarnikWindowTest, TextSetByTheProgramIsCutTo22Characters) {
  const struct {
    std::u16string set;
    std::u16string shown;
  } cases[] = {
      {u"", u""},
      {u"ROSSI", u"ROSSI"},
      {u"ROSSI   ", u"ROSSI   "},  // kept untrimmed
      {u"  ROSSI-2", u"  ROSSI-2"},
      {u"ABCDEFGHIJKLMNOPQRSTUV", u"ABCDEFGHIJKLMNOPQRSTUV"},          // 22
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", u"ABCDEFGHIJKLMNOPQRSTUV"},  // 30
      {u"Niccol\u00F2 Niccol\u00F2 Niccol\u00F2 Niccol\u00F2", u"Niccol\u00F2 Niccol\u00F2 Niccol"},
      {u"tab\tend\t", u"tab\tend\t"},
  };
  VarnikWindow window;
  for (const EntryLine line : {EntryLine::First, EntryLine::Second}) {
    for (const auto& [set, shown] : cases) {
      SCOPED_TRACE(testing::Narrow(set));
      window.SetEntryText(line, set);
      EXPECT_EQ(window.EntryText(line), shown);
    }
  }
  // Each line has its own box.
  window.SetEntryText(EntryLine::First, u"UNO");
  window.SetEntryText(EntryLine::Second, u"DUE");
  EXPECT_EQ(window.EntryText(EntryLine::First), u"UNO");
  EXPECT_EQ(Find<QLineEdit>(window, "TxtLabel1").text(), QStringLiteral("DUE"));
}

TEST(VarnikWindowTest, TabWalksTheControlsInFormOrderFromTheFirstLine) {
  VarnikWindow window;
  ASSERT_TRUE(ShowActive(window));
  const char* const order[] = {"TxtLabel0", "CmdAvvia0", "CmdAnnulla",
                               "TxtLabel1", "CmdAvvia1", "TxtLabel0"};
  EXPECT_EQ(QApplication::focusWidget(), &Find<QWidget>(window, order[0]));
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &Find<QWidget>(window, order[i])) << "step " << i;
  }
  for (std::size_t i = std::size(order) - 1; i > 0; --i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), &Find<QWidget>(window, order[i - 1]))
        << "back to " << order[i - 1];
  }
}

TEST(VarnikWindowTest, EnterPressesNothingEscapeClosesNothingSpacePresses) {
  VarnikWindow window;
  ASSERT_TRUE(ShowActive(window));
  QSignalSpy avvia(&window, &VarnikWindow::CmdAvviaClicked);
  QSignalSpy annulla(&window, &VarnikWindow::CmdAnnullaClicked);
  ModalBoxCatcher catcher;
  for (const char* name : {"TxtLabel0", "CmdAvvia0", "CmdAnnulla", "TxtLabel1", "CmdAvvia1"}) {
    SCOPED_TRACE(name);
    auto& control = Find<QWidget>(window, name);
    control.setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(&control, key);
    }
    EXPECT_TRUE(window.isVisible());
  }
  EXPECT_EQ(avvia.count(), 0);
  EXPECT_EQ(annulla.count(), 0);
  EXPECT_TRUE(catcher.boxes().empty());

  // The keyboard still presses the focused button: with Space.
  auto& cmd_avvia1 = Find<QPushButton>(window, "CmdAvvia1");
  cmd_avvia1.setFocus();
  QTest::keyClick(&cmd_avvia1, Qt::Key_Space);
  ASSERT_EQ(avvia.count(), 1);
  EXPECT_EQ(avvia.at(0).at(0).value<std::int16_t>(), 1);
}

TEST(VarnikWindowTest, ShowInformationIsAModalOkBoxWithTheGivenTexts) {
  VarnikWindow window;
  ASSERT_TRUE(ShowActive(window));
  const struct {
    std::u16string text;
    QString shown;
  } cases[] = {
      {u"Errore nella prima riga: indicare il dato. ",
       QStringLiteral("Errore nella prima riga: indicare il dato. ")},
      {u"<b>non</b> \u00E8 markup", QString::fromUtf8("<b>non</b> è markup")},
  };
  for (const auto& [text, shown] : cases) {
    ModalBoxCatcher catcher;
    window.ShowInformation(text, u"ATTENZIONE");
    ASSERT_EQ(catcher.boxes().size(), 1u);
    const testing::CaughtBox& box = catcher.boxes().front();
    EXPECT_TRUE(box.is_message_box);
    EXPECT_EQ(box.title, QStringLiteral("ATTENZIONE"));
    EXPECT_EQ(box.text, shown);
    EXPECT_EQ(box.text_format, Qt::PlainText);
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.standard_buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.button_texts.size(), 1);
    EXPECT_EQ(box.modality, Qt::ApplicationModal);
    EXPECT_EQ(box.parent, &window);
  }
  EXPECT_TRUE(window.isVisible());
}

TEST(VarnikWindowTest, SizesAreTwipsOfTheWholeScreenAndTheOuterWindow) {
  VarnikWindow window;
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window.ScreenWidth(), screen.width() * 15.0);
  EXPECT_EQ(window.ScreenHeight(), screen.height() * 15.0);
  for (const bool shown : {false, true}) {
    SCOPED_TRACE(shown ? "shown" : "not shown yet");
    if (shown) {
      ASSERT_TRUE(ShowActive(window));
    }
    EXPECT_EQ(window.WindowWidth(), window.frameGeometry().width() * 15.0);
    EXPECT_EQ(window.WindowHeight(), window.frameGeometry().height() * 15.0);
    EXPECT_GE(window.WindowWidth(), 6645.0);
    EXPECT_GE(window.WindowHeight(), 1050.0);
  }
}

TEST(VarnikWindowTest, MoveWindowPlacesTheOuterCornerInWholePixels) {
  const struct {
    Twips left, top;
    QPoint pixels;
  } cases[] = {
      {1500, 3000, {100, 200}},
      {1507.4, 2992.6, {100, 200}},  // rounded to the nearest pixel
      {-450, -22.5, {-30, -2}},      // a screen smaller than the window
      {0, 0, {0, 0}},
  };
  VarnikWindow window;
  ASSERT_TRUE(ShowActive(window));
  const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
  for (const auto& [left, top, pixels] : cases) {
    SCOPED_TRACE(::testing::Message() << left << ", " << top);
    window.MoveWindow(left, top);
    EXPECT_EQ(window.frameGeometry().topLeft(), origin + pixels);
    EXPECT_EQ(window.size(), QSize(443, 70));
  }
}

}  // namespace
}  // namespace varnik
