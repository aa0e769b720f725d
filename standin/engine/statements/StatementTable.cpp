#include "statements/StatementTable.h"

#include "Parser.h"

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

}  // namespace standin
