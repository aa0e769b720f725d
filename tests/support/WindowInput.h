#pragma once
// The person's mouse as the window system brings it: each press and release is queued for the
// window's thread and served when its event loop next takes input, as a platform plugin hands
// on what the display server sent. QTest's widget events are sent at once instead, which no
// person can do while the window's thread is busy.

#include <QPoint>
#include <Qt>

class QWidget;

namespace korvid::test {

// A click of button at pos (the widget's centre when null) on widget; two in a row within the
// double-click time make a double click, as they do for the person.
void queueClick(QWidget& widget, Qt::MouseButton button, QPoint pos = QPoint());
void queueDoubleClick(QWidget& widget, QPoint pos = QPoint());

}  // namespace korvid::test
