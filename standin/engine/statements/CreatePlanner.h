#pragma once
// CREATE DATABASE before anything is written: the new database's files are laid out and
// checked against the rules and the disk. CreateDatabase::commit then makes them.

#include <string>
#include <vector>

#include "DataFile.h"
#include "OpResult.h"
#include "statements/CreateDatabase.h"

namespace standin {

class Instance;

struct CreatePlan {
    std::string name;
    // The primary, the first log, the further data files, the further logs.
    std::vector<FileTableEntry> table;
    std::vector<bool> explicitPath;  // per entry: the statement gave its FILENAME
    FileHeader header;               // what the headers of all the files share
};

class CreatePlanner {
public:
    explicit CreatePlanner(const Instance& instance) : instance_(instance) {}

    // Fills `out`; changes nothing. A refusal carries the server's messages.
    OpResult plan(const CreateDatabaseStatement& create, CreatePlan& out) const;

private:
    void layOut(const CreateDatabaseStatement& create, CreatePlan& out) const;
    FileTableEntry entry(const FileSpec& file, FileKind kind, uint16_t id,
                         const std::string& logical) const;
    OpResult checkEntry(const CreatePlan& plan, size_t index) const;
    OpResult checkDisk(const CreatePlan& plan) const;

    const Instance& instance_;
};

}  // namespace standin
