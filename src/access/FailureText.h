#pragma once
// One way to put a failure into words for the person at the window: the server's own message
// where the server gave one, and its number, severity and state to go with it.

#include <QString>
#include <exception>
#include <stdexcept>

namespace korvid {

namespace db {
struct ServerMessage;
}

// A failure of Korvid's own, worded for the user (a file header that cannot be read, a row that
// went away during a run).
class OperationError : public std::runtime_error {
public:
    explicit OperationError(const QString& reason);
    QString reason() const { return reason_; }

private:
    QString reason_;
};

struct FailureText {
    QString reason;  // the server's message, or Korvid's own reason
    QString code;    // "Msg 4212, Level 16, State 1", "SQLSTATE 08001", or empty

    // The reason with its code under it, for a box's details.
    QString detail() const;
};

FailureText failureText(const std::exception& error);
// One message of the server, error or not, in the same words.
FailureText failureText(const db::ServerMessage& message);

}  // namespace korvid
