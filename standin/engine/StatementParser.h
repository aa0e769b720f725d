#pragma once
// The statements that act on the server: SELECT, SET options, USE, CREATE DATABASE, DBCC,
// procedure calls, BACKUP LOG, ALTER DATABASE, and the ends of transactions.

#include "ExpressionParser.h"

namespace standin {

class StatementParser : public ExpressionParser {
public:
    using ExpressionParser::ExpressionParser;

protected:
    StatementBody select();
    StatementBody set();
    StatementBody use();
    StatementBody createDatabase();
    StatementBody dbcc();
    StatementBody exec();
    StatementBody backupLog();
    StatementBody alterDatabase();
    StatementBody endTransaction(bool onlyIfOpen);
    ArgValue argValue();
    bool atArgValue() const;

private:
    SelectItem selectItem();
    void orderBy(SelectStatement& s);
    StatementBody setIsolation();
    StatementBody setValue(const std::string& option);
    FileSpec fileSpec();
    int64_t sizeValue(bool allowPercent, bool* percent);
};

}  // namespace standin
