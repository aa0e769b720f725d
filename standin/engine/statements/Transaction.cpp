#include "statements/Transaction.h"

#include "Messages.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/StatementContext.h"

namespace standin {

bool Transaction::atBegin(const TokenCursor& c) {
    return c.peek().isWord("BEGIN") &&
           (c.peek(1).isWord("TRAN") || c.peek(1).isWord("TRANSACTION"));
}

TransactionStatement Transaction::readBegin(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip(2);
    if (c.atName()) c.name();
    return TransactionStatement{TransactionStatement::Kind::Begin, false};
}

TransactionStatement Transaction::readEnd(Parser& p) {
    TokenCursor& c = p.cursor();
    TransactionStatement ts;
    ts.kind = c.next().isWord("COMMIT") ? TransactionStatement::Kind::Commit
                                        : TransactionStatement::Kind::Rollback;
    if (c.acceptWord("TRAN") || c.acceptWord("TRANSACTION") || c.acceptWord("WORK")) {
        if (c.atName()) c.name();
    }
    return ts;
}

bool Transaction::atEndIfOpen(const TokenCursor& c) {
    return c.peek().isWord("IF") && c.peek(1).isWord("@@TRANCOUNT") && c.peek(2).isSymbol(">") &&
           c.peek(3).text == "0" && (c.peek(4).isWord("COMMIT") || c.peek(4).isWord("ROLLBACK"));
}

TransactionStatement Transaction::readEndIfOpen(Parser& p) {
    p.cursor().skip(4);
    TransactionStatement ts = readEnd(p);
    ts.onlyIfOpen = true;
    return ts;
}

Outcome Transaction::run(const TransactionStatement& t, StatementContext& c) {
    int& open = c.session.trancount;
    if (t.kind == TransactionStatement::Kind::Begin) {
        ++open;
    } else if (open > 0) {
        open = t.kind == TransactionStatement::Kind::Commit ? open - 1 : 0;
    } else if (!t.onlyIfOpen) {
        const bool commit = t.kind == TransactionStatement::Kind::Commit;
        return c.failed(
            Messages::error(commit ? 3902 : 3903, 16, 1,
                            std::string("The ") + (commit ? "COMMIT" : "ROLLBACK") +
                                " TRANSACTION request has no corresponding BEGIN TRANSACTION."));
    }
    Outcome out;
    out.tokens.push_back(Outcome::done());
    return out;
}

}  // namespace standin
