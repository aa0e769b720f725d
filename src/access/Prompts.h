#pragma once
// Every modal exchange with the person at the window goes through here: the message boxes
// (modal, one OK button, one icon, a fixed title or the application's own) and the two popup
// menus. The windows give the real ones; tests give a recorder that answers at once.

#include <QString>
#include <exception>

class QMenu;
class QPoint;

namespace korvid {

class ModalMoments;

enum class MsgIcon { Critical = 16, Exclamation = 48, Information = 64 };

// The title of a box for which the system gives none: the application's own.
QString defaultTitle();

struct MessageRecord {
    QString text;
    MsgIcon icon;
    QString title;   // as shown: an empty title becomes "Korvid"
    QString detail;  // shown only when asked for: the server's reason or message number; or empty
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // The gate whose moments the boxes and popups are, handed over by whoever runs the program;
    // without one (a window on its own in a test) they hold nothing up.
    void setModalMoments(ModalMoments* moments) { moments_ = moments; }

    // Shows the box and returns when it is closed. An empty title shows the application title.
    void message(const QString& text, MsgIcon icon, const QString& title = QString(),
                 const QString& detail = QString());

    // A failure of an operation without a trap of its own: a critical box with the server's
    // message, the message with its number behind it.
    void failure(const std::exception& error);

    // Shows a popup menu at a screen position and returns when it has closed; a chosen item has
    // run by then.
    void popup(QMenu& menu, const QPoint& at);

protected:
    // Both are modal moments: the long runs wait while they are open.
    virtual void show(const MessageRecord& box) = 0;
    virtual void showPopup(QMenu& menu, const QPoint& at) = 0;

private:
    ModalMoments* moments_ = nullptr;
};

}  // namespace korvid
