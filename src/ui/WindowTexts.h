#pragma once
// The statement texts and messages of the two windows themselves: the login and the database
// list. The subsystems keep theirs in their own *Texts files.

#include <QString>

namespace korvid {

// The login's probe, run on the login's own connection (shape A).
QString loginProbeQuery();
// The record source of the database list (shape B).
QString databaseListQuery();

QString loginFailedText();
extern const char16_t* const kLoginFailedTitle;  // "错误提示:" (ASCII colon)

}  // namespace korvid
