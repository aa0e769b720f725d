// The main window on its own: every control named as the system names it, a database list that
// cannot load leaves a usable window, the resize rules skip only what cannot be applied,
// activation runs once, and the way out.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTime>

#include "RecordingPrompts.h"
#include "StandinProcess.h"
#include "access/LongRuns.h"
#include "access/ModalMoments.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"
#include "ui/ProgramEnd.h"
#include "ui/StatusBar.h"
#include "ui/Twips.h"

#include "NoServer.h"

using namespace korvid;
using korvid::test::NoServer;

namespace {

// The names of the window and of everything in it with a name of its own, sorted; the
// toolkit's inner parts are left out.
QString namesUnder(const QObject& root) {
    QStringList names{root.objectName()};
    for (const QObject* child : root.findChildren<QObject*>()) {
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && !name.startsWith('_'))
            names << name;
    }
    names.sort();
    return names.join(' ');
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    int ends_ = 0;
    test::RecordingPrompts prompts_;
    ModalMoments moments_;
    std::unique_ptr<NoServer> credentials_;
    std::unique_ptr<ServerAccess> access_;
    std::unique_ptr<MainWindow> window_;  // over a server that is not there, not shown yet

    void show() {
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

private slots:
    void init() {
        ends_ = 0;
        setProgramEndHandler([this] { ++ends_; });
        prompts_.takeMessages();
        credentials_ = std::make_unique<NoServer>();
        access_ = std::make_unique<ServerAccess>(*credentials_, moments_);
        window_ = std::make_unique<MainWindow>(*access_, prompts_);
    }
    void cleanup() {
        window_.reset();
        access_.reset();
        setProgramEndHandler(nullptr);
    }

    // The system's names are the objectNames, pinned here: those
    // of the controls the subsystems are handed, in order, then every name the windows carry.
    void everyControlCarriesItsSystemName() {
        const search::SearchControls s = window_->searchControls();
        const attach::AttachControls a = window_->attachControls();
        const maintenance::MaintenanceControls m = window_->maintenanceControls();
        LoginDialog dialog;
        const LoginControls l = dialog.controls();
        const QObject* hiddenFrame = m.selectedDatabaseBox->parent();
        const QObject* exit = window_->exitButton();
        const QList<const QObject*> controls = {
            s.window,          s.searchFrame,          s.driveBox,
            s.patternBox,      s.folderView,           s.commandFrame,
            s.searchButton,    a.autoAttachButton,     exit,
            s.progressLabel,   s.resultList,           s.attachMenu,
            s.attachOneAction, s.attachAllAction,      s.attachWithoutLogAction,
            m.databaseGrid,    m.databaseList,         m.selectedDatabaseBox,
            hiddenFrame,       m.databaseMenu,         m.detachAction,
            m.shrinkLogAction, m.shrinkDatabaseAction, &dialog,
            l.serverBox,       l.passwordBox,          l.loginButton,
            l.exitButton};
        QStringList names;
        for (const QObject* control : controls) names << control->objectName();
        QCOMPARE(names.join(' '),
                 "form2 fm1 drive Text1 Dir1 fm Command1 Command5 Command2 Label3 List3 mfile FjDG "
                 "Fjqb WLDF DataGrid1 Adodc1 Text8 Frame1 FJ FLSJ SSRZ SSSJK "
                 "Form1 fwq mm Command1 Command2");
        QCOMPARE(a.commandFrame, s.commandFrame);
        QCOMPARE(a.databaseList, m.databaseList);

        QCOMPARE(namesUnder(*window_),
                 "Adodc1 Command1 Command2 Command5 DataGrid1 Dir1 FJ FLSJ FjDG Fjqb Frame1 G GD "
                 "Label1 Label2 Label3 List3 Panel1 Panel2 Panel3 Panel4 Panel5 Panel6 Panels "
                 "SSRZ SSSJK StatusBar1 Text1 Text8 WLDF client drive fm fm1 form2 mfile");
        QCOMPARE(namesUnder(dialog),
                 "Command1 Command2 DataGrid1 Form1 Label1 Label2 Label3 Picture1 fwq mm");
    }

    void failedDatabaseListLeavesAUsableWindow() {
        QSignalSpy activated(window_.get(), &MainWindow::firstActivated);
        show();

        const auto records = prompts_.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QCOMPARE(records[0].title, QStringLiteral("Korvid"));
        QVERIFY(!records[0].text.isEmpty());
        QuerySource* list = window_->databaseList();
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(window_->selectedDatabase(), QString());
        QVERIFY(list->connectionString().contains(credentials_->server));
        // Read from the credentials at every connection, never kept.
        credentials_->server = QStringLiteral("elsewhere,1500");
        QVERIFY(list->connectionString().contains(credentials_->server));
        QCOMPARE(list->recordSource(),
                 QStringLiteral("select name  from sysdatabases ORDER BY name"));
        QTRY_COMPARE(activated.count(), 1);
        QVERIFY(window_->isVisible());
        QCOMPARE(ends_, 0);
    }

    void loadThenResizeThenActivation() {
        // The load's failure box is the mark of the load; the list's width the mark of a resize.
        struct Order : QObject {
            explicit Order(test::RecordingPrompts& p) : prompts(p) {}
            test::RecordingPrompts& prompts;
            QStringList seen;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Resize && seen.isEmpty())
                    seen.append(prompts.takeMessages().isEmpty() ? QStringLiteral("resize")
                                                                 : QStringLiteral("load+resize"));
                return false;
            }
        } order(prompts_);
        window_->installEventFilter(&order);
        connect(window_.get(), &MainWindow::firstActivated, &order,
                [&] { order.seen.append(QStringLiteral("activation")); });
        show();
        QTRY_COMPARE(order.seen, (QStringList{"load+resize", "activation"}));
        QCOMPARE(window_->searchControls().resultList->width(),
                 twipsToPixels(pixelsToTwips(window_->frameGeometry().width()) - 2900));
    }

    void activationOnceHidesTheMenusAndLeavesThePattern() {
        QSignalSpy activated(window_.get(), &MainWindow::firstActivated);
        show();
        QTRY_COMPARE(activated.count(), 1);
        window_->activateWindow();
        window_->hide();
        window_->show();
        QTest::qWait(20);
        QCOMPARE(activated.count(), 1);
        QVERIFY(!window_->attachMenu()->menuAction()->isVisible());
        QVERIFY(!window_->databaseMenu()->menuAction()->isVisible());
        const QMenuBar* bar = window_->findChild<QMenuBar*>();
        QVERIFY(bar == nullptr || !bar->isVisible());
        const search::SearchControls c = window_->searchControls();
        QCOMPARE(c.patternBox->text(), QStringLiteral("Text1"));
        QCOMPARE(window_->focusWidget(), c.driveBox);
    }

    void tabWalksTheControlsByTheirTabIndexes() {
        show();
        window_->activateWindow();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QList<QWidget*> walk;
        for (int i = 0; i < 9; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            walk.append(focus);
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        const search::SearchControls c = window_->searchControls();
        QCOMPARE(walk, (QList<QWidget*>{c.driveBox, c.patternBox, c.resultList,
                                        window_->attachControls().autoAttachButton, c.searchButton,
                                        window_->exitButton(), c.folderView,
                                        window_->maintenanceControls().databaseGrid, c.driveBox}));
    }

    void resizeRulesSkipOnlyWhatCannotBeApplied() {
        QListView* list = window_->searchControls().resultList;
        QAbstractItemView* grid = window_->maintenanceControls().databaseGrid;
        // Outer width and height in twips, then what List3 and the grid are after the rules:
        // a rule that cannot be applied keeps the size it last gave.
        const struct {
            int width, height, listWidth, listHeight, gridHeight;
        } steps[] = {
            {12000, 8000, 9100, 4300, 7000},
            {2000, 6000, 9100, 2300, 5000},   // too narrow for List3
            {10000, 3000, 7100, 2300, 2000},  // too low for List3, tall enough for the grid
            {10000, 500, 7100, 2300, 2000},   // too low for both
        };
        for (const auto& s : steps) {
            window_->applyResizeRules(s.width, s.height);
            QCOMPARE(list->size(), twipsSize(s.listWidth, s.listHeight));
            QCOMPARE(grid->height(), twipsToPixels(s.gridHeight));
        }

        // The window's own resize runs the rules with its outer size.
        show();
        window_->resize(twipsSize(9000, 6000));
        QTRY_COMPARE(list->width(),
                     twipsToPixels(pixelsToTwips(window_->frameGeometry().width()) - 2900));
        QCOMPARE(grid->height(),
                 twipsToPixels(pixelsToTwips(window_->frameGeometry().height()) - 1000));
        QCOMPARE(ends_, 0);
    }

    void hiddenWorkingControlsAreThereAndNeverShown() {
        show();
        QLineEdit* selected = window_->maintenanceControls().selectedDatabaseBox;
        auto* frame = qobject_cast<QGroupBox*>(selected->parentWidget());
        QVERIFY(frame);
        QCOMPARE(frame->title(), QStringLiteral("分离收缩"));
        QVERIFY(!frame->isVisible());
        QCOMPARE(selected->text(), QString());
    }

    void statusBarAndLongRunFlag() {
        QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Panel6"))->text(),
                 QStringLiteral("SQL 工具"));
        // The date is looked at again just past midnight, and at least once a minute.
        QCOMPARE(StatusBar::nextDateCheckMs(QTime(12, 0)), 60 * 1000);
        QCOMPARE(StatusBar::nextDateCheckMs(QTime(0, 0)), 60 * 1000);
        const int late = StatusBar::nextDateCheckMs(QTime(23, 59, 59, 900));
        QVERIFY2(late > 100 && late <= 1000, QByteArray::number(late));

        LongRuns runs;
        QVERIFY(runs.begin());
        QVERIFY(!runs.begin());
        QVERIFY(runs.active());
        runs.end();
        QVERIFY(runs.begin());
    }

    void theProgramTakesNothingFromItsCommandLine() {
        // An option the toolkit would obey (an unknown platform) must not stop the start.
        QProcess korvid;
        test::StandinProcess::dieWithParent(korvid);  // no Korvid left behind by an aborted test
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        korvid.setProcessEnvironment(env);
        korvid.start(QStringLiteral(KORVID_BINARY),
                     {QStringLiteral("-platform"), QStringLiteral("no-such-platform")});
        QVERIFY(korvid.waitForStarted(5000));
        QVERIFY2(!korvid.waitForFinished(1500), korvid.readAllStandardError().constData());
        korvid.kill();
        QVERIFY(korvid.waitForFinished(5000));
    }

    void closeAndExitButtonEndTheProgram() {
        show();
        prompts_.takeMessages();
        QTest::mouseClick(window_->exitButton(), Qt::LeftButton);
        QCOMPARE(ends_, 1);
        window_->close();
        QCOMPARE(ends_, 2);
        QVERIFY(prompts_.takeMessages().isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
