#pragma once
// BEGIN TRAN[SACTION], COMMIT, ROLLBACK and the IF @@TRANCOUNT > 0 COMMIT | ROLLBACK that
// client libraries send: transactions are counted (@@TRANCOUNT, DONE's INXACT bit) and change
// nothing else.

#include "Outcome.h"

namespace standin {

class Parser;
class TokenCursor;
struct StatementContext;

struct TransactionStatement {
    enum class Kind { Begin, Commit, Rollback };
    Kind kind = Kind::Begin;
    bool onlyIfOpen = false;  // IF @@TRANCOUNT > 0 COMMIT|ROLLBACK
};

class Transaction {
public:
    // BEGIN TRAN[SACTION] [name] is next.
    static bool atBegin(const TokenCursor& cursor);
    static TransactionStatement readBegin(Parser& parser);
    static TransactionStatement readEnd(Parser& parser);
    // IF @@TRANCOUNT > 0 COMMIT | ROLLBACK is next: it keeps its own reply, its COMMIT or
    // ROLLBACK always answers.
    static bool atEndIfOpen(const TokenCursor& cursor);
    static TransactionStatement readEndIfOpen(Parser& parser);
    // COMMIT or ROLLBACK with none open: 3902, 3903 (not for IF @@TRANCOUNT > 0 ...).
    static Outcome run(const TransactionStatement& transaction, StatementContext& context);
};

}  // namespace standin
