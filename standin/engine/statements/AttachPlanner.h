#pragma once
// sp_attach_db, sp_attach_single_file_db and CREATE DATABASE ... FOR ATTACH before anything
// is written: the primary is read, every file of its table is found (named in the statement
// or at its recorded path), and a missing log is either planned anew or refused.
// Attach::commit then holds the files and records the database.

#include <map>
#include <string>
#include <vector>

#include "DataFile.h"
#include "OpResult.h"

namespace standin {

class Instance;

struct AttachPlan {
    std::string name;
    std::string primaryPath;
    FileHeader primary;                      // the primary's header as read
    std::map<uint16_t, std::string> chosen;  // file id -> the path to attach it from
    std::vector<std::string> missingLogs;    // recorded paths of logs that were not found
    std::string newLogPath;                  // set when a new log replaces the missing ones
    uint32_t upgradeFrom = 0;                // the files' version when the attach upgrades them
};

class AttachPlanner {
public:
    explicit AttachPlanner(const Instance& instance) : instance_(instance) {}

    // Fills `out`; changes nothing. paths[0] is the primary. A refusal carries the server's
    // messages, 1813 last.
    OpResult plan(const std::string& name, std::vector<std::string> paths, AttachPlan& out) const;

    // A refusal: the cause, then 1813.
    static OpResult refuse(const AttachPlan& plan, Message cause);
    // A file the server could not open (or a name that cannot be a file: windowsError 2).
    OpResult cannotOpen(const AttachPlan& plan, const std::string& path, int windowsError) const;

private:
    OpResult readPrimary(AttachPlan& plan) const;
    OpResult checkVersion(AttachPlan& plan) const;
    OpResult chooseNamed(AttachPlan& plan, const std::vector<std::string>& paths) const;
    OpResult findRecorded(AttachPlan& plan, bool& anyLogPresent) const;
    OpResult planNewLog(AttachPlan& plan, bool anyLogPresent) const;
    std::string newLogPath(const AttachPlan& plan) const;

    const Instance& instance_;
};

}  // namespace standin
