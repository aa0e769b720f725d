#include "statements/ShrinkFile.h"

#include <algorithm>

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
    std::vector<Message> notes;  // 9008 for a held log, before the rows
    for (const ArgValue& f : files(d, *db, wholeDb)) {
        ResultSet rs;
        OpResult r = shrinkOne(c.instance, *db, f, targetMb, truncate, rs);
        if (!r.ok) return c.reply(r);
        notes.insert(notes.end(), r.messages.begin(), r.messages.end());
        if (all.columns.empty()) all.columns = rs.columns;
        for (auto& row : rs.rows) all.rows.push_back(std::move(row));
    }
    Outcome o;
    if (infoMessages) o.addMessages(notes, c.line);
    Outcome rows = Dbcc::result(std::move(all), infoMessages, c.line);
    o.tokens.insert(o.tokens.end(), rows.tokens.begin(), rows.tokens.end());
    return o;
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

OpResult ShrinkFile::shrinkOne(const Instance& instance, Database& db, const ArgValue& file,
                               std::optional<int64_t> targetMb, bool truncate, ResultSet& out) {
    OpResult r;
    DataFile* primary = db.primary();
    const FileTableEntry* entry = nullptr;
    if (primary) {
        for (const FileTableEntry& e : primary->header().fileTable) {
            const bool match = file.kind == ArgValue::Kind::Integer
                                   ? e.fileId == file.number
                                   : Collation::equal(e.logicalName, file.text);
            if (match) entry = &e;
        }
    }
    DataFile* f = entry ? db.file(entry->fileId) : nullptr;
    if (!f) {
        r.fail(
            Messages::error(8985, 16, 1, "Could not locate file '" + file.text + "' in sysfiles."));
        return r;
    }
    const uint16_t fileId = entry->fileId;
    const ServerOptions& options = instance.options();
    for (const std::string& failing : options.failingShrinks) {
        if (Collation::equal(failing, entry->logicalName)) {
            r.fail(serialized(instance.version()));
            return r;
        }
    }
    for (const std::string& stuck : options.unmovableShrinks) {
        if (Collation::equal(stuck, entry->logicalName)) {
            r.fail(Messages::error(
                3140, 16, 1,
                "Could not adjust the space allocation for file '" + entry->logicalName + "'."));
            return r;
        }
    }
    const uint32_t used = std::max(f->header().usedPages, DataFile::kHeaderPages);
    uint64_t target = used;
    if (targetMb && *targetMb > 0)
        target = std::max<uint64_t>(used, static_cast<uint64_t>(*targetMb) * 128);
    const uint32_t current = f->sizePages();
    std::string err;
    // A held log keeps its size; the server says why, and the row still comes.
    if (truncate && target < current && entry->kind == FileKind::Log && instance.logHeld(db)) {
        r.messages.push_back(logInUse(instance.version(), fileId, entry->logicalName));
    } else if (truncate && target < current) {
        if (!f->truncate(static_cast<uint32_t>(target), err)) {
            r.fail(Messages::createFileError(f->path().string(), err));
            return r;
        }
    }
    for (FileTableEntry& e : primary->header().fileTable) {
        if (e.fileId == fileId) e.sizePages = f->sizePages();
    }
    primary->writeHeader(err);
    out.columns = {
        {"DbId", ColType::SmallInt, 0, false},   {"FileId", ColType::SmallInt, 0, false},
        {"CurrentSize", ColType::Int, 0, false}, {"MinimumSize", ColType::Int, 0, false},
        {"UsedPages", ColType::Int, 0, false},   {"EstimatedPages", ColType::Int, 0, false}};
    out.rows = {{Value::integer(db.entry.dbid), Value::integer(fileId),
                 Value::integer(f->sizePages()), Value::integer(used), Value::integer(used),
                 Value::integer(used)}};
    return r;
}

Message ShrinkFile::logInUse(const ServerVersion& v, uint16_t fileId, const std::string& name) {
    const std::string file = "Cannot shrink log file " + std::to_string(fileId) + " (" + name + ")";
    return Messages::info(9008, v.has(ReleaseRule::Messages2005)
                                    ? file +
                                          " because the logical log file located at the end of "
                                          "the file is in use."
                                    : file + " because all logical log files are in use.");
}

Message ShrinkFile::serialized(const ServerVersion& v) {
    if (v.has(ReleaseRule::Messages2019)) {
        return Messages::error(
            3023, 16, 2,
            "Backup, file manipulation operations (such as ALTER DATABASE ADD FILE) and "
            "encryption changes on a database must be serialized. Reissue the statement after the "
            "current backup or file manipulation operation is completed.");
    }
    if (v.has(ReleaseRule::Messages2005)) {
        return Messages::error(
            3023, 16, 2,
            "Backup and file manipulation operations (such as ALTER DATABASE ADD FILE) on a "
            "database must be serialized. Reissue the statement after the current backup or file "
            "manipulation operation is completed.");
    }
    return Messages::error(
        3023, 16, 2,
        "Backup, CHECKALLOC, bulk copy, SELECT INTO, and file manipulation (such as CREATE FILE) "
        "operations on a database must be serialized. Reissue the statement after the current "
        "backup, CHECKALLOC, or file manipulation operation is completed.");
}

}  // namespace standin
