#include "statements/Use.h"

#include "Parser.h"

namespace standin {

UseStatement Use::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    UseStatement u;
    u.database = c.name();
    return u;
}

}  // namespace standin
