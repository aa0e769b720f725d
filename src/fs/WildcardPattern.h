#pragma once
// The file-name pattern of the search: "*" any run of characters, "?" one character, letter case
// ignored; a pattern ending in ".*" also takes names without a dot, so "*.*" lists every file.

#include <QString>
#include <QStringView>

namespace korvid::fs {

class WildcardPattern {
public:
    explicit WildcardPattern(const QString& pattern);

    bool matches(QStringView name) const;

private:
    bool matchFrom(QStringView pattern, QStringView name) const;
    bool endsWithTail(QStringView name) const;

    QString folded_;
    bool dotStarTail_ = false;
    bool literalTail_ = false;  // "*" followed by plain characters only
};

}  // namespace korvid::fs
