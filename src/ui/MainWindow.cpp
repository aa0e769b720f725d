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
#include "ui/WindowTexts.h"

namespace korvid {

namespace {

const QColor kLightGrey(0xC0, 0xC0, 0xC0);
const QColor kBlue(0x00, 0x00, 0xFF);

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
      databaseList_(new QuerySource(access, this)) {
    setObjectName(QStringLiteral("form2"));
    setWindowTitle(mainWindowCaption());
    setWindowIcon(mainIcon());
    setFont(songti(9));
    databaseList_->setObjectName(QStringLiteral("Adodc1"));
    databaseList_->setColumnCaption(0, QStringLiteral("数据库名称"));

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

    databaseGrid_ = named(new QTableView(client), "DataGrid1");
    placeTwips(databaseGrid_, 120, 120, 2415, 6255);
    databaseGrid_->setModel(databaseList_->model());
    databaseGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    databaseGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    databaseGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the grid for the next control instead of stepping to another database.
    databaseGrid_->setTabKeyNavigation(false);
    databaseGrid_->verticalHeader()->setVisible(false);
    databaseGrid_->horizontalHeader()->setStretchLastSection(true);
    databaseGrid_->setFont(songti(9));
    // Rows one line of the 9 pt font high with a small margin, so a long list shows many names;
    // never lower than the font's own line, so no name is cut.
    const int rowHeight = std::max(QFontInfo(databaseGrid_->font()).pixelSize() + 4,
                                   databaseGrid_->fontMetrics().height());
    QHeaderView* rows = databaseGrid_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(rowHeight);
    setColour(databaseGrid_, QPalette::Base, QColor(0x00, 0xC0, 0xC0));
    // The grid's current row is the list's current row: mouse and keyboard alike.
    connect(databaseGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                databaseList_->setCurrentRow(current.isValid() ? current.row() : -1);
            });
    connect(databaseList_, &QuerySource::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        if (databaseGrid_->currentIndex().row() != row)
            databaseGrid_->setCurrentIndex(databaseList_->model()->index(row, 0));
        databaseGrid_->selectRow(row);
    });

    buildSearchControls(client);

    progressLabel_ = named(new QLabel(QStringLiteral("搜索结果列表："), client), "Label3");
    placeTwips(progressLabel_, 2640, 2640, kProgressLabelWidthTwips, 180);
    setColour(progressLabel_, QPalette::WindowText, kBlue);
    // Label3 carries the totals and the progress of the search and of auto attach: a new text
    // asks the client area for a layout, and Label3 then takes the width that text needs.
    client->installEventFilter(this);

    resultList_ = named(new QListView(client), "List3");
    placeTwips(resultList_, 2640, 2880, 8775, 4020);
    resultList_->setFont(songti(10.5));
    resultList_->setToolTip(QStringLiteral("双击清除单条列表记录"));
    setColour(resultList_, QPalette::Text, Qt::black);

    resultList_->setCursor(cursor);
    resultList_->viewport()->setCursor(cursor);

    buildHiddenControls(client);
    nameForScreenReaders();

    // Tab order by the forms' tab indexes; the drive list has the focus when the window opens.
    const QList<QWidget*> order = {driveBox_,     patternBox_, resultList_, autoAttachButton_,
                                   searchButton_, exitButton_, folderView_, databaseGrid_};
    for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
    driveBox_->setFocus();
}

void MainWindow::nameForScreenReaders() {
    // Buttons, frames and panels are named by their captions; these have none of their own.
    databaseGrid_->setAccessibleName(QStringLiteral("数据库列表"));
    driveBox_->setAccessibleName(QStringLiteral("磁盘"));
    patternBox_->setAccessibleName(QStringLiteral("文件"));
    patternBox_->setAccessibleDescription(QStringLiteral("要搜索的文件名，可用通配符 * 和 ?"));
    folderView_->setAccessibleName(QStringLiteral("文件夹列表"));
    resultList_->setAccessibleName(QStringLiteral("搜索结果列表"));
    searchButton_->setAccessibleDescription(QStringLiteral("在所选的文件夹及其子文件夹中搜索文件"));
    autoAttachButton_->setAccessibleDescription(
        QStringLiteral("从选中的一行起，把列表中的文件逐个附加到服务器"));
}

void MainWindow::buildSearchControls(QWidget* client) {
    const QCursor cursor = controlCursor();
    searchFrame_ = named(new QGroupBox(QStringLiteral("文件搜索设置"), client), "fm1");
    placeTwips(searchFrame_, 2640, 120, 6375, 2475);
    auto* driveCaption = named(new QLabel(QStringLiteral("磁盘："), searchFrame_), "Label1");
    placeTwips(driveCaption, 240, 300, 540, 180);
    driveBox_ = named(new QComboBox(searchFrame_), "drive");
    placeTwips(driveBox_, 840, 240, 2775, 300);
    auto* patternCaption = named(new QLabel(QStringLiteral("文件："), searchFrame_), "Label2");
    placeTwips(patternCaption, 3840, 300, 540, 180);
    patternBox_ = named(new QLineEdit(QStringLiteral("Text1"), searchFrame_), "Text1");
    placeTwips(patternBox_, 4440, 240, 1815, 315);
    patternBox_->setFont(songti(10.5));
    folderView_ = named(new QListWidget(searchFrame_), "Dir1");
    placeTwips(folderView_, 240, 600, 6015, 1770);
    driveCaption->setBuddy(driveBox_);
    patternCaption->setBuddy(patternBox_);

    commandFrame_ = named(new QGroupBox(QStringLiteral("操作选项"), client), "fm");
    placeTwips(commandFrame_, 9240, 120, 2175, 2475);
    searchButton_ = named(new QPushButton(QStringLiteral("搜索数据"), commandFrame_), "Command1");
    placeTwips(searchButton_, 360, 360, 1455, 315);
    autoAttachButton_ =
        named(new QPushButton(QStringLiteral("自动附加"), commandFrame_), "Command5");
    placeTwips(autoAttachButton_, 360, 1080, 1455, 315);
    exitButton_ = named(new QPushButton(QStringLiteral("退出程序"), commandFrame_), "Command2");
    placeTwips(exitButton_, 360, 1800, 1455, 315);
    connect(exitButton_, &QPushButton::clicked, this, [] { endProgram(); });

    // Frames: blue captions on light grey; what they hold keeps black text.
    for (QGroupBox* frame : {searchFrame_, commandFrame_}) {
        setCaptionOnBorder(frame);
        frame->setAutoFillBackground(true);
        QPalette pal = frame->palette();
        pal.setColor(QPalette::Window, kLightGrey);
        pal.setColor(QPalette::WindowText, kBlue);
        frame->setPalette(pal);
    }
    for (QLabel* label : {driveCaption, patternCaption})
        setColour(label, QPalette::WindowText, Qt::black);
    for (QWidget* w : {static_cast<QWidget*>(driveBox_), static_cast<QWidget*>(patternBox_)}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, kLightGrey);
        pal.setColor(QPalette::Button, kLightGrey);
        pal.setColor(QPalette::Text, Qt::black);
        pal.setColor(QPalette::ButtonText, Qt::black);
        w->setPalette(pal);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{searchButton_, autoAttachButton_, exitButton_, driveBox_})
        w->setCursor(cursor);
    folderView_->setCursor(cursor);
    folderView_->viewport()->setCursor(cursor);
}

void MainWindow::buildHiddenControls(QWidget* client) {
    // The selected database, never shown. The other hidden working values (the inspection
    // record, its source, the shrinks' logical names) are typed members of the attach and
    // maintenance controllers.
    auto* hiddenFrame = named(new QGroupBox(QStringLiteral("分离收缩"), client), "Frame1");
    hiddenFrame->setVisible(false);
    setCaptionOnBorder(hiddenFrame);
    selectedDatabaseBox_ = named(new QLineEdit(hiddenFrame), "Text8");

    // Text8 is bound to the field NAME of the list's current row and follows it.
    connect(databaseList_, &QuerySource::currentRowChanged, this, [this] {
        selectedDatabaseBox_->setText(databaseList_->currentField(QStringLiteral("NAME")));
    });
}

void MainWindow::buildMenus() {
    // Popup menus only: they are never put in a menu bar, and are hidden on activation.
    attachMenu_ = named(new QMenu(QStringLiteral("File"), this), "mfile");
    attachOneAction_ = named(attachMenu_->addAction(QStringLiteral("附加：")), "FjDG");
    attachAllAction_ = named(attachMenu_->addAction(QStringLiteral("附加：全部数据库")), "Fjqb");
    named(attachMenu_->addSeparator(), "GD");
    attachWithoutLogAction_ = named(attachMenu_->addAction(QStringLiteral("无LDF附加：")), "WLDF");

    databaseMenu_ = named(new QMenu(QStringLiteral("FJ"), this), "FJ");
    detachAction_ = named(databaseMenu_->addAction(QStringLiteral("分离：")), "FLSJ");
    named(databaseMenu_->addSeparator(), "G");
    shrinkLogAction_ = named(databaseMenu_->addAction(QStringLiteral("收缩日志")), "SSRZ");
    shrinkDatabaseAction_ = named(databaseMenu_->addAction(QStringLiteral("收缩数据库")), "SSSJK");
}

QString MainWindow::selectedDatabase() const {
    return selectedDatabaseBox_->text();
}

search::SearchControls MainWindow::searchControls() const {
    search::SearchControls c;
    c.window = const_cast<MainWindow*>(this);
    c.searchFrame = searchFrame_;
    c.commandFrame = commandFrame_;
    c.driveBox = driveBox_;
    c.folderView = folderView_;
    c.patternBox = patternBox_;
    c.searchButton = searchButton_;
    c.progressLabel = progressLabel_;
    c.resultList = resultList_;
    c.attachMenu = attachMenu_;
    c.attachOneAction = attachOneAction_;
    c.attachAllAction = attachAllAction_;
    c.attachWithoutLogAction = attachWithoutLogAction_;
    return c;
}

attach::AttachControls MainWindow::attachControls() const {
    attach::AttachControls c;
    c.window = const_cast<MainWindow*>(this);
    c.commandFrame = commandFrame_;
    c.autoAttachButton = autoAttachButton_;
    c.progressLabel = progressLabel_;
    c.attachMenu = attachMenu_;
    c.attachOneAction = attachOneAction_;
    c.attachAllAction = attachAllAction_;
    c.attachWithoutLogAction = attachWithoutLogAction_;
    c.databaseList = databaseList_;
    return c;
}

maintenance::MaintenanceControls MainWindow::maintenanceControls() const {
    maintenance::MaintenanceControls c;
    c.databaseGrid = databaseGrid_;
    c.databaseMenu = databaseMenu_;
    c.detachAction = detachAction_;
    c.shrinkLogAction = shrinkLogAction_;
    c.shrinkDatabaseAction = shrinkDatabaseAction_;
    c.selectedDatabaseBox = selectedDatabaseBox_;
    c.databaseList = databaseList_;
    return c;
}

void MainWindow::loadDatabaseList() {
    // Shape B, with the hidden login boxes read at the moment of every connection.
    databaseList_->setConnectionShape(ConnectionShape::server());
    databaseList_->setRecordSource(databaseListQuery());
    try {
        databaseList_->refresh();
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
    if (listWidth >= 0) resultList_->resize(twipsToPixels(listWidth), resultList_->height());
    const int listHeight = outerHeightTwips - 3700;
    if (listHeight >= 0) resultList_->resize(resultList_->width(), twipsToPixels(listHeight));
    const int gridHeight = outerHeightTwips - 1000;
    if (gridHeight >= 0) databaseGrid_->resize(databaseGrid_->width(), twipsToPixels(gridHeight));
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
    if (event->type() == QEvent::LayoutRequest && progressLabel_ &&
        watched == progressLabel_->parent())
        fitProgressLabel();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::fitProgressLabel() {
    // Left and top stay; the width is never less than the form's own.
    const int width =
        std::max(twipsToPixels(kProgressLabelWidthTwips), progressLabel_->sizeHint().width());
    if (width != progressLabel_->width()) progressLabel_->resize(width, progressLabel_->height());
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
    attachMenu_->menuAction()->setVisible(false);
    databaseMenu_->menuAction()->setVisible(false);
    emit firstActivated();
}

}  // namespace korvid
