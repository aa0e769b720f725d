// What the person sees, measured on the rendered windows at 96 dpi: every control where its
// twips put it, the main window's opening size and how small it can be made, the status bar's
// panels, the Chinese date, the frames' captions, the list's rows, the banner's version label
// and the names a screen reader reads. The images go to the build folder for a reviewer.
#include <QAccessible>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTest>

#include "Harness.h"
#include "access/QuerySource.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/LoginDialog.h"
#include "ui/MainWindow.h"
#include "ui/StatusBar.h"
#include "ui/Twips.h"

using namespace korvid;

namespace {

constexpr int kTolerancePx = 2;

// One control of a form: its container and its place in twips. A negative width or height is
// the resize rule's: the window's outer size less that many twips.
struct Placed {
    const char* name;
    const char* container;
    int left, top, width, height;
};

const Placed kLoginControls[] = {
    {"Picture1", "Form1", 0, 0, 6495, 4095},        {"Label2", "Picture1", 4920, 240, 360, 180},
    {"Label1", "Picture1", 2400, 870, 720, 180},    {"fwq", "Picture1", 3120, 840, 1935, 270},
    {"Label3", "Picture1", 2400, 1590, 720, 180},   {"mm", "Picture1", 3120, 1560, 1935, 270},
    {"Command1", "Picture1", 2640, 2400, 975, 375}, {"Command2", "Picture1", 3960, 2400, 975, 375},
    {"DataGrid1", "Picture1", 600, 2760, 135, 135},
};

const Placed kMainControls[] = {
    {"DataGrid1", "client", 120, 120, 2415, -1000}, {"fm1", "client", 2640, 120, 6375, 2475},
    {"Label1", "fm1", 240, 300, 540, 180},          {"drive", "fm1", 840, 240, 2775, 300},
    {"Label2", "fm1", 3840, 300, 540, 180},         {"Text1", "fm1", 4440, 240, 1815, 315},
    {"Dir1", "fm1", 240, 600, 6015, 1770},          {"fm", "client", 9240, 120, 2175, 2475},
    {"Command1", "fm", 360, 360, 1455, 315},        {"Command5", "fm", 360, 1080, 1455, 315},
    {"Command2", "fm", 360, 1800, 1455, 315},       {"Label3", "client", 2640, 2640, 1260, 180},
    {"List3", "client", 2640, 2880, -2900, -3700},  {"StatusBar1", "form2", 0, 7035, 11535, 375},
};

struct Panel {
    const char* name;
    int widthTwips;
};
const Panel kPanels[] = {{"Panel1", 3400}, {"Panel2", 1440}, {"Panel3", 2000},
                         {"Panel4", 1440}, {"Panel5", 1440}, {"Panel6", 1440}};

QSize outerTwips(const QWidget& window) {
    return {pixelsToTwips(window.frameGeometry().width()),
            pixelsToTwips(window.frameGeometry().height())};
}

bool near(int actual, int expected) {
    return qAbs(actual - expected) <= kTolerancePx;
}

// Every control of the table where its twips say, within a pixel or two.
void checkPlaces(QWidget& window, const Placed* begin, const Placed* end) {
    const QSize outer = outerTwips(window);
    for (const Placed* c = begin; c != end; ++c) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(c->name));
        QVERIFY2(w, c->name);
        QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(c->container));
        const int width = c->width >= 0 ? c->width : outer.width() + c->width;
        const int height = c->height >= 0 ? c->height : outer.height() + c->height;
        const QRect expected = twipsRect(c->left, c->top, width, height);
        const QRect actual = w->geometry();
        const QByteArray where =
            QByteArray(c->name) + ": " + QByteArray::number(actual.x()) + "," +
            QByteArray::number(actual.y()) + " " + QByteArray::number(actual.width()) + "x" +
            QByteArray::number(actual.height()) + ", expected " + QByteArray::number(expected.x()) +
            "," + QByteArray::number(expected.y()) + " " + QByteArray::number(expected.width()) +
            "x" + QByteArray::number(expected.height());
        QVERIFY2(near(actual.x(), expected.x()) && near(actual.y(), expected.y()) &&
                     near(actual.width(), expected.width()) &&
                     near(actual.height(), expected.height()),
                 where.constData());
    }
}

void saveScreenshot(QWidget& window, const QString& name) {
    QDir().mkpath(QStringLiteral(KORVID_SCREENSHOT_DIR));
    const QString path = QDir(QStringLiteral(KORVID_SCREENSHOT_DIR)).filePath(name);
    QVERIFY2(window.grab().save(path), qPrintable(path));
}

// What a screen reader names the control by. A combo box's name is its current text here; it
// is named by the label that points at it, and by its own name where the platform reads that.
QString spokenName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a) return QString();
    if (a->role() != QAccessible::ComboBox) return a->text(QAccessible::Name);
    const auto labels = a->relations(QAccessible::Label);
    if (labels.isEmpty()) return QString();
    QString label = labels.first().first->text(QAccessible::Name);
    if (label.endsWith(QStringLiteral("："))) label.chop(1);
    return label == w->accessibleName() ? label : QString();
}

void checkAccessibleNames(QWidget& window, const QList<QPair<const char*, QString>>& names) {
    for (const auto& [name, expected] : names) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(w, name);
        QCOMPARE(spokenName(w), expected);
    }
}

int panelsWidth(const QWidget& window) {
    int sum = 0;
    for (const Panel& p : kPanels)
        sum += window.findChild<QLabel*>(QString::fromLatin1(p.name))->width();
    return sum;
}

}  // namespace

class LookTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Twips become pixels by the screen's logical dpi: these sizes are those of 96 dpi.
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
        QCOMPARE(twipsToPixels(1440), 96);
    }

    void loginDialogAsItsTwipsSay() {
        LoginDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size(), twipsSize(5460, 3225));
        checkPlaces(dialog, std::begin(kLoginControls), std::end(kLoginControls));
        saveScreenshot(dialog, QStringLiteral("login.png"));

        // The version shows on the banner itself, with no box of its own round it.
        auto* version = dialog.findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(version->text(), QStringLiteral("V3.0"));
        const QImage shown = dialog.grab().toImage();
        const QImage banner = loginBanner().toImage();
        for (const QPoint corner : {version->geometry().topLeft(), version->geometry().topRight()})
            QCOMPARE(shown.pixelColor(corner), banner.pixelColor(corner));

        checkAccessibleNames(dialog, {{"fwq", QStringLiteral("服务器")},
                                      {"mm", QStringLiteral("SA密码")},
                                      {"Command1", QStringLiteral("确定")},
                                      {"Command2", QStringLiteral("退出")}});
    }

    void mainWindowAsItsTwipsSay() {
        test::Harness app;
        QVERIFY(app.startServer());
        for (int i = 1; i <= 30; ++i)
            QVERIFY(
                app.execute(QStringLiteral("master"),
                            QStringLiteral("CREATE DATABASE [库%1]").arg(i, 2, 10, QChar('0'))));
        MainWindow* window = app.login();
        QVERIFY(window);
        QCOMPARE(window->size(), QSize(769, 494));
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Korvid V3.0   -=-   https://korvid.example/"));
        checkPlaces(*window, std::begin(kMainControls), std::end(kMainControls));
        saveScreenshot(*window, QStringLiteral("main.png"));

        // Rows one line of the 9 pt font high: the list shows about 25 names, not fourteen, and
        // each one whole.
        auto* grid = window->findChild<QTableView*>(QStringLiteral("DataGrid1"));
        QVERIFY(grid->model()->rowCount() > 30);
        QVERIFY(grid->rowHeight(0) >= QFontMetrics(songti(9)).height());
        const int lastWhole = grid->rowAt(grid->viewport()->height() - grid->rowHeight(0));
        QVERIFY2(lastWhole + 1 >= 24, QByteArray::number(lastWhole));

        // The frames' captions sit on their top border.
        for (const char* name : {"fm1", "fm", "Frame1"}) {
            auto* frame = window->findChild<QGroupBox*>(QString::fromLatin1(name));
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.lineWidth = 1;
            option.textAlignment = frame->alignment();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QStyle* style = frame->style();
            const QRect border = style->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxFrame, frame);
            const QRect caption = style->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxLabel, frame);
            QVERIFY2(caption.top() < border.top() && border.top() < caption.bottom(), name);
        }

        checkAccessibleNames(*window, {{"DataGrid1", QStringLiteral("数据库列表")},
                                       {"drive", QStringLiteral("磁盘")},
                                       {"Text1", QStringLiteral("文件")},
                                       {"Dir1", QStringLiteral("文件夹列表")},
                                       {"List3", QStringLiteral("搜索结果列表")},
                                       {"Command1", QStringLiteral("搜索数据")},
                                       {"Command5", QStringLiteral("自动附加")},
                                       {"Command2", QStringLiteral("退出程序")}});
    }

    void mainWindowCanBeMadeSmallAndTheRulesFollow() {
        test::Harness app;
        QVERIFY(app.startServer());
        MainWindow* window = app.login();
        QVERIFY(window);
        auto* resultList = window->findChild<QListView*>(QStringLiteral("List3"));
        auto* grid = window->findChild<QTableView*>(QStringLiteral("DataGrid1"));

        // With room to spare every panel keeps its twips.
        window->resize(1000, 600);
        QTRY_COMPARE(window->width(), 1000);
        for (const Panel& p : kPanels)
            QCOMPARE(window->findChild<QLabel*>(QString::fromLatin1(p.name))->width(),
                     twipsToPixels(p.widthTwips));

        // Narrower than the panels: they give way, the window keeps the width it was given.
        window->resize(600, 380);
        QTRY_COMPARE(window->size(), QSize(600, 380));
        QVERIFY(panelsWidth(*window) <= window->statusBar()->width());
        QCOMPARE(resultList->width(), twipsToPixels(outerTwips(*window).width() - 2900));
        QCOMPARE(resultList->height(), twipsToPixels(outerTwips(*window).height() - 3700));
        QCOMPARE(grid->height(), twipsToPixels(outerTwips(*window).height() - 1000));
        saveScreenshot(*window, QStringLiteral("main-600x380.png"));

        // Too small for List3: it keeps its last size, while the grid still follows.
        const QSize lastList = resultList->size();
        window->resize(150, 220);
        QTRY_COMPARE(window->size(), QSize(150, 220));
        QCOMPARE(resultList->size(), lastList);
        QCOMPARE(grid->height(), twipsToPixels(outerTwips(*window).height() - 1000));
        QVERIFY(app.takeMessages().isEmpty());
        QCOMPARE(app.programEnds(), 0);
    }

    void dateInTheChineseShortFormatWhateverTheLocale() {
        QCOMPARE(QLocale::system().name(), QStringLiteral("en_US"));  // set by the test's run
        QCOMPARE(StatusBar::dateText(QDate(2026, 12, 8)), QStringLiteral("2026/12/8"));
        const auto chinese = [](const QDate& d) {
            return QStringLiteral("%1/%2/%3").arg(d.year()).arg(d.month()).arg(d.day());
        };
        // Read around the bar's making, so a midnight in between cannot fail the test.
        const QDate before = QDate::currentDate();
        StatusBar bar;
        const QDate after = QDate::currentDate();
        const QString shown = bar.findChild<QLabel*>(QStringLiteral("Panel4"))->text();
        QVERIFY2(shown == chinese(before) || shown == chinese(after), qPrintable(shown));
    }
};

QTEST_MAIN(LookTest)
#include "LookTest.moc"
