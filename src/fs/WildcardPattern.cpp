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
    // "*" then plain characters, as "*.MDF": the name's end is compared, the same answer the
    // general match gives. Not when the tail starts inside a surrogate pair.
    const QStringView tail = QStringView(folded_).mid(1);
    literalTail_ = folded_.startsWith(QLatin1Char('*')) && !tail.isEmpty() && !dotStarTail_ &&
                   !tail.contains(QLatin1Char('*')) && !tail.contains(QLatin1Char('?')) &&
                   !tail.front().isSurrogate();
}

bool WildcardPattern::matches(QStringView name) const {
    if (literalTail_) return endsWithTail(name);
    if (matchFrom(folded_, name)) return true;
    return dotStarTail_ && !name.contains(QLatin1Char('.')) &&
           matchFrom(QStringView(folded_).chopped(2), name);
}

bool WildcardPattern::endsWithTail(QStringView name) const {
    const qsizetype length = folded_.size() - 1;
    if (name.size() < length) return false;
    const char16_t* tail = reinterpret_cast<const char16_t*>(folded_.constData()) + 1;
    const char16_t* end = reinterpret_cast<const char16_t*>(name.data()) + name.size() - length;
    for (qsizetype i = 0; i < length; ++i)
        if (fold(end[i]) != tail[i]) return false;
    return true;
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
