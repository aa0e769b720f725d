#pragma once
// CREATE DATABASE name [ON [PRIMARY] (file) [, ...] [, FILEGROUP g (file) ...]] [LOG ON (file)
// [, ...]] [COLLATE c] [FOR ATTACH], a file being (NAME =, FILENAME =, SIZE =, MAXSIZE =,
// FILEGROWTH =): what the tests make their databases with.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Instance;
class Parser;
struct CreatePlan;
struct StatementContext;

struct FileSpec {
    std::string logicalName;
    bool hasName = false;
    std::string fileName;
    bool hasFileName = false;
    std::optional<int64_t> sizeKb;
    std::optional<int64_t> maxSizeKb;  // -1 = UNLIMITED
    std::optional<int64_t> growth;     // KB, or percent when growthPercent
    bool growthPercent = false;
    int groupId = 1;
};

struct CreateDatabaseStatement {
    std::string name;
    std::vector<FileSpec> dataFiles;
    std::vector<FileSpec> logFiles;
    bool forAttach = false;
};

class CreateDatabase {
public:
    static CreateDatabaseStatement read(Parser& parser);
    static Outcome run(const CreateDatabaseStatement& create, StatementContext& context);
    // The name is checked, then CreatePlanner lays out and checks the files, then commit makes
    // them. FOR ATTACH attaches the files named instead (Attach).
    static OpResult create(Instance& instance, const CreateDatabaseStatement& create);
    // Makes the planned files, the primary last, and records the database; nothing is left
    // behind on failure.
    static OpResult commit(Instance& instance, const CreatePlan& plan);

private:
    static FileSpec fileSpec(Parser& parser);
    // n [KB|MB|GB|TB|%] in kilobytes; megabytes when no unit is given.
    static int64_t sizeValue(Parser& parser, bool allowPercent, bool* percent);
};

}  // namespace standin
