#pragma once
// An attach the server refused, with what Korvid knows beside the server's reason: the further
// files it could not name, and for a file too old for the server where it can be upgraded.

#include <QStringList>

#include "access/FailureText.h"
#include "attach/Inspection.h"

namespace korvid::attach {

// The lines that go under the server's reason in the failure's details; empty when there is
// nothing to add.
QStringList attachFailureNotes(const db::DbError& error, const InspectionRecord& record);

// The server's reason, its number and the notes, as one text for the box's details.
class AttachFailure : public OperationError {
public:
    AttachFailure(const std::exception& cause, const QStringList& notes);
};

}  // namespace korvid::attach
