#include "statements/DatabaseProperty.h"

#include <algorithm>

#include "Collation.h"
#include "Instance.h"

namespace standin {

namespace {

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
    if (Collation::equal(property, "Status")) return Value::str(d->suspect ? "SUSPECT" : "ONLINE");
    if (Collation::equal(property, "Updateability")) return Value::str("READ_WRITE");
    if (Collation::equal(property, "UserAccess")) return Value::str("MULTI_USER");
    if (Collation::equal(property, "Collation")) return Value::str(Collation::kDefaultName);
    if (Collation::equal(property, "Version") && !d->files.empty())
        return Value::integer(std::max<uint32_t>(d->files.front()->header().version, 539));
    return Value::null();
}

}  // namespace standin
