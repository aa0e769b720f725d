#include "statements/DatabaseProperty.h"

#include <algorithm>

#include "Collation.h"
#include "Instance.h"

namespace standin {

namespace {

// A database whose files could not be opened at start-up is SUSPECT on 2000 and
// RECOVERY_PENDING from 2005 on.
const char* statusName(const Instance& instance, const Database& d) {
    if (d.suspect)
        return instance.version().has(ReleaseRule::RecoveryPending) ? "RECOVERY_PENDING"
                                                                    : "SUSPECT";
    if (d.offline) return "OFFLINE";
    return d.restoring ? "RESTORING" : "ONLINE";
}

const char* recoveryName(RecoveryModel model) {
    switch (model) {
        case RecoveryModel::Simple:
            return "SIMPLE";
        case RecoveryModel::BulkLogged:
            return "BULK_LOGGED";
        default:
            return "FULL";
    }
}

}  // namespace

Value DatabaseProperty::value(const Instance& instance, const std::string& name,
                              const std::string& property) {
    const Database* d = instance.find(name);
    if (!d) return Value::null();
    if (Collation::equal(property, "Recovery"))
        return Value::str(recoveryName(instance.recoveryOf(*d)));
    if (Collation::equal(property, "Status")) return Value::str(statusName(instance, *d));
    if (Collation::equal(property, "Updateability")) return Value::str("READ_WRITE");
    if (Collation::equal(property, "UserAccess"))
        return Value::str(d->singleUser ? "SINGLE_USER" : "MULTI_USER");
    if (Collation::equal(property, "Collation")) return Value::str(Collation::kDefaultName);
    if (Collation::equal(property, "Version") && !d->files.empty())
        return Value::integer(std::max<uint32_t>(d->files.front()->header().version, 539));
    return Value::null();
}

}  // namespace standin
