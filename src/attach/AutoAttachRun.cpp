#include "attach/AutoAttachRun.h"

#include <QTimer>
#include <algorithm>

#include "access/FailureText.h"
#include "access/ModalMoments.h"
#include "attach/AttachTexts.h"
#include "attach/OutcomeTexts.h"

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
    // With no row selected the path is empty: it counts as missing and the run goes on.
    currentPath_ = steps_.selectedPath();
    currentGone_ = false;
    try {
        if (index_ >= 0 && steps_.attachedAlready(index_)) {
            // Nothing to do: its mark says that it is attached already.
        } else if (steps_.fileExists(currentPath_)) {
            markCurrent(search::RowMark::Attached, attachedText(steps_.inspectAndAttach(index_)));
        } else {
            markCurrent(search::RowMark::Gone, goneText());
        }
    } catch (const std::exception& e) {
        const FailureText failure = failureText(e);
        markCurrent(search::RowMark::Failed, failedText(failure));
        fail(currentPath_, failure.detail());
        return;
    }
    QTimer::singleShot(0, this, &AutoAttachRun::next);
}

void AutoAttachRun::markCurrent(search::RowMark mark, const QString& text) {
    if (index_ >= 0 && !currentGone_) steps_.mark(index_, mark, text);
}

void AutoAttachRun::rowsRemoved(int first, int last) {
    if (!running_) return;
    const int count = last - first + 1;
    if (index_ >= first && index_ <= last) currentGone_ = true;
    // The next row is the one that moved up into the place of the first removed.
    if (index_ >= first) index_ = std::max(first - 1, index_ - count);
    last_ -= count;
}

void AutoAttachRun::next() {
    // Every input that arrived during the last file is taken before the next file's first
    // statement. While a menu, a box or another operation's statement it opened is open, the run
    // holds still: the person acts on the list as they see it. It goes on when the last of them
    // closes.
    steps_.serveInput();
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
    if (!steps_.selectRow(index_)) {
        fail(steps_.selectedPath(), QStringLiteral("第 %1 行已从列表中清除。").arg(index_ + 1));
        return;
    }
    // The row, its mark and the progress text paint themselves as the run yields; the whole
    // window again for every file cost more than Korvid's other work for it.
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

void AutoAttachRun::fail(const QString& path, const QString& reason) {
    // The failed row stays selected, so that the next run starts from it, also when the person
    // selected another meanwhile.
    if (!currentGone_ && index_ >= 0) steps_.selectRow(index_);
    steps_.message(cannotAttachText(path), MsgIcon::Critical, QString(), reason);
    steps_.restoreTotals();
    steps_.setRunning(false);
    finish(Outcome::Failed);
}

void AutoAttachRun::finish(Outcome outcome) {
    running_ = false;
    emit finished(outcome);
}

}  // namespace korvid::attach
