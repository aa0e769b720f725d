#pragma once
// Where the log file of a found data file should be: the recorded log path moved into the folder
// where the data file was found.

#include <QString>
#include <optional>

namespace korvid::attach {

struct LogPathDerivation {
    int recordedFolderLength = 0;  // Text5: the recorded data file's folder, separator included
    QString recordedLogPath;       // Text7: as recorded, padding trimmed
    int recordedLogLength = 0;     // Text6
    QString logPath;               // Text3: the path to attach with
};

// recordedData / recordedLog: the paths the primary file recorded (padding already trimmed, "\"
// or "/" as separators). foundFolder: the folder the data file was found in, ending in its
// separator. A log recorded below the data file's folder keeps its part below that folder; any
// other log keeps only its file name. Empty when the recorded log path names no file.
std::optional<LogPathDerivation> deriveLogPath(const QString& recordedData,
                                               const QString& recordedLog,
                                               const QString& foundFolder);

}  // namespace korvid::attach
