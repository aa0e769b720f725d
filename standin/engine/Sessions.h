#pragma once
// The open sessions: each login's current database, SET NOCOUNT and open transactions. A
// database is in use while it is any session's current database.

#include <map>
#include <string>

namespace standin {

struct SessionState {
    int spid = 0;
    std::string database;  // the current database
    bool nocount = false;
    int trancount = 0;
};

class Sessions {
public:
    // A new session in `database`, with the lowest spid from 51 that no open session has.
    SessionState& open(const std::string& database);
    // The session's state; one in `database` when the session was never opened.
    SessionState& state(int spid, const std::string& database);
    void close(int spid);
    bool inUse(const std::string& database) const;
    // Whether a session other than spid has database as its current database.
    bool inUseByOther(const std::string& database, int spid) const;

private:
    std::map<int, SessionState> sessions_;
};

}  // namespace standin
