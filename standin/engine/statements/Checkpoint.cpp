#include "statements/Checkpoint.h"

#include "Parser.h"

namespace standin {

CheckpointStatement Checkpoint::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    if (c.peek().kind == SqlToken::Kind::Number) c.skip();  // the duration
    return {};
}

}  // namespace standin
