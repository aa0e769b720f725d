#include "access/FailureText.h"

#include "db/Connection.h"

namespace korvid {

OperationError::OperationError(const QString& reason)
    : std::runtime_error(reason.toStdString()), reason_(reason) {}

QString FailureText::detail() const {
    return code.isEmpty() ? reason : reason + QLatin1Char('\n') + code;
}

FailureText failureText(const db::ServerMessage& m) {
    FailureText out{m.text, QString()};
    if (m.number != 0) {
        out.code = QStringLiteral("Msg %1").arg(m.number);
        if (m.severity > 0) out.code += QStringLiteral(", Level %1").arg(m.severity);
        if (m.state > 0) out.code += QStringLiteral(", State %1").arg(m.state);
    } else if (!m.sqlState.isEmpty()) {
        out.code = QStringLiteral("SQLSTATE %1").arg(m.sqlState);
    }
    return out;
}

FailureText failureText(const std::exception& error) {
    if (const auto* db = dynamic_cast<const db::DbError*>(&error))
        return failureText(db->primary());
    if (const auto* own = dynamic_cast<const OperationError*>(&error)) return {own->reason(), {}};
    return {QString::fromUtf8(error.what()), QString()};
}

}  // namespace korvid
