#include "statements/StatementTable.h"

#include "Messages.h"
#include "Parser.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

template <auto Read>
StatementBody readAs(Parser& parser) {
    return Read(parser);
}

struct Reader {
    const char* word;
    StatementBody (*read)(Parser&);
};

// SET @v, EXEC, BEGIN and IF are the parser's own; they lead here for EXEC proc (ProcedureCall),
// BEGIN TRAN and IF @@TRANCOUNT > 0 COMMIT (Transaction).
const Reader kReaders[] = {
    {"SELECT", readAs<Select::read>},
    {"SET", readAs<SetOption::read>},
    {"USE", readAs<Use::read>},
    {"COMMIT", readAs<Transaction::readEnd>},
    {"ROLLBACK", readAs<Transaction::readEnd>},
    {"CREATE", readAs<CreateDatabase::read>},
    {"DBCC", readAs<Dbcc::read>},
    {"BACKUP", readAs<BackupLog::read>},
    {"ALTER", readAs<AlterDatabase::read>},
    {"CHECKPOINT", readAs<Checkpoint::read>},
};

}  // namespace

std::optional<StatementBody> StatementTable::read(Parser& parser) {
    const SqlToken& first = parser.cursor().peek();
    for (const Reader& r : kReaders) {
        if (first.isWord(r.word)) return r.read(parser);
    }
    return std::nullopt;
}

Outcome StatementTable::run(const StatementBody& body, StatementContext& c) {
    if (auto* s = std::get_if<SelectStatement>(&body)) return Select::run(*s, c);
    if (auto* s = std::get_if<SetStatement>(&body)) return SetOption::run(*s, c);
    if (auto* s = std::get_if<UseStatement>(&body)) return Use::run(*s, c);
    if (auto* s = std::get_if<TransactionStatement>(&body)) return Transaction::run(*s, c);
    if (auto* s = std::get_if<CreateDatabaseStatement>(&body)) return CreateDatabase::run(*s, c);
    if (auto* s = std::get_if<ExecStatement>(&body)) return ProcedureCall::run(*s, c);
    if (auto* s = std::get_if<DbccStatement>(&body)) return Dbcc::run(*s, c);
    if (auto* s = std::get_if<BackupLogStatement>(&body)) return BackupLog::run(*s, c);
    if (auto* s = std::get_if<AlterDatabaseStatement>(&body)) return AlterDatabase::run(*s, c);
    if (auto* s = std::get_if<CheckpointStatement>(&body)) return Checkpoint::run(*s, c);
    return c.failed(Messages::error(102, 15, 1, "Incorrect syntax."));
}

}  // namespace standin
