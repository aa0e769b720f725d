#pragma once
// A database file (.mdf primary, .ndf secondary, .ldf log) in the stand-in's own page format.
// Pages are 8 KiB. Pages 0-3 and 4-7 are two header slots; a header change is written to the
// slot not holding the current header and the valid slot with the higher sequence wins, so a
// write torn by a crash leaves the previous header in force. See standin/README.md.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin {

enum class FileKind : uint8_t { Primary = 1, Secondary = 2, Log = 3 };

// One row of the file table a primary file records for its whole database.
struct FileTableEntry {
    uint16_t fileId = 0;
    FileKind kind = FileKind::Primary;
    uint16_t groupId = 1;  // 0 for log files
    std::string logicalName;
    std::string physicalPath;  // as last attached
    uint32_t sizePages = 0;
    uint32_t usedPages = 0;
    int32_t maxSizePages = -1;  // -1 = unlimited
    int32_t growth = 10;
    bool growthPercent = true;
};

using DatabaseId = std::array<uint8_t, 16>;

// A database's recovery model, kept in its primary's header. Unset in files written before the
// model was recorded: the database then has its server's default for it.
enum class RecoveryModel : uint8_t { Unset = 0, Full = 1, BulkLogged = 2, Simple = 3 };

struct FileHeader {
    FileKind kind = FileKind::Primary;
    uint16_t fileId = 1;
    std::string databaseName;
    DatabaseId databaseId{};  // binds all files of one database together
    uint32_t version = 539;
    uint32_t collationId = 0;
    bool cleanlyDetached = false;
    uint32_t usedPages = 0;
    std::vector<FileTableEntry> fileTable;          // primary only
    RecoveryModel recovery = RecoveryModel::Unset;  // primary only
    uint64_t sequence = 0;                          // which slot is current; set by the writer
};

class DataFile {
public:
    static constexpr uint32_t kPageSize = 8192;
    static constexpr uint32_t kSlotPages = 4;
    static constexpr uint32_t kHeaderPages = 2 * kSlotPages;
    static constexpr uint32_t kSlotBytes = kSlotPages * kPageSize;

    enum class Status { Ok, Missing, Unreadable, NotDataFile, InUse };

    struct Inspection {
        Status status = Status::Missing;
        FileHeader header;
        uint64_t lengthBytes = 0;
        std::string osError;
    };

    // Reads a file's current header without holding it. A file held by an attached database
    // (this process or another) reports InUse.
    static Inspection inspect(const std::filesystem::path& path);

    // Creates a new file of sizePages pages (never replacing an existing file) and holds it.
    static std::unique_ptr<DataFile> create(const std::filesystem::path& path, FileHeader header,
                                            uint32_t sizePages, std::string& osError);

    // Opens and holds an existing file: read-write with an exclusive lock.
    static std::unique_ptr<DataFile> hold(const std::filesystem::path& path, Status& status,
                                          std::string& osError);

    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    FileHeader& header() { return header_; }
    const FileHeader& header() const { return header_; }

    // Makes header() the file's header: written to the other slot, then synced.
    bool writeHeader(std::string& osError);
    uint32_t sizePages() const;
    // Cuts the file to `pages` (never below the header pages) and syncs it.
    bool truncate(uint32_t pages, std::string& osError);
    // True when both name the same file on disk.
    bool isSameFile(const std::filesystem::path& other) const;

    // Byte offset of the slot a header with this sequence lives in.
    static uint64_t slotOffset(uint64_t sequence) { return (sequence % 2) * kSlotBytes; }
    static std::string encodeSlot(const FileHeader& header);
    static std::optional<FileHeader> decodeSlot(const char* data, size_t size);

private:
    DataFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    static std::optional<FileHeader> readHeader(int fd, uint64_t length);

    std::filesystem::path path_;
    int fd_ = -1;
    FileHeader header_;
};

}  // namespace standin
