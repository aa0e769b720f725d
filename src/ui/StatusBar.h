#pragma once
// StatusBar1: six panels along the bottom edge of the main window. Each keeps its width in
// twips while the window has room and gives way when it has not, so the bar never holds the
// window wider than the person makes it. Panel 4 shows today's date and keeps it current.

#include <QStatusBar>

class QDate;
class QLabel;
class QTime;
class QTimer;

namespace korvid {

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Today's date as panel 4 shows it: the Chinese short date, whatever the system's locale.
    static QString dateText(const QDate& date);

    // How long the date waits before it looks at the clock again: a minute at most, and just
    // past the coming midnight when that is sooner.
    static int nextDateCheckMs(const QTime& now);

private:
    void showToday();

    QLabel* datePanel_ = nullptr;
    QTimer* dateTimer_ = nullptr;
};

}  // namespace korvid
