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

Message Messages::cannotOpenLoginDatabase(const ServerVersion& v, const std::string& db) {
    if (v.has(ReleaseRule::Messages2005)) {
        return error(4060, 11, 1,
                     "Cannot open database \"" + db +
                         "\" requested by the login. The login "
                         "failed.");
    }
    return error(4060, 11, 1, "Cannot open database requested in login '" + db + "'. Login fails.");
}

Message Messages::noSuchDatabase(const ServerVersion& v, const std::string& db) {
    if (v.has(ReleaseRule::Messages2005)) {
        return error(
            911, 16, 1,
            "Database '" + db + "' does not exist. Make sure that the name is entered correctly.");
    }
    return error(911, 16, 1,
                 "Could not locate entry in sysdatabases for database '" + db +
                     "'. No entry found with that name. Make sure that the name is entered "
                     "correctly.");
}

Message Messages::unavailable(const ServerVersion& v, const std::string& db) {
    if (v.has(ReleaseRule::Messages2005)) {
        return error(945, 16, 2,
                     "Database '" + db +
                         "' cannot be opened due to inaccessible files or insufficient memory or "
                         "disk space. See the SQL Server errorlog for details.");
    }
    return error(
        945, 14, 2,
        "Database '" + db + "' cannot be opened because some of the files could not be activated.");
}

std::string Messages::windowsErrorText(int windowsError) {
    switch (windowsError) {
        case 2:
            return "2(The system cannot find the file specified.)";
        case 3:
            return "3(The system cannot find the path specified.)";
        case 5:
            return "5(Access is denied.)";
        case 32:
            return "32(The process cannot access the file because it is being used by another "
                   "process.)";
        default:
            return std::to_string(windowsError) + "(The parameter is incorrect.)";
    }
}

Message Messages::cannotOpen(const ServerVersion& v, const std::string& path, int windowsError) {
    if (!v.has(ReleaseRule::Messages2005))
        return deviceActivation(path, windowsError == 32 ? 3 : 1);
    return error(5120, 16, 101,
                 "Unable to open the physical file \"" + path + "\". Operating system error " +
                     std::to_string(windowsError) + ": \"" + windowsErrorText(windowsError) +
                     "\".");
}

Message Messages::attachAbandoned(const ServerVersion& v, const std::string& db) {
    if (!v.has(ReleaseRule::Messages2005)) return couldNotOpenNewDatabase(db);
    Message m = createFailed(v);
    m.state = 7;
    return m;
}

Message Messages::deviceActivation(const std::string& path, uint8_t state, uint8_t severity,
                                   const std::string& proc) {
    return error(5105, severity, state,
                 "Device activation error. The physical file name '" + path + "' may be incorrect.",
                 proc);
}

Message Messages::fileActivation(const ServerVersion& v, const std::string& path) {
    if (!v.has(ReleaseRule::Messages2005)) return deviceActivation(path);
    return error(5105, 16, 2,
                 "A file activation error occurred. The physical file name '" + path +
                     "' may be incorrect. Diagnose and correct additional errors, and retry the "
                     "operation.");
}

Message Messages::notPrimaryFile(const std::string& path, const std::string& proc) {
    return error(5171, 16, 1, path + " is not a primary database file.", proc);
}

Message Messages::databaseExists(const ServerVersion& v, const std::string& db) {
    std::string text = "Database '" + db + "' already exists.";
    if (v.has(ReleaseRule::Messages2005)) text += " Choose a different database name.";
    return error(1801, 16, 3, text);
}

Message Messages::couldNotOpenNewDatabase(const std::string& db, const std::string& proc) {
    return error(1813, 16, 2,
                 "Could not open new database '" + db + "'. CREATE DATABASE is aborted.", proc);
}

Message Messages::differentDatabases(const ServerVersion& v) {
    if (v.has(ReleaseRule::Messages2005)) {
        return error(5173, 16, 1,
                     "One or more files do not match the primary file of the database. If you "
                     "are attempting to attach a database, retry the operation with the correct "
                     "files. If this is an existing database, the file may be corrupted and "
                     "should be restored from a backup.");
    }
    return error(5173, 16, 1, "Cannot associate files with different databases.");
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

Message Messages::createFailed(const ServerVersion& v) {
    return error(1802, 16, 1,
                 std::string("CREATE DATABASE failed. Some file names listed could not be "
                             "created. Check ") +
                     (v.has(ReleaseRule::Messages2005) ? "related errors." : "previous errors."));
}

Message Messages::fileExists(const ServerVersion& v, const std::string& path) {
    std::string text = "Cannot create file '" + path + "' because it already exists.";
    if (v.has(ReleaseRule::Messages2005))
        text += " Change the file path or the file name, and retry the operation.";
    return error(5170, 16, 1, text);
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

Message Messages::conversionFailed(const ServerVersion& v, const std::string& text,
                                   const std::string& type) {
    if (v.has(ReleaseRule::Messages2005)) {
        return error(245, 16, 1,
                     "Conversion failed when converting the nvarchar value '" + text +
                         "' to data type " + type + ".");
    }
    return error(245, 16, 1,
                 "Syntax error converting the nvarchar value '" + text +
                     "' to a column of data type " + type + ".");
}

}  // namespace standin
