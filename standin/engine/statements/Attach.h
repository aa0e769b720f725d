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
class ServerVersion;
struct AttachPlan;
struct Database;

class Attach {
public:
    static Procedure procedure();
    // Attaches the database whose primary is paths[0]; files of the primary's file table that
    // are not named are looked for at their recorded paths. The name is checked, then
    // AttachPlanner plans, then commit holds and records.
    static OpResult attach(Instance& instance, const std::string& name,
                           std::vector<std::string> paths);

    // Holds the planned files, makes the new log if one is planned, rewrites the headers
    // (the primary last) and records the database.
    static OpResult commit(Instance& instance, const AttachPlan& plan);

private:
    static OpResult run(StatementContext& context, const ProcedureArgs& args);
    static OpResult holdFiles(Instance& instance, const AttachPlan& plan, Database& db);
    static OpResult createLog(Instance& instance, const AttachPlan& plan, Database& db);
    // Files of an older release take this release's version, as the server converts them.
    static void upgrade(const ServerVersion& version, const AttachPlan& plan, Database& db,
                        OpResult& notes);
};

}  // namespace standin
