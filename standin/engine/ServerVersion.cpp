#include "ServerVersion.h"

#include <iterator>

namespace standin {

namespace {

struct Facts {
    ServerVersion::Release release;
    const char* name;
    int major;
    int minor;
    int build;
    const char* productVersion;
    const char* productLevel;
    const char* edition;
    const char* versionText;
    uint32_t databaseVersion;
    uint32_t oldestUpgradable;
    int compatibilityLevel;
};

// @@VERSION texts as real servers of each release gave them (see standin/README.md).
constexpr Facts kFacts[] = {
    {ServerVersion::Release::Sql2000, "8.0", 8, 0, 2039, "8.00.2039", "SP4", "Standard Edition",
     "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n\tCopyright "
     "(c) 1988-2003 Microsoft Corporation\n\tStandard Edition on Windows NT 5.0 (Build 2195: "
     "Service Pack 4)\n",
     539, 539, 80},
    {ServerVersion::Release::Sql2005, "9.0", 9, 0, 5000, "9.00.5000.00", "SP4",
     "Enterprise Edition (64-bit)",
     "Microsoft SQL Server 2005 - 9.00.5000.00 (X64) \n\tDec 10 2010 10:38:40 \n\tCopyright (c) "
     "1988-2005 Microsoft Corporation\n\tEnterprise Edition (64-bit) on Windows NT 5.2 (Build "
     "3790: Service Pack 2)\n",
     611, 539, 90},
    {ServerVersion::Release::Sql2008R2, "10.50", 10, 50, 6000, "10.50.6000.34", "SP3",
     "Standard Edition (64-bit)",
     "Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34 (X64) \n\tAug 19 2014 12:21:34 "
     "\n\tCopyright (c) Microsoft Corporation\n\tStandard Edition (64-bit) on Windows NT 6.1 "
     "<X64> (Build 7601: Service Pack 1)\n",
     665, 539, 100},
    {ServerVersion::Release::Sql2019, "15.0", 15, 0, 4236, "15.0.4236.7", "RTM",
     "Developer Edition (64-bit)",
     "Microsoft SQL Server 2019 (RTM-CU16-GDR) (KB5014353) - 15.0.4236.7 (X64) \n\tMay 29 2022 "
     "15:55:47 \n\tCopyright (C) 2019 Microsoft Corporation\n\tDeveloper Edition (64-bit) on "
     "Linux (Ubuntu 20.04.4 LTS) <X64>",
     904, 655, 150},
    {ServerVersion::Release::Sql2022, "16.0", 16, 0, 1000, "16.0.1000.6", "RTM",
     "Developer Edition (64-bit)",
     "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tOct  8 2022 05:58:25 \n\tCopyright "
     "(C) 2022 Microsoft Corporation\n\tDeveloper Edition (64-bit) on Windows Server 2022 "
     "Standard 10.0 <X64> (Build 20348: ) (Hypervisor)\n",
     957, 655, 160},
};

constexpr size_t kReleases = std::size(kFacts);

struct RuleRow {
    ReleaseRule rule;
    bool byRelease[kReleases];  // in the order of kFacts
};

// The release rules: what each release does differently. standin/README.md, "Releases",
// mirrors this table.
// clang-format off
constexpr RuleRow kRules[] = {
    //                                          8.0    9.0    10.50  15.0   16.0
    {ReleaseRule::Messages2005,                {false, true,  true,  true,  true }},
    {ReleaseRule::Messages2019,                {false, false, false, true,  true }},
    {ReleaseRule::SysfilesNVarChar,            {false, true,  true,  true,  true }},
    {ReleaseRule::RebuiltLogInDefaultFolder,   {false, true,  true,  true,  true }},
    {ReleaseRule::RebuiltLogNamedForPrimary,   {false, true,  true,  true,  true }},
    {ReleaseRule::TryCatch,                    {false, true,  true,  true,  true }},
    {ReleaseRule::Throw,                       {false, false, false, true,  true }},
    {ReleaseRule::TruncateOnly,                {true,  true,  false, false, false}},
    {ReleaseRule::DeclareWithValue,            {false, false, true,  true,  true }},
    {ReleaseRule::ProductMajorVersion,         {false, false, false, true,  true }},
    {ReleaseRule::SelfSignedCertificate,       {false, true,  true,  true,  true }},
    {ReleaseRule::RecoveryPending,             {false, true,  true,  true,  true }},
    {ReleaseRule::CatalogViews,                {false, true,  true,  true,  true }},
};
// clang-format on

// Row n of kRules decides rule n, so that a new rule cannot be left without its row.
constexpr bool rowsInOrder() {
    for (size_t i = 0; i < std::size(kRules); ++i) {
        if (static_cast<size_t>(kRules[i].rule) != i) return false;
    }
    return std::size(kRules) == kReleaseRules;
}
static_assert(rowsInOrder(), "kRules needs one row per ReleaseRule, in the enum's order");

size_t indexOf(ServerVersion::Release r) {
    for (size_t i = 0; i < kReleases; ++i) {
        if (kFacts[i].release == r) return i;
    }
    return 0;
}

const Facts& factsOf(ServerVersion::Release r) {
    for (const Facts& f : kFacts) {
        if (f.release == r) return f;
    }
    return kFacts[0];
}

}  // namespace

std::optional<ServerVersion> ServerVersion::parse(const std::string& text) {
    for (const Facts& f : kFacts) {
        if (text == f.name) return ServerVersion(f.release);
    }
    return std::nullopt;
}

std::vector<std::string> ServerVersion::names() {
    std::vector<std::string> out;
    for (const Facts& f : kFacts) out.push_back(f.name);
    return out;
}

std::string ServerVersion::name() const {
    return factsOf(release_).name;
}

int ServerVersion::major() const {
    return factsOf(release_).major;
}

std::string ServerVersion::productVersion() const {
    return factsOf(release_).productVersion;
}

std::string ServerVersion::productLevel() const {
    return factsOf(release_).productLevel;
}

std::string ServerVersion::edition() const {
    return factsOf(release_).edition;
}

std::string ServerVersion::versionText() const {
    return factsOf(release_).versionText;
}

std::array<uint8_t, 4> ServerVersion::loginAckVersion() const {
    const Facts& f = factsOf(release_);
    return {static_cast<uint8_t>(f.major), static_cast<uint8_t>(f.minor),
            static_cast<uint8_t>(f.build >> 8), static_cast<uint8_t>(f.build & 0xFF)};
}

uint32_t ServerVersion::databaseVersion() const {
    return factsOf(release_).databaseVersion;
}

uint32_t ServerVersion::oldestUpgradable() const {
    return factsOf(release_).oldestUpgradable;
}

int ServerVersion::compatibilityLevel() const {
    return factsOf(release_).compatibilityLevel;
}

bool ServerVersion::has(ReleaseRule rule) const {
    return kRules[static_cast<size_t>(rule)].byRelease[indexOf(release_)];
}

}  // namespace standin
