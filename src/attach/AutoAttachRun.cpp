#include "attach/AutoAttachRun.h"

#include <QTimer>

#include "access/FailureText.h"
#include "access/ModalMoments.h"
#include "attach/AttachTexts.h"

namespace korvid::attach {

AutoAttachRun::AutoAttachRun(AutoAttachSteps& steps, ModalMoments& moments, QObject* parent)
    : QObject(parent), steps_(steps), moments_(moments) {}

bool AutoAttachRun::start() {
    if (running_) return false;
    running_ = true;
    if (steps_.rowCount() == 0) {
        steps_.message(nothingToAttachText(), MsgIcon::Exclamation, QString(), QString());
        finish(Outcome::NothingToAttach);
        return true;
    }
    try {
        // The target folder is fixed; asking again would only repeat the message, so the run
        // ends here with nothing attached.
        if (!steps_.prepareTarget()) {
            steps_.message(invalidTargetText(), MsgIcon::Critical, QString(), QString());
            finish(Outcome::InvalidTarget);
            return true;
        }
        steps_.setRunning(true);
        last_ = steps_.rowCount() - 1;
        index_ = steps_.selectedIndex();
        if (!steps_.selectRow(index_))
            throw OperationError(QStringLiteral("选中的行已从列表中清除。"));
        steps_.repaint();
    } catch (const std::exception& e) {
        steps_.message(targetNotWritableText(), MsgIcon::Critical, QString(),
                       failureText(e).detail());
        steps_.restoreTotals();
        steps_.setRunning(false);
        finish(Outcome::PreparationFailed);
        return true;
    }
    processSelected();
    return true;
}

void AutoAttachRun::processSelected() {
    try {
        // With no row selected the path is empty: it counts as missing and the run goes on.
        const QString path = steps_.selectedPath();
        if (steps_.fileExists(path)) steps_.inspectAndAttach();
    } catch (const std::exception& e) {
        fail(failureText(e).detail());
        return;
    }
    QTimer::singleShot(0, this, &AutoAttachRun::next);
}

void AutoAttachRun::next() {
    // While a menu, a box or another operation's statement is open, the run holds still: the
    // person acts on the list as they see it. It goes on when the last of them closes.
    if (moments_.isOpen()) {
        if (!waiting_) {
            waiting_ = true;
            connect(
                &moments_, &ModalMoments::allClosed, this,
                [this] {
                    waiting_ = false;
                    next();
                },
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        }
        return;
    }
    ++index_;
    if (index_ > last_) {
        complete();
        return;
    }
    // Rows removed during the run shorten the table below the last index fixed at the start.
    if (!steps_.selectRow(index_)) {
        fail(QStringLiteral("第 %1 行已从列表中清除。").arg(index_ + 1));
        return;
    }
    steps_.repaint();
    processSelected();
}

void AutoAttachRun::complete() {
    steps_.restoreTotals();
    if (steps_.rowCount() > 0) steps_.selectRow(0);
    steps_.setRunning(false);
    steps_.message(allAttachedText(), MsgIcon::Information, QString::fromUtf16(kAllAttachedTitle),
                   QString());
    finish(Outcome::Completed);
}

void AutoAttachRun::fail(const QString& reason) {
    steps_.message(cannotAttachText(steps_.selectedPath()), MsgIcon::Critical, QString(), reason);
    steps_.restoreTotals();
    steps_.setRunning(false);
    finish(Outcome::Failed);
}

void AutoAttachRun::finish(Outcome outcome) {
    running_ = false;
    emit finished(outcome);
}

}  // namespace korvid::attach
