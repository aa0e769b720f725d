#pragma once
// The primary-file inspection: the server reads the found file's header; the
// database name and the log path to attach with are kept in the inspection record.

#include "attach/Inspection.h"

namespace korvid {
class QuerySource;
}  // namespace korvid

namespace korvid::attach {

class Inspector {
public:
    explicit Inspector(QuerySource& inspectionSource);

    const InspectionRecord& record() const { return record_; }
    InspectionRecord& record() { return record_; }

    // The database name alone: Text2 and Text4.
    void readDatabaseName(const InspectedFile& file);
    // Text2 again, the recorded paths, Text5..Text7 and Text3.
    void readLogPath(const InspectedFile& file);  // proc4
    // Both: the database name, then the log path.
    void inspect(const InspectedFile& file) {  // proc2
        readDatabaseName(file);
        readLogPath(file);
    }

private:
    const db::ResultSet& run(const QString& statement);

    QuerySource& inspectionSource_;
    InspectionRecord record_;
};

}  // namespace korvid::attach
