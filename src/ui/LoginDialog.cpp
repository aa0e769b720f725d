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

#include "access/FailureText.h"
#include "access/Prompts.h"
#include "ui/AppInfo.h"
#include "ui/Artwork.h"
#include "ui/Fonts.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

namespace korvid {

namespace {

const char* const kProbe = "SELECT * FROM sysdatabases WHERE (name >= N'u')";

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

LoginDialog::LoginDialog(Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts), access_(*this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("登陆"));
    setWindowIcon(loginIcon());
    setFont(songti(9));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(twipsSize(5460, 3225));

    // Picture1 covers the whole client area and holds every other control.
    picture1_ = new QLabel(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture1_->setPixmap(loginBanner());
    placeTwips(picture1_, 0, 0, 6495, 4095);

    // The version keeps a label's default colours: no box of its own over the banner.
    QLabel* label2 = makeLabel(picture1_, "Label2", versionLabel());
    placeTwips(label2, 4920, 240, 360, 180);

    buildCredentialBoxes();

    command1_ = new QPushButton(QStringLiteral("确定"), picture1_);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 2640, 2400, 975, 375);
    command1_->setDefault(true);  // Enter in either box logs in
    command1_->setAutoDefault(true);

    command2_ = new QPushButton(QStringLiteral("退出"), picture1_);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 3960, 2400, 975, 375);
    command2_->setAutoDefault(true);  // Enter on the focused 退出 presses 退出, as buttons do

    probeRows_ = new QStandardItemModel(this);
    probeGrid_ = new QTableView(picture1_);
    probeGrid_->setObjectName(QStringLiteral("DataGrid1"));
    placeTwips(probeGrid_, 600, 2760, 135, 135);
    probeGrid_->setModel(probeRows_);
    probeGrid_->setFocusPolicy(Qt::NoFocus);
    probeGrid_->setVisible(false);

    setTabOrder(fwq_, mm_);
    setTabOrder(mm_, command1_);
    setTabOrder(command1_, command2_);

    connect(command1_, &QPushButton::clicked, this, &LoginDialog::attemptLogin);
    connect(command2_, &QPushButton::clicked, this, [] { endProgram(); });

    // Opened centred, with the focus (and the whole text) in the server box.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    fwq_->setFocus();
    fwq_->selectAll();
}

LoginDialog::~LoginDialog() = default;

// The two credential boxes and their captions.
void LoginDialog::buildCredentialBoxes() {
    QLabel* label1 = makeLabel(picture1_, "Label1", QStringLiteral("服务器："));
    placeTwips(label1, 2400, 870, 720, 180);
    QLabel* label3 = makeLabel(picture1_, "Label3", QStringLiteral("SA密码："));
    placeTwips(label3, 2400, 1590, 720, 180);
    for (QLabel* label : {label1, label3}) {
        // The window background and window text colours of the system.
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::Base));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
        label->setPalette(pal);
        label->setAutoFillBackground(true);
    }

    fwq_ = new QLineEdit(QStringLiteral("(local)"), picture1_);
    fwq_->setObjectName(QStringLiteral("fwq"));
    placeTwips(fwq_, 3120, 840, 1935, 270);

    mm_ = new QLineEdit(picture1_);
    mm_->setObjectName(QStringLiteral("mm"));
    mm_->setEchoMode(QLineEdit::Password);
    mm_->setStyleSheet(QStringLiteral("QLineEdit#mm { lineedit-password-character: 42; }"));
    placeTwips(mm_, 3120, 1560, 1935, 270);
    for (QLineEdit* box : {fwq_, mm_}) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, Qt::white);
        box->setPalette(pal);
        box->installEventFilter(this);
    }

    // A screen reader names the boxes; each caption points at its box.
    label1->setBuddy(fwq_);
    label3->setBuddy(mm_);
    fwq_->setAccessibleName(QStringLiteral("服务器"));
    fwq_->setAccessibleDescription(QStringLiteral("要登录的 SQL Server 服务器名称"));
    mm_->setAccessibleName(QStringLiteral("SA密码"));
    mm_->setAccessibleDescription(QStringLiteral("sa 登录的密码"));
}

QString LoginDialog::serverName() const {
    return fwq_->text();
}
QString LoginDialog::password() const {
    return mm_->text();
}

void LoginDialog::attemptLogin() {
    if (loggedIn_) return;  // logged in already: the dialog is hidden for good
    try {
        // A new connection and result for each attempt; kept only when the login succeeds.
        db::BatchResult probe;
        db::Connection connection = access_.login(QString::fromUtf8(kProbe), &probe);
        probeRows_->clear();
        if (!probe.resultSets.isEmpty()) {
            const db::ResultSet& set = probe.resultSets.first();
            probeRows_->setHorizontalHeaderLabels(set.columns);
            for (const QStringList& row : set.rows) {
                QList<QStandardItem*> items;
                for (const QString& cell : row) items.append(new QStandardItem(cell));
                probeRows_->appendRow(items);
            }
        }
        probeConnection_ = std::move(connection);
    } catch (const std::exception& error) {
        prompts_.message(QStringLiteral("数据库连接失败，请检查登陆信息！"), MsgIcon::Critical,
                         QStringLiteral("错误提示:"), failureText(error).reason);
        return;
    }

    loggedIn_ = true;
    hide();
    emit loggedIn();
}

void LoginDialog::closeEvent(QCloseEvent* event) {
    endProgram();
    event->accept();
}

void LoginDialog::reject() {}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == fwq_ || watched == mm_)) {
        // Queued, so that a mouse click placing the caret does not undo the selection.
        auto* box = static_cast<QLineEdit*>(watched);
        QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace korvid
