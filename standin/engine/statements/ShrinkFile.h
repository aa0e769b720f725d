#pragma once
// DBCC SHRINKFILE (logical name | file id [, target MB | TRUNCATEONLY | NOTRUNCATE | EMPTYFILE])
// in the current database, the last part of every shrink batch, and DBCC SHRINKDATABASE (db
// [, percent] [, option]), which shrinks each file of the database. A file is cut on disk to its
// used pages (or the target, if larger); the row reports DbId, FileId, CurrentSize,
// MinimumSize, UsedPages, EstimatedPages in pages. The log of a --hold-log database keeps its
// size, with 9008; --fail-shrink makes one fail with 3023, --unmovable with 3140.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Expr.h"
#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Instance;
class ServerVersion;
struct Database;
struct DbccStatement;
struct StatementContext;

class ShrinkFile {
public:
    static Outcome run(const DbccStatement& dbcc, StatementContext& context, bool infoMessages);
    static Outcome runDatabase(const DbccStatement& dbcc, StatementContext& context,
                               bool infoMessages);

private:
    static Outcome shrink(const DbccStatement& dbcc, StatementContext& context, bool infoMessages,
                          bool wholeDatabase);
    // The database: the current one for SHRINKFILE, the named or numbered one (0 = current)
    // for SHRINKDATABASE.
    static Database* target(const DbccStatement& dbcc, StatementContext& context,
                            bool wholeDatabase);
    // The arguments after the first: a target size, NOTRUNCATE, TRUNCATEONLY or EMPTYFILE.
    static bool options(const DbccStatement& dbcc, bool wholeDatabase,
                        std::optional<int64_t>& targetMb, bool& truncate);
    static std::vector<ArgValue> files(const DbccStatement& dbcc, Database& db, bool wholeDatabase);
    // One file, by logical name or file id (8985 when the database has no such file).
    static OpResult shrinkOne(const Instance& instance, Database& db, const ArgValue& file,
                              std::optional<int64_t> targetMb, bool truncate, ResultSet& out);
    // 9008: the log cannot be shrunk because its active part is at the end (--hold-log).
    static Message logInUse(const ServerVersion& version, uint16_t fileId,
                            const std::string& logicalName);
    // 3023: the shrink met a backup or another file operation (--fail-shrink).
    static Message serialized(const ServerVersion& version);
};

}  // namespace standin
