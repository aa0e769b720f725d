#pragma once
// Every message box of the system goes through here: modal, one OK button, one icon, a fixed
// title or the application's own. Tests switch it to recording: boxes are recorded, not shown.

#include <QList>
#include <QString>
#include <exception>

class QWidget;

namespace korvid {

enum class MsgIcon { Critical = 16, Exclamation = 48, Information = 64 };

struct MessageRecord {
    QString text;
    MsgIcon icon;
    QString title;   // as shown: an empty title becomes "Korvid"
    QString detail;  // the server's own reason, shown under the text, or empty
};

class Messages {
public:
    // Shows the box and returns when it is closed. An empty title shows the application title.
    static void show(const QString& text, MsgIcon icon, const QString& title = QString(),
                     const QString& detail = QString());

    // A failure of an operation without a trap of its own: a critical box with the server's
    // message.
    static void showFailure(const std::exception& error);

    static void setParentWidget(QWidget* parent);

    // Tests: record instead of showing; each box answers at once.
    static void startRecording();
    static QList<MessageRecord> takeRecords();
    static void stopRecording();
};

}  // namespace korvid
