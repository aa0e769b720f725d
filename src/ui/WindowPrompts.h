#pragma once
// The prompts as the person sees them: a modal QMessageBox with one OK button, any detail behind
// its details button, and the menus shown at the mouse pointer.

#include <QPointer>

#include "access/Prompts.h"

class QWidget;

namespace korvid {

class WindowPrompts : public Prompts {
public:
    // The window the boxes belong to: none before the login, the main window after it.
    void setParentWidget(QWidget* parent);

    void showPopup(QMenu& menu, const QPoint& at) override;

protected:
    void show(const MessageRecord& box) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace korvid
