#include "statements/ProcedureCall.h"

#include "Collation.h"
#include "Messages.h"
#include "Parser.h"
#include "statements/Attach.h"
#include "statements/AttachSingleFile.h"
#include "statements/Detach.h"
#include "statements/StatementContext.h"

namespace standin {

namespace {

// The system procedures this server has; sp_executesql is the batch runner's.
const std::vector<Procedure>& procedures() {
    static const std::vector<Procedure> all = {
        Attach::procedure(),
        AttachSingleFile::procedure(),
        Detach::procedure(),
    };
    return all;
}

std::optional<std::string> textOf(const ArgValue& v) {
    if (v.kind == ArgValue::Kind::Text || v.kind == ArgValue::Kind::Integer) return v.text;
    return std::nullopt;  // NULL and DEFAULT leave the parameter unset
}

bool anyFile(const ProcedureArgs& values) {
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i]) return true;
    }
    return false;
}

}  // namespace

ExecStatement ProcedureCall::read(Parser& p) {
    TokenCursor& c = p.cursor();
    ExecStatement e;
    // EXEC @status = proc and EXEC @procedure are not served.
    if (c.atVariable() && c.declared(c.peek().text)) c.failHere();
    if (c.peek().kind == SqlToken::Kind::Word && c.peek().text[0] == '@') c.undeclared(c.peek());
    ObjectName proc = c.objectName();
    e.database = proc.database;
    e.owner = proc.owner;
    e.procedure = proc.object;
    e.written = proc.written;
    if (!p.atArgValue()) return e;
    do {
        ProcArg a;
        const SqlToken& t = c.peek();
        if (t.kind == SqlToken::Kind::Word && t.text[0] == '@' && c.peek(1).isSymbol("=")) {
            a.parameter = t.text;
            c.skip(2);
        }
        a.value = p.argValue();
        // OUTPUT parameters are not served.
        if (c.acceptWord("OUTPUT") || c.acceptWord("OUT")) c.failAt(c.previous());
        e.args.push_back(std::move(a));
    } while (c.acceptSymbol(","));
    return e;
}

Outcome ProcedureCall::run(const ExecStatement& call, StatementContext& c) {
    std::vector<ArgValue> given;
    for (const ProcArg& a : call.args) given.push_back(a.value);
    Message err;
    if (!c.resolve(given, err)) return c.failed(err, true);
    ExecStatement e = call;
    for (size_t i = 0; i < given.size(); ++i) e.args[i].value = given[i];

    const Procedure* procedure = find(e);
    if (!procedure) {
        return c.failed(
            Messages::error(2812, 16, 62, "Could not find stored procedure '" + e.written + "'."));
    }
    ProcedureArgs values;
    OpResult refusal;
    if (!bind(*procedure, e, values, refusal)) return reply(refusal);
    return reply(procedure->run(c, values));
}

const Procedure* ProcedureCall::find(const ExecStatement& e) {
    const bool placeOk = (e.database.empty() || Collation::equal(e.database, "master")) &&
                         (e.owner.empty() || Collation::equal(e.owner, "dbo"));
    for (const Procedure& p : procedures()) {
        if (placeOk && Collation::equal(e.procedure, p.name)) return &p;
    }
    return nullptr;
}

bool ProcedureCall::bind(const Procedure& procedure, const ExecStatement& e, ProcedureArgs& values,
                         OpResult& refusal) {
    const std::string name = procedure.name;
    const std::vector<std::string>& params = procedure.parameters;
    values.assign(params.size(), std::nullopt);
    bool namedSeen = false;
    size_t position = 0;
    for (const ProcArg& a : e.args) {
        size_t index = params.size();
        if (!a.parameter.empty()) {
            namedSeen = true;
            for (size_t i = 0; i < params.size(); ++i) {
                if (Collation::equal(params[i], a.parameter)) index = i;
            }
            if (index == params.size()) {
                refusal.fail(Messages::error(
                    8145, 16, 2, a.parameter + " is not a parameter for procedure " + name + ".",
                    name));
                return false;
            }
        } else if (namedSeen) {
            refusal.fail(Messages::error(
                119, 15, 1,
                "Must pass parameter number " + std::to_string(position + 1) +
                    " and subsequent parameters as '@name = value'. After the form '@name = "
                    "value' has been used, all subsequent parameters must be passed in the form "
                    "'@name = value'."));
            return false;
        } else if ((index = position++) >= params.size()) {
            refusal.fail(Messages::error(
                8144, 16, 2, "Procedure or function " + name + " has too many arguments specified.",
                name));
            return false;
        }
        values[index] = textOf(a.value);
    }
    for (size_t i = 0; i < procedure.required; ++i) {
        if (!values[i] && !(procedure.anyFileWillDo && i > 0 && anyFile(values))) {
            refusal.fail(Messages::error(201, 16, 4,
                                         "Procedure '" + name + "' expects parameter '" +
                                             params[i] + "', which was not supplied.",
                                         name));
            return false;
        }
    }
    return true;
}

Outcome ProcedureCall::reply(const OpResult& r) {
    Outcome o;
    o.addMessages(r.messages, 1);
    if (!r.messages.empty() || !r.ok) {
        Done d = Outcome::done(r.ok ? DoneFinal : DoneError);
        d.kind = Done::Kind::DoneInProc;
        o.tokens.push_back(d);
    }
    o.tokens.push_back(ReturnStatus{r.ok ? 0 : 1});
    Done end = Outcome::done();
    end.kind = Done::Kind::DoneProc;
    o.tokens.push_back(end);
    return o;
}

}  // namespace standin
