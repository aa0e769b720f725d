#include "ServerWindowTest.h"

#include <QLabel>
#include <QTest>

#include "search/SearchController.h"
#include "ui/MainWindow.h"

namespace korvid::test {

void ServerWindowTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    s_ = std::make_unique<Harness>();
    QVERIFY(s_->start(throughProxy_));
}

void ServerWindowTest::cleanup() {
    s_.reset();
    dir_.reset();
}

QString ServerWindowTest::folder(const QString& sub) const {
    return dir_->path() + QLatin1Char('/') + sub + QLatin1Char('/');
}

search::ResultTable& ServerWindowTest::table() const {
    return s_->search().table();
}

QString ServerWindowTest::progressText() const {
    return s_->window().searchControls().progressLabel->text();
}

}  // namespace korvid::test
