#pragma once
// DATABASEPROPERTYEX(db, property): what the shrink batch from 2008 on reads the recovery model
// with before it switches to SIMPLE ('Recovery'), and 'Status', 'Version', 'Collation',
// 'Updateability', 'UserAccess'. NULL for an unknown database or property.

#include <string>

#include "Reply.h"

namespace standin {

class Instance;

class DatabaseProperty {
public:
    static Value value(const Instance& instance, const std::string& database,
                       const std::string& property);
};

}  // namespace standin
