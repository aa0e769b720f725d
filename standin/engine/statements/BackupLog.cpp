#include "statements/BackupLog.h"

#include "Parser.h"

namespace standin {

BackupLogStatement BackupLog::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("LOG");
    BackupLogStatement b;
    b.database = c.name();
    c.expectWord("WITH");
    const SqlToken& option = c.peek();
    if (c.acceptWord("TRUNCATE_ONLY")) {
        b.option = "TRUNCATE_ONLY";
    } else if (c.acceptWord("NO_LOG")) {
        b.option = "NO_LOG";
    } else {
        c.failHere();
    }
    if (!c.version().has(ReleaseRule::TruncateOnly)) {
        throw ParseFailure{TokenCursor::compileError(
            155, "'" + option.text + "' is not a recognized BACKUP option.", option.line)};
    }
    return b;
}

}  // namespace standin
