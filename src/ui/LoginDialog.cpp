#include "ui/LoginDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>

#include "ui/AppInfo.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

namespace korvid {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

LoginDialog::LoginDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("登陆"));
    setWindowIcon(loginIcon());
    setFont(songti(9));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(twipsSize(5460, 3225));

    // Picture1 covers the whole client area and holds every other control.
    banner_ = new QLabel(this);
    banner_->setObjectName(QStringLiteral("Picture1"));
    banner_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner_->setPixmap(loginBanner());
    placeTwips(banner_, 0, 0, 6495, 4095);

    // The version keeps a label's default colours: no box of its own over the banner.
    QLabel* version = makeLabel(banner_, "Label2", versionLabel());
    placeTwips(version, 4920, 240, 360, 180);

    buildCredentialBoxes();

    loginButton_ = new QPushButton(QStringLiteral("确定"), banner_);
    loginButton_->setObjectName(QStringLiteral("Command1"));
    placeTwips(loginButton_, 2640, 2400, 975, 375);
    loginButton_->setDefault(true);  // Enter in either box logs in
    loginButton_->setAutoDefault(true);

    exitButton_ = new QPushButton(QStringLiteral("退出"), banner_);
    exitButton_->setObjectName(QStringLiteral("Command2"));
    placeTwips(exitButton_, 3960, 2400, 975, 375);
    exitButton_->setAutoDefault(true);  // Enter on the focused 退出 presses 退出, as buttons do

    probeRows_ = new QStandardItemModel(this);
    probeGrid_ = new QTableView(banner_);
    probeGrid_->setObjectName(QStringLiteral("DataGrid1"));
    placeTwips(probeGrid_, 600, 2760, 135, 135);
    probeGrid_->setModel(probeRows_);
    probeGrid_->setFocusPolicy(Qt::NoFocus);
    probeGrid_->setVisible(false);

    setTabOrder(serverBox_, passwordBox_);
    setTabOrder(passwordBox_, loginButton_);
    setTabOrder(loginButton_, exitButton_);

    connect(loginButton_, &QPushButton::clicked, this, &LoginDialog::loginRequested);
    connect(exitButton_, &QPushButton::clicked, this, [] { endProgram(); });

    // Opened centred, with the focus (and the whole text) in the server box.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    serverBox_->setFocus();
    serverBox_->selectAll();
}

LoginDialog::~LoginDialog() = default;

// The two credential boxes and their captions.
void LoginDialog::buildCredentialBoxes() {
    QLabel* serverCaption = makeLabel(banner_, "Label1", QStringLiteral("服务器："));
    placeTwips(serverCaption, 2400, 870, 720, 180);
    QLabel* passwordCaption = makeLabel(banner_, "Label3", QStringLiteral("SA密码："));
    placeTwips(passwordCaption, 2400, 1590, 720, 180);
    for (QLabel* label : {serverCaption, passwordCaption}) {
        // The window background and window text colours of the system.
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Base));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
        label->setPalette(pal);
        label->setAutoFillBackground(true);
    }

    serverBox_ = new QLineEdit(QStringLiteral("(local)"), banner_);
    serverBox_->setObjectName(QStringLiteral("fwq"));
    placeTwips(serverBox_, 3120, 840, 1935, 270);

    passwordBox_ = new QLineEdit(banner_);
    passwordBox_->setObjectName(QStringLiteral("mm"));
    passwordBox_->setEchoMode(QLineEdit::Password);
    passwordBox_->setStyleSheet(
        QStringLiteral("QLineEdit#mm { lineedit-password-character: 42; }"));
    placeTwips(passwordBox_, 3120, 1560, 1935, 270);
    for (QLineEdit* box : {serverBox_, passwordBox_}) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, Qt::white);
        box->setPalette(pal);
        box->installEventFilter(this);
    }

    // A screen reader names the boxes; each caption points at its box.
    serverCaption->setBuddy(serverBox_);
    passwordCaption->setBuddy(passwordBox_);
    serverBox_->setAccessibleName(QStringLiteral("服务器"));
    serverBox_->setAccessibleDescription(QStringLiteral("要登录的 SQL Server 服务器名称"));
    passwordBox_->setAccessibleName(QStringLiteral("SA密码"));
    passwordBox_->setAccessibleDescription(QStringLiteral("sa 登录的密码"));
}

QString LoginDialog::serverName() const {
    return serverBox_->text();
}
QString LoginDialog::password() const {
    return passwordBox_->text();
}

LoginControls LoginDialog::controls() const {
    return {serverBox_, passwordBox_, loginButton_, exitButton_};
}

void LoginDialog::holdProbeRows(const db::ResultSet& rows) {
    probeRows_->clear();
    probeRows_->setHorizontalHeaderLabels(rows.columns);
    for (const QStringList& row : rows.rows) {
        QList<QStandardItem*> items;
        for (const QString& cell : row) items.append(new QStandardItem(cell));
        probeRows_->appendRow(items);
    }
}

void LoginDialog::closeEvent(QCloseEvent* event) {
    endProgram();
    event->accept();
}

void LoginDialog::reject() {}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == serverBox_ || watched == passwordBox_)) {
        // Queued, so that a mouse click placing the caret does not undo the selection.
        auto* box = static_cast<QLineEdit*>(watched);
        QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace korvid
