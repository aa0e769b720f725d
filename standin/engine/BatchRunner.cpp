#include "BatchRunner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Collation.h"
#include "FilePaths.h"
#include "Messages.h"
#include "Parser.h"

namespace standin {

namespace {

constexpr int kMaxNesting = 32;

bool isError(const Token& t) {
    const Message* m = std::get_if<Message>(&t);
    return m && m->severity > 10;
}

// Errors that name an object or column the statement cannot resolve end the batch even inside
// TRY, as the server resolves those names when it compiles the statement.
bool catchable(const Message& m) {
    return m.number != 207 && m.number != 208;
}

// RAISERROR's and THROW's numbers may come as text ('16'): they read as the number they say.
int64_t intOf(const TypedValue& v) {
    if (v.value.kind == Value::Kind::Int) return v.value.i;
    return std::atoll(v.value.text.c_str());
}

std::string textOf(const TypedValue& v) {
    return v.value.kind == Value::Kind::Null ? std::string() : SqlTypes::text(v.value);
}

// RAISERROR's printf-style message: %d %i %u %s %x %X %o (flags and width accepted), %%.
std::string formatMessage(const std::string& format, const std::vector<TypedValue>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        size_t j = i + 1;
        if (j < format.size() && format[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        while (j < format.size() &&
               std::string("-+ 0#.*123456789hlI").find(format[j]) != std::string::npos)
            ++j;
        if (j >= format.size() || std::string("diusxXo").find(format[j]) == std::string::npos) {
            out += format[i];
            continue;
        }
        const char conv = format[j];
        i = j;
        if (next >= args.size() || args[next].value.kind == Value::Kind::Null) {
            out += "(null)";
            ++next;
            continue;
        }
        const Value& v = args[next++].value;
        if (conv == 's' || v.kind != Value::Kind::Int) {
            out += SqlTypes::text(v);
        } else {
            char buf[32];
            const char* format = conv == 'x'   ? "%llx"
                                 : conv == 'X' ? "%llX"
                                 : conv == 'o' ? "%llo"
                                               : "%lld";
            std::snprintf(buf, sizeof buf, format, static_cast<long long>(v.i));
            out += buf;
        }
    }
    return out;
}

}  // namespace

Reply BatchRunner::run(const std::vector<Statement>& statements) {
    Scope scope;
    declareAll(statements, scope);
    Frame f{&scope, 0};
    runList(statements, f);
    return std::move(reply_);
}

// Every variable of a batch exists from its start, NULL, as the server declares them when it
// compiles the batch; DECLARE itself only gives the value it names.
void BatchRunner::declareAll(const std::vector<Statement>& list, Scope& scope) {
    for (const Statement& st : list) {
        if (auto* d = std::get_if<DeclareStatement>(&st.body)) {
            for (const auto& v : d->variables) {
                scope.push_back(Variable{v.name, v.type,
                                         TypedValue{Value::null(), SqlTypes::columnOf(v.type)}});
            }
        } else if (auto* i = std::get_if<IfStatement>(&st.body)) {
            declareAll(i->then, scope);
            declareAll(i->otherwise, scope);
        } else if (auto* b = std::get_if<BlockStatement>(&st.body)) {
            declareAll(b->body, scope);
        } else if (auto* t = std::get_if<TryCatchStatement>(&st.body)) {
            declareAll(t->body, scope);
            declareAll(t->handler, scope);
        }
    }
}

BatchRunner::Flow BatchRunner::runList(const std::vector<Statement>& list, Frame& f) {
    for (const Statement& st : list) {
        const Flow flow = runOne(st, f);
        if (flow != Flow::Next) return flow;
    }
    return Flow::Next;
}

BatchRunner::Flow BatchRunner::runOne(const Statement& st, Frame& f) {
    const uint16_t line = st.line;
    if (auto* s = std::get_if<DeclareStatement>(&st.body)) return declare(*s, line, f);
    if (auto* s = std::get_if<SetVariableStatement>(&st.body)) return setVariable(*s, line, f);
    if (auto* s = std::get_if<IfStatement>(&st.body)) return ifStatement(*s, line, f);
    if (auto* s = std::get_if<BlockStatement>(&st.body)) return runList(s->body, f);
    if (auto* s = std::get_if<TryCatchStatement>(&st.body)) return tryCatch(*s, f);
    if (auto* s = std::get_if<ExecSqlStatement>(&st.body)) return execSql(*s, line, f);
    if (auto* s = std::get_if<RaiserrorStatement>(&st.body)) return raiserror(*s, line, f);
    if (auto* s = std::get_if<ThrowStatement>(&st.body)) return throwStatement(*s, line, f);
    if (auto* s = std::get_if<PrintStatement>(&st.body)) return print(*s, line, f);
    if (std::holds_alternative<ReturnStatement>(st.body)) return Flow::Return;
    if (auto* s = std::get_if<ExecStatement>(&st.body); s && isExecuteSql(*s))
        return executeSql(*s, line, f);
    return settle(host_.runStatement(st, context(f)), f);
}

BatchRunner::Flow BatchRunner::settle(Outcome o, Frame& f) {
    auto last = std::find_if(o.tokens.rbegin(), o.tokens.rend(), isError);
    const Message* err = last == o.tokens.rend() ? nullptr : &std::get<Message>(*last);
    lastError_ = err ? err->number : 0;
    if (err && f.tryDepth > 0 && catchable(*err)) {
        // A caught error is not sent: the CATCH block has it instead.
        raised_ = *err;
        for (Token& t : o.tokens) {
            if (auto* d = std::get_if<Done>(&t)) d->status &= ~DoneError;
            if (!isError(t)) reply_.push_back(std::move(t));
        }
        return Flow::Raised;
    }
    for (Token& t : o.tokens) reply_.push_back(std::move(t));
    return o.abortBatch ? Flow::Abort : Flow::Next;
}

std::optional<TypedValue> BatchRunner::evaluate(const Expr& e, uint16_t line, Frame& f,
                                                Flow& flow) {
    Message err;
    std::optional<TypedValue> v = ExprEvaluator::evaluate(e, context(f), err);
    if (!v) flow = settle(Outcome::failed(err, line, true), f);
    return v;
}

bool BatchRunner::evaluateAll(const std::vector<Expr>& exprs, uint16_t line, Frame& f, Flow& flow,
                              std::vector<TypedValue>& out) {
    for (const Expr& e : exprs) {
        std::optional<TypedValue> v = evaluate(e, line, f, flow);
        if (!v) return false;
        out.push_back(*v);
    }
    return true;
}

BatchRunner::Flow BatchRunner::declare(const DeclareStatement& d, uint16_t line, Frame& f) {
    for (const auto& v : d.variables) {
        if (!v.value) continue;
        Flow flow = Flow::Next;
        std::optional<TypedValue> value = evaluate(*v.value, line, f, flow);
        Message err;
        if (!value) return flow;
        if (!assign(f, v.name, *value, err)) return settle(Outcome::failed(err, line, true), f);
    }
    lastError_ = 0;
    return Flow::Next;
}

BatchRunner::Flow BatchRunner::setVariable(const SetVariableStatement& s, uint16_t line, Frame& f) {
    Flow flow = Flow::Next;
    std::optional<TypedValue> value = evaluate(s.value, line, f, flow);
    if (!value) return flow;
    Message err;
    if (!assign(f, s.name, *value, err)) return settle(Outcome::failed(err, line, true), f);
    lastError_ = 0;
    return Flow::Next;
}

BatchRunner::Flow BatchRunner::ifStatement(const IfStatement& s, uint16_t line, Frame& f) {
    Message err;
    std::optional<bool> holds = ExprEvaluator::holds(s.condition, context(f), err);
    if (!holds) return settle(Outcome::failed(err, line, true), f);
    lastError_ = 0;
    return runList(*holds ? s.then : s.otherwise, f);
}

BatchRunner::Flow BatchRunner::tryCatch(const TryCatchStatement& s, Frame& f) {
    Frame inner = f;
    ++inner.tryDepth;
    const Flow flow = runList(s.body, inner);
    if (flow != Flow::Raised) return flow;
    caught_.push_back(*raised_);
    raised_.reset();
    // Errors of the CATCH block itself go to the client, or to an outer CATCH.
    const Flow handled = runList(s.handler, f);
    caught_.pop_back();
    return handled;
}

BatchRunner::Flow BatchRunner::execSql(const ExecSqlStatement& s, uint16_t line, Frame& f) {
    Flow flow = Flow::Next;
    std::optional<TypedValue> sql = evaluate(s.sql, line, f, flow);
    if (!sql) return flow;
    return runDynamic(textOf(*sql), line, f, false);
}

bool BatchRunner::isExecuteSql(const ExecStatement& e) {
    return Collation::equal(e.procedure, "sp_executesql") &&
           (e.database.empty() || Collation::equal(e.database, "master")) &&
           (e.owner.empty() || Collation::equal(e.owner, "dbo") ||
            Collation::equal(e.owner, "sys"));
}

// sp_executesql @statement: the statement must be Unicode; parameters are not served.
BatchRunner::Flow BatchRunner::executeSql(const ExecStatement& e, uint16_t line, Frame& f) {
    const std::string proc = "sp_executesql";
    if (e.args.size() != 1) {
        const Message m =
            e.args.empty()
                ? Messages::error(201, 16, 4,
                                  "Procedure '" + proc +
                                      "' expects parameter '@statement', which was not supplied.",
                                  proc)
                : Messages::error(
                      8144, 16, 2,
                      "Procedure or function " + proc + " has too many arguments specified.", proc);
        return settle(Outcome::failed(m, line), f);
    }
    const ArgValue& a = e.args[0].value;
    std::string sql;
    bool unicode = a.unicode;
    if (a.kind == ArgValue::Kind::Variable) {
        const Variable* v = find(*f.scope, a.text);
        unicode = v && SqlTypes::isUnicode(v->type);
        if (v) sql = textOf(v->value);
    } else {
        sql = a.text;
    }
    if (!unicode) {
        return settle(Outcome::failed(Messages::error(214, 16, 2,
                                                      "Procedure expects parameter "
                                                      "'@statement' of type "
                                                      "'ntext/nchar/nvarchar'.",
                                                      proc),
                                      line),
                      f);
    }
    return runDynamic(sql, line, f, true);
}

// A dynamic batch: parsed on its own, with variables of its own; a compile error in it is the
// EXEC's error, and whatever ends it ends only it.
BatchRunner::Flow BatchRunner::runDynamic(const std::string& sql, uint16_t line, Frame& f,
                                          bool asProcedure) {
    if (dynamicDepth_ >= kMaxNesting) {
        return settle(Outcome::failed(Messages::error(217, 16, 1,
                                                      "Maximum stored procedure, function, "
                                                      "trigger, or view nesting level exceeded "
                                                      "(limit 32)."),
                                      line, true),
                      f);
    }
    ParseResult parsed = Parser::parseBatch(sql, host_.version());
    if (parsed.failure) {
        Outcome o = Outcome::failed(*parsed.failure, parsed.failure->line);
        return settle(std::move(o), f);
    }
    Scope scope;
    declareAll(parsed.statements, scope);
    Frame inner{&scope, f.tryDepth};
    const size_t mark = reply_.size();
    ++dynamicDepth_;
    const Flow flow = runList(parsed.statements, inner);
    --dynamicDepth_;
    if (flow == Flow::Raised) return flow;
    if (asProcedure) {
        bool failed = false;
        for (size_t i = mark; i < reply_.size(); ++i) {
            if (auto* d = std::get_if<Done>(&reply_[i])) d->kind = Done::Kind::DoneInProc;
            failed = failed || isError(reply_[i]);
        }
        reply_.push_back(ReturnStatus{failed ? 1 : 0});
        Done end = Outcome::done();
        end.kind = Done::Kind::DoneProc;
        reply_.push_back(end);
    }
    return Flow::Next;
}

BatchRunner::Flow BatchRunner::raiserror(const RaiserrorStatement& r, uint16_t line, Frame& f) {
    Flow flow = Flow::Next;
    std::vector<TypedValue> args;
    if (!evaluateAll(r.args, line, f, flow, args)) return flow;
    const int64_t severity = std::clamp<int64_t>(intOf(args[1]), 0, 25);
    const auto state = static_cast<uint8_t>(std::clamp<int64_t>(intOf(args[2]), 0, 255));
    const bool log = std::count(r.withOptions.begin(), r.withOptions.end(), "LOG") > 0;
    if (severity > 18 && !log) {
        return settle(Outcome::failed(Messages::error(2754, 16, 1,
                                                      "Error severity levels greater than 18 "
                                                      "can only be specified by members of the "
                                                      "sysadmin role, using the WITH LOG "
                                                      "option."),
                                      line),
                      f);
    }
    Message m;
    if (args[0].value.kind == Value::Kind::Int) {
        // Only messages added with sp_addmessage have numbers, and this server has none.
        const int64_t id = args[0].value.i;
        m = id < 13000 || id == 50000
                ? Messages::error(2732, 16, 1,
                                  "Error number " + std::to_string(id) +
                                      " is invalid. The number must be from 13000 through "
                                      "2147483647 and it cannot be 50000.")
                : Messages::error(18054, 16, 1,
                                  "Error " + std::to_string(id) + ", severity " +
                                      std::to_string(severity) + ", state " +
                                      std::to_string(state) +
                                      " was raised, but no message with that error number was "
                                      "found in sys.messages. If error is larger than 50000, "
                                      "make sure the user-defined message is added using "
                                      "sp_addmessage.");
    } else {
        const std::vector<TypedValue> rest(args.begin() + 3, args.end());
        m = Messages::error(50000, static_cast<uint8_t>(severity), state,
                            FilePaths::fit(formatMessage(textOf(args[0]), rest), 2047));
    }
    m.line = line;
    Outcome o;
    o.tokens.push_back(m);
    o.tokens.push_back(Outcome::done(m.severity > 10 ? DoneError : DoneFinal));
    return settle(std::move(o), f);
}

// THROW ends the batch unless a CATCH takes it.
BatchRunner::Flow BatchRunner::throwStatement(const ThrowStatement& t, uint16_t line, Frame& f) {
    Message m;
    if (t.args.empty()) {
        if (caught_.empty()) return Flow::Next;
        m = caught_.back();
    } else {
        Flow flow = Flow::Next;
        std::vector<TypedValue> args;
        if (!evaluateAll(t.args, line, f, flow, args)) return flow;
        const int64_t number = args[0].value.i;
        if (args[0].value.kind != Value::Kind::Int || number < 50000) {
            m = Messages::error(35100, 16, 10,
                                "Error number " + textOf(args[0]) +
                                    " in the THROW statement is outside the valid range. "
                                    "Specify an error number in the valid range of 50000 to "
                                    "2147483647.");
        } else {
            m = Messages::error(static_cast<int32_t>(number), 16,
                                static_cast<uint8_t>(std::clamp<int64_t>(intOf(args[2]), 0, 255)),
                                textOf(args[1]));
        }
        m.line = line;
    }
    Outcome o;
    o.tokens.push_back(m);
    o.tokens.push_back(Outcome::done(DoneError));
    o.abortBatch = true;
    return settle(std::move(o), f);
}

BatchRunner::Flow BatchRunner::print(const PrintStatement& p, uint16_t line, Frame& f) {
    Flow flow = Flow::Next;
    std::optional<TypedValue> v = evaluate(p.value, line, f, flow);
    if (!v) return flow;
    Message m = Messages::error(0, 0, 1, textOf(*v));
    m.line = line;
    Outcome o;
    o.tokens.push_back(m);
    o.tokens.push_back(Outcome::done());
    return settle(std::move(o), f);
}

// ---- variables and values -------------------------------------------------------------------

BatchRunner::Variable* BatchRunner::find(Scope& scope, const std::string& name) const {
    for (Variable& v : scope) {
        if (Collation::equal(v.name, name)) return &v;
    }
    return nullptr;
}

bool BatchRunner::assign(Frame& f, const std::string& name, const TypedValue& v, Message& error) {
    Variable* var = find(*f.scope, name);
    if (!var) return true;  // the parser let through only declared names
    return SqlTypes::convert(v, var->type, host_.version(), var->value, error);
}

EvalContext BatchRunner::context(Frame& f) {
    EvalContext ctx;
    ctx.version = host_.version();
    ctx.scalar = [this, &f](const Expr& e, const std::vector<TypedValue>& args, Message& err) {
        return value(e, args, err, f);
    };
    ctx.assign = [this, &f](const std::string& name, const TypedValue& v, Message& err) {
        return assign(f, name, v, err);
    };
    return ctx;
}

std::optional<TypedValue> BatchRunner::value(const Expr& e, const std::vector<TypedValue>& args,
                                             Message& error, Frame& f) {
    if (e.kind == Expr::Kind::LocalVariable) {
        if (const Variable* v = find(*f.scope, e.name)) return v->value;
        return TypedValue{Value::null(), Column{"", ColType::IntN, 0, true}};
    }
    if (e.kind == Expr::Kind::Variable && e.name == "@@ERROR")
        return TypedValue{Value::integer(lastError_), Column{"", ColType::Int, 0, false}};
    if (e.kind == Expr::Kind::Function && e.name.rfind("ERROR_", 0) == 0)
        return errorFunction(e.name);
    return host_.serverValue(e, args, error);
}

// ERROR_NUMBER() and its kin: the error the innermost CATCH being run took; NULL elsewhere.
std::optional<TypedValue> BatchRunner::errorFunction(const std::string& name) const {
    const bool text = name == "ERROR_MESSAGE" || name == "ERROR_PROCEDURE";
    TypedValue v;
    v.column = text ? Column{"", ColType::NVarChar,
                             static_cast<uint16_t>(name == "ERROR_MESSAGE" ? 4000 : 128), true}
                    : Column{"", ColType::IntN, 0, true};
    if (caught_.empty()) return v;
    const Message& m = caught_.back();
    if (name == "ERROR_MESSAGE") v.value = Value::str(m.text);
    if (name == "ERROR_PROCEDURE" && !m.procName.empty()) v.value = Value::str(m.procName);
    if (name == "ERROR_NUMBER") v.value = Value::integer(m.number);
    if (name == "ERROR_SEVERITY") v.value = Value::integer(m.severity);
    if (name == "ERROR_STATE") v.value = Value::integer(m.state);
    if (name == "ERROR_LINE") v.value = Value::integer(m.line);
    return v;
}

}  // namespace standin
