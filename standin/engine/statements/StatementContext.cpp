#include "statements/StatementContext.h"

#include "ExprEvaluator.h"
#include "Instance.h"
#include "Messages.h"
#include "Sessions.h"

namespace standin {

const ServerVersion& StatementContext::version() const {
    return instance.version();
}

Outcome StatementContext::failed(Message m, bool abortBatch) const {
    return Outcome::failed(std::move(m), line, abortBatch);
}

Outcome StatementContext::reply(const OpResult& r) const {
    Outcome o;
    o.addMessages(r.messages, line);
    o.tokens.push_back(Outcome::done(r.ok ? DoneFinal : DoneError));
    return o;
}

Database* StatementContext::usableDatabase(const std::string& name, Message& error) const {
    Database* db = instance.find(name);
    if (!db) {
        error = Messages::noSuchDatabase(version(), name);
        return nullptr;
    }
    if (auto why = instance.entryRefusal(*db, sessions.inUseByOther(db->name(), session.spid))) {
        error = *why;
        return nullptr;
    }
    return db;
}

bool StatementContext::resolve(std::vector<ArgValue>& args, Message& error) const {
    for (ArgValue& a : args) {
        if (a.kind != ArgValue::Kind::Variable) continue;
        Expr e;
        e.kind = Expr::Kind::LocalVariable;
        e.name = a.text;
        std::optional<TypedValue> v = ExprEvaluator::evaluate(e, eval, error);
        if (!v) return false;
        if (v->value.kind == Value::Kind::Null) {
            a = ArgValue{ArgValue::Kind::Null, "", 0, false};
        } else if (v->value.kind == Value::Kind::Int) {
            a = ArgValue{ArgValue::Kind::Integer, std::to_string(v->value.i), v->value.i, false};
        } else {
            a = ArgValue{ArgValue::Kind::Text, SqlTypes::text(v->value), 0, true};
        }
    }
    return true;
}

}  // namespace standin
