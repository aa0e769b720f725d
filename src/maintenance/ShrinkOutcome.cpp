#include "maintenance/ShrinkOutcome.h"

#include <QRegularExpression>

#include "access/FailureText.h"
#include "maintenance/MaintenanceTexts.h"

namespace korvid::maintenance {

namespace {

// DBCC's "DBCC execution completed. ..." says nothing about the file.
constexpr int kDbccDone = 2528;

std::optional<qint64> number(const QString& cell) {
    bool ok = false;
    const qint64 value = cell.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

}  // namespace

std::optional<qint64> sizeBeforeShrink(const db::BatchResult& lookup) {
    if (lookup.resultSets.size() < 2 || lookup.resultSets[1].rows.isEmpty()) return std::nullopt;
    return number(lookup.resultSets[1].rows.first().value(0));
}

std::optional<qint64> sizeAfterShrink(const db::BatchResult& batch, int fileId) {
    for (const db::ResultSet& rs : batch.resultSets) {
        const qsizetype fileColumn = rs.columns.indexOf(QStringLiteral("FileId"));
        const qsizetype sizeColumn = rs.columns.indexOf(QStringLiteral("CurrentSize"));
        if (fileColumn < 0 || sizeColumn < 0) continue;
        for (const QStringList& row : rs.rows) {
            if (number(row.value(fileColumn)) == fileId) return number(row.value(sizeColumn));
        }
    }
    return std::nullopt;
}

QString notShrunkDetail(const db::BatchResult& batch, qint64 pages) {
    QStringList lines;
    for (const db::ServerMessage& m : batch.infos) {
        if (m.number != kDbccDone) lines << failureText(m).detail();
    }
    lines << notShrunkSizeText(pages);
    return lines.join(QLatin1Char('\n'));
}

db::DbError reraisedError(const db::DbError& error) {
    static const QRegularExpression prefix(
        QStringLiteral("^Msg (\\d+), Level (\\d+), State (\\d+): "));
    const QRegularExpressionMatch m = prefix.match(error.primary().text);
    if (error.number() != 50000 || !m.hasMatch()) return error;
    db::ServerMessage original = error.primary();
    original.number = m.captured(1).toInt();
    original.severity = m.captured(2).toInt();
    original.state = m.captured(3).toInt();
    original.text = error.primary().text.mid(m.capturedLength());
    QList<db::ServerMessage> all = error.messages();
    for (db::ServerMessage& each : all) {
        if (each.number == 50000 && each.text == error.primary().text) each = original;
    }
    return db::DbError(original, all);
}

}  // namespace korvid::maintenance
