#pragma once
// The prompts of a test: every box is recorded and answered at once; a popup menu is recorded
// and, when the test says so, one of its items is chosen.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "access/Prompts.h"

namespace korvid::test {

struct MenuRecord {
    QString menu;          // the menu's name: attachMenu or FJ
    QStringList captions;  // every item that is not a separator, in order
    QList<bool> enabled;
};

class RecordingPrompts : public Prompts {
public:
    QList<MessageRecord> takeMessages();
    QList<MenuRecord> takeMenus();

    // Runs when a popup is shown (with the menu's items set as shown); it may trigger an item.
    void setOnPopup(std::function<void(QMenu& menu)> onPopup) { onPopup_ = std::move(onPopup); }
    // Chooses the item of that name at every popup from now on; empty: none.
    void chooseAtPopup(const QString& itemName);

    void showPopup(QMenu& menu, const QPoint& at) override;

protected:
    void show(const MessageRecord& box) override;

private:
    QList<MessageRecord> messages_;
    QList<MenuRecord> menus_;
    std::function<void(QMenu&)> onPopup_;
};

}  // namespace korvid::test
