// The login without a server: refused logins keep the dialog as it was, Enter in either box
// logs in, focus selects the whole text, and every way out ends the program.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "NoServer.h"
#include "Program.h"
#include "RecordingPrompts.h"
#include "ui/LoginDialog.h"
#include "ui/ProgramEnd.h"

using namespace korvid;
using korvid::test::closedPort;

class LoginDialogTest : public QObject {
    Q_OBJECT
    int ends_ = 0;
    test::RecordingPrompts prompts_;
    std::unique_ptr<Program> program_;
    LoginDialog* dialog_ = nullptr;
    LoginControls c_;

private slots:
    void init() {
        ends_ = 0;
        setProgramEndHandler([this] { ++ends_; });
        program_ = std::make_unique<Program>(prompts_);
        program_->start();
        dialog_ = &program_->loginDialog();
        c_ = dialog_->controls();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_));
    }
    void cleanup() {
        program_.reset();
        setProgramEndHandler(nullptr);
        prompts_.takeMessages();
    }

    void opensWithTheServerBoxSelectedAndTabSelectsThePassword() {
        QTRY_COMPARE(QApplication::focusWidget(), c_.serverBox);
        QTRY_COMPARE(c_.serverBox->selectedText(), QStringLiteral("(local)"));
        QCOMPARE(c_.passwordBox->echoMode(), QLineEdit::Password);

        c_.passwordBox->setText(QStringLiteral("old secret"));
        QTest::keyClick(c_.serverBox, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), c_.passwordBox);
        QTRY_COMPARE(c_.passwordBox->selectedText(), QStringLiteral("old secret"));
        QTest::keyClicks(c_.passwordBox, QStringLiteral("new"));
        QCOMPARE(dialog_->password(), QStringLiteral("new"));  // typing replaced the whole text
        QCOMPARE(dialog_->serverName(), QStringLiteral("(local)"));

        // The rest of the round: the two buttons, then back to the server box, selected again.
        QList<QWidget*> walk;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walk.append(QApplication::focusWidget());
        }
        QCOMPARE(walk, (QList<QWidget*>{c_.loginButton, c_.exitButton, c_.serverBox}));
        QTRY_COMPARE(c_.serverBox->selectedText(), QStringLiteral("(local)"));
    }

    void refusedLoginsKeepTheDialogAsItWas_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::newRow("nothing listening")
            << QStringLiteral("127.0.0.1,%1").arg(closedPort()) << QStringLiteral("pw;x=1");
        QTest::newRow("empty server name") << QString() << QString();
    }
    void refusedLoginsKeepTheDialogAsItWas() {
        QFETCH(QString, server);
        QFETCH(QString, password);
        c_.serverBox->setText(server);
        c_.passwordBox->setText(password);

        QTest::mouseClick(c_.loginButton, Qt::LeftButton);

        const auto records = prompts_.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text, QStringLiteral("数据库连接失败，请检查登陆信息！"));
        QCOMPARE(records[0].title, QStringLiteral("错误提示:"));
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QVERIFY(!records[0].detail.isEmpty());
        if (!password.isEmpty()) QVERIFY(!records[0].detail.contains(password));
        QVERIFY(dialog_->isVisible());
        QCOMPARE(dialog_->serverName(), server);
        QCOMPARE(dialog_->password(), password);
        QVERIFY(!program_->isLoggedIn());
        QVERIFY(!program_->workspace());
        QCOMPARE(ends_, 0);
    }

    void enterInEitherBoxLogsIn() {
        c_.serverBox->setText(QStringLiteral("127.0.0.1,%1").arg(closedPort()));
        for (QLineEdit* box : {c_.serverBox, c_.passwordBox}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(prompts_.takeMessages().size(), 1);
        }
        QTest::keyClick(c_.passwordBox, Qt::Key_Enter);  // the keypad's Enter as well
        QCOMPARE(prompts_.takeMessages().size(), 1);
    }

    void everyWayOutEndsTheProgram() {
        QTest::mouseClick(c_.exitButton, Qt::LeftButton);
        QCOMPARE(ends_, 1);
        dialog_->close();
        QCOMPARE(ends_, 2);
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_));
        QTest::keyClick(dialog_, Qt::Key_Escape);  // no cancel button: nothing happens
        QCOMPARE(ends_, 2);
        QVERIFY(dialog_->isVisible());
        c_.exitButton->setFocus();
        QTest::keyClick(c_.exitButton, Qt::Key_Return);
        QCOMPARE(ends_, 3);
        QVERIFY(prompts_.takeMessages().isEmpty());  // no prompt anywhere
    }
};

QTEST_MAIN(LoginDialogTest)
#include "LoginDialogTest.moc"
