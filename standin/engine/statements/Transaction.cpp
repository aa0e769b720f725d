#include "statements/Transaction.h"

#include "Parser.h"

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

}  // namespace standin
