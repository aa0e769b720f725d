#include "Engine.h"

#include "BatchRunner.h"
#include "Collation.h"
#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/ServerFunctions.h"
#include "statements/StatementContext.h"
#include "statements/StatementTable.h"

namespace standin {

namespace {

// One session's batch as the batch runner sees the server: statements that act on it and the
// values only it knows.
class SessionHost : public StatementHost {
public:
    SessionHost(Instance& instance, Sessions& sessions, SessionState& session)
        : instance_(instance), sessions_(sessions), session_(session) {}

    Outcome runStatement(const Statement& st, const EvalContext& eval) override {
        StatementContext context{instance_, sessions_, session_, eval, st.line};
        return StatementTable::run(st.body, context);
    }
    std::optional<TypedValue> serverValue(const Expr& e, const std::vector<TypedValue>& args,
                                          Message& error) override {
        return ServerFunctions::value(instance_, session_, e, args, error);
    }
    const ServerVersion& version() const override { return instance_.version(); }

private:
    Instance& instance_;
    Sessions& sessions_;
    SessionState& session_;
};

// Every DONE but the last says more follows; an open transaction shows in each.
void finish(Reply& reply, const SessionState& state) {
    size_t last = reply.size();
    for (size_t i = reply.size(); i-- > 0;) {
        if (auto* d = std::get_if<Done>(&reply[i]); d && d->kind != Done::Kind::DoneInProc) {
            last = i;
            break;
        }
    }
    for (size_t i = 0; i < reply.size(); ++i) {
        if (auto* d = std::get_if<Done>(&reply[i])) {
            if (i != last) d->status |= DoneMore;
            if (state.trancount > 0) d->status |= DoneInXact;
        }
    }
}

}  // namespace

struct Engine::Impl {
    Impl(std::filesystem::path dir, std::string password, ServerOptions options)
        : instance(std::move(dir), std::move(options)), saPassword(std::move(password)) {}

    Instance instance;
    Sessions sessions;
    std::string saPassword;
};

Engine::Engine(std::filesystem::path dataDir, std::string saPassword, ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(dataDir), std::move(saPassword), std::move(options))) {
}

Engine::~Engine() = default;

const ServerVersion& Engine::version() const {
    return impl_->instance.version();
}

LoginOutcome Engine::login(const std::string& user, const std::string& password,
                           const std::string& database, Session& session) {
    LoginOutcome out;
    Done refused;
    refused.status = DoneError;
    if (!Collation::equal(user, "sa") || password != impl_->saPassword) {
        out.refusal.push_back(Messages::loginFailed(user));
        out.refusal.push_back(refused);
        return out;
    }
    const std::string dbName = database.empty() ? "master" : database;
    const Database* db = impl_->instance.find(dbName);
    // A database that is there but cannot be entered says why first (945, 942, 927, 924).
    const std::optional<Message> why =
        db ? impl_->instance.entryRefusal(*db, impl_->sessions.inUse(db->name())) : std::nullopt;
    if (!db || why) {
        if (why) out.refusal.push_back(*why);
        out.refusal.push_back(Messages::cannotOpenLoginDatabase(version(), dbName));
        out.refusal.push_back(Messages::loginFailed(user));
        out.refusal.push_back(refused);
        return out;
    }
    const SessionState& opened = impl_->sessions.open(db->name());
    session.spid = opened.spid;
    session.database = opened.database;
    out.accepted = true;
    return out;
}

Reply Engine::executeBatch(Session& session, const std::string& sql) {
    SessionState& state = impl_->sessions.state(session.spid, session.database);
    Reply reply;
    ParseResult parsed = Parser::parseBatch(sql, version());
    if (parsed.failure) {
        reply.push_back(*parsed.failure);
        reply.push_back(Outcome::done(DoneError));
        return reply;
    }
    SessionHost host(impl_->instance, impl_->sessions, state);
    reply = BatchRunner(host).run(parsed.statements);
    session.database = state.database;
    if (reply.empty()) reply.push_back(Outcome::done());
    finish(reply, state);
    return reply;
}

void Engine::logout(Session& session) {
    impl_->sessions.close(session.spid);
}

}  // namespace standin
