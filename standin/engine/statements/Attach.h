#pragma once
// sp_attach_db [@dbname =] name, [@filename1 =] primary [, [@filename2 =] file ...] (16 files),
// also what CREATE DATABASE ... FOR ATTACH and sp_attach_single_file_db run: Korvid's attach of
// a found primary with its log. AttachPlanner checks the files and plans a new log; the commit
// holds the files, converts files of an older release (944, 951), makes the new log (5182) and
// records the database.

#include <string>
#include <vector>

#include "OpResult.h"
#include "statements/ProcedureCall.h"

namespace standin {

class Instance;

class Attach {
public:
    static Procedure procedure();
    // Attaches the database whose primary is paths[0]; files of the primary's file table that
    // are not named are looked for at their recorded paths.
    static OpResult attach(Instance& instance, const std::string& name,
                           std::vector<std::string> paths);

private:
    static OpResult run(StatementContext& context, const ProcedureArgs& args);
};

}  // namespace standin
