#include "statements/CheckPrimaryFile.h"

#include <algorithm>

#include "FilePaths.h"
#include "Instance.h"
#include "Messages.h"
#include "statements/Dbcc.h"
#include "statements/StatementContext.h"
#include "statements/SystemTables.h"

namespace standin {

Outcome CheckPrimaryFile::run(const DbccStatement& d, StatementContext& c, bool infoMessages) {
    if (d.args.size() != 2 || d.args[0].kind != ArgValue::Kind::Text ||
        d.args[1].kind != ArgValue::Kind::Integer || d.args[1].number < 0 || d.args[1].number > 3)
        return c.failed(Dbcc::incorrect());
    ResultSet rs;
    OpResult r = inspect(c.instance, d.args[0].text, d.args[1].number, rs);
    if (!r.ok) return c.reply(r);
    return Dbcc::result(std::move(rs), infoMessages, c.line);
}

OpResult CheckPrimaryFile::inspect(const Instance& instance, const std::string& rawPath,
                                   int64_t option, ResultSet& out) {
    OpResult r;
    const std::string path = FilePaths::clean(rawPath, instance.options().windowsDrives);
    DataFile::Inspection ins;
    const bool absolute = FilePaths::isAbsolute(path);
    if (absolute) ins = instance.files().inspect(path);
    const bool isPrimary =
        ins.status == DataFile::Status::Ok && ins.header.kind == FileKind::Primary;
    if (ins.status == DataFile::Status::Missing || ins.status == DataFile::Status::Unreadable ||
        ins.status == DataFile::Status::InUse) {
        const int windowsError = absolute ? FileAccess::windowsError(path, ins.status) : 2;
        r.fail(Messages::cannotOpen(instance.version(), path, windowsError));
        return r;
    }
    if (option == 0) {
        out.columns = {{"IsMDF", ColType::Int, 0, false}};
        out.rows = {{Value::integer(isPrimary ? 1 : 0)}};
        return r;
    }
    if (!isPrimary) {
        r.fail(Messages::notPrimaryFile(path));
        return r;
    }
    const FileHeader& h = ins.header;
    if (option == 2) {
        out.columns = {{"property", ColType::NVarChar, 128, false},
                       {"value", ColType::SqlVariant, 0, true}};
        out.rows = {{Value::str("Database name"),
                     Value::str(FilePaths::fit(h.databaseName, FilePaths::kMaxNameChars))},
                    {Value::str("Database version"), Value::integer(h.version)},
                    {Value::str("Collation"), Value::integer(h.collationId)}};
        return r;
    }
    fileTable(h, option == 1, out);
    return r;
}

// Options 1 and 3: the file table by file id: the primary (1), the first log (2), then the
// further data files and logs in the order they were made.
void CheckPrimaryFile::fileTable(const FileHeader& h, bool withSizes, ResultSet& out) {
    std::vector<FileTableEntry> files = h.fileTable;
    std::stable_sort(
        files.begin(), files.end(),
        [](const FileTableEntry& a, const FileTableEntry& b) { return a.fileId < b.fileId; });
    out.columns = {{"status", ColType::Int, 0, false},
                   {"fileid", ColType::SmallInt, 0, false},
                   {"name", ColType::NChar, 128, false},
                   {"filename", ColType::NChar, 260, false}};
    if (withSizes) {
        out.columns.push_back({"size", ColType::Int, 0, false});
        out.columns.push_back({"maxsize", ColType::Int, 0, false});
        out.columns.push_back({"growth", ColType::Int, 0, false});
    }
    for (const FileTableEntry& e : files) {
        std::vector<Value> row = {
            Value::integer(SystemTables::fileStatus(e, false)), Value::integer(e.fileId),
            Value::str(FilePaths::fit(e.logicalName, FilePaths::kMaxNameChars)),
            Value::str(FilePaths::fit(e.physicalPath, FilePaths::kMaxPathChars))};
        if (withSizes) {
            row.push_back(Value::integer(e.sizePages));
            row.push_back(Value::integer(e.maxSizePages));
            row.push_back(Value::integer(e.growth));
        }
        out.rows.push_back(std::move(row));
    }
}

}  // namespace standin
