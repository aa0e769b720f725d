#pragma once
// SELECT over one system table (sysdatabases, sysaltfiles, sysfiles; SystemTables) or none:
// what Korvid lists databases and logical file names with, and what client libraries probe the
// server with (@@VERSION, @@SPID, SERVERPROPERTY). SelectRunner evaluates it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Expr.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

struct SelectItem {
    bool star = false;
    std::string assignTo;  // SELECT @v = expr: the variable, else empty
    Expr expr;
    std::string alias;
    bool hasAlias = false;
};

struct OrderItem {
    std::string column;
    int position = 0;  // ORDER BY 2 (1-based), 0 when a column is named
    bool descending = false;
};

struct SelectStatement {
    std::optional<int64_t> top;  // SELECT TOP n
    std::vector<SelectItem> items;
    std::optional<ObjectName> from;
    std::optional<Expr> where;
    std::vector<OrderItem> orderBy;
    bool assigns = false;  // every item is @v = expr: no rows go to the client
};

class Select {
public:
    static SelectStatement read(Parser& parser);
    // Its rows and DONE(COUNT) (no count with SET NOCOUNT ON); an assigning SELECT sends no rows.
    // Every error ends the batch.
    static Outcome run(const SelectStatement& select, StatementContext& context);

private:
    static SelectItem item(Parser& parser);
    static void orderBy(Parser& parser, SelectStatement& select);
};

}  // namespace standin
