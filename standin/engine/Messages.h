#pragma once
// Builders for the messages the server sends, with its numbers, severities and texts.

#include <string>

#include "Reply.h"

namespace standin {

class Messages {
public:
    static Message error(int32_t number, uint8_t severity, uint8_t state, std::string text,
                         std::string procName = {});
    static Message info(int32_t number, std::string text, std::string procName = {});

    static std::string quoted(const std::string& s) { return "'" + s + "'"; }

    static Message loginFailed(const std::string& user);
    static Message cannotOpenLoginDatabase(const std::string& db);
    static Message changedDatabase(const std::string& db);
    static Message dbccCompleted();
    static Message noSuchDatabase(const std::string& db);  // 911
    static Message procedureNotFound(const std::string& proc);
    static Message deviceActivation(const std::string& path, uint8_t state = 1,
                                    uint8_t severity = 16, const std::string& proc = {});
    static Message notPrimaryFile(const std::string& path, const std::string& proc = {});
    static Message databaseExists(const std::string& db, const std::string& proc = {});
    static Message couldNotOpenNewDatabase(const std::string& db, const std::string& proc = {});
    static Message differentDatabases(const std::string& proc = {});
    static Message emptyName();                                                           // 1038
    static Message nameTooLong(const std::string& name);                                  // 103
    static Message createFailed();                                                        // 1802
    static Message fileExists(const std::string& path);                                   // 5170
    static Message createFileError(const std::string& path, const std::string& osError);  // 5123
    // 5123 for a file name built from a database name that would leave its folder.
    static Message badFileName(const std::string& path);
};

}  // namespace standin
