#include "statements/AlterDatabase.h"

#include "Parser.h"

namespace standin {

AlterDatabaseStatement AlterDatabase::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("DATABASE");
    AlterDatabaseStatement a;
    a.database = c.name();
    c.expectWord("SET");
    c.expectWord("RECOVERY");
    for (const char* model : {"FULL", "BULK_LOGGED", "SIMPLE"}) {
        if (c.acceptWord(model)) a.recovery = model;
    }
    if (a.recovery.empty()) c.failHere();
    if (c.acceptWord("WITH")) termination(p);
    return a;
}

void AlterDatabase::termination(Parser& p) {
    TokenCursor& c = p.cursor();
    if (!c.acceptWord("ROLLBACK")) {
        c.expectWord("NO_WAIT");
    } else if (c.acceptWord("AFTER")) {
        if (c.peek().kind != SqlToken::Kind::Number) c.failHere();
        c.skip();
        c.acceptWord("SECONDS");
    } else {
        c.expectWord("IMMEDIATE");
    }
}

}  // namespace standin
