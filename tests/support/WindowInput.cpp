#include "WindowInput.h"

#include <qpa/qwindowsysteminterface.h>
#include <QWidget>
#include <QWindow>

namespace korvid::test {

namespace {

void queueMouse(QWidget& widget, QPoint pos, Qt::MouseButtons held, Qt::MouseButton button,
                QEvent::Type type) {
    QWidget* top = widget.window();
    QWindow* window = top->windowHandle();
    Q_ASSERT(window);
    if (pos.isNull()) pos = widget.rect().center();
    const QPointF local = widget.mapTo(top, pos);
    const QPointF global = widget.mapToGlobal(pos);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, local, global, held, button, type);
}

}  // namespace

void queueClick(QWidget& widget, Qt::MouseButton button, QPoint pos) {
    queueMouse(widget, pos, button, button, QEvent::MouseButtonPress);
    queueMouse(widget, pos, Qt::NoButton, button, QEvent::MouseButtonRelease);
}

void queueDoubleClick(QWidget& widget, QPoint pos) {
    queueClick(widget, Qt::LeftButton, pos);
    queueClick(widget, Qt::LeftButton, pos);
}

}  // namespace korvid::test
