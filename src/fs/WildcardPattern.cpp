#include "fs/WildcardPattern.h"

namespace korvid::fs {

namespace {

inline char16_t fold(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar(c).toCaseFolded().unicode();
}

// Length in code units of the character that starts at i (a surrogate pair counts as one).
inline qsizetype charLength(QStringView s, qsizetype i) {
    return (QChar(s[i]).isHighSurrogate() && i + 1 < s.size() && QChar(s[i + 1]).isLowSurrogate())
               ? 2
               : 1;
}

}  // namespace

WildcardPattern::WildcardPattern(const QString& pattern) {
    folded_.reserve(pattern.size());
    for (QChar c : pattern) folded_.append(QChar(fold(c.unicode())));
    dotStarTail_ = folded_.endsWith(QLatin1String(".*"));
}

bool WildcardPattern::matches(QStringView name) const {
    if (matchFrom(folded_, name)) return true;
    return dotStarTail_ && !name.contains(QLatin1Char('.')) &&
           matchFrom(QStringView(folded_).chopped(2), name);
}

bool WildcardPattern::matchFrom(QStringView pattern, QStringView name) const {
    // Greedy match with one back-track point: the last "*" seen.
    qsizetype p = 0, n = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == u'?') {
                ++p;
                n += charLength(name, n);
                continue;
            }
            if (pattern[p] == fold(name[n].unicode())) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP < 0) return false;
        p = starP + 1;
        starN += charLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace korvid::fs
