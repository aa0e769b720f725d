#include "Engine.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

#include "BatchRunner.h"
#include "Collation.h"
#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "SelectRunner.h"

namespace standin {

namespace {

constexpr uint16_t kCmdSelect = 0xC1;

}  // namespace

struct Engine::Impl : StatementHost {
    struct SessionState {
        std::string database;
        bool nocount = false;
        int trancount = 0;
    };

    Instance instance;
    std::string saPassword;
    std::map<int, SessionState> sessions;

    Impl(std::filesystem::path dir, std::string password, ServerOptions options)
        : instance(std::move(dir), std::move(options)), saPassword(std::move(password)) {}

    const ServerVersion& version() const override { return instance.version(); }

    // The session whose batch is running.
    Session* session = nullptr;
    SessionState* state = nullptr;

    Database* findDatabase(const std::string& name) { return instance.find(name); }

    bool inUse(const Database& db) const {
        for (const auto& s : sessions) {
            if (Collation::equal(s.second.database, db.name())) return true;
        }
        return false;
    }

    // ---- one statement --------------------------------------------------------------------

    static Done done(uint16_t status = DoneFinal, uint32_t count = 0, uint16_t cmd = 0) {
        return Outcome::done(status, count, cmd);
    }
    static Outcome failed(Message m, uint16_t line, bool abort = false) {
        return Outcome::failed(std::move(m), line, abort);
    }

    Outcome runStatement(const Statement& st, const EvalContext& eval) override {
        if (auto* s = std::get_if<SelectStatement>(&st.body)) return select(*s, st.line, eval);
        if (auto* s = std::get_if<SetStatement>(&st.body)) {
            for (const std::string& o : s->options) {
                if (o == "NOCOUNT") state->nocount = s->value == "ON";
            }
            Outcome out;
            out.tokens.push_back(done());
            return out;
        }
        if (auto* s = std::get_if<UseStatement>(&st.body))
            return use(*session, *state, *s, st.line);
        if (auto* s = std::get_if<ExecStatement>(&st.body)) {
            Message err;
            std::optional<ExecStatement> bound = withValues(*s, eval, err);
            if (!bound) return failed(err, st.line, true);
            return exec(*bound, st.line);
        }
        if (auto* s = std::get_if<CreateDatabaseStatement>(&st.body)) {
            return plain(instance.createDatabase(*s), st.line);
        }
        if (auto* s = std::get_if<DbccStatement>(&st.body)) {
            DbccStatement d = *s;
            Message err;
            if (!resolve(d.args, eval, err)) return failed(err, st.line, true);
            return dbcc(*state, d, st.line);
        }
        if (auto* s = std::get_if<BackupLogStatement>(&st.body)) return backupLog(*s, st.line);
        if (auto* s = std::get_if<TransactionStatement>(&st.body))
            return transaction(*state, *s, st.line);
        if (auto* s = std::get_if<AlterDatabaseStatement>(&st.body))
            return alterDatabase(*s, st.line);
        if (std::holds_alternative<CheckpointStatement>(st.body))
            return checkpoint(*state, st.line);
        return failed(Messages::error(102, 15, 1, "Incorrect syntax."), st.line);
    }

    // Procedure and DBCC arguments given as @variables take the variables' values.
    static bool resolve(std::vector<ArgValue>& args, const EvalContext& eval, Message& err) {
        for (ArgValue& a : args) {
            if (a.kind != ArgValue::Kind::Variable) continue;
            Expr e;
            e.kind = Expr::Kind::LocalVariable;
            e.name = a.text;
            std::optional<TypedValue> v = ExprEvaluator::evaluate(e, eval, err);
            if (!v) return false;
            if (v->value.kind == Value::Kind::Null) {
                a = ArgValue{ArgValue::Kind::Null, "", 0, false};
            } else if (v->value.kind == Value::Kind::Int) {
                a = ArgValue{ArgValue::Kind::Integer, std::to_string(v->value.i), v->value.i,
                             false};
            } else {
                a = ArgValue{ArgValue::Kind::Text, SqlTypes::text(v->value), 0, true};
            }
        }
        return true;
    }

    static std::optional<ExecStatement> withValues(const ExecStatement& e, const EvalContext& eval,
                                                   Message& err) {
        ExecStatement out = e;
        std::vector<ArgValue> values;
        for (const ProcArg& a : out.args) values.push_back(a.value);
        if (!resolve(values, eval, err)) return std::nullopt;
        for (size_t i = 0; i < values.size(); ++i) out.args[i].value = values[i];
        return out;
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
        if (!db) return failed(Messages::noSuchDatabase(version(), u.database), line, true);
        if (db->suspect) return failed(unavailable(*db), line, true);
        Outcome out;
        out.tokens.push_back(DatabaseChange{db->name(), state.database});
        Message m = Messages::changedDatabase(db->name());
        m.line = line;
        out.tokens.push_back(m);
        out.tokens.push_back(done());
        state.database = db->name();
        session.database = db->name();
        return out;
    }

    std::optional<ResultSet> table(const SessionState& state, const ObjectName& o, Message& err) {
        const std::string dbName = o.database.empty() ? state.database : o.database;
        const bool ownerOk = o.owner.empty() || Collation::equal(o.owner, "dbo");
        Database* d = findDatabase(dbName);
        if (ownerOk && d) {
            const bool inMaster = d->entry.dbid == 1;
            if (inMaster && Collation::equal(o.object, "sysdatabases"))
                return instance.sysdatabases();
            if (inMaster && Collation::equal(o.object, "sysaltfiles"))
                return instance.sysaltfiles();
            if (Collation::equal(o.object, "sysfiles")) {
                if (d->suspect) {
                    err = unavailable(*d);
                    return std::nullopt;
                }
                return instance.sysfiles(*d);
            }
        }
        err = Messages::error(208, 16, 1, "Invalid object name '" + o.written + "'.");
        return std::nullopt;
    }

    Message unavailable(const Database& db) const {
        return Messages::unavailable(version(), db.name());
    }

    std::optional<TypedValue> serverValue(const Expr& e, const std::vector<TypedValue>& args,
                                          Message& err) override {
        if (e.kind == Expr::Kind::Variable) return globalVariable(e.name);
        auto argText = [&](size_t i) -> std::optional<std::string> {
            if (args.size() <= i || args[i].value.kind == Value::Kind::Null) return std::nullopt;
            return SqlTypes::text(args[i].value);
        };
        TypedValue tv;
        if (e.name == "DB_NAME") {
            tv.column = Column{"", ColType::NVarChar, 128, true};
            if (args.empty()) {
                tv.value = Value::str(state->database);
            } else if (args[0].value.kind == Value::Kind::Int) {
                if (const Database* d = instance.findById(static_cast<int>(args[0].value.i)))
                    tv.value = Value::str(d->name());
            }
            return tv;
        }
        if (e.name == "DB_ID") {
            tv.column = Column{"", ColType::SmallIntN, 0, true};
            const Database* d =
                findDatabase(args.empty() ? state->database : argText(0).value_or(""));
            if (d) tv.value = Value::integer(d->entry.dbid);
            return tv;
        }
        if (e.name == "SUSER_SNAME" || e.name == "USER_NAME") {
            tv.column = Column{"", ColType::NVarChar, 128, true};
            tv.value = Value::str(e.name == "SUSER_SNAME" ? "sa" : "dbo");
            return tv;
        }
        if (e.name == "GETDATE") {
            tv.column = Column{"", ColType::DateTime, 0, false};
            tv.value = Instance::now();
            return tv;
        }
        tv.column = Column{"", ColType::SqlVariant, 0, true};
        if (e.name == "DATABASEPROPERTYEX") {
            tv.value = databaseProperty(argText(0).value_or(""), argText(1).value_or(""));
            return tv;
        }
        if (e.name == "SERVERPROPERTY") {
            tv.value = serverProperty(argText(0).value_or(""));
            return tv;
        }
        err = Messages::error(195, 15, 10, "'" + e.name + "' is not a recognized function name.");
        return std::nullopt;
    }

    TypedValue globalVariable(const std::string& name) const {
        auto text = [&](const std::string& s, size_t max, bool nullable) {
            return TypedValue{Value::str(s),
                              Column{"", ColType::NVarChar, static_cast<uint16_t>(max), nullable}};
        };
        auto integer = [&](int64_t v, ColType type) {
            return TypedValue{Value::integer(v), Column{"", type, 0, false}};
        };
        if (name == "@@VERSION") {
            const std::string v = version().versionText();
            return text(v, std::max<size_t>(256, v.size()), false);
        }
        if (name == "@@SPID") return integer(session->spid, ColType::SmallInt);
        if (name == "@@TRANCOUNT") return integer(state->trancount, ColType::Int);
        if (name == "@@SERVERNAME") return text("STANDIN", 128, true);
        if (name == "@@SERVICENAME") return text("MSSQLSERVER", 128, true);
        if (name == "@@LANGUAGE") return text("us_english", 128, false);
        if (name == "@@MAX_PRECISION") return integer(38, ColType::TinyInt);
        if (name == "@@TEXTSIZE") return integer(2147483647, ColType::Int);
        return integer(0, ColType::Int);
    }

    // SERVERPROPERTY(name).
    Value serverProperty(const std::string& p) const {
        const ServerVersion& v = version();
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

    Outcome select(const SelectStatement& s, uint16_t line, const EvalContext& eval) {
        EvalContext ctx = eval;
        ctx.table = [this](const ObjectName& o, Message& err) { return table(*state, o, err); };
        ResultSet rs;
        Message err;
        if (!SelectRunner::run(s, ctx, rs, err)) return failed(err, line, true);
        Outcome out;
        const uint32_t n = static_cast<uint32_t>(rs.rows.size());
        if (!s.assigns) out.tokens.push_back(std::move(rs));
        out.tokens.push_back(done(state->nocount ? DoneFinal : DoneCount, n, kCmdSelect));
        return out;
    }

    // ---- statements that change databases ------------------------------------------------

    static void addMessages(Outcome& o, const std::vector<Message>& ms, uint16_t line) {
        for (Message m : ms) {
            m.line = line;
            o.tokens.push_back(std::move(m));
        }
    }

    // A statement outside a procedure: its messages, then DONE (with ERROR when it failed).
    static Outcome plain(const OpResult& r, uint16_t line) {
        Outcome o;
        addMessages(o, r.messages, line);
        o.tokens.push_back(done(r.ok ? DoneFinal : DoneError));
        return o;
    }

    // A system procedure: its messages, DONEINPROC, the return status (0 or 1), DONEPROC.
    static Outcome procedure(const OpResult& r) {
        Outcome o;
        addMessages(o, r.messages, 1);
        if (!r.messages.empty() || !r.ok) {
            Done d = done(r.ok ? DoneFinal : DoneError);
            d.kind = Done::Kind::DoneInProc;
            o.tokens.push_back(d);
        }
        o.tokens.push_back(ReturnStatus{r.ok ? 0 : 1});
        Done end = done();
        end.kind = Done::Kind::DoneProc;
        o.tokens.push_back(end);
        return o;
    }

    static std::optional<std::string> argText(const ArgValue& v) {
        if (v.kind == ArgValue::Kind::Text || v.kind == ArgValue::Kind::Integer) return v.text;
        return std::nullopt;  // NULL and DEFAULT leave the parameter unset
    }

    struct Signature {
        const char* name;
        std::vector<std::string> params;
        size_t required;  // the first `required` parameters must be given
    };

    static const Signature* findProcedure(const ExecStatement& e) {
        static const std::vector<Signature> signatures = [] {
            std::vector<std::string> attachParams = {"@dbname"};
            for (int i = 1; i <= 16; ++i) attachParams.push_back("@filename" + std::to_string(i));
            return std::vector<Signature>{
                {"sp_attach_db", attachParams, 2},
                {"sp_attach_single_file_db", {"@dbname", "@physname"}, 2},
                {"sp_detach_db", {"@dbname", "@skipchecks"}, 1},
            };
        }();
        const bool placeOk = (e.database.empty() || Collation::equal(e.database, "master")) &&
                             (e.owner.empty() || Collation::equal(e.owner, "dbo"));
        for (const Signature& s : signatures) {
            if (placeOk && Collation::equal(e.procedure, s.name)) return &s;
        }
        return nullptr;
    }

    // Matches the arguments to the procedure's parameters, positional then named; a refusal
    // (119, 8144, 8145, 201) is left in `bad`.
    static bool bindArguments(const Signature& sig, const ExecStatement& e,
                              std::vector<std::optional<std::string>>& values, OpResult& bad) {
        const std::string proc = sig.name;
        values.assign(sig.params.size(), std::nullopt);
        bool namedSeen = false;
        size_t position = 0;
        for (const ProcArg& a : e.args) {
            size_t index = 0;
            if (a.parameter.empty()) {
                if (namedSeen) {
                    bad.fail(Messages::error(
                        119, 15, 1,
                        "Must pass parameter number " + std::to_string(position + 1) +
                            " and subsequent parameters as '@name = value'. After the form "
                            "'@name = value' has been used, all subsequent parameters must be "
                            "passed in the form '@name = value'."));
                    return false;
                }
                index = position++;
                if (index >= sig.params.size()) {
                    bad.fail(Messages::error(
                        8144, 16, 2,
                        "Procedure or function " + proc + " has too many arguments specified.",
                        proc));
                    return false;
                }
            } else {
                namedSeen = true;
                index = sig.params.size();
                for (size_t i = 0; i < sig.params.size(); ++i) {
                    if (Collation::equal(sig.params[i], a.parameter)) index = i;
                }
                if (index == sig.params.size()) {
                    bad.fail(Messages::error(
                        8145, 16, 2,
                        a.parameter + " is not a parameter for procedure " + proc + ".", proc));
                    return false;
                }
            }
            values[index] = argText(a.value);
        }
        for (size_t i = 0; i < sig.required; ++i) {
            if (!values[i] && !(proc == "sp_attach_db" && i > 0 && anyFile(values))) {
                bad.fail(Messages::error(201, 16, 4,
                                         "Procedure '" + proc + "' expects parameter '" +
                                             sig.params[i] + "', which was not supplied.",
                                         proc));
                return false;
            }
        }
        return true;
    }

    Outcome exec(const ExecStatement& e, uint16_t line) {
        const Signature* sig = findProcedure(e);
        if (!sig) return failed(Messages::procedureNotFound(e.written), line);
        const std::string proc = sig->name;
        std::vector<std::optional<std::string>> values;
        OpResult bad;
        if (!bindArguments(*sig, e, values, bad)) return procedure(bad);

        const std::string& name = *values[0];
        if (proc == "sp_detach_db") {
            return procedure(instance.detach(
                name, [&](const Database& db) { return inUse(db); }, proc));
        }
        std::vector<std::string> paths;
        for (size_t i = 1; i < values.size(); ++i) {
            if (values[i]) paths.push_back(*values[i]);
        }
        return procedure(instance.attach(name, paths));
    }

    static bool anyFile(const std::vector<std::optional<std::string>>& values) {
        for (size_t i = 1; i < values.size(); ++i) {
            if (values[i]) return true;
        }
        return false;
    }

    static Message incorrectDbcc() {
        return Messages::error(2526, 16, 3,
                               "Incorrect DBCC statement. Check the documentation for the correct "
                               "DBCC syntax and options.");
    }

    // A DBCC result: rows, DONE with the count, the completion message, DONE.
    static Outcome dbccResult(std::vector<ResultSet> sets, bool infoMessages, uint16_t line) {
        Outcome o;
        for (ResultSet& rs : sets) {
            const uint32_t n = static_cast<uint32_t>(rs.rows.size());
            o.tokens.push_back(std::move(rs));
            o.tokens.push_back(done(DoneCount, n));
        }
        if (infoMessages) {
            Message m = Messages::dbccCompleted();
            m.line = line;
            o.tokens.push_back(m);
        }
        o.tokens.push_back(done());
        return o;
    }

    Outcome dbcc(SessionState& state, const DbccStatement& d, uint16_t line) {
        bool infoMessages = true;
        for (const std::string& w : d.withOptions) {
            if (w == "NO_INFOMSGS")
                infoMessages = false;
            else if (w != "TABLERESULTS")
                return failed(incorrectDbcc(), line);
        }
        if (d.command == "CHECKPRIMARYFILE") return checkPrimary(d, infoMessages, line);
        if (d.command == "SHRINKFILE" || d.command == "SHRINKDATABASE")
            return shrink(state, d, infoMessages, line);
        return failed(incorrectDbcc(), line);
    }

    Outcome checkPrimary(const DbccStatement& d, bool infoMessages, uint16_t line) {
        if (d.args.size() != 2 || d.args[0].kind != ArgValue::Kind::Text ||
            d.args[1].kind != ArgValue::Kind::Integer || d.args[1].number < 0 ||
            d.args[1].number > 3)
            return failed(incorrectDbcc(), line);
        ResultSet rs;
        OpResult r = instance.checkPrimaryFile(d.args[0].text, d.args[1].number, rs);
        if (!r.ok) return plain(r, line);
        return dbccResult({std::move(rs)}, infoMessages, line);
    }

    // The database a shrink works on: the current one for SHRINKFILE, the named or numbered
    // one (0 = current) for SHRINKDATABASE.
    Database* shrinkTarget(const SessionState& state, const DbccStatement& d) {
        if (d.command != "SHRINKDATABASE") return findDatabase(state.database);
        if (d.args[0].kind != ArgValue::Kind::Integer) return findDatabase(d.args[0].text);
        if (d.args[0].number == 0) return findDatabase(state.database);
        return instance.findById(static_cast<int>(d.args[0].number));
    }

    Outcome shrink(SessionState& state, const DbccStatement& d, bool infoMessages, uint16_t line) {
        const bool wholeDb = d.command == "SHRINKDATABASE";
        if (d.args.empty() || d.args.size() > (wholeDb ? 3u : 2u) ||
            (d.args[0].kind != ArgValue::Kind::Text && d.args[0].kind != ArgValue::Kind::Integer))
            return failed(incorrectDbcc(), line);
        Database* db = shrinkTarget(state, d);
        if (!db && wholeDb)
            return failed(Messages::noSuchDatabase(version(), d.args[0].text), line);
        if (!db) return failed(Messages::noSuchDatabase(version(), state.database), line);
        if (db->suspect) return failed(unavailable(*db), line);
        std::optional<int64_t> target;
        bool truncate = true;
        for (size_t i = 1; i < d.args.size(); ++i) {
            const ArgValue& a = d.args[i];
            if (a.kind == ArgValue::Kind::Integer && i == 1 && a.number >= 0) {
                if (!wholeDb) target = a.number;  // SHRINKDATABASE takes a free-space percent
            } else if (a.kind == ArgValue::Kind::Text && Collation::equal(a.text, "NOTRUNCATE")) {
                truncate = false;
            } else if (a.kind == ArgValue::Kind::Text &&
                       (Collation::equal(a.text, "TRUNCATEONLY") ||
                        Collation::equal(a.text, "EMPTYFILE"))) {
                target.reset();
            } else {
                return failed(incorrectDbcc(), line);
            }
        }
        std::vector<ArgValue> files;
        if (wholeDb) {
            for (auto& f : db->files) {
                ArgValue v;
                v.kind = ArgValue::Kind::Integer;
                v.number = f->header().fileId;
                v.text = std::to_string(v.number);
                files.push_back(v);
            }
        } else {
            files.push_back(d.args[0]);
        }
        ResultSet all;
        for (const ArgValue& f : files) {
            ResultSet rs;
            OpResult r = instance.shrinkFile(*db, f, target, truncate, rs);
            if (!r.ok) return plain(r, line);
            if (all.columns.empty()) all.columns = rs.columns;
            for (auto& row : rs.rows) all.rows.push_back(std::move(row));
        }
        return dbccResult({std::move(all)}, infoMessages, line);
    }

    Outcome backupLog(const BackupLogStatement& b, uint16_t line) {
        Database* db = findDatabase(b.database);
        OpResult r;
        const Message terminated =
            Messages::error(3013, 16, 1, "BACKUP LOG is terminating abnormally.");
        if (!db) {
            r.fail(Messages::noSuchDatabase(version(), b.database));
            r.messages.push_back(terminated);
        } else if (db->suspect) {
            r.fail(unavailable(*db));
            r.messages.push_back(terminated);
        } else if (db->entry.dbid == 1) {
            r.fail(Messages::error(4212, 16, 1,
                                   "Cannot back up the log of the master database. Use BACKUP "
                                   "DATABASE instead."));
            r.messages.push_back(terminated);
        } else if (db->entry.dbid == 2) {
            r.fail(Messages::error(3147, 16, 1,
                                   "Backup and restore operations are not allowed on database "
                                   "tempdb."));
            r.messages.push_back(terminated);
        } else {
            r = instance.truncateLog(*db);
        }
        return plain(r, line);
    }

    // ---- recovery model ----------------------------------------------------------------------

    Outcome alterDatabase(const AlterDatabaseStatement& a, uint16_t line) {
        const bool modern = version().has(ReleaseRule::Messages2005);
        Database* db = findDatabase(a.database);
        OpResult r;
        if (!db && modern) {
            r.fail(Messages::error(5011, 14, 5,
                                   "User does not have permission to alter database '" +
                                       a.database +
                                       "', the database does not exist, or the database is not "
                                       "in a state that allows access checks."));
        } else if (!db) {
            r.fail(Messages::noSuchDatabase(version(), a.database));
        } else if (db->entry.dbid == 2) {
            r.fail(Messages::error(5058, 16, 1,
                                   "Option 'RECOVERY' cannot be set in database 'tempdb'."));
        } else if (db->suspect) {
            r.fail(unavailable(*db));
        } else {
            const RecoveryModel model = a.recovery == "SIMPLE"        ? RecoveryModel::Simple
                                        : a.recovery == "BULK_LOGGED" ? RecoveryModel::BulkLogged
                                                                      : RecoveryModel::Full;
            r = instance.setRecovery(*db, model);
        }
        if (!r.ok && modern)
            r.messages.push_back(Messages::error(5069, 16, 1, "ALTER DATABASE statement failed."));
        return plain(r, line);
    }

    Outcome checkpoint(const SessionState& state, uint16_t line) {
        Database* db = findDatabase(state.database);
        if (!db) return failed(Messages::noSuchDatabase(version(), state.database), line);
        if (db->suspect) return failed(unavailable(*db), line);
        return plain(instance.checkpoint(*db), line);
    }

    // DATABASEPROPERTYEX(name, property): NULL for an unknown database or property.
    Value databaseProperty(const std::string& name, const std::string& property) const {
        const Database* d = instance.find(name);
        if (!d) return Value::null();
        if (Collation::equal(property, "Recovery"))
            return Value::str(Instance::recoveryName(instance.recoveryOf(*d)));
        if (Collation::equal(property, "Status"))
            return Value::str(d->suspect ? "SUSPECT" : "ONLINE");
        if (Collation::equal(property, "Updateability")) return Value::str("READ_WRITE");
        if (Collation::equal(property, "UserAccess")) return Value::str("MULTI_USER");
        if (Collation::equal(property, "Collation")) return Value::str(Collation::kDefaultName);
        if (Collation::equal(property, "Version") && !d->files.empty())
            return Value::integer(std::max<uint32_t>(d->files.front()->header().version, 539));
        return Value::null();
    }

    // ---- a batch ----------------------------------------------------------------------------

    Reply batch(Session& s, const std::string& sql) {
        SessionState& st = sessions[s.spid];
        if (st.database.empty()) st.database = s.database;
        Reply reply;
        ParseResult parsed = Parser::parseBatch(sql, version());
        if (parsed.failure) {
            reply.push_back(*parsed.failure);
            reply.push_back(done(DoneError));
            return reply;
        }
        session = &s;
        state = &st;
        reply = BatchRunner(*this).run(parsed.statements);
        session = nullptr;
        state = nullptr;
        if (reply.empty()) reply.push_back(done());
        finish(reply, st);
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

Engine::Engine(std::filesystem::path dataDir, std::string saPassword, ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(dataDir), std::move(saPassword), std::move(options))) {
}

const ServerVersion& Engine::version() const {
    return impl_->version();
}

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
    Database* db = impl_->findDatabase(dbName);
    if (!db || db->suspect) {
        out.refusal.push_back(Messages::cannotOpenLoginDatabase(impl_->version(), dbName));
        out.refusal.push_back(Messages::loginFailed(user));
        out.refusal.push_back(refused);
        return out;
    }
    int spid = 51;
    while (impl_->sessions.count(spid)) ++spid;
    session.spid = spid;
    session.database = db->name();
    impl_->sessions[spid] = Impl::SessionState{db->name(), false, 0};
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
