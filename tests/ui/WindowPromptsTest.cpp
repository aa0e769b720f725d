// The real message boxes, with the toolkit's Chinese loaded as the program loads it: the prompt
// is the system's text alone, the server's reason waits behind the details button, and the one
// button is the standard one, reading "确定" like the toolkit's other texts.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "Program.h"
#include "StandinProcess.h"
#include "db/Connection.h"
#include "ui/LoginDialog.h"
#include "ui/ProgramEnd.h"
#include "ui/Translation.h"
#include "ui/WindowPrompts.h"

using namespace korvid;

namespace {

struct SeenBox {
    bool shown = false;
    QString text, informative, detail, title, okText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool detailVisible = false;
};

// Notes what the next message box shows, saves its picture when asked, and presses its button.
void closeNextBox(SeenBox* seen, const QString& screenshot = QString()) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, seen, screenshot] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->deleteLater();
        poll->stop();
        seen->shown = true;
        seen->text = box->text();
        seen->informative = box->informativeText();
        seen->detail = box->detailedText();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        const auto* details = box->findChild<QTextEdit*>();
        seen->detailVisible = details && details->isVisible();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) seen->okText = ok->text();
        if (!screenshot.isEmpty()) {
            QDir().mkpath(QStringLiteral(KORVID_SCREENSHOT_DIR));
            box->grab().save(QDir(QStringLiteral(KORVID_SCREENSHOT_DIR)).filePath(screenshot));
        }
        box->accept();
    });
    poll->start();
}

}  // namespace

class WindowPromptsTest : public QObject {
    Q_OBJECT
    WindowPrompts prompts_;

private slots:
    void initTestCase() { QVERIFY(loadChineseTranslation(*qApp)); }

    void wrongPasswordShowsThePromptAloneWithTheReasonBehindDetails() {
        int ends = 0;
        setProgramEndHandler([&ends] { ++ends; });
        test::StandinProcess server;
        QVERIFY(server.start());
        Program program(prompts_);
        program.start();
        LoginDialog& dialog = program.loginDialog();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.controls().serverBox->setText(server.server());
        dialog.controls().passwordBox->setText(QStringLiteral("wrong"));

        SeenBox seen;
        closeNextBox(&seen, QStringLiteral("box-login-failure.png"));
        QTest::mouseClick(dialog.controls().loginButton, Qt::LeftButton);

        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("数据库连接失败，请检查登陆信息！"));
        QCOMPARE(seen.informative, QString());
        QCOMPARE(seen.detail, QStringLiteral("Login failed for user 'sa'."));
        QVERIFY(!seen.detailVisible);  // only when the person asks for it
        QCOMPARE(seen.title, QStringLiteral("错误提示:"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.okText, QStringLiteral("确定"));
        QVERIFY(dialog.isVisible());
        setProgramEndHandler(nullptr);
        QCOMPARE(ends, 0);
    }

    void everyBoxHasTheOneStandardButton() {
        // A box with nothing behind it has no details at all.
        SeenBox plain;
        closeNextBox(&plain);
        prompts_.message(QStringLiteral("\r没有要附加的文件！ "), MsgIcon::Exclamation);
        QVERIFY(plain.shown);
        QCOMPARE(plain.text, QStringLiteral("\r没有要附加的文件！ "));
        QCOMPARE(plain.title, QStringLiteral("Korvid"));
        QCOMPARE(plain.icon, QMessageBox::Warning);
        QCOMPARE(plain.detail, QString());
        QCOMPARE(plain.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(plain.okText, QStringLiteral("确定"));

        // An operation without a trap of its own: the server's message is the prompt; the
        // message with its number, level and state are the details.
        db::ServerMessage m;
        m.number = 2812;
        m.severity = 16;
        m.state = 62;
        m.text = QStringLiteral("Could not find stored procedure 'sp_no_such_thing'.");
        SeenBox failure;
        closeNextBox(&failure, QStringLiteral("box-server-failure.png"));
        prompts_.failure(db::DbError(m, {m}));
        QVERIFY(failure.shown);
        QCOMPARE(failure.text, m.text);
        QCOMPARE(failure.informative, QString());
        QCOMPARE(failure.detail, m.text + QStringLiteral("\nMsg 2812, Level 16, State 62"));
        QCOMPARE(failure.icon, QMessageBox::Critical);
        QCOMPARE(failure.okText, QStringLiteral("确定"));
    }

    void standardContextMenusAreChinese() {
        QLineEdit box(QStringLiteral("(local)"));
        const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        QStringList captions;
        for (const QAction* a : menu->actions())
            if (!a->isSeparator()) captions << a->text();
        QVERIFY2(captions.filter(QStringLiteral("复制")).size() == 1,
                 qPrintable(captions.join('|')));
        QVERIFY2(captions.filter(QStringLiteral("粘贴")).size() == 1,
                 qPrintable(captions.join('|')));
    }
};

QTEST_MAIN(WindowPromptsTest)
#include "WindowPromptsTest.moc"
