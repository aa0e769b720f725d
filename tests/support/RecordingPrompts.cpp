#include "RecordingPrompts.h"

#include <QAction>
#include <QMenu>

namespace korvid::test {

QList<MessageRecord> RecordingPrompts::takeMessages() {
    QList<MessageRecord> out;
    out.swap(messages_);
    return out;
}

QList<MenuRecord> RecordingPrompts::takeMenus() {
    QList<MenuRecord> out;
    out.swap(menus_);
    return out;
}

void RecordingPrompts::chooseAtPopup(const QString& itemName) {
    if (itemName.isEmpty()) {
        onPopup_ = nullptr;
        return;
    }
    onPopup_ = [itemName](QMenu& menu) {
        for (QAction* a : menu.actions())
            if (a->objectName() == itemName && a->isEnabled()) a->trigger();
    };
}

void RecordingPrompts::showPopup(QMenu& menu, const QPoint&) {
    MenuRecord shown;
    shown.menu = menu.objectName();
    for (QAction* a : menu.actions()) {
        if (a->isSeparator()) continue;
        shown.captions.append(a->text());
        shown.enabled.append(a->isEnabled());
    }
    menus_.append(shown);
    if (onPopup_) onPopup_(menu);
}

void RecordingPrompts::show(const MessageRecord& box) {
    messages_.append(box);
}

}  // namespace korvid::test
