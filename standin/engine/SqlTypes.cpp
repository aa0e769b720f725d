#include "SqlTypes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Collation.h"
#include "FilePaths.h"
#include "Messages.h"

namespace standin {

namespace {

bool isUnicodeName(const std::string& n) {
    return n == "NVARCHAR" || n == "NCHAR" || n == "SYSNAME";
}

bool isFixed(const std::string& n) {
    return n == "NCHAR" || n == "CHAR";
}

// Range of an integer type.
bool inRange(const std::string& n, int64_t v) {
    if (n == "TINYINT") return v >= 0 && v <= 255;
    if (n == "SMALLINT") return v >= -32768 && v <= 32767;
    if (n == "BIT") return true;
    return v >= INT32_MIN && v <= INT32_MAX;
}

std::string lowerName(const std::string& n) {
    std::string s = n;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// datetime as CONVERT style 0 writes it: "May  3 2005 11:18PM".
std::string dateText(int64_t days, int64_t ticks) {
    // Days since 1900-01-01 to a civil date (Howard Hinnant's algorithm, from 1970-01-01).
    const int64_t z = days - 25567 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t minutes = ticks / 300 / 60;
    const int64_t h24 = minutes / 60;
    const int64_t h12 = h24 % 12 == 0 ? 12 : h24 % 12;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s %2d %4d %2d:%02d%s", months[(m - 1) % 12],
                  static_cast<int>(d), static_cast<int>(y), static_cast<int>(h12),
                  static_cast<int>(minutes % 60), h24 < 12 ? "AM" : "PM");
    return buf;
}

}  // namespace

bool SqlTypes::known(const std::string& n) {
    static const char* const names[] = {"SYSNAME", "NVARCHAR", "VARCHAR", "NCHAR", "CHAR",
                                        "INT",     "SMALLINT", "TINYINT", "BIT"};
    return std::any_of(std::begin(names), std::end(names), [&](const char* k) { return n == k; });
}

bool SqlTypes::isText(const TypeSpec& t) {
    return t.name == "SYSNAME" || t.name == "NVARCHAR" || t.name == "VARCHAR" ||
           t.name == "NCHAR" || t.name == "CHAR";
}

bool SqlTypes::isUnicode(const TypeSpec& t) {
    return isUnicodeName(t.name);
}

TypeSpec SqlTypes::settle(TypeSpec t, int defaultLength) {
    if (t.name == "SYSNAME") return TypeSpec{"NVARCHAR", 128};
    if (isText(t) && t.length == 0) t.length = defaultLength;
    return t;
}

int SqlTypes::maxLength(const TypeSpec& t) {
    return isUnicodeName(t.name) ? 4000 : 8000;
}

Column SqlTypes::columnOf(const TypeSpec& t) {
    if (isText(t)) {
        // varchar and char travel as their Unicode forms; MAX is reported as 4000 characters.
        const int n = t.length < 0 ? 4000 : std::min(t.length, 4000);
        return Column{"", isFixed(t.name) ? ColType::NChar : ColType::NVarChar,
                      static_cast<uint16_t>(std::max(n, 1)), true};
    }
    if (t.name == "SMALLINT") return Column{"", ColType::SmallIntN, 0, true};
    return Column{"", ColType::IntN, 0, true};
}

std::string SqlTypes::text(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Int:
            return std::to_string(v.i);
        case Value::Kind::DateTime:
            return dateText(v.i, v.ticks);
        default:
            return v.text;
    }
}

bool SqlTypes::parseInt(const std::string& text, int64_t& out) {
    const size_t b = text.find_first_not_of(' ');
    const size_t e = text.find_last_not_of(' ');
    const std::string s = b == std::string::npos ? "" : text.substr(b, e - b + 1);
    errno = 0;
    char* endp = nullptr;
    const long long x = std::strtoll(s.c_str(), &endp, 10);
    if (s.empty() || *endp != '\0' || errno != 0) return false;
    out = x;
    return true;
}

bool SqlTypes::convert(const TypedValue& in, const TypeSpec& to, const ServerVersion& v,
                       TypedValue& out, Message& error) {
    out.column = columnOf(to);
    if (in.value.kind == Value::Kind::Null) {
        out.value = Value::null();
        return true;
    }
    if (isText(to)) {
        std::string s = text(in.value);
        if (to.length > 0) {
            s = FilePaths::fit(s, static_cast<size_t>(to.length));
            if (isFixed(to.name)) s.append(to.length - Collation::length(s), ' ');
        }
        out.value = Value::str(std::move(s));
        return true;
    }
    int64_t n = in.value.i;
    if ((in.value.kind == Value::Kind::Text || in.value.kind == Value::Kind::Bytes) &&
        !parseInt(in.value.text, n)) {
        error = Messages::conversionFailed(v, in.value.text, lowerName(to.name));
        return false;
    }
    if (!inRange(to.name, n)) {
        error = Messages::error(8115, 16, 2,
                                "Arithmetic overflow error converting expression to data type " +
                                    lowerName(to.name) + ".");
        return false;
    }
    out.value = Value::integer(to.name == "BIT" ? (n != 0 ? 1 : 0) : n);
    return true;
}

}  // namespace standin
