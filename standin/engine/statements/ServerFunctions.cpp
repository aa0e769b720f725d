#include "statements/ServerFunctions.h"

#include <algorithm>

#include "Collation.h"
#include "Instance.h"
#include "Messages.h"
#include "Sessions.h"
#include "statements/DatabaseProperty.h"

namespace standin {

namespace {

std::optional<std::string> argText(const std::vector<TypedValue>& args, size_t i) {
    if (args.size() <= i || args[i].value.kind == Value::Kind::Null) return std::nullopt;
    return SqlTypes::text(args[i].value);
}

TypedValue named(Value v, ColType type, uint16_t length = 128, bool nullable = true) {
    return TypedValue{std::move(v), Column{"", type, length, nullable}};
}

}  // namespace

std::optional<TypedValue> ServerFunctions::value(const Instance& instance,
                                                 const SessionState& session, const Expr& e,
                                                 const std::vector<TypedValue>& args,
                                                 Message& err) {
    if (e.kind == Expr::Kind::Variable) return globalVariable(instance, session, e.name);
    if (e.name == "DB_NAME") {
        TypedValue tv = named(Value::null(), ColType::NVarChar);
        if (args.empty()) {
            tv.value = Value::str(session.database);
        } else if (args[0].value.kind == Value::Kind::Int) {
            if (const Database* d = instance.findById(static_cast<int>(args[0].value.i)))
                tv.value = Value::str(d->name());
        }
        return tv;
    }
    if (e.name == "DB_ID") {
        TypedValue tv = named(Value::null(), ColType::SmallIntN, 0);
        const Database* d =
            instance.find(args.empty() ? session.database : argText(args, 0).value_or(""));
        if (d) tv.value = Value::integer(d->entry.dbid);
        return tv;
    }
    if (e.name == "SUSER_SNAME" || e.name == "USER_NAME")
        return named(Value::str(e.name == "SUSER_SNAME" ? "sa" : "dbo"), ColType::NVarChar);
    if (e.name == "GETDATE") return named(Instance::now(), ColType::DateTime, 0, false);
    if (e.name == "DATABASEPROPERTYEX") {
        return named(DatabaseProperty::value(instance, argText(args, 0).value_or(""),
                                             argText(args, 1).value_or("")),
                     ColType::SqlVariant, 0);
    }
    if (e.name == "SERVERPROPERTY") {
        return named(serverProperty(instance.version(), argText(args, 0).value_or("")),
                     ColType::SqlVariant, 0);
    }
    err = Messages::error(195, 15, 10, "'" + e.name + "' is not a recognized function name.");
    return std::nullopt;
}

TypedValue ServerFunctions::globalVariable(const Instance& instance, const SessionState& session,
                                           const std::string& name) {
    auto text = [&](const std::string& s, size_t max, bool nullable) {
        return named(Value::str(s), ColType::NVarChar, static_cast<uint16_t>(max), nullable);
    };
    auto integer = [&](int64_t v, ColType type) {
        return named(Value::integer(v), type, 0, false);
    };
    if (name == "@@VERSION") {
        const std::string v = instance.version().versionText();
        return text(v, std::max<size_t>(256, v.size()), false);
    }
    if (name == "@@SPID") return integer(session.spid, ColType::SmallInt);
    if (name == "@@TRANCOUNT") return integer(session.trancount, ColType::Int);
    if (name == "@@SERVERNAME") return text("STANDIN", 128, true);
    if (name == "@@SERVICENAME") return text("MSSQLSERVER", 128, true);
    if (name == "@@LANGUAGE") return text("us_english", 128, false);
    if (name == "@@MAX_PRECISION") return integer(38, ColType::TinyInt);
    if (name == "@@TEXTSIZE") return integer(2147483647, ColType::Int);
    return integer(0, ColType::Int);
}

Value ServerFunctions::serverProperty(const ServerVersion& v, const std::string& p) {
    if (Collation::equal(p, "ProductVersion")) return Value::str(v.productVersion());
    if (Collation::equal(p, "ProductLevel")) return Value::str(v.productLevel());
    if (Collation::equal(p, "Edition")) return Value::str(v.edition());
    if (Collation::equal(p, "Collation")) return Value::str(Collation::kDefaultName);
    if (Collation::equal(p, "ServerName") || Collation::equal(p, "MachineName"))
        return Value::str("STANDIN");
    if (v.has(ReleaseRule::ProductMajorVersion) && Collation::equal(p, "ProductMajorVersion"))
        return Value::str(std::to_string(v.major()));
    return Value::null();
}

}  // namespace standin
