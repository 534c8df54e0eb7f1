#pragma once

// Typing any text into a widget with real key events: ASCII through QTest's key
// table, other characters as key events that carry just their text, as a keyboard
// layout of their script delivers them.

#include <QString>
#include <QTest>
#include <QWidget>

namespace qm::test {

inline void typeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(widget, c.toLatin1());
    } else {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

}  // namespace qm::test
