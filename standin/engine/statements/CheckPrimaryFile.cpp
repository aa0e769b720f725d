#include "statements/CheckPrimaryFile.h"

#include "Instance.h"
#include "statements/Dbcc.h"
#include "statements/StatementContext.h"

namespace standin {

Outcome CheckPrimaryFile::run(const DbccStatement& d, StatementContext& c, bool infoMessages) {
    if (d.args.size() != 2 || d.args[0].kind != ArgValue::Kind::Text ||
        d.args[1].kind != ArgValue::Kind::Integer || d.args[1].number < 0 || d.args[1].number > 3)
        return c.failed(Dbcc::incorrect());
    ResultSet rs;
    OpResult r = c.instance.checkPrimaryFile(d.args[0].text, d.args[1].number, rs);
    if (!r.ok) return c.reply(r);
    return Dbcc::result(std::move(rs), infoMessages, c.line);
}

}  // namespace standin
