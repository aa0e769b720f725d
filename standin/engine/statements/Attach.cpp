#include "statements/Attach.h"

#include "Instance.h"
#include "statements/StatementContext.h"

namespace standin {

Procedure Attach::procedure() {
    std::vector<std::string> parameters = {"@dbname"};
    for (int i = 1; i <= 16; ++i) parameters.push_back("@filename" + std::to_string(i));
    return {"sp_attach_db", parameters, 2, true, &Attach::run};
}

OpResult Attach::run(StatementContext& c, const ProcedureArgs& args) {
    std::vector<std::string> paths;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i]) paths.push_back(*args[i]);
    }
    return attach(c.instance, *args[0], paths);
}

OpResult Attach::attach(Instance& instance, const std::string& name,
                        std::vector<std::string> paths) {
    return instance.attach(name, std::move(paths));
}

}  // namespace standin
