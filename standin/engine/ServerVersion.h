#pragma once
// The SQL Server release the stand-in plays: what it says about itself (LOGINACK, @@VERSION,
// SERVERPROPERTY), the internal version of the data files it writes, and which of the
// release's rules apply. 8.0 is the default.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

class ServerVersion {
public:
    enum class Release { Sql2000, Sql2005, Sql2008R2, Sql2019, Sql2022 };

    ServerVersion() = default;
    explicit ServerVersion(Release release) : release_(release) {}

    // "8.0", "9.0", "10.50", "15.0" or "16.0".
    static std::optional<ServerVersion> parse(const std::string& text);
    static std::vector<std::string> names();

    Release release() const { return release_; }
    std::string name() const;
    int major() const;
    // SERVERPROPERTY('ProductVersion'), ('ProductLevel'), ('Edition') and @@VERSION.
    std::string productVersion() const;
    std::string productLevel() const;
    std::string edition() const;
    std::string versionText() const;
    // LOGINACK's program version: major, minor, build (high byte, low byte).
    std::array<uint8_t, 4> loginAckVersion() const;
    // The internal version of the data files this release writes (539 for SQL Server 2000).
    uint32_t databaseVersion() const;
    // The oldest file version this release upgrades on attach; older ones are refused.
    uint32_t oldestUpgradable() const;
    int compatibilityLevel() const;

    // The 2005 generation's message texts and numbers (5120, 1802, ...).
    bool modernMessages() const { return release_ != Release::Sql2000; }
    // BEGIN TRY ... END CATCH, ERROR_MESSAGE() and friends.
    bool hasTryCatch() const { return release_ != Release::Sql2000; }
    // THROW, from SQL Server 2012.
    bool hasThrow() const { return major() >= 11; }
    // BACKUP LOG ... WITH TRUNCATE_ONLY | NO_LOG is gone from SQL Server 2008.
    bool hasTruncateOnly() const { return major() < 10; }
    // DECLARE @v type = value, from SQL Server 2008.
    bool hasDeclareWithValue() const { return major() >= 10; }

private:
    Release release_ = Release::Sql2000;
};

}  // namespace standin
