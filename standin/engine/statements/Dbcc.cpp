#include "statements/Dbcc.h"

#include "Messages.h"
#include "Parser.h"
#include "statements/CheckPrimaryFile.h"
#include "statements/ShrinkFile.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

struct Command {
    const char* name;
    Outcome (*run)(const DbccStatement& dbcc, StatementContext& context, bool infoMessages);
};

const Command kCommands[] = {
    {"CHECKPRIMARYFILE", CheckPrimaryFile::run},
    {"SHRINKFILE", ShrinkFile::run},
    {"SHRINKDATABASE", ShrinkFile::runDatabase},
};

}  // namespace

DbccStatement Dbcc::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    DbccStatement d;
    const SqlToken& command = c.peek();
    if (command.kind != SqlToken::Kind::Word) c.failHere();
    d.command = TokenCursor::upper(c.next().text);
    if (c.acceptSymbol("(")) {
        if (!c.peek().isSymbol(")")) {
            do {
                d.args.push_back(p.argValue());
            } while (c.acceptSymbol(","));
        }
        c.expectSymbol(")");
    }
    if (c.acceptWord("WITH")) {
        do {
            const SqlToken& o = c.next();
            if (o.kind != SqlToken::Kind::Word) c.failAt(o);
            d.withOptions.push_back(TokenCursor::upper(o.text));
        } while (c.acceptSymbol(","));
    }
    return d;
}

Outcome Dbcc::run(const DbccStatement& dbcc, StatementContext& c) {
    DbccStatement d = dbcc;
    Message err;
    if (!c.resolve(d.args, err)) return c.failed(err, true);
    bool infoMessages = true;
    for (const std::string& w : d.withOptions) {
        if (w == "NO_INFOMSGS")
            infoMessages = false;
        else if (w != "TABLERESULTS")
            return c.failed(incorrect());
    }
    for (const Command& command : kCommands) {
        if (d.command == command.name) return command.run(d, c, infoMessages);
    }
    return c.failed(incorrect());
}

Message Dbcc::incorrect() {
    return Messages::error(
        2526, 16, 3,
        "Incorrect DBCC statement. Check the documentation for the correct DBCC syntax and "
        "options.");
}

Outcome Dbcc::result(ResultSet rows, bool infoMessages, uint16_t line) {
    Outcome o;
    const uint32_t n = static_cast<uint32_t>(rows.rows.size());
    o.tokens.push_back(std::move(rows));
    o.tokens.push_back(Outcome::done(DoneCount, n));
    if (infoMessages) {
        o.addMessages({Messages::info(2528,
                                      "DBCC execution completed. If DBCC printed error messages, "
                                      "contact your system administrator.")},
                      line);
    }
    o.tokens.push_back(Outcome::done());
    return o;
}

}  // namespace standin
