#pragma once
// Text comparison under the server's default collation: case-insensitive, accent-sensitive,
// trailing blanks ignored (so 'abc' = 'abc  ', as nchar columns need).

#include <string>

namespace standin {

class Collation {
public:
    // The collation id DBCC CHECKPRIMARYFILE reports (SQL_Latin1_General_CP1_CI_AS).
    static constexpr int kDefaultId = 872468488;
    static constexpr const char* kDefaultName = "SQL_Latin1_General_CP1_CI_AS";

    static int compare(const std::string& a, const std::string& b);  // <0, 0, >0
    static bool equal(const std::string& a, const std::string& b) { return compare(a, b) == 0; }
    // LIKE with %, _ and [set] / [^set] wildcards, case-insensitive.
    static bool like(const std::string& text, const std::string& pattern);
    // Number of characters (code points) of UTF-8 text.
    static size_t length(const std::string& utf8);
};

}  // namespace standin
