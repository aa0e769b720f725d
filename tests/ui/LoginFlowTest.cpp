// Korvid against tds-standin: the login opens the main window with the database list loaded,
// sorted and its first row current; the selected database follows the grid; a refused login
// can be corrected; a failing operation without a trap reports and leaves everything running.
#include <QAbstractItemView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "Harness.h"
#include "Program.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"

using namespace korvid;
using AppHarness = korvid::test::Harness;

namespace {

QStringList gridColumn(const QAbstractItemView* grid) {
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out.append(grid->model()->index(r, 0).data().toString());
    return out;
}

}  // namespace

class LoginFlowTest : public QObject {
    Q_OBJECT

private slots:
    void loginOpensTheWindowWithTheDatabaseList() {
        AppHarness app(QStringLiteral("pa;ss=wo'rd"));
        QVERIFY(app.startServer());
        MainWindow* window = app.login();
        QVERIFY(window);
        QVERIFY(!app.dialog()->isVisible());
        QVERIFY(window->isVisible());
        QCOMPARE(window->objectName(), QStringLiteral("form2"));
        QVERIFY(app.takeMessages().isEmpty());
        QVERIFY(app.program()->loginConnection().isOpen());

        QAbstractItemView* grid = window->maintenanceControls().databaseGrid;
        const QStringList names = gridColumn(grid);
        QCOMPARE(names, (QStringList{"master", "model", "msdb", "tempdb"}));
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("数据库名称"));
        QCOMPARE(window->databaseList()->currentRow(), 0);
        QCOMPARE(window->selectedDatabase(), QStringLiteral("master"));

        // Text8 carries the current row's name for the operations on the selected database.
        QLineEdit* selectedDatabaseBox = window->maintenanceControls().selectedDatabaseBox;
        QVERIFY(!selectedDatabaseBox->isVisible());
        QCOMPARE(selectedDatabaseBox->text(), QStringLiteral("master"));

        // A click makes a row current; the keyboard moves it too.
        const QModelIndex third = grid->model()->index(2, 0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
        QCOMPARE(window->selectedDatabase(), QStringLiteral("msdb"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(window->selectedDatabase(), QStringLiteral("tempdb"));
        QCOMPARE(selectedDatabaseBox->text(), QStringLiteral("tempdb"));
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(window->selectedDatabase(), QStringLiteral("msdb"));
        // Tab leaves the grid for the next control; it does not walk the rows.
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(window->selectedDatabase(), QStringLiteral("msdb"));
        QVERIFY(!grid->hasFocus());

        // A re-query makes the first row current again, in the grid as well.
        window->databaseList()->refresh();
        QCOMPARE(window->selectedDatabase(), QStringLiteral("master"));
        QCOMPARE(grid->currentIndex().row(), 0);

        // The credentials are still read from the hidden dialog.
        QCOMPARE(window->serverAccess().credentials().serverName(), app.server().server());
        QCOMPARE(window->serverAccess().credentials().password(), QStringLiteral("pa;ss=wo'rd"));
        QCOMPARE(app.programEnds(), 0);
    }

    void chineseAndBlankNamesInTheList() {
        AppHarness app;
        QVERIFY(app.startServer());
        MainWindow* window = app.login();
        QVERIFY(window);
        const ServerAccess& access = window->serverAccess();
        for (const QString& name : {QStringLiteral("库存管理"), QStringLiteral("Human Resources"),
                                    QStringLiteral("Alpha")})
            access.execute(ConnectionShape::server(),
                           QStringLiteral("CREATE DATABASE [%1]").arg(name));
        window->databaseList()->refresh();

        QAbstractItemView* grid = window->maintenanceControls().databaseGrid;
        const QStringList names = gridColumn(grid);
        QCOMPARE(names.size(), 7);
        QCOMPARE(names.first(), QStringLiteral("Alpha"));  // sorted, first row current
        QCOMPARE(window->selectedDatabase(), QStringLiteral("Alpha"));
        const int chinese = int(names.indexOf(QStringLiteral("库存管理")));
        QVERIFY(chinese >= 0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(chinese, 0)).center());
        QCOMPARE(window->selectedDatabase(), QStringLiteral("库存管理"));
        const int blank = int(names.indexOf(QStringLiteral("Human Resources")));
        QVERIFY(blank >= 0);
        grid->setCurrentIndex(grid->model()->index(blank, 0));
        QCOMPARE(window->selectedDatabase(), QStringLiteral("Human Resources"));
    }

    void refusedLoginCanBeCorrected() {
        AppHarness app;
        QVERIFY(app.startServer());
        QVERIFY(app.login(QStringLiteral("not the password")) == nullptr);
        QVERIFY(!app.program()->loginConnection().isOpen());
        auto records = app.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text, QStringLiteral("数据库连接失败，请检查登陆信息！"));
        QCOMPARE(records[0].title, QStringLiteral("错误提示:"));
        QCOMPARE(records[0].detail, QStringLiteral("Login failed for user 'sa'."));
        QVERIFY(app.dialog()->isVisible());
        QCOMPARE(app.dialog()->password(), QStringLiteral("not the password"));

        QVERIFY(app.login() != nullptr);
        QVERIFY(app.takeMessages().isEmpty());
        QVERIFY(!app.dialog()->isVisible());
    }

    void failingOperationWithoutATrapKeepsTheProgramRunning() {
        AppHarness app;
        QVERIFY(app.startServer());
        MainWindow* window = app.login();
        QVERIFY(window);
        const ServerAccess& access = window->serverAccess();
        try {
            access.execute(ConnectionShape::server(), QStringLiteral("EXEC sp_no_such_thing"));
            QFAIL("the failing statement reported success");
        } catch (const std::exception& error) {
            app.prompts().failure(error);
        }
        const auto records = app.takeMessages();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].icon, MsgIcon::Critical);
        QCOMPARE(records[0].text,
                 QStringLiteral("Could not find stored procedure 'sp_no_such_thing'."));
        QCOMPARE(records[0].title, QStringLiteral("Korvid"));
        QVERIFY(records[0].detail.contains(QStringLiteral("2812")));
        // Nothing was lost: the list, the selection and the server are all still there.
        QCOMPARE(window->databaseList()->rowCount(), 4);
        QCOMPARE(window->selectedDatabase(), QStringLiteral("master"));
        QVERIFY(window->isVisible());
        QCOMPARE(app.programEnds(), 0);

        // A query source whose refresh fails keeps the rows it showed.
        QuerySource source(access);
        source.setRecordSource(QStringLiteral("SELECT N'中文库' AS name"));
        source.refresh();
        QCOMPARE(source.currentField(QStringLiteral("NAME")), QStringLiteral("中文库"));
        source.setRecordSource(QStringLiteral("EXEC sp_no_such_thing"));
        QVERIFY_THROWS_EXCEPTION(db::DbError, source.refresh());
        QCOMPARE(source.rowCount(), 1);
        QCOMPARE(source.currentField(QStringLiteral("name")), QStringLiteral("中文库"));
    }

    void serverGoneAfterLoginIsReportedNotFatal() {
        AppHarness app;
        QVERIFY(app.startServer());
        MainWindow* window = app.login();
        QVERIFY(window);
        app.server().stop();
        QVERIFY_THROWS_EXCEPTION(db::DbError, window->databaseList()->refresh());
        QCOMPARE(window->databaseList()->rowCount(), 4);
        QCOMPARE(app.programEnds(), 0);
    }
};

QTEST_MAIN(LoginFlowTest)
#include "LoginFlowTest.moc"
