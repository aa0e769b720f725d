#include "login/Messages.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "db/Connection.h"
#include "ui/AppInfo.h"

namespace korvid {

namespace {

struct State {
    QPointer<QWidget> parent;
    bool recording = false;
    QList<MessageRecord> records;
};

State& state() {
    static State s;
    return s;
}

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

void Messages::show(const QString& text, MsgIcon icon, const QString& title,
                    const QString& detail) {
    const QString shownTitle = title.isEmpty() ? appTitle() : title;
    if (state().recording) {
        state().records.append({text, icon, shownTitle, detail});
        return;
    }
    QMessageBox box(boxIcon(icon), shownTitle, text, QMessageBox::Ok, state().parent);
    box.setObjectName(QStringLiteral("messageBox"));
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

void Messages::showFailure(const std::exception& error) {
    if (const auto* db = dynamic_cast<const db::DbError*>(&error)) {
        const db::ServerMessage& m = db->primary();
        QString detail;
        if (m.number != 0) {
            detail = QStringLiteral("Msg %1").arg(m.number);
            if (m.severity > 0) detail += QStringLiteral(", Level %1").arg(m.severity);
            if (m.state > 0) detail += QStringLiteral(", State %1").arg(m.state);
        } else if (!m.sqlState.isEmpty()) {
            detail = QStringLiteral("SQLSTATE %1").arg(m.sqlState);
        }
        show(m.text, MsgIcon::Critical, QString(), detail);
        return;
    }
    show(QString::fromLocal8Bit(error.what()), MsgIcon::Critical);
}

void Messages::setParentWidget(QWidget* parent) {
    state().parent = parent;
}

void Messages::startRecording() {
    state().recording = true;
    state().records.clear();
}

QList<MessageRecord> Messages::takeRecords() {
    QList<MessageRecord> out;
    out.swap(state().records);
    return out;
}

void Messages::stopRecording() {
    state().recording = false;
    state().records.clear();
}

}  // namespace korvid
