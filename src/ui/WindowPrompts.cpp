#include "ui/WindowPrompts.h"

#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace korvid {

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void WindowPrompts::setParentWidget(QWidget* parent) {
    parent_ = parent;
}

void WindowPrompts::show(const MessageRecord& record) {
    // The standard OK button, so that it speaks the toolkit's language like every other box.
    QMessageBox box(boxIcon(record.icon), record.title, record.text, QMessageBox::Ok, parent_);
    box.setObjectName(QStringLiteral("messageBox"));
    // The prompt is the system's text alone; the server's reason is there for whoever asks.
    if (!record.detail.isEmpty()) box.setDetailedText(record.detail);
    box.exec();
}

void WindowPrompts::showPopup(QMenu& menu, const QPoint& at) {
    menu.exec(at);
}

}  // namespace korvid
