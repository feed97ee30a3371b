// What a screen reader is told about the window's controls, read back through
// Qt's accessibility interface as an assistive technology reads it.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QString>

#include "ui/qt/varnik_window.h"

namespace varnik {
namespace {

QAccessibleInterface* AccessibleOf(QObject* object) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  if (accessible == nullptr) ADD_FAILURE() << "no accessible interface";
  return accessible;
}

TEST(AccessibilityTest, EachControlIsNamedAfterItsLineWhileCaptionsStayAsDrawn) {
  VarnikWindow window;
  struct Control {
    const char* object_name;
    QAccessible::Role role;
    const char* accessible_name;
    const char* shown_text;
  };
  const Control controls[] = {
      {"TxtLabel0", QAccessible::EditableText, "Prima riga", "XZZZZZZZZZZZZZZZZZZZZX"},
      {"CmdAvvia0", QAccessible::Button, "Metti la prima riga su Name",
       "Metti questo dato su Name"},
      {"CmdAnnulla", QAccessible::Button, "Esci", "Esci"},
      {"TxtLabel1", QAccessible::EditableText, "Seconda riga", "XZZZZZZZZZZZZZZZZZZZZX"},
      {"CmdAvvia1", QAccessible::Button, "Metti la seconda riga su Name",
       "Metti questo dato su Name"},
  };
  for (const Control& control : controls) {
    SCOPED_TRACE(control.object_name);
    auto* widget = window.findChild<QWidget*>(QString::fromLatin1(control.object_name));
    ASSERT_NE(widget, nullptr);
    QAccessibleInterface* accessible = AccessibleOf(widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), control.role);
    EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), control.accessible_name);
    // The text box's text and the button's caption, as on screen.
    EXPECT_EQ(widget->property("text").toString().toStdString(), control.shown_text);
  }
  QAccessibleInterface* form = AccessibleOf(&window);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->text(QAccessible::Description).isEmpty());
}

}  // namespace
}  // namespace varnik
