#include "statements/AttachSingleFile.h"

#include "statements/Attach.h"
#include "statements/StatementContext.h"

namespace standin {

Procedure AttachSingleFile::procedure() {
    return {"sp_attach_single_file_db", {"@dbname", "@physname"}, 2, false, &AttachSingleFile::run};
}

OpResult AttachSingleFile::run(StatementContext& c, const ProcedureArgs& args) {
    return Attach::attach(c.instance, *args[0], {*args[1]});
}

}  // namespace standin
