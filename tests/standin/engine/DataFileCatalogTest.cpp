// Data-file headers and the catalog file: what survives a crash between or inside writes.

#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "Catalog.h"
#include "DataFile.h"
#include "DurableFile.h"
#include "EngineTestSupport.h"

namespace standin::test {
namespace {

FileHeader sampleHeader() {
    FileHeader h;
    h.kind = FileKind::Primary;
    h.fileId = 1;
    h.databaseName = "销售库";
    h.databaseId[0] = 7;
    h.databaseId[15] = 9;
    h.collationId = 872468488;
    h.usedPages = 32;
    h.fileTable = {
        {1, FileKind::Primary, 1, "shop", "/data/shop.mdf", 128, 32, -1, 10, true},
        {2, FileKind::Log, 0, "shop_log", "/data/shop log.ldf", 64, 16, 2560, 128, false},
    };
    return h;
}

void overwrite(const std::string& path, uint64_t offset, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

TEST(DataFile, HeaderSurvivesATornWriteOfItsSuccessor) {
    ScratchDir dir;
    const std::string path = dir.file("shop.mdf");
    std::string err;
    {
        auto f = DataFile::create(path, sampleHeader(), 128, err);
        ASSERT_TRUE(f) << err;
        EXPECT_EQ(f->sizePages(), 128u);
        // While held, the file is in use for every other reader.
        EXPECT_EQ(DataFile::inspect(path).status, DataFile::Status::InUse);
        f->header().cleanlyDetached = true;
        ASSERT_TRUE(f->writeHeader(err));
        f->header().databaseName = "renamed";
        ASSERT_TRUE(f->writeHeader(err));
    }
    DataFile::Inspection ins = DataFile::inspect(path);
    ASSERT_EQ(ins.status, DataFile::Status::Ok);
    EXPECT_EQ(ins.header.databaseName, "renamed");
    EXPECT_TRUE(ins.header.cleanlyDetached);
    ASSERT_EQ(ins.header.fileTable.size(), 2u);
    EXPECT_EQ(ins.header.fileTable[1].physicalPath, "/data/shop log.ldf");
    EXPECT_EQ(ins.header.fileTable[1].maxSizePages, 2560);
    EXPECT_FALSE(ins.header.fileTable[1].growthPercent);
    EXPECT_EQ(ins.header.databaseId, sampleHeader().databaseId);

    // A crash in the middle of writing the newest header leaves the one before it.
    overwrite(path, DataFile::slotOffset(ins.header.sequence) + 40, std::string(3000, 'x'));
    ins = DataFile::inspect(path);
    ASSERT_EQ(ins.status, DataFile::Status::Ok);
    EXPECT_EQ(ins.header.databaseName, "销售库");
    EXPECT_TRUE(ins.header.cleanlyDetached);

    // With both slots damaged nothing claims the file is a database file.
    overwrite(path, DataFile::slotOffset(ins.header.sequence) + 40, std::string(100, 'y'));
    EXPECT_EQ(DataFile::inspect(path).status, DataFile::Status::NotDataFile);
}

TEST(DataFile, OnlyFilesOfTheFormatAreDatabaseFilesAndNoneIsReplaced) {
    ScratchDir dir;
    const std::string text = dir.file("notes.mdf");
    std::ofstream(text) << std::string(100000, 'a');
    EXPECT_EQ(DataFile::inspect(text).status, DataFile::Status::NotDataFile);
    std::ofstream(dir.file("empty.mdf")).flush();
    EXPECT_EQ(DataFile::inspect(dir.file("empty.mdf")).status, DataFile::Status::NotDataFile);
    EXPECT_EQ(DataFile::inspect(dir.file("none.mdf")).status, DataFile::Status::Missing);
    EXPECT_EQ(DataFile::inspect(dir.path().string()).status, DataFile::Status::Unreadable);

    std::string err;
    EXPECT_FALSE(DataFile::create(text, sampleHeader(), 128, err));
    std::ifstream in(text);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content.size(), 100000u);

    // A file table too large for a header slot is refused rather than written truncated.
    FileHeader huge = sampleHeader();
    for (int i = 0; i < 40; ++i) {
        huge.fileTable.push_back({static_cast<uint16_t>(i + 3), FileKind::Secondary, 1,
                                  std::string(400, 'n'), std::string(1000, 'p'), 8, 8, -1, 0,
                                  false});
    }
    EXPECT_TRUE(DataFile::encodeSlot(huge).empty());
    EXPECT_FALSE(DataFile::create(dir.file("huge.mdf"), huge, 128, err));
    EXPECT_FALSE(std::filesystem::exists(dir.file("huge.mdf")));
}

TEST(Catalog, RoundTripAndDamage) {
    ScratchDir dir;
    Catalog cat(dir.path() / "catalog.kvc");
    std::vector<CatalogEntry> entries = {
        {"O'Brien", 5, 40000, 123, "/d/o brien.mdf"},
        {"a]b", 6, 40001, 0, "/d/a]b.mdf"},
        {"销售库", 7, 40002, 9, "/d/销售库.mdf"},
        {"line\nbreak end 0 0", 8, 1, 1, "/d/x.mdf"},
    };
    std::string err;
    ASSERT_TRUE(cat.save(entries, err)) << err;
    std::vector<CatalogEntry> back;
    bool existed = false;
    ASSERT_TRUE(cat.load(back, existed, err)) << err;
    EXPECT_TRUE(existed);
    ASSERT_EQ(back.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(back[i].name, entries[i].name);
        EXPECT_EQ(back[i].primaryPath, entries[i].primaryPath);
        EXPECT_EQ(back[i].dbid, entries[i].dbid);
    }

    // A temporary file left by a crash before its rename is ignored and removed.
    std::ofstream(DurableFile::temporaryFor(cat.file())) << "KVCATALOG 1\ngarbage";
    ASSERT_TRUE(cat.load(back, existed, err));
    EXPECT_EQ(back.size(), entries.size());
    EXPECT_FALSE(std::filesystem::exists(DurableFile::temporaryFor(cat.file())));

    // A catalog cut short or altered is reported, never read as a shorter list.
    std::string text;
    ASSERT_TRUE(DurableFile::read(cat.file(), text, err));
    for (size_t cut : {text.size() - 1, text.size() / 2, size_t{5}}) {
        std::ofstream(cat.file(), std::ios::trunc) << text.substr(0, cut);
        EXPECT_FALSE(cat.load(back, existed, err)) << cut;
    }
    std::string altered = text;
    altered[20] = altered[20] == '1' ? '2' : '1';
    std::ofstream(cat.file(), std::ios::trunc) << altered;
    EXPECT_FALSE(cat.load(back, existed, err));
}

}  // namespace
}  // namespace standin::test

namespace standin::test {
namespace {

TEST(FirstStart, AnInterruptedFirstStartIsRedoneButForeignFilesAreLeftAlone) {
    ScratchDir dir;
    const auto data = dir.path() / "data";
    std::filesystem::create_directories(data);
    // A crash after master.mdf was created but before its header was written.
    std::ofstream(data / "master.mdf", std::ios::binary) << std::string(70000, '\0');
    {
        Engine e(data, "pw");
        Session s;
        EXPECT_TRUE(e.login("sa", "pw", "master", s).accepted);
    }
    EXPECT_EQ(DataFile::inspect((data / "master.mdf").string()).status, DataFile::Status::Ok);

    // A file of someone else's where the server keeps master stops the start instead.
    ScratchDir other;
    const auto data2 = other.path() / "data";
    std::filesystem::create_directories(data2);
    std::ofstream(data2 / "master.mdf") << "not ours";
    EXPECT_THROW(Engine(data2, "pw"), std::runtime_error);
    EXPECT_EQ(std::filesystem::file_size(data2 / "master.mdf"), 8u);
}

}  // namespace
}  // namespace standin::test
