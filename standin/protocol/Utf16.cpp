#include "Utf16.h"

namespace standin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i], advancing i; malformed input yields U+FFFD and skips one byte.
char32_t nextCodePoint(const std::string& s, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k <= extra; ++k) {
        const uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

Bytes utf8ToUtf16le(const std::string& utf8) {
    Bytes out;
    out.reserve(utf8.size() * 2);
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            putU16LE(out, static_cast<uint16_t>(0xD800 + (cp >> 10)));
            putU16LE(out, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            putU16LE(out, static_cast<uint16_t>(cp));
        }
    }
    return out;
}

size_t utf16Length(const std::string& utf8) {
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) units += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    return units;
}

std::string utf16leToUtf8(const uint8_t* data, size_t byteCount) {
    std::string out;
    out.reserve(byteCount);
    const size_t units = byteCount / 2;
    for (size_t k = 0; k < units; ++k) {
        const char32_t u = getU16LE(data + 2 * k);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 < units) {
                const char32_t low = getU16LE(data + 2 * (k + 1));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    ++k;
                    continue;
                }
            }
            appendUtf8(out, kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

Bytes truncateUtf16(const Bytes& utf16le, size_t maxUnits) {
    const size_t units = utf16le.size() / 2;
    if (units <= maxUnits) return Bytes(utf16le.begin(), utf16le.begin() + 2 * units);
    size_t keep = maxUnits;
    if (keep > 0) {
        const uint16_t last = getU16LE(utf16le.data() + 2 * (keep - 1));
        if (last >= 0xD800 && last <= 0xDBFF) --keep;  // high surrogate without its partner
    }
    return Bytes(utf16le.begin(), utf16le.begin() + 2 * keep);
}

}  // namespace standin
