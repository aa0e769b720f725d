#include "AppHarness.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "login/LoginDialog.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"

namespace korvid::test {

AppHarness::AppHarness(QString saPassword)
    : server_(std::move(saPassword)), ends_(std::make_shared<int>(0)) {
    Messages::startRecording();
    std::shared_ptr<int> ends = ends_;
    setProgramEndHandler([ends] { ++*ends; });
}

AppHarness::~AppHarness() {
    dialog_.reset();  // closes the main window with it
    server_.stop();
    Messages::stopRecording();
    setProgramEndHandler(nullptr);
}

bool AppHarness::startServer(int timeoutMs) {
    return server_.start(timeoutMs);
}

MainWindow* AppHarness::login(const QString& password) {
    return loginAs(server_.server(), password.isNull() ? server_.password() : password);
}

MainWindow* AppHarness::loginAs(const QString& serverName, const QString& password) {
    if (!dialog_) {
        dialog_ = std::make_unique<LoginDialog>();
        dialog_->show();
        if (!QTest::qWaitForWindowExposed(dialog_.get(), 5000)) return nullptr;
    }
    dialog_->findChild<QLineEdit*>(QStringLiteral("fwq"))->setText(serverName);
    dialog_->findChild<QLineEdit*>(QStringLiteral("mm"))->setText(password);
    QTest::mouseClick(dialog_->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    MainWindow* w = dialog_->mainWindow();
    if (w) {
        QTest::qWaitForWindowExposed(w, 5000);
        QTest::qWait(10);  // the activation runs right after the first show
    }
    return w;
}

MainWindow* AppHarness::window() const {
    return dialog_ ? dialog_->mainWindow() : nullptr;
}

QList<MessageRecord> AppHarness::takeMessages() {
    return Messages::takeRecords();
}

}  // namespace korvid::test
