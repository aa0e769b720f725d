#pragma once
// The primary-file inspection (proc2, proc4): the server reads the found file's header; the
// database name and the log path to attach with are kept in the inspection record.

#include "attach/Inspection.h"

namespace korvid {
class QuerySource;
}  // namespace korvid

namespace korvid::attach {

class Inspector {
public:
    explicit Inspector(QuerySource& adodc2);

    const InspectionRecord& record() const { return record_; }
    InspectionRecord& record() { return record_; }

    // proc2 without its call of proc4: Text2 and Text4.
    void readDatabaseName(const InspectedFile& file);
    // proc4: Text2 again, the recorded paths, Text5..Text7 and Text3.
    void proc4(const InspectedFile& file);
    void proc2(const InspectedFile& file) {
        readDatabaseName(file);
        proc4(file);
    }

private:
    const db::ResultSet& run(const QString& statement);

    QuerySource& adodc2_;
    InspectionRecord record_;
};

}  // namespace korvid::attach
