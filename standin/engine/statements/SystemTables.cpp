#include "statements/SystemTables.h"

#include <algorithm>

#include "Collation.h"
#include "FilePaths.h"
#include "Instance.h"
#include "Messages.h"

namespace standin {

namespace {

std::vector<const Database*> byDbid(const Instance& instance) {
    std::vector<const Database*> sorted;
    for (const auto& d : instance.databases()) sorted.push_back(d.get());
    std::sort(sorted.begin(), sorted.end(),
              [](const Database* a, const Database* b) { return a->entry.dbid < b->entry.dbid; });
    return sorted;
}

}  // namespace

std::optional<ResultSet> SystemTables::find(const Instance& instance, const ObjectName& o,
                                            const std::string& currentDatabase, Message& err) {
    const std::string dbName = o.database.empty() ? currentDatabase : o.database;
    const bool ownerOk = o.owner.empty() || Collation::equal(o.owner, "dbo");
    const Database* d = instance.find(dbName);
    if (d && Collation::equal(o.owner, "sys") && Collation::equal(o.object, "master_files") &&
        instance.version().has(ReleaseRule::CatalogViews))
        return masterFiles(instance);
    if (ownerOk && d) {
        const bool inMaster = d->entry.dbid == 1;
        if (inMaster && Collation::equal(o.object, "sysdatabases")) return sysdatabases(instance);
        if (inMaster && Collation::equal(o.object, "sysaltfiles")) return sysaltfiles(instance);
        if (Collation::equal(o.object, "sysfiles")) {
            if (auto why = instance.entryRefusal(*d, false)) {
                err = *why;
                return std::nullopt;
            }
            return sysfiles(instance, *d);
        }
    }
    err = Messages::error(208, 16, 1, "Invalid object name '" + o.written + "'.");
    return std::nullopt;
}

int32_t SystemTables::fileStatus(const FileTableEntry& e, bool withGrowthBit) {
    int32_t s = e.kind == FileKind::Log ? 0x42 : 0x2;
    if (withGrowthBit && e.growthPercent) s |= 0x100000;
    return s;
}

ResultSet SystemTables::sysdatabases(const Instance& instance) {
    ResultSet t;
    t.columns = {
        {"name", ColType::NVarChar, 128, false},    {"dbid", ColType::SmallInt, 0, false},
        {"sid", ColType::VarBinary, 85, true},      {"mode", ColType::SmallInt, 0, false},
        {"status", ColType::Int, 0, false},         {"status2", ColType::Int, 0, false},
        {"crdate", ColType::DateTime, 0, false},    {"reserved", ColType::DateTime, 0, false},
        {"category", ColType::Int, 0, false},       {"cmptlevel", ColType::TinyInt, 0, false},
        {"filename", ColType::NVarChar, 260, true}, {"version", ColType::SmallIntN, 0, true},
    };
    const std::vector<const Database*> sorted = byDbid(instance);
    const ServerVersion& v = instance.version();
    for (const Database* d : sorted) {
        // 16 torn page detection (not on tempdb); the recovery model shows as 8 "trunc. log on
        // chkpt." (SIMPLE) or 4 "select into/bulkcopy" (BULK_LOGGED), as SQL Server 2000 has it.
        int status = d->entry.dbid == 2 ? 0 : 16;
        const RecoveryModel model = instance.recoveryOf(*d);
        if (model == RecoveryModel::Simple) status |= 8;
        if (model == RecoveryModel::BulkLogged) status |= 4;
        // 256 not recovered, 512 offline, 32 loading (restoring), 4096 single user.
        if (d->suspect) status |= 256;
        if (d->offline) status |= 512;
        if (d->restoring) status |= 32;
        if (d->singleUser) status |= 4096;
        const uint32_t fileVersion =
            d->files.empty() ? v.databaseVersion()
                             : std::max<uint32_t>(d->files.front()->header().version, 539);
        t.rows.push_back({Value::str(d->entry.name), Value::integer(d->entry.dbid),
                          Value::bytes(std::string(1, '\x01')), Value::integer(0),
                          Value::integer(status), Value::integer(1090519040),
                          Value::dateTime(d->entry.createdDays, d->entry.createdTicks),
                          Value::dateTime(0, 0), Value::integer(0),
                          Value::integer(v.compatibilityLevel()), Value::str(d->entry.primaryPath),
                          Value::integer(fileVersion)});
    }
    return t;
}

ResultSet SystemTables::fileRows(const Instance& instance, const Database& db, bool withDbid) {
    ResultSet t;
    t.columns = {{"fileid", ColType::SmallInt, 0, false}, {"groupid", ColType::SmallInt, 0, false},
                 {"size", ColType::Int, 0, false},        {"maxsize", ColType::Int, 0, false},
                 {"growth", ColType::Int, 0, false},      {"status", ColType::Int, 0, false},
                 {"perf", ColType::Int, 0, false}};
    if (withDbid) t.columns.push_back({"dbid", ColType::SmallInt, 0, false});
    const ColType text =
        instance.version().has(ReleaseRule::SysfilesNVarChar) ? ColType::NVarChar : ColType::NChar;
    t.columns.push_back({"name", text, 128, false});
    t.columns.push_back({"filename", text, 260, false});
    const DataFile* primary = db.primary();
    if (!primary) return t;
    for (const FileTableEntry& e : primary->header().fileTable) {
        const DataFile* f = db.file(e.fileId);
        std::vector<Value> row = {Value::integer(e.fileId),
                                  Value::integer(e.groupId),
                                  Value::integer(f ? f->sizePages() : e.sizePages),
                                  Value::integer(e.maxSizePages),
                                  Value::integer(e.growth),
                                  Value::integer(fileStatus(e, true)),
                                  Value::integer(0)};
        if (withDbid) row.push_back(Value::integer(db.entry.dbid));
        row.push_back(Value::str(FilePaths::fit(e.logicalName, FilePaths::kMaxNameChars)));
        row.push_back(Value::str(FilePaths::fit(e.physicalPath, FilePaths::kMaxPathChars)));
        t.rows.push_back(std::move(row));
    }
    return t;
}

ResultSet SystemTables::sysfiles(const Instance& instance, const Database& db) {
    return fileRows(instance, db, false);
}

ResultSet SystemTables::sysaltfiles(const Instance& instance) {
    ResultSet all;
    for (const auto& d : instance.databases()) {
        ResultSet part = fileRows(instance, *d, true);
        if (all.columns.empty()) all.columns = part.columns;
        for (auto& row : part.rows) all.rows.push_back(std::move(row));
    }
    return all;
}

ResultSet SystemTables::masterFiles(const Instance& instance) {
    ResultSet t;
    t.columns = {
        {"database_id", ColType::Int, 0, false},
        {"file_id", ColType::Int, 0, false},
        {"type", ColType::TinyInt, 0, false},
        {"type_desc", ColType::NVarChar, 60, true},
        {"data_space_id", ColType::Int, 0, false},
        {"name", ColType::NVarChar, 128, false},
        {"physical_name", ColType::NVarChar, 260, false},
        {"state", ColType::TinyInt, 0, true},
        {"state_desc", ColType::NVarChar, 60, true},
        {"size", ColType::Int, 0, false},
        {"max_size", ColType::Int, 0, false},
        {"growth", ColType::Int, 0, false},
    };
    const std::vector<const Database*> sorted = byDbid(instance);
    for (const Database* db : sorted) {
        const DataFile* primary = db->primary();
        if (!primary) continue;
        for (const FileTableEntry& e : primary->header().fileTable) {
            const DataFile* f = db->file(e.fileId);
            const bool log = e.kind == FileKind::Log;
            t.rows.push_back({Value::integer(db->entry.dbid), Value::integer(e.fileId),
                              Value::integer(log ? 1 : 0), Value::str(log ? "LOG" : "ROWS"),
                              Value::integer(log ? 0 : e.groupId),
                              Value::str(FilePaths::fit(e.logicalName, FilePaths::kMaxNameChars)),
                              Value::str(FilePaths::fit(e.physicalPath, FilePaths::kMaxPathChars)),
                              Value::integer(db->suspect ? 3 : 0),
                              Value::str(db->suspect ? "RECOVERY_PENDING" : "ONLINE"),
                              Value::integer(f ? f->sizePages() : e.sizePages),
                              Value::integer(e.maxSizePages), Value::integer(e.growth)});
        }
    }
    return t;
}

}  // namespace standin
