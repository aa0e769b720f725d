#include "statements/Dbcc.h"

#include "Parser.h"

namespace standin {

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

}  // namespace standin
