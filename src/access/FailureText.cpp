#include "access/FailureText.h"

#include "access/TlsProbe.h"
#include "db/Connection.h"

namespace korvid {

OperationError::OperationError(const QString& reason)
    : std::runtime_error(reason.toStdString()), reason_(reason) {}

QString FailureText::detail() const {
    return code.isEmpty() ? reason : reason + QLatin1Char('\n') + code;
}

namespace {

// The record that says why. A login into a database that cannot be entered is refused with the
// database's own reason (942 offline, 927 restoring, 924 single user, 945 files) among the
// login's generic 4060 and 18456 and the driver's own records, in whatever order the driver
// gives them; any other failure's reason is its first error.
const db::ServerMessage& reasonOf(const db::DbError& error) {
    // FreeTDS numbers its own messages from 20000 (20002, 20009, ...).
    auto generic = [](int n) {
        return n == 0 || n == 4060 || n == 18456 || (n >= 20000 && n < 21000);
    };
    auto isError = [](const db::ServerMessage& m) {
        return m.severity > 10 || (m.severity == 0 && !m.sqlState.startsWith(QLatin1String("01")));
    };
    if (!generic(error.number())) return error.primary();
    for (const db::ServerMessage& m : error.messages())
        if (isError(m) && !generic(m.number)) return m;
    return error.primary();
}

}  // namespace

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
    if (const auto* db = dynamic_cast<const db::DbError*>(&error)) {
        FailureText out = failureText(reasonOf(*db));
        if (const auto* tls = dynamic_cast<const TlsLoginFailure*>(&error))
            out.reason += QLatin1Char('\n') + tls->why();
        return out;
    }
    if (const auto* own = dynamic_cast<const OperationError*>(&error)) return {own->reason(), {}};
    return {QString::fromUtf8(error.what()), QString()};
}

}  // namespace korvid
