// Attach through the real main window against tds-standin: the popup's attaches, auto attach
// and its endings, names and paths that need quoting.
#include <QAction>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ServerWindowTest.h"
#include "Workspace.h"
#include "access/QuerySource.h"
#include "attach/AttachController.h"
#include "search/SearchController.h"
#include "ui/MainWindow.h"
#include "ui/Twips.h"

using namespace korvid;
using korvid::test::choose;
using Outcome = attach::AutoAttachRun::Outcome;

class AttachWindowTest : public test::ServerWindowTest {
    Q_OBJECT

    attach::AttachControls c() { return s_->window().attachControls(); }
    bool frameVisible() { return !c().commandFrame->isHidden(); }
    Outcome runAutoAttach() { return s_->runAutoAttach(); }
    // The database name behind row i: each file is named after its database.
    QString nameOfRow(int i) {
        QString file = table().fullPath(i).section(QLatin1Char('/'), -1);
        return file.left(file.size() - 4);
    }

private slots:
    void attachWithLogFromThePopupThenTheSameNameAgain() {
        QVERIFY(!s_->createDatabase(QStringLiteral("shop"), folder()).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 1);
        QVERIFY(table().select(0));
        choose(c().attachOneAction);
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("shop")));
        QCOMPARE(progressText(), QStringLiteral("正在附加：［1/1］－shop"));
        QCOMPARE(s_->attach().inspection().logPath, folder() + QStringLiteral("shop_log.ldf"));
        QVERIFY(s_->takeMessages().isEmpty());

        // Already attached: the popup stops without a word, the run passes the file over.
        const int listed = int(s_->listedDatabases().size());
        choose(c().attachOneAction);
        QVERIFY(s_->takeMessages().isEmpty());
        QCOMPARE(s_->listedDatabases().size(), listed);
        QCOMPARE(runAutoAttach(), Outcome::Completed);
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].text, QStringLiteral("全部附加完成！"));
        QCOMPARE(table().markText(0), QStringLiteral("已附加：shop"));
        QCOMPARE(progressText(), s_->search().totalsText());
        QVERIFY(frameVisible());
    }

    // Files of attached databases beside detached ones: marked before the run, passed over by
    // it without a box; afterwards every row tells what became of its file, until the next
    // search.
    void foundFilesSayWhatTheyAreAndWhatBecameOfThem() {
        for (const char* name : {"m_a", "m_gone", "m_d"})
            QVERIFY(!s_->createDatabase(QString::fromLatin1(name), folder()).isEmpty());
        QVERIFY(!s_->createDatabase(QStringLiteral("m_in"), folder(), false).isEmpty());
        // In a subfolder, so the last row: its name is taken on the server by another database.
        QVERIFY(!s_->createDatabase(QStringLiteral("m_dup"), folder("found/sub")).isEmpty());
        QVERIFY(!s_->createDatabase(QStringLiteral("m_dup"), folder("elsewhere"), false).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 5);
        QCOMPARE(nameOfRow(4), QStringLiteral("m_dup"));
        auto tip = [this](int row) {
            return table().data(table().index(row), Qt::ToolTipRole).toString();
        };
        const QString hint = QStringLiteral("\n双击清除单条列表记录");
        QHash<QString, QString> before;
        for (int i = 0; i < 5; ++i) before.insert(nameOfRow(i), tip(i));
        QCOMPARE(before, (QHash<QString, QString>{{"m_a", ""},
                                                  {"m_gone", ""},
                                                  {"m_d", ""},
                                                  {"m_in", "已附加：m_in" + hint},
                                                  {"m_dup", ""}}));

        QVERIFY(QFile::remove(folder() + QStringLiteral("m_gone.mdf")));
        QVERIFY(table().select(0));
        QCOMPARE(runAutoAttach(), Outcome::Failed);
        QCOMPARE(s_->takeMessages().size(), 1);  // the failure's box alone
        QHash<QString, QString> after;
        for (int i = 0; i < 5; ++i) {
            after.insert(nameOfRow(i), tip(i).section(QLatin1Char('\n'), 0, 0));
            QVERIFY(tip(i).endsWith(hint));
            QVERIFY(!table().data(table().index(i), Qt::DecorationRole).value<QIcon>().isNull());
        }
        QCOMPARE(after.take("m_dup").left(5), QStringLiteral("附加失败："));
        QCOMPARE(after, (QHash<QString, QString>{{"m_a", "附加成功：m_a"},
                                                 {"m_gone", "已跳过：文件已不存在"},
                                                 {"m_d", "附加成功：m_d"},
                                                 {"m_in", "已附加：m_in"}}));
        QVERIFY(tip(4).contains(QStringLiteral("Msg 1801")));

        // The next search starts over: what is attached now says so, the failure is forgotten.
        QCOMPARE(s_->searchFolder(folder()), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(table().markText(i), nameOfRow(i) == QLatin1String("m_dup")
                                              ? QString()
                                              : QStringLiteral("已附加：") + nameOfRow(i));
    }

    void aLongProgressTextIsShownWhole() {
        const QString name = QStringLiteral("二零零三年度华东区销售明细与库存核对_archive_copy");
        QVERIFY(!s_->createDatabase(name, folder()).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 1);
        QLabel* label = c().progressLabel;
        const QPoint place = label->pos();
        QVERIFY(table().select(0));
        choose(c().attachOneAction);
        const QString text = QStringLiteral("正在附加：［1/1］－") + name;
        QCOMPARE(progressText(), text);
        QTRY_VERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
        QCOMPARE(label->pos(), place);

        // A short text again: the form's own width, not less.
        label->setText(QStringLiteral("搜索结果列表："));
        QTRY_COMPARE(label->width(), twipsToPixels(1260));
        QCOMPARE(label->pos(), place);
    }

    void aMissingLogIsSilentFromThePopupAndAFailureOfTheRun() {
        QVERIFY(!s_->createDatabase(QStringLiteral("nolog"), folder()).isEmpty());
        QVERIFY(QFile::remove(s_->logFileOf(QStringLiteral("nolog"), folder())));
        QCOMPARE(s_->searchFolder(folder()), 1);
        QVERIFY(table().select(0));
        choose(c().attachOneAction);
        QVERIFY(s_->takeMessages().isEmpty());
        QVERIFY(!s_->listedDatabases().contains(QStringLiteral("nolog")));
        QCOMPARE(runAutoAttach(), Outcome::Failed);
        QCOMPARE(s_->takeMessages().size(), 1);
        QVERIFY(!s_->listedDatabases().contains(QStringLiteral("nolog")));
    }

    void fromTheFourthOfTenWithOneFileDeletedAfterTheSearch() {
        for (int i = 0; i < 10; ++i)
            QVERIFY(!s_->createDatabase(QStringLiteral("ten_%1").arg(i), folder()).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 10);
        QVERIFY(QFile::remove(table().fullPath(5)));  // the sixth row's file goes
        QStringList progress;
        connect(s_->window().databaseList(), &QuerySource::refreshed, this,
                [&] { progress << progressText(); });
        QVERIFY(table().select(3));
        QCOMPARE(runAutoAttach(), Outcome::Completed);

        QStringList expected;
        for (int i = 3; i < 10; ++i)
            if (i != 5)
                expected << QStringLiteral("正在附加：［%1/10］－%2").arg(i + 1).arg(nameOfRow(i));
        QCOMPARE(progress, expected);
        const QStringList listed = s_->listedDatabases();
        for (int i = 0; i < 10; ++i) QCOMPARE(listed.contains(nameOfRow(i)), i >= 3 && i != 5);
        QCOMPARE(table().selectedIndex(), 0);
        QCOMPARE(progressText(), s_->search().totalsText());
        QVERIFY(frameVisible());
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].text, QStringLiteral("全部附加完成！"));
        QCOMPARE(m[0].title, QStringLiteral("附加完成"));
    }

    void theThirdOfFiveFailsAndTheFirstTwoStay() {
        for (int i = 0; i < 5; ++i)
            QVERIFY(!s_->createDatabase(QStringLiteral("five_%1").arg(i), folder()).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 5);
        // The third row's name is taken on the server meanwhile.
        QVERIFY(!s_->createDatabase(nameOfRow(2), folder(QStringLiteral("elsewhere")), false)
                     .isEmpty());
        QVERIFY(table().select(0));
        QCOMPARE(runAutoAttach(), Outcome::Failed);
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QVERIFY(m[0].text.contains(QStringLiteral("无法附加：") + table().fullPath(2) + "  "));
        QVERIFY2(m[0].detail.contains(QStringLiteral("already exists")), qPrintable(m[0].detail));
        const QStringList listed = s_->listedDatabases();
        QVERIFY(listed.contains(nameOfRow(0)) && listed.contains(nameOfRow(1)));
        QVERIFY(!listed.contains(nameOfRow(3)) && !listed.contains(nameOfRow(4)));
        QCOMPARE(table().selectedIndex(), 2);
        QCOMPARE(progressText(), s_->search().totalsText());
        QVERIFY(frameVisible());
    }

    void aRunWithNoRowSelectedStartsAtTheTop() {
        QVERIFY(!s_->createDatabase(QStringLiteral("top_a"), folder()).isEmpty());
        QVERIFY(!s_->createDatabase(QStringLiteral("top_b"), folder()).isEmpty());
        QCOMPARE(s_->searchFolder(folder()), 2);
        QVERIFY(table().select(-1));
        // Inside a running search (or another long run) the button does nothing at all.
        QVERIFY(s_->workspace().longRuns().begin());
        c().autoAttachButton->click();
        QVERIFY(!s_->attach().isRunning());
        QVERIFY(s_->takeMessages().isEmpty());
        s_->workspace().longRuns().end();
        QCOMPARE(runAutoAttach(), Outcome::Completed);
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("top_a")));
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("top_b")));
    }

    void attachWithoutLogMakesANewLog() {
        QVERIFY(!s_->createDatabase(QStringLiteral("solo"), folder()).isEmpty());
        QVERIFY(QFile::remove(s_->logFileOf(QStringLiteral("solo"), folder())));
        QCOMPARE(s_->searchFolder(folder()), 1);
        QVERIFY(table().select(0));
        choose(c().attachWithoutLogAction);
        const QList<MessageRecord> m = s_->takeMessages();
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].text, QStringLiteral("附加 solo 完成！"));
        QCOMPARE(m[0].title, QStringLiteral("提示："));
        QCOMPARE(m[0].icon, MsgIcon::Information);
        QVERIFY(s_->listedDatabases().contains(QStringLiteral("solo")));
        db::BatchResult log;
        QVERIFY(s_->execute(QStringLiteral("solo"),
                            QStringLiteral("SELECT filename FROM sysfiles WHERE(fileid= 2)"),
                            &log));
        QVERIFY(!log.resultSets.isEmpty() && !log.resultSets[0].rows.isEmpty());
        QVERIFY(QFile::exists(log.resultSets[0].rows[0][0].trimmed()));
    }

    void namesAndPathsWithQuotesBlanksAndChinese() {
        const QString odd = folder(QStringLiteral("it's a 文件夹"));
        const QStringList names = {QStringLiteral("O'Brien"), QStringLiteral("my db"),
                                   QStringLiteral("销售库")};
        for (const QString& n : names) QVERIFY(!s_->createDatabase(n, odd).isEmpty());
        QCOMPARE(s_->searchFolder(odd), 3);
        QVERIFY(table().select(0));
        QCOMPARE(runAutoAttach(), Outcome::Completed);
        for (const QString& n : names) QVERIFY2(s_->listedDatabases().contains(n), qPrintable(n));

        const QString single = QStringLiteral("single 'one' 库");
        const QString other = folder(QStringLiteral("other 'place'"));
        QVERIFY(!s_->createDatabase(single, other).isEmpty());
        QVERIFY(QFile::remove(s_->logFileOf(single, other)));
        QCOMPARE(s_->searchFolder(other), 1);
        QVERIFY(table().select(0));
        choose(c().attachWithoutLogAction);
        QCOMPARE(s_->takeMessages().size(), 2);  // the run's end, then this attach
        QVERIFY(s_->listedDatabases().contains(single));
    }
};

QTEST_MAIN(AttachWindowTest)
#include "AttachWindowTest.moc"
