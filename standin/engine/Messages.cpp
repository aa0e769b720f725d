#include "Messages.h"

namespace standin {

Message Messages::error(int32_t number, uint8_t severity, uint8_t state, std::string text,
                        std::string procName) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(text);
    m.procName = std::move(procName);
    return m;
}

Message Messages::info(int32_t number, std::string text, std::string procName) {
    return error(number, 10, 1, std::move(text), std::move(procName));
}

Message Messages::loginFailed(const std::string& user) {
    return error(18456, 14, 1, "Login failed for user '" + user + "'.");
}

Message Messages::cannotOpenLoginDatabase(const std::string& db) {
    return error(4060, 11, 1, "Cannot open database requested in login '" + db + "'. Login fails.");
}

Message Messages::changedDatabase(const std::string& db) {
    return info(5701, "Changed database context to '" + db + "'.");
}

Message Messages::dbccCompleted() {
    return info(2528,
                "DBCC execution completed. If DBCC printed error messages, contact your system "
                "administrator.");
}

Message Messages::noSuchDatabase(const std::string& db) {
    return error(911, 16, 1,
                 "Could not locate entry in sysdatabases for database '" + db +
                     "'. No entry found with that name. Make sure that the name is entered "
                     "correctly.");
}

Message Messages::procedureNotFound(const std::string& proc) {
    return error(2812, 16, 62, "Could not find stored procedure '" + proc + "'.");
}

Message Messages::deviceActivation(const std::string& path, uint8_t state, uint8_t severity,
                                   const std::string& proc) {
    return error(5105, severity, state,
                 "Device activation error. The physical file name '" + path + "' may be incorrect.",
                 proc);
}

Message Messages::notPrimaryFile(const std::string& path, const std::string& proc) {
    return error(5171, 16, 1, path + " is not a primary database file.", proc);
}

Message Messages::databaseExists(const std::string& db, const std::string& proc) {
    return error(1801, 16, 3, "Database '" + db + "' already exists.", proc);
}

Message Messages::couldNotOpenNewDatabase(const std::string& db, const std::string& proc) {
    return error(1813, 16, 2,
                 "Could not open new database '" + db + "'. CREATE DATABASE is aborted.", proc);
}

Message Messages::differentDatabases(const std::string& proc) {
    return error(5173, 16, 1, "Cannot associate files with different databases.", proc);
}

Message Messages::emptyName() {
    return error(1038, 15, 1,
                 "Cannot use empty object or column names. Use a single space if necessary.");
}

Message Messages::nameTooLong(const std::string& name) {
    return error(103, 15, 1,
                 "The identifier that starts with '" + name.substr(0, 128) +
                     "' is too long. Maximum length is 128.");
}

Message Messages::createFailed() {
    return error(1802, 16, 1,
                 "CREATE DATABASE failed. Some file names listed could not be created. Check "
                 "previous errors.");
}

Message Messages::fileExists(const std::string& path) {
    return error(5170, 16, 1, "Cannot create file '" + path + "' because it already exists.");
}

Message Messages::createFileError(const std::string& path, const std::string& osError) {
    return error(5123, 16, 1,
                 "CREATE FILE encountered operating system error " + osError +
                     " while attempting to open or create the physical file '" + path + "'.");
}

Message Messages::badFileName(const std::string& path) {
    return createFileError(
        path, "123(The filename, directory name, or volume label syntax is incorrect.)");
}

}  // namespace standin
