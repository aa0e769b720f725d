#pragma once
// Builders for the messages the server sends, with its numbers, severities and texts. Where a
// release changed a text or a number, the builder takes the version it speaks for.

#include <string>

#include "Reply.h"
#include "ServerVersion.h"

namespace standin {

class Messages {
public:
    static Message error(int32_t number, uint8_t severity, uint8_t state, std::string text,
                         std::string procName = {});
    static Message info(int32_t number, std::string text, std::string procName = {});

    static std::string quoted(const std::string& s) { return "'" + s + "'"; }

    static Message loginFailed(const std::string& user);
    static Message cannotOpenLoginDatabase(const ServerVersion& v, const std::string& db);
    static Message noSuchDatabase(const ServerVersion& v, const std::string& db);  // 911
    static Message unavailable(const ServerVersion& v, const std::string& db);     // 945

    // A file the server could not open, with the Windows error a real server reports for it
    // (2 not found, 3 no such folder, 5 access denied, 32 in use): 5105 on SQL Server 2000,
    // 5120 from 2005 on.
    static Message cannotOpen(const ServerVersion& v, const std::string& path, int windowsError);
    // What follows an attach's open failure: 1813 on SQL Server 2000, 1802 from 2005 on.
    static Message attachAbandoned(const ServerVersion& v, const std::string& db);
    // SQL Server 2000's 5105, also the informational form of a missing log's note.
    static Message deviceActivation(const std::string& path, uint8_t state = 1,
                                    uint8_t severity = 16, const std::string& proc = {});
    // 5105 for a physical name that cannot be a file (a relative path, too long).
    static Message fileActivation(const ServerVersion& v, const std::string& path);
    static Message notPrimaryFile(const std::string& path, const std::string& proc = {});
    static Message databaseExists(const ServerVersion& v, const std::string& db);  // 1801
    static Message couldNotOpenNewDatabase(const std::string& db, const std::string& proc = {});
    static Message differentDatabases(const ServerVersion& v);                            // 5173
    static Message emptyName();                                                           // 1038
    static Message nameTooLong(const std::string& name);                                  // 103
    static Message createFailed(const ServerVersion& v);                                  // 1802
    static Message fileExists(const ServerVersion& v, const std::string& path);           // 5170
    static Message createFileError(const std::string& path, const std::string& osError);  // 5123
    // 5123 for a file name built from a database name that would leave its folder.
    static Message badFileName(const std::string& path);
    // The text a Windows server gives for an operating system error: "5(Access is denied.)".
    static std::string windowsErrorText(int windowsError);
    // 245: text that is not a number of the type (int, smallint, ...).
    static Message conversionFailed(const ServerVersion& v, const std::string& text,
                                    const std::string& type = "int");
};

}  // namespace standin
