#include "statements/ShrinkFile.h"

#include "Collation.h"
#include "Instance.h"
#include "Messages.h"
#include "Sessions.h"
#include "statements/Dbcc.h"
#include "statements/StatementContext.h"

namespace standin {

Outcome ShrinkFile::run(const DbccStatement& d, StatementContext& c, bool infoMessages) {
    return shrink(d, c, infoMessages, false);
}

Outcome ShrinkFile::runDatabase(const DbccStatement& d, StatementContext& c, bool infoMessages) {
    return shrink(d, c, infoMessages, true);
}

Outcome ShrinkFile::shrink(const DbccStatement& d, StatementContext& c, bool infoMessages,
                           bool wholeDb) {
    if (d.args.empty() || d.args.size() > (wholeDb ? 3u : 2u) ||
        (d.args[0].kind != ArgValue::Kind::Text && d.args[0].kind != ArgValue::Kind::Integer))
        return c.failed(Dbcc::incorrect());
    Database* db = target(d, c, wholeDb);
    if (!db && wholeDb) return c.failed(Messages::noSuchDatabase(c.version(), d.args[0].text));
    if (!db) return c.failed(Messages::noSuchDatabase(c.version(), c.session.database));
    if (db->suspect) return c.failed(Messages::unavailable(c.version(), db->name()));
    std::optional<int64_t> targetMb;
    bool truncate = true;
    if (!options(d, wholeDb, targetMb, truncate)) return c.failed(Dbcc::incorrect());
    ResultSet all;
    for (const ArgValue& f : files(d, *db, wholeDb)) {
        ResultSet rs;
        OpResult r = c.instance.shrinkFile(*db, f, targetMb, truncate, rs);
        if (!r.ok) return c.reply(r);
        if (all.columns.empty()) all.columns = rs.columns;
        for (auto& row : rs.rows) all.rows.push_back(std::move(row));
    }
    return Dbcc::result(std::move(all), infoMessages, c.line);
}

Database* ShrinkFile::target(const DbccStatement& d, StatementContext& c, bool wholeDb) {
    Instance& instance = c.instance;
    if (!wholeDb) return instance.find(c.session.database);
    if (d.args[0].kind != ArgValue::Kind::Integer) return instance.find(d.args[0].text);
    if (d.args[0].number == 0) return instance.find(c.session.database);
    return instance.findById(static_cast<int>(d.args[0].number));
}

bool ShrinkFile::options(const DbccStatement& d, bool wholeDb, std::optional<int64_t>& targetMb,
                         bool& truncate) {
    for (size_t i = 1; i < d.args.size(); ++i) {
        const ArgValue& a = d.args[i];
        if (a.kind == ArgValue::Kind::Integer && i == 1 && a.number >= 0) {
            if (!wholeDb) targetMb = a.number;  // SHRINKDATABASE takes a free-space percent
        } else if (a.kind == ArgValue::Kind::Text && Collation::equal(a.text, "NOTRUNCATE")) {
            truncate = false;
        } else if (a.kind == ArgValue::Kind::Text && (Collation::equal(a.text, "TRUNCATEONLY") ||
                                                      Collation::equal(a.text, "EMPTYFILE"))) {
            targetMb.reset();
        } else {
            return false;
        }
    }
    return true;
}

std::vector<ArgValue> ShrinkFile::files(const DbccStatement& d, Database& db, bool wholeDb) {
    if (!wholeDb) return {d.args[0]};
    std::vector<ArgValue> out;
    for (auto& f : db.files) {
        ArgValue v;
        v.kind = ArgValue::Kind::Integer;
        v.number = f->header().fileId;
        v.text = std::to_string(v.number);
        out.push_back(v);
    }
    return out;
}

}  // namespace standin
