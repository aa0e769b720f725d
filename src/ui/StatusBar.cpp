#include "ui/StatusBar.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <algorithm>

#include "ui/Twips.h"

namespace korvid {

namespace {

// A sunken panel as wide as its twips when there is room, narrower when there is not.
class Panel : public QLabel {
public:
    Panel(const QString& text, int widthTwips, QWidget* parent)
        : QLabel(text, parent), widthTwips_(widthTwips) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override {
        return {twipsToPixels(widthTwips_), QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    int widthTwips_;
};

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setFixedHeight(twipsToPixels(375));
    setSizeGripEnabled(true);

    // The panels sit side by side in one strip of their own: the bar's own spacing between
    // items would leave them too little room at the window's opening width.
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("Panels"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    struct Text {
        const char* name;
        int widthTwips;
        QString text;
    };
    const Text panels[] = {
        {"Panel1", 3400, QStringLiteral("Korvid 数据库文件工具")},
        {"Panel2", 1440, QStringLiteral("作者：Korvid")},
        {"Panel3", 2000, QStringLiteral("korvid.example")},
        {"Panel4", 1440, QString()},
        {"Panel5", 1440, QStringLiteral("地点：本机")},
        {"Panel6", 1440, QStringLiteral("SQL 工具")},
    };
    for (const Text& p : panels) {
        auto* panel = new Panel(p.text, p.widthTwips, strip);
        panel->setObjectName(QString::fromLatin1(p.name));
        row->addWidget(panel);
        if (QLatin1String(p.name) == QLatin1String("Panel4")) datePanel_ = panel;
    }
    row->addStretch(1);
    addWidget(strip, 1);

    // The date stays current across midnight: the timer is set for just past it, and looks
    // at least once a minute in case the clock is changed.
    dateTimer_ = new QTimer(this);
    dateTimer_->setSingleShot(true);
    dateTimer_->setTimerType(Qt::PreciseTimer);
    connect(dateTimer_, &QTimer::timeout, this, &StatusBar::showToday);
    showToday();
}

QString StatusBar::dateText(const QDate& date) {
    return QLocale(QLocale::Chinese, QLocale::China).toString(date, QLocale::ShortFormat);
}

int StatusBar::nextDateCheckMs(const QTime& now) {
    constexpr int kMinute = 60 * 1000;
    constexpr int kPastMidnight = 250;
    const int toMidnight = 24 * 60 * 60 * 1000 - now.msecsSinceStartOfDay();
    return std::min(kMinute, toMidnight + kPastMidnight);
}

void StatusBar::showToday() {
    const QDateTime now = QDateTime::currentDateTime();
    const QString today = dateText(now.date());
    if (datePanel_->text() != today) datePanel_->setText(today);
    dateTimer_->start(nextDateCheckMs(now.time()));
}

}  // namespace korvid
