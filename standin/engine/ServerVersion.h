#pragma once
// The SQL Server release the stand-in plays: what it says about itself (LOGINACK, @@VERSION,
// SERVERPROPERTY), the internal version of the data files it writes, and which release rules
// it follows. 8.0 is the default.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// What one release does differently from another, each named for what it decides. Every
// difference between releases other than their facts (names, versions, banners) is one of
// these, with its row in the release-rules table (ServerVersion.cpp); nothing else looks at
// version numbers.
enum class ReleaseRule {
    // Messages of the 2005 generation: 5120 + 1802 where 2000 sends 5105 + 1813, 5011 + 5069
    // for ALTER DATABASE, and the reworded texts of 911, 945, 1801, 4060, 15010, ...
    Messages2005,
    // Texts reworded from 2019 on (3023).
    Messages2019,
    // sysfiles and sysaltfiles give name and filename as nvarchar (the 2005 compatibility
    // views), not as blank-padded nchar.
    SysfilesNVarChar,
    // Attach puts a rebuilt log in the server's default log folder, not beside the primary.
    RebuiltLogInDefaultFolder,
    // A rebuilt log is named after the primary file; before, after the database, whose name
    // must then be usable in a file name.
    RebuiltLogNamedForPrimary,
    // BEGIN TRY ... END CATCH and ERROR_MESSAGE() and its kin.
    TryCatch,
    // THROW.
    Throw,
    // BACKUP LOG ... WITH TRUNCATE_ONLY | NO_LOG runs; without it Msg 155 refuses the batch.
    TruncateOnly,
    // DECLARE @v type = value; without it Msg 139.
    DeclareWithValue,
    // SERVERPROPERTY('ProductMajorVersion') answers; before, NULL.
    ProductMajorVersion,
    // The server makes a certificate of its own when none is installed, and so encrypts the
    // login of every client that does not refuse.
    SelfSignedCertificate,
    // A database whose files could not be opened at start-up is RECOVERY_PENDING, and
    // sp_detach_db refuses it (3707); before, it is SUSPECT and detaches.
    RecoveryPending,
    // The catalog views (sys.master_files); before, 208.
    CatalogViews,
    // A new rule goes before this end, with its row in the table.
    Count,
};
constexpr size_t kReleaseRules = static_cast<size_t>(ReleaseRule::Count);

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
    // The major version number, as LOGINACK and SERVERPROPERTY give it.
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

    // Whether this release follows `rule` (the release-rules table in ServerVersion.cpp).
    bool has(ReleaseRule rule) const;

private:
    Release release_ = Release::Sql2000;
};

}  // namespace standin
