#include "attach/AttachFailure.h"

#include <QRegularExpression>

#include "attach/AttachTexts.h"

namespace korvid::attach {

namespace {

// The internal version of SQL Server 2005's files: older ones (2000's 539) can no longer be
// upgraded by 2012 and later, which refuse them with 950 naming the version.
constexpr int kSql2005FileVersion = 611;

bool tooOldToUpgrade(const db::DbError& error) {
    static const QRegularExpression version(QStringLiteral("\\((\\d+)\\)"));
    for (const db::ServerMessage& m : error.messages()) {
        if (m.number != 950) continue;
        const QRegularExpressionMatch found = version.match(m.text);
        if (found.hasMatch() && found.captured(1).toInt() < kSql2005FileVersion) return true;
    }
    return false;
}

}  // namespace

QStringList attachFailureNotes(const db::DbError& error, const InspectionRecord& record) {
    QStringList notes;
    const QStringList named = furtherPathsToName(record);
    for (const FurtherFile& f : record.furtherFiles) {
        if (!f.found)
            notes << furtherFileMissingText(f.logicalName, f.path, f.recordedPath);
        else if (!named.contains(f.path))
            notes << furtherFileNotNamedText(f.logicalName, f.recordedPath);
    }
    if (tooOldToUpgrade(error)) notes << upgradeElsewhereText();
    return notes;
}

AttachFailure::AttachFailure(const std::exception& cause, const QStringList& notes)
    : OperationError((QStringList{failureText(cause).detail()} + notes).join(QLatin1Char('\n'))) {}

}  // namespace korvid::attach
