#include "Collation.h"

#include <cstdint>
#include <vector>

namespace standin {

namespace {

// Decodes UTF-8 leniently: a byte that does not start a valid sequence stands for itself.
std::u32string decode(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0xF8) extra = 0;
        char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            }
        }
        if (extra == 0 || !ok) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += static_cast<size_t>(extra) + 1;
        }
    }
    return out;
}

char32_t fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x391 && c <= 0x3A9) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::u32string folded(const std::string& s) {
    std::u32string d = decode(s);
    while (!d.empty() && d.back() == U' ') d.pop_back();
    for (char32_t& c : d) c = fold(c);
    return d;
}

}  // namespace

int Collation::compare(const std::string& a, const std::string& b) {
    const std::u32string fa = folded(a);
    const std::u32string fb = folded(b);
    if (fa < fb) return -1;
    if (fb < fa) return 1;
    return 0;
}

size_t Collation::length(const std::string& utf8) {
    return decode(utf8).size();
}

bool Collation::like(const std::string& textIn, const std::string& patternIn) {
    std::u32string text = decode(textIn);
    for (char32_t& c : text) c = fold(c);
    const std::u32string pat = decode(patternIn);

    // Pattern elements: '%' (any run), '_' (any one), a set, or a literal character.
    struct Elem {
        enum { Any, One, Set, Lit } kind;
        std::u32string set;
        bool negate = false;
        char32_t lit = 0;
    };
    std::vector<Elem> elems;
    for (size_t i = 0; i < pat.size(); ++i) {
        const char32_t c = pat[i];
        if (c == U'%') {
            elems.push_back({Elem::Any, {}, false, 0});
        } else if (c == U'_') {
            elems.push_back({Elem::One, {}, false, 0});
        } else if (c == U'[') {
            const size_t close = pat.find(U']', i + 1);
            if (close == std::u32string::npos) {
                elems.push_back({Elem::Lit, {}, false, fold(c)});
                continue;
            }
            Elem e{Elem::Set, {}, false, 0};
            size_t j = i + 1;
            if (j < close && pat[j] == U'^') {
                e.negate = true;
                ++j;
            }
            for (; j < close; ++j) {
                if (j + 2 < close && pat[j + 1] == U'-') {
                    for (char32_t x = fold(pat[j]); x <= fold(pat[j + 2]) && e.set.size() < 4096;
                         ++x)
                        e.set.push_back(x);
                    j += 2;
                } else {
                    e.set.push_back(fold(pat[j]));
                }
            }
            elems.push_back(std::move(e));
            i = close;
        } else {
            elems.push_back({Elem::Lit, {}, false, fold(c)});
        }
    }
    // Trailing blanks of the text do not count, as in comparisons.
    while (!text.empty() && text.back() == U' ') text.pop_back();

    // Dynamic programming over (pattern element, text position): linear memory, no backtracking.
    std::vector<char> cur(text.size() + 1, 0), nxt(text.size() + 1, 0);
    cur[0] = 1;
    for (const Elem& e : elems) {
        std::fill(nxt.begin(), nxt.end(), 0);
        for (size_t t = 0; t <= text.size(); ++t) {
            if (!cur[t]) continue;
            if (e.kind == Elem::Any) {
                for (size_t u = t; u <= text.size(); ++u) nxt[u] = 1;
                break;
            }
            if (t == text.size()) continue;
            bool match = false;
            if (e.kind == Elem::One) {
                match = true;
            } else if (e.kind == Elem::Lit) {
                match = text[t] == e.lit;
            } else {
                match = (e.set.find(text[t]) != std::u32string::npos) != e.negate;
            }
            if (match) nxt[t + 1] = 1;
        }
        cur.swap(nxt);
    }
    return cur[text.size()] != 0;
}

}  // namespace standin
