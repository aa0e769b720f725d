#include "ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "access/Prompts.h"
#include "access/QuerySource.h"
#include "access/ServerAccess.h"
#include "ui/AppInfo.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/FrameLook.h"
#include "ui/ProgramEnd.h"
#include "ui/StatusBar.h"
#include "ui/Twips.h"

namespace korvid {

namespace {

const QColor kLightGrey(0xC0, 0xC0, 0xC0);
const QColor kBlue(0x00, 0x00, 0xFF);

const char* const kDatabaseListSource = "select name  from sysdatabases ORDER BY name";

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void setColour(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(role, colour);
    w->setPalette(pal);
}

}  // namespace

MainWindow::MainWindow(const ServerAccess& access, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      access_(access),
      prompts_(prompts),
      adodc1_(new QuerySource(access, this)) {
    setObjectName(QStringLiteral("form2"));
    setWindowTitle(mainWindowCaption());
    setWindowIcon(mainIcon());
    setFont(songti(9));
    adodc1_->setObjectName(QStringLiteral("Adodc1"));
    adodc1_->setColumnCaption(0, QStringLiteral("数据库名称"));

    buildControls();
    setStatusBar(new StatusBar(this));
    buildMenus();

    resize(twipsSize(11535, 7410));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    auto* client = named(new QWidget(this), "client");
    client->setAutoFillBackground(true);
    setColour(client, QPalette::Window, kLightGrey);
    setCentralWidget(client);
    const QCursor cursor = controlCursor();

    dataGrid1_ = named(new QTableView(client), "DataGrid1");
    placeTwips(dataGrid1_, 120, 120, 2415, 6255);
    dataGrid1_->setModel(adodc1_->model());
    dataGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dataGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    dataGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the grid for the next control instead of stepping to another database.
    dataGrid1_->setTabKeyNavigation(false);
    dataGrid1_->verticalHeader()->setVisible(false);
    dataGrid1_->horizontalHeader()->setStretchLastSection(true);
    dataGrid1_->setFont(songti(9));
    // Rows one line of the 9 pt font high with a small margin, so a long list shows many names;
    // never lower than the font's own line, so no name is cut.
    const int rowHeight =
        std::max(QFontInfo(dataGrid1_->font()).pixelSize() + 4, dataGrid1_->fontMetrics().height());
    QHeaderView* rows = dataGrid1_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(rowHeight);
    setColour(dataGrid1_, QPalette::Base, QColor(0x00, 0xC0, 0xC0));
    // The grid's current row is the list's current row: mouse and keyboard alike.
    connect(dataGrid1_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                adodc1_->setCurrentRow(current.isValid() ? current.row() : -1);
            });
    connect(adodc1_, &QuerySource::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        if (dataGrid1_->currentIndex().row() != row)
            dataGrid1_->setCurrentIndex(adodc1_->model()->index(row, 0));
        dataGrid1_->selectRow(row);
    });

    buildSearchControls(client);

    label3_ = named(new QLabel(QStringLiteral("搜索结果列表："), client), "Label3");
    placeTwips(label3_, 2640, 2640, kLabel3WidthTwips, 180);
    setColour(label3_, QPalette::WindowText, kBlue);
    // Label3 carries the totals and the progress of the search and of auto attach: a new text
    // asks the client area for a layout, and Label3 then takes the width that text needs.
    client->installEventFilter(this);

    list3_ = named(new QListView(client), "List3");
    placeTwips(list3_, 2640, 2880, 8775, 4020);
    list3_->setFont(songti(10.5));
    list3_->setToolTip(QStringLiteral("双击清除单条列表记录"));
    setColour(list3_, QPalette::Text, Qt::black);

    list3_->setCursor(cursor);
    list3_->viewport()->setCursor(cursor);

    buildHiddenControls(client);
    nameForScreenReaders();

    // Tab order by the forms' tab indexes; the drive list has the focus when the window opens.
    const QList<QWidget*> order = {drive_,    text1_,    list3_, command5_,
                                   command1_, command2_, dir1_,  dataGrid1_};
    for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
    drive_->setFocus();
}

void MainWindow::nameForScreenReaders() {
    // Buttons, frames and panels are named by their captions; these have none of their own.
    dataGrid1_->setAccessibleName(QStringLiteral("数据库列表"));
    drive_->setAccessibleName(QStringLiteral("磁盘"));
    text1_->setAccessibleName(QStringLiteral("文件"));
    text1_->setAccessibleDescription(QStringLiteral("要搜索的文件名，可用通配符 * 和 ?"));
    dir1_->setAccessibleName(QStringLiteral("文件夹列表"));
    list3_->setAccessibleName(QStringLiteral("搜索结果列表"));
    command1_->setAccessibleDescription(QStringLiteral("在所选的文件夹及其子文件夹中搜索文件"));
    command5_->setAccessibleDescription(
        QStringLiteral("从选中的一行起，把列表中的文件逐个附加到服务器"));
}

void MainWindow::buildSearchControls(QWidget* client) {
    const QCursor cursor = controlCursor();
    fm1_ = named(new QGroupBox(QStringLiteral("文件搜索设置"), client), "fm1");
    placeTwips(fm1_, 2640, 120, 6375, 2475);
    auto* label1 = named(new QLabel(QStringLiteral("磁盘："), fm1_), "Label1");
    placeTwips(label1, 240, 300, 540, 180);
    drive_ = named(new QComboBox(fm1_), "drive");
    placeTwips(drive_, 840, 240, 2775, 300);
    auto* label2 = named(new QLabel(QStringLiteral("文件："), fm1_), "Label2");
    placeTwips(label2, 3840, 300, 540, 180);
    text1_ = named(new QLineEdit(QStringLiteral("Text1"), fm1_), "Text1");
    placeTwips(text1_, 4440, 240, 1815, 315);
    text1_->setFont(songti(10.5));
    dir1_ = named(new QListWidget(fm1_), "Dir1");
    placeTwips(dir1_, 240, 600, 6015, 1770);
    label1->setBuddy(drive_);
    label2->setBuddy(text1_);

    fm_ = named(new QGroupBox(QStringLiteral("操作选项"), client), "fm");
    placeTwips(fm_, 9240, 120, 2175, 2475);
    command1_ = named(new QPushButton(QStringLiteral("搜索数据"), fm_), "Command1");
    placeTwips(command1_, 360, 360, 1455, 315);
    command5_ = named(new QPushButton(QStringLiteral("自动附加"), fm_), "Command5");
    placeTwips(command5_, 360, 1080, 1455, 315);
    command2_ = named(new QPushButton(QStringLiteral("退出程序"), fm_), "Command2");
    placeTwips(command2_, 360, 1800, 1455, 315);
    connect(command2_, &QPushButton::clicked, this, [] { endProgram(); });

    // Frames: blue captions on light grey; what they hold keeps black text.
    for (QGroupBox* frame : {fm1_, fm_}) {
        setCaptionOnBorder(frame);
        frame->setAutoFillBackground(true);
        QPalette pal = frame->palette();
        pal.setColor(QPalette::Window, kLightGrey);
        pal.setColor(QPalette::WindowText, kBlue);
        frame->setPalette(pal);
    }
    for (QLabel* label : {label1, label2}) setColour(label, QPalette::WindowText, Qt::black);
    for (QWidget* w : {static_cast<QWidget*>(drive_), static_cast<QWidget*>(text1_)}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, kLightGrey);
        pal.setColor(QPalette::Button, kLightGrey);
        pal.setColor(QPalette::Text, Qt::black);
        pal.setColor(QPalette::ButtonText, Qt::black);
        w->setPalette(pal);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{command1_, command5_, command2_, drive_})
        w->setCursor(cursor);
    dir1_->setCursor(cursor);
    dir1_->viewport()->setCursor(cursor);
}

void MainWindow::buildHiddenControls(QWidget* client) {
    // The selected database, never shown. The other hidden working values (the inspection
    // record, its source, the shrinks' logical names) are typed members of the attach and
    // maintenance controllers.
    auto* frame1 = named(new QGroupBox(QStringLiteral("分离收缩"), client), "Frame1");
    frame1->setVisible(false);
    setCaptionOnBorder(frame1);
    text8_ = named(new QLineEdit(frame1), "Text8");

    // Text8 is bound to the field NAME of the list's current row and follows it.
    connect(adodc1_, &QuerySource::currentRowChanged, this,
            [this] { text8_->setText(adodc1_->currentField(QStringLiteral("NAME"))); });
}

void MainWindow::buildMenus() {
    // Popup menus only: they are never put in a menu bar, and are hidden on activation.
    mfile_ = named(new QMenu(QStringLiteral("File"), this), "mfile");
    fjdg_ = named(mfile_->addAction(QStringLiteral("附加：")), "FjDG");
    fjqb_ = named(mfile_->addAction(QStringLiteral("附加：全部数据库")), "Fjqb");
    named(mfile_->addSeparator(), "GD");
    wldf_ = named(mfile_->addAction(QStringLiteral("无LDF附加：")), "WLDF");

    fj_ = named(new QMenu(QStringLiteral("FJ"), this), "FJ");
    flsj_ = named(fj_->addAction(QStringLiteral("分离：")), "FLSJ");
    named(fj_->addSeparator(), "G");
    ssrz_ = named(fj_->addAction(QStringLiteral("收缩日志")), "SSRZ");
    sssjk_ = named(fj_->addAction(QStringLiteral("收缩数据库")), "SSSJK");
}

QString MainWindow::selectedDatabase() const {
    return text8_->text();
}

search::SearchControls MainWindow::searchControls() const {
    search::SearchControls c;
    c.window = const_cast<MainWindow*>(this);
    c.fm1 = fm1_;
    c.fm = fm_;
    c.drive = drive_;
    c.dir1 = dir1_;
    c.text1 = text1_;
    c.command1 = command1_;
    c.label3 = label3_;
    c.list3 = list3_;
    c.mfile = mfile_;
    c.fjdg = fjdg_;
    c.fjqb = fjqb_;
    c.wldf = wldf_;
    return c;
}

attach::AttachControls MainWindow::attachControls() const {
    attach::AttachControls c;
    c.window = const_cast<MainWindow*>(this);
    c.fm = fm_;
    c.command5 = command5_;
    c.label3 = label3_;
    c.mfile = mfile_;
    c.fjdg = fjdg_;
    c.fjqb = fjqb_;
    c.wldf = wldf_;
    c.adodc1 = adodc1_;
    return c;
}

maintenance::MaintenanceControls MainWindow::maintenanceControls() const {
    maintenance::MaintenanceControls c;
    c.dataGrid1 = dataGrid1_;
    c.fj = fj_;
    c.flsj = flsj_;
    c.ssrz = ssrz_;
    c.sssjk = sssjk_;
    c.text8 = text8_;
    c.adodc1 = adodc1_;
    return c;
}

void MainWindow::loadDatabaseList() {
    // Shape B, with the hidden login boxes read at the moment of every connection.
    adodc1_->setConnectionShape(ConnectionShape::server());
    adodc1_->setRecordSource(QString::fromUtf8(kDatabaseListSource));
    try {
        adodc1_->refresh();
    } catch (const std::exception& error) {
        prompts_.failure(error);
    }
}

void MainWindow::setVisible(bool visible) {
    // Load runs once, before the first resize and show.
    if (visible && !loaded_) {
        loaded_ = true;
        loadDatabaseList();
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::applyResizeRules(int outerWidthTwips, int outerHeightTwips) {
    // Each rule on its own: one that cannot be applied is skipped, the next still runs.
    const int listWidth = outerWidthTwips - 2900;
    if (listWidth >= 0) list3_->resize(twipsToPixels(listWidth), list3_->height());
    const int listHeight = outerHeightTwips - 3700;
    if (listHeight >= 0) list3_->resize(list3_->width(), twipsToPixels(listHeight));
    const int gridHeight = outerHeightTwips - 1000;
    if (gridHeight >= 0) dataGrid1_->resize(dataGrid1_->width(), twipsToPixels(gridHeight));
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Activation follows the first show even where the window system activates nothing.
    if (!activated_) QTimer::singleShot(0, this, &MainWindow::runActivation);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyResizeRulesToOuterSize();
}

void MainWindow::applyResizeRulesToOuterSize() {
    const QSize outer = size() + (frameGeometry().size() - geometry().size());
    rulesOuterSize_ = outer;
    applyResizeRules(pixelsToTwips(outer.width()), pixelsToTwips(outer.height()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    endProgram();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::LayoutRequest && label3_ && watched == label3_->parent())
        fitLabel3();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::fitLabel3() {
    // Left and top stay; the width is never less than the form's own.
    const int width = std::max(twipsToPixels(kLabel3WidthTwips), label3_->sizeHint().width());
    if (width != label3_->width()) label3_->resize(width, label3_->height());
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) runActivation();
    // The first resize of a window comes before the window manager has put its frame round
    // it; once the frame is known (it arrives with a move) the rules see the outer size.
    if (event->type() == QEvent::Move && isVisible() && frameGeometry().size() != rulesOuterSize_)
        applyResizeRulesToOuterSize();
    return QMainWindow::event(event);
}

void MainWindow::runActivation() {
    if (activated_) return;
    activated_ = true;
    mfile_->menuAction()->setVisible(false);
    fj_->menuAction()->setVisible(false);
    emit firstActivated();
}

}  // namespace korvid
