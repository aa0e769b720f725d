#pragma once
// Values go into statement texts as literals of the server's own syntax, never as raw text: a
// name or path holding a quote, a bracket or a blank must reach the server exactly as it is.

#include <QString>

namespace korvid {

// N'...' with every embedded single quote doubled.
QString nLiteral(const QString& value);

// [...] with every embedded closing bracket doubled.
QString bracketed(const QString& identifier);

// The server returns recorded names and paths in fixed-width columns padded with blanks: drop
// the padding at the end, keep every blank inside.
QString trimPadding(const QString& cell);

}  // namespace korvid
