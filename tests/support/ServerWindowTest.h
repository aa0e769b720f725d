#pragma once
// What the window tests against a server share: for every test function a stand-in of its own,
// the main window built straight with the server's credentials (through a proxy the test can
// slow down, when asked), a folder of the test function's own, and the controls they press.

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "Harness.h"

namespace korvid::search {
class ResultTable;
}

namespace korvid::test {

class ServerWindowTest : public QObject {
    Q_OBJECT
protected:
    explicit ServerWindowTest(bool throughProxy = false) : throughProxy_(throughProxy) {}

    // dir/sub/, for files the test makes.
    QString folder(const QString& sub = QStringLiteral("found")) const;
    search::ResultTable& table() const;
    // The progress label's text: progress and totals.
    QString progressText() const;
    std::unique_ptr<Harness> s_;

private slots:
    void init();
    void cleanup();

private:
    bool throughProxy_;
    std::unique_ptr<QTemporaryDir> dir_;
};

}  // namespace korvid::test
