#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace varnik::testing {

// The control of the window with that object name; fails the test when there
// is none of that type.
template <typename Control>
Control& Find(QWidget& window, const char* name) {
  auto* control = window.findChild<Control*>(QString::fromLatin1(name));
  if (control == nullptr) {
    ADD_FAILURE() << "no control " << name;
    throw std::runtime_error(std::string("no control ") + name);
  }
  return *control;
}

// Types the text key by key. QTest::keyClicks knows only ASCII; other
// characters arrive as key events that carry just their text, as from an
// input method.
inline void Type(QWidget& widget, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(&widget, c.toLatin1());
    } else {
      QTest::sendKeyEvent(QTest::Click, &widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

// Shows the window and waits, within a bound, until it has the keyboard.
inline bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window, 5000);
}

}  // namespace varnik::testing
