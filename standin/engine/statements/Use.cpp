#include "statements/Use.h"

#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

UseStatement Use::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    UseStatement u;
    u.database = c.name();
    return u;
}

Outcome Use::run(const UseStatement& u, StatementContext& c) {
    Message err;
    const Database* db = c.usableDatabase(u.database, err);
    if (!db) return c.failed(err, true);
    Outcome out;
    out.tokens.push_back(DatabaseChange{db->name(), c.session.database});
    out.addMessages({Messages::info(5701, "Changed database context to '" + db->name() + "'.")},
                    c.line);
    out.tokens.push_back(Outcome::done());
    c.session.database = db->name();
    return out;
}

}  // namespace standin
