#include "Engine.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

#include "Collation.h"
#include "Messages.h"
#include "Parser.h"
#include "SelectRunner.h"

namespace standin {

namespace {

const char* const kVersion =
    "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n\tCopyright "
    "(c) 1988-2003 Microsoft Corporation\n\tStandard Edition on Windows NT 5.0 (Build 2195: "
    "Service Pack 4)\n";

constexpr uint16_t kCmdSelect = 0xC1;

Value now() {
    using namespace std::chrono;
    const auto t = system_clock::now().time_since_epoch();
    const int64_t ms = duration_cast<milliseconds>(t).count();
    const int64_t dayMs = 86400000;
    const int64_t days = ms / dayMs;
    const int64_t rest = ms % dayMs;
    // 25567 days from 1900-01-01 to 1970-01-01.
    return Value::dateTime(days + 25567, rest * 300 / 1000);
}

}  // namespace

struct Engine::Impl {
    struct Database {
        std::string name;
        int dbid = 0;
        Value crdate;
        std::string primaryPath;
        bool system = false;
    };

    struct SessionState {
        std::string database;
        bool nocount = false;
        int trancount = 0;
    };

    std::filesystem::path dataDir;
    std::string saPassword;
    std::vector<Database> databases;
    std::map<int, SessionState> sessions;

    Impl(std::filesystem::path dir, std::string password)
        : dataDir(std::move(dir)), saPassword(std::move(password)) {
        const Value created = Value::dateTime(36570, 0);  // 2000-02-16
        const struct {
            const char* name;
            int id;
            const char* file;
        } sys[] = {{"master", 1, "master.mdf"},
                   {"tempdb", 2, "tempdb.mdf"},
                   {"model", 3, "model.mdf"},
                   {"msdb", 4, "msdbdata.mdf"}};
        for (const auto& s : sys) {
            databases.push_back(Database{s.name, s.id, created, (dataDir / s.file).string(), true});
        }
    }

    Database* findDatabase(const std::string& name) {
        for (Database& d : databases) {
            if (Collation::equal(d.name, name)) return &d;
        }
        return nullptr;
    }

    // ---- one statement --------------------------------------------------------------------

    struct Outcome {
        Reply tokens;
        bool abortBatch = false;
    };

    static Done done(uint16_t status = DoneFinal, uint32_t count = 0, uint16_t cmd = 0) {
        Done d;
        d.status = status;
        d.rowCount = count;
        d.curCmd = cmd;
        return d;
    }

    static Outcome failed(Message m, uint16_t line, bool abort = false) {
        Outcome o;
        m.line = line;
        o.tokens.push_back(std::move(m));
        o.tokens.push_back(done(DoneError));
        o.abortBatch = abort;
        return o;
    }

    Outcome run(Session& session, SessionState& state, const Statement& st) {
        if (auto* s = std::get_if<SelectStatement>(&st.body))
            return select(session, state, *s, st.line);
        if (auto* s = std::get_if<SetStatement>(&st.body)) {
            for (const std::string& o : s->options) {
                if (o == "NOCOUNT") state.nocount = s->value == "ON";
            }
            Outcome out;
            out.tokens.push_back(done());
            return out;
        }
        if (auto* s = std::get_if<UseStatement>(&st.body)) return use(session, state, *s, st.line);
        if (auto* s = std::get_if<ExecStatement>(&st.body)) {
            return failed(Messages::procedureNotFound(s->written), st.line);
        }
        if (auto* s = std::get_if<TransactionStatement>(&st.body))
            return transaction(state, *s, st.line);
        if (auto* s = std::get_if<PrintStatement>(&st.body)) {
            Outcome out;
            Message m = Messages::error(0, 0, 1, s->text);
            m.line = st.line;
            out.tokens.push_back(m);
            out.tokens.push_back(done());
            return out;
        }
        return failed(Messages::error(2812, 16, 62, "This statement is not supported yet."),
                      st.line);
    }

    Outcome transaction(SessionState& state, const TransactionStatement& t, uint16_t line) {
        Outcome out;
        switch (t.kind) {
            case TransactionStatement::Kind::Begin:
                ++state.trancount;
                break;
            case TransactionStatement::Kind::Commit:
                if (state.trancount == 0) {
                    if (t.onlyIfOpen) break;
                    return failed(Messages::error(3902, 16, 1,
                                                  "The COMMIT TRANSACTION request has no "
                                                  "corresponding BEGIN TRANSACTION."),
                                  line);
                }
                --state.trancount;
                break;
            case TransactionStatement::Kind::Rollback:
                if (state.trancount == 0) {
                    if (t.onlyIfOpen) break;
                    return failed(Messages::error(3903, 16, 1,
                                                  "The ROLLBACK TRANSACTION request has no "
                                                  "corresponding BEGIN TRANSACTION."),
                                  line);
                }
                state.trancount = 0;
                break;
        }
        out.tokens.push_back(done());
        return out;
    }

    Outcome use(Session& session, SessionState& state, const UseStatement& u, uint16_t line) {
        Database* db = findDatabase(u.database);
        if (!db) return failed(Messages::noSuchDatabase(u.database), line, true);
        Outcome out;
        out.tokens.push_back(DatabaseChange{db->name, state.database});
        Message m = Messages::changedDatabase(db->name);
        m.line = line;
        out.tokens.push_back(m);
        out.tokens.push_back(done());
        state.database = db->name;
        session.database = db->name;
        return out;
    }

    ResultSet sysdatabases() {
        ResultSet t;
        t.columns = {
            {"name", ColType::NVarChar, 128, false},    {"dbid", ColType::SmallInt, 0, false},
            {"sid", ColType::VarBinary, 85, true},      {"mode", ColType::SmallInt, 0, false},
            {"status", ColType::Int, 0, false},         {"status2", ColType::Int, 0, false},
            {"crdate", ColType::DateTime, 0, false},    {"reserved", ColType::DateTime, 0, false},
            {"category", ColType::Int, 0, false},       {"cmptlevel", ColType::TinyInt, 0, false},
            {"filename", ColType::NVarChar, 260, true}, {"version", ColType::SmallIntN, 0, true},
        };
        for (const Database& d : databases) {
            const int status = d.name == "master" || d.name == "msdb" ? 24
                               : d.name == "tempdb"                   ? 8
                                                                      : 16;
            t.rows.push_back({Value::str(d.name), Value::integer(d.dbid),
                              Value::bytes(std::string(1, '\x01')), Value::integer(0),
                              Value::integer(status), Value::integer(1090519040), d.crdate,
                              Value::dateTime(0, 0), Value::integer(0), Value::integer(80),
                              Value::str(d.primaryPath), Value::integer(539)});
        }
        return t;
    }

    std::optional<ResultSet> table(const SessionState& state, const ObjectName& o, Message& err) {
        const std::string db = o.database.empty() ? state.database : o.database;
        const bool ownerOk = o.owner.empty() || Collation::equal(o.owner, "dbo");
        Database* d = findDatabase(db);
        if (ownerOk && d && Collation::equal(o.object, "sysdatabases") &&
            Collation::equal(d->name, "master")) {
            return sysdatabases();
        }
        err = Messages::error(208, 16, 1, "Invalid object name '" + o.written + "'.");
        return std::nullopt;
    }

    std::optional<TypedValue> scalar(const Session& session, const SessionState& state,
                                     const Expr& e, Message& err) {
        TypedValue tv;
        auto text = [&](const std::string& s, uint16_t max, bool nullable) {
            tv.column = Column{"", ColType::NVarChar, max, nullable};
            tv.value = Value::str(s);
            return tv;
        };
        auto integer = [&](int64_t v, ColType type) {
            tv.column = Column{"", type, 0, false};
            tv.value = Value::integer(v);
            return tv;
        };
        if (e.kind == Expr::Kind::Variable) {
            if (e.name == "@@VERSION") return text(kVersion, 256, false);
            if (e.name == "@@SPID") return integer(session.spid, ColType::SmallInt);
            if (e.name == "@@TRANCOUNT") return integer(state.trancount, ColType::Int);
            if (e.name == "@@SERVERNAME") return text("STANDIN", 128, true);
            if (e.name == "@@SERVICENAME") return text("MSSQLSERVER", 128, true);
            if (e.name == "@@LANGUAGE") return text("us_english", 128, false);
            if (e.name == "@@MAX_PRECISION") return integer(38, ColType::TinyInt);
            if (e.name == "@@TEXTSIZE") return integer(2147483647, ColType::Int);
            return integer(0, ColType::Int);
        }
        // Functions.
        auto argText = [&](size_t i) -> std::optional<std::string> {
            if (e.args.size() <= i) return std::nullopt;
            const Expr& a = e.args[i];
            if (a.kind == Expr::Kind::Text) return a.text;
            if (a.kind == Expr::Kind::Integer) return std::to_string(a.number);
            return std::nullopt;
        };
        if (e.name == "DB_NAME") {
            tv.column = Column{"", ColType::NVarChar, 128, true};
            if (e.args.empty()) {
                tv.value = Value::str(state.database);
            } else if (e.args[0].kind == Expr::Kind::Integer) {
                for (const Database& d : databases) {
                    if (d.dbid == e.args[0].number) tv.value = Value::str(d.name);
                }
            }
            return tv;
        }
        if (e.name == "DB_ID") {
            tv.column = Column{"", ColType::SmallIntN, 0, true};
            const Database* d = findDatabase(argText(0).value_or(state.database));
            if (d) tv.value = Value::integer(d->dbid);
            return tv;
        }
        if (e.name == "SUSER_SNAME") return text("sa", 128, true);
        if (e.name == "USER_NAME") return text("dbo", 128, true);
        if (e.name == "GETDATE") {
            tv.column = Column{"", ColType::DateTime, 0, false};
            tv.value = now();
            return tv;
        }
        if (e.name == "SERVERPROPERTY") {
            tv.column = Column{"", ColType::SqlVariant, 0, true};
            const std::string p = argText(0).value_or("");
            if (Collation::equal(p, "ProductVersion")) tv.value = Value::str("8.00.2039");
            if (Collation::equal(p, "ProductLevel")) tv.value = Value::str("SP4");
            if (Collation::equal(p, "Edition")) tv.value = Value::str("Standard Edition");
            if (Collation::equal(p, "Collation")) tv.value = Value::str(Collation::kDefaultName);
            if (Collation::equal(p, "ServerName") || Collation::equal(p, "MachineName"))
                tv.value = Value::str("STANDIN");
            return tv;
        }
        err = Messages::error(195, 15, 10, "'" + e.name + "' is not a recognized function name.");
        return std::nullopt;
    }

    Outcome select(const Session& session, const SessionState& state, const SelectStatement& s,
                   uint16_t line) {
        SelectContext ctx;
        ctx.table = [&](const ObjectName& o, Message& err) { return table(state, o, err); };
        ctx.scalar = [&](const Expr& e, Message& err) { return scalar(session, state, e, err); };
        ResultSet rs;
        Message err;
        if (!SelectRunner::run(s, ctx, rs, err)) return failed(err, line, true);
        Outcome out;
        const uint32_t n = static_cast<uint32_t>(rs.rows.size());
        out.tokens.push_back(std::move(rs));
        out.tokens.push_back(done(state.nocount ? DoneFinal : DoneCount, n, kCmdSelect));
        return out;
    }

    // ---- a batch ----------------------------------------------------------------------------

    Reply batch(Session& session, const std::string& sql) {
        SessionState& state = sessions[session.spid];
        if (state.database.empty()) state.database = session.database;
        Reply reply;
        ParseResult parsed = Parser::parseBatch(sql);
        if (parsed.failure) {
            reply.push_back(*parsed.failure);
            reply.push_back(done(DoneError));
            return reply;
        }
        for (const Statement& st : parsed.statements) {
            Outcome o = run(session, state, st);
            for (Token& t : o.tokens) reply.push_back(std::move(t));
            if (o.abortBatch) break;
        }
        if (reply.empty()) reply.push_back(done());
        finish(reply, state);
        return reply;
    }

    // Every DONE but the last says more follows; an open transaction shows in each.
    static void finish(Reply& reply, const SessionState& state) {
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
};

Engine::Engine(std::filesystem::path dataDir, std::string saPassword)
    : impl_(std::make_unique<Impl>(std::move(dataDir), std::move(saPassword))) {}

Engine::~Engine() = default;

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
    Impl::Database* db = impl_->findDatabase(dbName);
    if (!db) {
        out.refusal.push_back(Messages::cannotOpenLoginDatabase(dbName));
        out.refusal.push_back(Messages::loginFailed(user));
        out.refusal.push_back(refused);
        return out;
    }
    int spid = 51;
    while (impl_->sessions.count(spid)) ++spid;
    session.spid = spid;
    session.database = db->name;
    impl_->sessions[spid].database = db->name;
    out.accepted = true;
    return out;
}

Reply Engine::executeBatch(Session& session, const std::string& sql) {
    return impl_->batch(session, sql);
}

void Engine::logout(Session& session) {
    impl_->sessions.erase(session.spid);
}

}  // namespace standin
