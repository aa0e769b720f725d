#pragma once
// sp_attach_single_file_db [@dbname =] name, [@physname =] primary: Korvid's attach of a
// primary found without its log. It runs as sp_attach_db does with the primary alone: a log
// at its recorded path is taken; a missing one is rebuilt when the database was cleanly
// detached (see Attach and AttachPlanner).

#include "statements/ProcedureCall.h"

namespace standin {

class AttachSingleFile {
public:
    static Procedure procedure();

private:
    static OpResult run(StatementContext& context, const ProcedureArgs& args);
};

}  // namespace standin
