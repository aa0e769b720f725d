#pragma once
// DBCC CHECKPRIMARYFILE ('path', option): what Korvid inspects a found file with before it
// attaches it. 0: IsMDF; 1 and 3: the primary's file table (primary, logs, other files); 2:
// Database name, Database version, Collation. A file the server cannot open is 5105 (5120 with
// the 2005 messages); one that is no primary file is 5171 (option 0 answers IsMDF 0).

#include <cstdint>
#include <string>

#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Instance;
struct DbccStatement;
struct FileHeader;
struct StatementContext;

class CheckPrimaryFile {
public:
    static Outcome run(const DbccStatement& dbcc, StatementContext& context, bool infoMessages);

private:
    static OpResult inspect(const Instance& instance, const std::string& path, int64_t option,
                            ResultSet& out);
    static void fileTable(const FileHeader& header, bool withSizes, ResultSet& out);
};

}  // namespace standin
