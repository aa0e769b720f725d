// The run's policy over a table of rows: where it starts, what it skips, where it stops, what
// each row is marked with, and what the window shows at every ending.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QStringList>

#include "access/ModalMoments.h"
#include "attach/AutoAttachRun.h"
#include "db/Connection.h"

using namespace korvid;
using namespace korvid::attach;
using Outcome = AutoAttachRun::Outcome;

namespace {

struct FakeWindow : AutoAttachSteps {
    QStringList rows;
    QStringList missing;
    QStringList failing;
    QStringList attachedBefore;
    QMap<QString, search::RowMark> marks;  // by path
    AutoAttachRun* run = nullptr;
    int selected = -1;
    bool targetOk = true;
    bool running = false;
    bool frameHiddenEver = false;
    bool totalsShown = false;
    QStringList attached;
    QList<MessageRecord> messages;
    std::function<void()> onAttach;

    int rowCount() const override { return int(rows.size()); }
    int selectedIndex() const override { return selected; }
    bool selectRow(int index) override {
        if (index < -1 || index >= rows.size()) return false;
        selected = index;
        return true;
    }
    QString selectedPath() const override { return selected < 0 ? QString() : rows[selected]; }
    bool fileExists(const QString& path) const override {
        return !path.isEmpty() && !missing.contains(path);
    }
    bool attachedAlready(int row) const override { return attachedBefore.contains(rows[row]); }
    bool prepareTarget() override { return targetOk; }
    QString inspectAndAttach(int row) override {
        EXPECT_EQ(row, selected);
        const QString path = selectedPath();
        totalsShown = false;
        if (onAttach) onAttach();
        if (failing.contains(path)) throw std::runtime_error("Database 'x' already exists.");
        attached << path;
        return path.mid(3, 3);
    }
    void mark(int row, search::RowMark mark, const QString&) override { marks[rows[row]] = mark; }
    void serveInput() override {}
    void setRunning(bool r) override {
        running = r;
        frameHiddenEver |= r;
    }
    void restoreTotals() override { totalsShown = true; }
    void repaint() override {}
    void message(const QString& text, MsgIcon icon, const QString& title,
                 const QString& detail) override {
        messages.append({text, icon, title, detail});
    }
};

QStringList paths(int n) {
    QStringList out;
    for (int i = 1; i <= n; ++i) out << QStringLiteral("/d/DB%1.MDF").arg(i);
    return out;
}

Outcome runToEnd(FakeWindow& w) {
    ModalMoments moments;
    AutoAttachRun run(w, moments);
    w.run = &run;
    Outcome outcome{};
    bool done = false;
    QObject::connect(&run, &AutoAttachRun::finished, [&](Outcome o) {
        outcome = o;
        done = true;
    });
    EXPECT_TRUE(run.start());
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_TRUE(done);
    EXPECT_FALSE(w.running) << "the buttons must be shown again at every ending";
    return outcome;
}

}  // namespace

TEST(AutoAttachRun, RunsFromTheSelectedRowToTheLastAndEndsOnRowZero) {
    FakeWindow w;
    w.rows = paths(10);
    w.selected = 3;
    w.missing = {"/d/DB6.MDF"};         // deleted after the search
    w.attachedBefore = {"/d/DB8.MDF"};  // passed like a file that has gone, without a box
    EXPECT_EQ(runToEnd(w), Outcome::Completed);
    EXPECT_EQ(w.attached,
              QStringList({"/d/DB4.MDF", "/d/DB5.MDF", "/d/DB7.MDF", "/d/DB9.MDF", "/d/DB10.MDF"}));
    using search::RowMark;
    EXPECT_EQ(w.marks, (QMap<QString, RowMark>{{"/d/DB4.MDF", RowMark::Attached},
                                               {"/d/DB5.MDF", RowMark::Attached},
                                               {"/d/DB6.MDF", RowMark::Gone},
                                               {"/d/DB7.MDF", RowMark::Attached},
                                               {"/d/DB9.MDF", RowMark::Attached},
                                               {"/d/DB10.MDF", RowMark::Attached}}));
    EXPECT_EQ(w.selected, 0);
    EXPECT_TRUE(w.totalsShown);
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_EQ(w.messages[0].text, QStringLiteral("全部附加完成！"));
    EXPECT_EQ(w.messages[0].title, QStringLiteral("附加完成"));
    EXPECT_EQ(w.messages[0].icon, MsgIcon::Information);
}

TEST(AutoAttachRun, StopsAtTheFirstFailureNamingItsPathWithTheReason) {
    FakeWindow w;
    w.rows = paths(5);
    w.selected = 0;
    w.failing = {"/d/DB3.MDF"};
    EXPECT_EQ(runToEnd(w), Outcome::Failed);
    EXPECT_EQ(w.attached, QStringList({"/d/DB1.MDF", "/d/DB2.MDF"}));
    EXPECT_EQ(w.selected, 2) << "the failed row stays selected for the next run";
    EXPECT_EQ(w.marks.value("/d/DB3.MDF"), search::RowMark::Failed);
    EXPECT_TRUE(w.totalsShown);
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_TRUE(w.messages[0].text.contains(QStringLiteral("无法附加：/d/DB3.MDF  ")));
    EXPECT_EQ(w.messages[0].detail, QStringLiteral("Database 'x' already exists."));
    EXPECT_EQ(w.messages[0].icon, MsgIcon::Critical);
}

TEST(AutoAttachRun, NoSelectionStartsFromRowZero) {
    FakeWindow w;
    w.rows = paths(3);
    EXPECT_EQ(runToEnd(w), Outcome::Completed);
    EXPECT_EQ(w.attached, paths(3));
}

TEST(AutoAttachRun, NothingToDoAndNoTargetEndWithOneMessageAndNothingAttached) {
    FakeWindow empty;
    EXPECT_EQ(runToEnd(empty), Outcome::NothingToAttach);
    ASSERT_EQ(empty.messages.size(), 1);
    EXPECT_EQ(empty.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(empty.frameHiddenEver);

    FakeWindow noTarget;
    noTarget.rows = paths(2);
    noTarget.targetOk = false;
    EXPECT_EQ(runToEnd(noTarget), Outcome::InvalidTarget);
    EXPECT_EQ(noTarget.messages.size(), 1);
    EXPECT_TRUE(noTarget.messages[0].text.contains(QStringLiteral("非法路径！")));
    EXPECT_TRUE(noTarget.attached.isEmpty());
    EXPECT_FALSE(noTarget.frameHiddenEver);
}

TEST(AutoAttachRun, RowsRemovedDuringTheRunLeaveTheRestToAttach) {
    FakeWindow w;
    w.rows = paths(6);
    w.selected = 1;
    // While DB3 is being attached the person double-clicks DB1 (above), DB3 itself and DB6.
    w.onAttach = [&] {
        if (w.selectedPath() != QLatin1String("/d/DB3.MDF")) return;
        for (const char* gone : {"/d/DB1.MDF", "/d/DB3.MDF", "/d/DB6.MDF"}) {
            const int row = int(w.rows.indexOf(QString::fromLatin1(gone)));
            w.run->rowsRemoved(row, row);
            w.rows.removeAt(row);
        }
        w.selected = -1;
    };
    EXPECT_EQ(runToEnd(w), Outcome::Completed);
    EXPECT_EQ(w.attached, QStringList({"/d/DB2.MDF", "/d/DB3.MDF", "/d/DB4.MDF", "/d/DB5.MDF"}));
    EXPECT_FALSE(w.marks.contains("/d/DB3.MDF")) << "its row went: nothing to mark";
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_EQ(w.messages[0].text, QStringLiteral("全部附加完成！"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
