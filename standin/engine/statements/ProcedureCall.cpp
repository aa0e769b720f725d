#include "statements/ProcedureCall.h"

#include "Parser.h"

namespace standin {

ExecStatement ProcedureCall::read(Parser& p) {
    TokenCursor& c = p.cursor();
    ExecStatement e;
    // EXEC @status = proc and EXEC @procedure are not served.
    if (c.atVariable() && c.declared(c.peek().text)) c.failHere();
    if (c.peek().kind == SqlToken::Kind::Word && c.peek().text[0] == '@') c.undeclared(c.peek());
    ObjectName proc = c.objectName();
    e.database = proc.database;
    e.owner = proc.owner;
    e.procedure = proc.object;
    e.written = proc.written;
    if (!p.atArgValue()) return e;
    do {
        ProcArg a;
        const SqlToken& t = c.peek();
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@' && c.peek(1).isSymbol("=")) {
            a.parameter = t.text;
            c.skip(2);
        }
        a.value = p.argValue();
        // OUTPUT parameters are not served.
        if (c.acceptWord("OUTPUT") || c.acceptWord("OUT")) c.failAt(c.previous());
        e.args.push_back(std::move(a));
    } while (c.acceptSymbol(","));
    return e;
}

}  // namespace standin
