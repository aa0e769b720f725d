#pragma once
// The stand-in's SQL engine: catalog, data files and the statements a SQL Server of the chosen
// release answers.
// Single-threaded by contract: the server calls it from its one event-loop thread.

#include <filesystem>
#include <memory>
#include <string>

#include "Reply.h"
#include "ServerOptions.h"

namespace standin {

class Catalog;

struct Session {
    int spid = 0;                     // non-zero, unique among open sessions
    std::string database = "master";  // current database
};

struct LoginOutcome {
    bool accepted = false;
    Reply refusal;  // ERROR tokens (18456, or 4060 then 18456) and DONE(DoneError) when refused
};

class Engine {
public:
    Engine(std::filesystem::path dataDir, std::string saPassword, ServerOptions options = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Checks the credentials and the LOGIN7 database (empty = master); on success fills session
    // (spid, database) and registers it as open.
    LoginOutcome login(const std::string& user, const std::string& password,
                       const std::string& database, Session& session);

    // Runs one SQL batch (UTF-8 text) for an open session.
    Reply executeBatch(Session& session, const std::string& sql);

    // The connection closed: the session no longer holds its database in use.
    void logout(Session& session);

    // The release this server plays (its LOGINACK program version, among others).
    const ServerVersion& version() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace standin
