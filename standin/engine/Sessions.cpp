#include "Sessions.h"

#include "Collation.h"

namespace standin {

SessionState& Sessions::open(const std::string& database) {
    int spid = 51;
    while (sessions_.count(spid)) ++spid;
    return sessions_[spid] = SessionState{spid, database, false, 0};
}

SessionState& Sessions::state(int spid, const std::string& database) {
    SessionState& s = sessions_[spid];
    s.spid = spid;
    if (s.database.empty()) s.database = database;
    return s;
}

void Sessions::close(int spid) {
    sessions_.erase(spid);
}

bool Sessions::inUse(const std::string& database) const {
    return inUseByOther(database, 0);
}

bool Sessions::inUseByOther(const std::string& database, int spid) const {
    for (const auto& s : sessions_) {
        if (s.first != spid && Collation::equal(s.second.database, database)) return true;
    }
    return false;
}

}  // namespace standin
