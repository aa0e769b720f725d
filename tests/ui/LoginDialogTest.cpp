// The login dialog without a server: refused logins keep the dialog as it was, Enter in either
// box logs in, focus selects the whole text, and every way out ends the program.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "NoServer.h"
#include "RecordingPrompts.h"
#include "ui/LoginDialog.h"
#include "ui/ProgramEnd.h"

using namespace korvid;
using korvid::test::closedPort;

class LoginDialogTest : public QObject {
    Q_OBJECT
    int ends_ = 0;
    test::RecordingPrompts prompts_;

private slots:
    void init() {
        ends_ = 0;
        setProgramEndHandler([this] { ++ends_; });
        prompts_.takeMessages();
    }
    void cleanup() { setProgramEndHandler(nullptr); }

    void opensWithTheServerBoxSelectedAndTabSelectsThePassword() {
        LoginDialog dialog(prompts_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* fwq = dialog.findChild<QLineEdit*>(QStringLiteral("fwq"));
        auto* mm = dialog.findChild<QLineEdit*>(QStringLiteral("mm"));
        QVERIFY(fwq && mm);
        QTRY_COMPARE(QApplication::focusWidget(), fwq);
        QTRY_COMPARE(fwq->selectedText(), QStringLiteral("(local)"));
        QCOMPARE(mm->echoMode(), QLineEdit::Password);

        mm->setText(QStringLiteral("old secret"));
        QTest::keyClick(fwq, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), mm);
        QTRY_COMPARE(mm->selectedText(), QStringLiteral("old secret"));
        QTest::keyClicks(mm, QStringLiteral("new"));
        QCOMPARE(dialog.password(), QStringLiteral("new"));  // typing replaced the whole text
        QCOMPARE(dialog.serverName(), QStringLiteral("(local)"));

        // The rest of the round: the two buttons, then back to the server box, selected again.
        QStringList walk;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walk.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(walk, (QStringList{"Command1", "Command2", "fwq"}));
        QTRY_COMPARE(fwq->selectedText(), QStringLiteral("(local)"));
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
        LoginDialog dialog(prompts_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.findChild<QLineEdit*>(QStringLiteral("fwq"))->setText(server);
        dialog.findChild<QLineEdit*>(QStringLiteral("mm"))->setText(password);
        QSignalSpy loggedIn(&dialog, &LoginDialog::loggedIn);

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);

        const auto records = prompts_.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text, QStringLiteral("数据库连接失败，请检查登陆信息！"));
        QCOMPARE(records[0].title, QStringLiteral("错误提示:"));
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QVERIFY(!records[0].detail.isEmpty());
        if (!password.isEmpty()) QVERIFY(!records[0].detail.contains(password));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.serverName(), server);
        QCOMPARE(dialog.password(), password);
        QCOMPARE(loggedIn.count(), 0);
        QVERIFY(!dialog.isLoggedIn());
        QCOMPARE(ends_, 0);
    }

    void enterInEitherBoxLogsIn() {
        LoginDialog dialog(prompts_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* fwq = dialog.findChild<QLineEdit*>(QStringLiteral("fwq"));
        auto* mm = dialog.findChild<QLineEdit*>(QStringLiteral("mm"));
        fwq->setText(QStringLiteral("127.0.0.1,%1").arg(closedPort()));
        for (QLineEdit* box : {fwq, mm}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(prompts_.takeMessages().size(), 1);
        }
        QTest::keyClick(mm, Qt::Key_Enter);  // the keypad's Enter as well
        QCOMPARE(prompts_.takeMessages().size(), 1);
    }

    void everyWayOutEndsTheProgram() {
        {
            LoginDialog dialog(prompts_);
            dialog.show();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Command2")),
                              Qt::LeftButton);
            QCOMPARE(ends_, 1);
        }
        {
            LoginDialog dialog(prompts_);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.close();
            QCOMPARE(ends_, 2);
        }
        {
            LoginDialog dialog(prompts_);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::keyClick(&dialog, Qt::Key_Escape);  // no cancel button: nothing happens
            QCOMPARE(ends_, 2);
            QVERIFY(dialog.isVisible());
            auto* exitButton = dialog.findChild<QPushButton*>(QStringLiteral("Command2"));
            exitButton->setFocus();
            QTest::keyClick(exitButton, Qt::Key_Return);
            QCOMPARE(ends_, 3);
        }
        QVERIFY(prompts_.takeMessages().isEmpty());  // no prompt anywhere
    }
};

QTEST_MAIN(LoginDialogTest)
#include "LoginDialogTest.moc"
