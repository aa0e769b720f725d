#pragma once
// The system tables a SELECT reads: sysdatabases and sysaltfiles in master, sysfiles in every
// database (also qualified: master..sysdatabases, master.dbo.sysdatabases, shop..sysfiles).
// Their columns are SQL Server 2000's; from the SysfilesNVarChar rule on, sysfiles and
// sysaltfiles give names as the 2005 compatibility views do. From the CatalogViews rule on,
// sys.master_files too, in every database.

#include <cstdint>
#include <optional>
#include <string>

#include "Expr.h"
#include "Reply.h"

namespace standin {

class Instance;
struct Database;
struct FileTableEntry;

class SystemTables {
public:
    // The rows of the table `name` names, seen from `currentDatabase`; nullopt with 208 (no such
    // table) or 945 (sysfiles of a database whose files could not be opened) in `error`.
    static std::optional<ResultSet> find(const Instance& instance, const ObjectName& name,
                                         const std::string& currentDatabase, Message& error);

    static ResultSet sysdatabases(const Instance& instance);
    static ResultSet sysfiles(const Instance& instance, const Database& db);
    static ResultSet sysaltfiles(const Instance& instance);
    // Its first columns, up to growth, without file_guid.
    static ResultSet masterFiles(const Instance& instance);
    // A file's status bits as sysfiles shows them: 0x2 disk, 0x40 log, 0x100000 growth in
    // percent (CHECKPRIMARYFILE leaves the last out).
    static int32_t fileStatus(const FileTableEntry& entry, bool withGrowthBit);

private:
    static ResultSet fileRows(const Instance& instance, const Database& db, bool withDbid);
};

}  // namespace standin
