#pragma once
// ALTER DATABASE db SET RECOVERY FULL | BULK_LOGGED | SIMPLE [WITH NO_WAIT | ROLLBACK IMMEDIATE |
// ROLLBACK AFTER n [SECONDS]]: the shrink batch from 2008 on switches to SIMPLE and back. The
// model is recorded in the primary's header, so it travels with the file.

#include <string>

namespace standin {

class Parser;

struct AlterDatabaseStatement {
    std::string database;
    std::string recovery;  // upper case
};

class AlterDatabase {
public:
    static AlterDatabaseStatement read(Parser& parser);

private:
    // WITH NO_WAIT | ROLLBACK IMMEDIATE | ROLLBACK AFTER n [SECONDS]
    static void termination(Parser& parser);
};

}  // namespace standin
