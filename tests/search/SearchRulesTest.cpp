// The pure rules of the search: totals text, path rules of both styles, the pattern match, the
// roots offered by the drive list.

#include <gtest/gtest.h>

#include "fs/PathRules.h"
#include "fs/Roots.h"
#include "fs/WildcardPattern.h"
#include "search/FolderList.h"
#include "search/TotalsText.h"

using namespace korvid;
using fs::PathStyle;

namespace {

QString sizePart(qint64 totalSize) {
    const QString text = search::totalsText(1, totalSize);
    return text.mid(text.indexOf(QStringLiteral("占用磁盘空间：")) + 7);
}

}  // namespace

TEST(TotalsText, WholeTextForNoneAndOneMegabyte) {
    EXPECT_EQ(search::totalsText(0, 0),
              QStringLiteral("搜索结果列表：0 个文件，占用磁盘空间：0. Kb"));
    EXPECT_EQ(search::totalsText(1, 1048576),
              QStringLiteral("搜索结果列表：1 个文件，占用磁盘空间：1024. Kb"));
}

TEST(TotalsText, DecimalsAreTruncatedNotRounded) {
    const struct {
        qint64 totalSize;
        const char* end;
    } cases[] = {
        {1100, "1.07 Kb"},
        {1536, "1.5 Kb"},
        {5000, "4.88 Kb"},
        {1048577, "1.00 Mb"},
        {3407872, "3.25 Mb"},
        {5767168, "5.5 Mb"},
        {12345678, "11.77 Mb"},
        {1, "0.00 Kb"},
        {1023, "0.99 Kb"},
        {1024, "1. Kb"},
        {1075, "1.04 Kb"},
        {51, "0.04 Kb"},
        // Above the 32-bit range the text keeps its form.
        {2147483648LL, "2048. Mb"},
        {5368709120LL + 524288, "5120.5 Mb"},
        {(qint64(1) << 62) + 1048575, "4398046511104.99 Mb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sizePart(c.totalSize), QString::fromUtf8(c.end)) << c.totalSize;
}

TEST(PathRules, WindowsStyle) {
    const PathStyle w = PathStyle::Windows;
    EXPECT_EQ(fs::normaliseFolder(QStringLiteral("c:\\Data"), w), QStringLiteral("C:\\DATA\\"));
    EXPECT_EQ(fs::normaliseFolder(QStringLiteral("C:\\"), w), QStringLiteral("C:\\"));
    EXPECT_EQ(fs::normaliseFolder(QStringLiteral("c:\\Program Files\\Data"), w),
              QStringLiteral("C:\\PROGRAM FILES\\DATA\\"));
    const QString folder = QStringLiteral("D:\\SQL\\Data\\");
    EXPECT_EQ(fs::rowFullPath(folder, QStringLiteral(" Sales.mdf "), w),
              QStringLiteral("D:\\SQL\\Data\\SALES.MDF"));
    EXPECT_EQ(fs::rowFileName(QStringLiteral(" Sales.mdf ")), QStringLiteral("SALES.MDF"));
    EXPECT_EQ(fs::folderWithoutDrive(folder, w), QStringLiteral("\\SQL\\Data\\"));
    EXPECT_EQ(fs::folderWithoutDrive(QStringLiteral("D:\\"), w), QStringLiteral("\\"));
    EXPECT_EQ(fs::subfolderPath(QStringLiteral("D:\\SQL\\"), QStringLiteral("Data"), w), folder);
    EXPECT_EQ(fs::driveMark(QStringLiteral("e: [DISK]"), w), QStringLiteral("E"));
}

TEST(PathRules, PosixStyleKeepsCaseAndBlanks) {
    const PathStyle p = PathStyle::Posix;
    EXPECT_EQ(fs::normaliseFolder(QStringLiteral("/srv/Sql Data"), p),
              QStringLiteral("/srv/Sql Data/"));
    EXPECT_EQ(fs::normaliseFolder(QStringLiteral("/"), p), QStringLiteral("/"));
    const QString folder = QStringLiteral("/srv/Data/");
    EXPECT_EQ(fs::rowFullPath(folder, QStringLiteral(" Sales.mdf"), p),
              QStringLiteral("/srv/Data/ Sales.mdf"));
    EXPECT_EQ(fs::folderWithoutDrive(folder, p), folder);
    EXPECT_EQ(fs::subfolderPath(QStringLiteral("/"), QStringLiteral("srv"), p),
              QStringLiteral("/srv/"));
    EXPECT_EQ(fs::driveMark(QStringLiteral("/media/cdrom"), p), QStringLiteral("/media/cdrom"));
    EXPECT_EQ(fs::driveMark(QStringLiteral("e"), p), QStringLiteral("E"));
}

TEST(PathRules, AServerComparesPathsAsItsPlatformDoes) {
    const PathStyle w = PathStyle::Windows, p = PathStyle::Posix;
    const struct {
        const char* a;
        const char* b;
        PathStyle style;
        bool same;
    } cases[] = {
        {"C:\\Data\\Shop.mdf", "c:\\DATA\\SHOP.MDF", w, true},
        {"C:\\Data\\Shop.mdf", "C:/Data/Shop.mdf", w, true},
        {"C:\\Data\\Shop.mdf    ", "C:\\Data\\Shop.mdf", w, true},  // 2000 pads its column
        {"C:\\Data\\Shop.mdf", "C:\\Data\\Shop2.mdf", w, false},
        {"C:\\Data\\销售.mdf", "C:\\DATA\\销售.MDF", w, true},
        {"/var/opt/mssql/data/Shop.mdf", "/var/opt/mssql/data/shop.mdf", p, false},
        {"/srv/a b.mdf", "/srv/a b.mdf", p, true},
        {"/srv/x.mdf ", "/srv/x.mdf", p, false},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf8(c.a), b = QString::fromUtf8(c.b);
        EXPECT_EQ(fs::serverPathKey(a, c.style) == fs::serverPathKey(b, c.style), c.same)
            << c.a << " / " << c.b;
    }
}

TEST(WildcardPattern, CaseStarQuestionAndDotStar) {
    const fs::WildcardPattern mdf(QStringLiteral("*.MDF"));
    EXPECT_TRUE(mdf.matches(u"master.mdf"));
    EXPECT_TRUE(mdf.matches(u".mdf"));
    EXPECT_TRUE(mdf.matches(u"a.b.Mdf"));
    EXPECT_FALSE(mdf.matches(u"master.mdf.bak"));
    EXPECT_FALSE(mdf.matches(u"master.ldf"));
    EXPECT_FALSE(mdf.matches(u"mdf"));

    const fs::WildcardPattern all(QStringLiteral("*.*"));
    EXPECT_TRUE(all.matches(u"README"));
    EXPECT_TRUE(all.matches(u"x.y"));

    const fs::WildcardPattern one(QStringLiteral("d?.mdf"));
    EXPECT_TRUE(one.matches(u"DB.MDF"));
    EXPECT_TRUE(one.matches(u"d数.mdf"));
    EXPECT_TRUE(
        one.matches(QString::fromUtf8("d\xF0\x9F\x98\x80.mdf")));  // one character, two units
    EXPECT_FALSE(one.matches(u"d.mdf"));
    EXPECT_FALSE(one.matches(u"dbb.mdf"));

    EXPECT_TRUE(fs::WildcardPattern(QStringLiteral("*a*b*c")).matches(u"xxaYYbZZbc"));
    EXPECT_FALSE(fs::WildcardPattern(QStringLiteral("*a*b*c")).matches(u"xxaYYbZZbcd"));
    EXPECT_TRUE(fs::WildcardPattern(QStringLiteral("ÄRGER.MDF")).matches(u"ärger.mdf"));
    // The pattern is used exactly as typed: blanks are part of it.
    EXPECT_TRUE(fs::WildcardPattern(QStringLiteral(" ")).matches(u" "));
    EXPECT_FALSE(fs::WildcardPattern(QStringLiteral(" ")).matches(u"a"));
    EXPECT_FALSE(fs::WildcardPattern(QStringLiteral("*.mdf ")).matches(u"a.mdf"));
}

TEST(WildcardPattern, AStarThenPlainCharactersMatchesAsTheGeneralRule) {
    // "*" + plain characters compares the name's end; "**" + the same goes the general way.
    const QStringList names{"master.mdf", "MASTER.MDF", ".mdf",     "mdf",
                            "a.mdf.bak",  "数据.MdF",   "数据.mdf", "x\xF0\x9F\x98\x80.mdf",
                            "ärger.mdf",  "ÄRGER.MDF",  "",         "a.mdf ",
                            " a.mdf"};
    for (const char* tail : {".MDF", "数据.mdf", "ÄRGER.mdf", "F", " ", ".mdf "}) {
        const fs::WildcardPattern quick(QStringLiteral("*") + QString::fromUtf8(tail));
        const fs::WildcardPattern general(QStringLiteral("**") + QString::fromUtf8(tail));
        for (const QString& name : names)
            EXPECT_EQ(quick.matches(name), general.matches(name))
                << tail << " / " << name.toStdString();
    }
}

TEST(Roots, MountTableOffersWhatAUserWouldSearch) {
    const QByteArray mounts =
        "overlay / overlay rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "sysfs /sys sysfs ro 0 0\n"
        "tmpfs /dev tmpfs rw 0 0\n"
        "devpts /dev/pts devpts rw 0 0\n"
        "/dev/sdb1 /mnt/sql\\040data ext4 rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sdc1 /run/media/sa/USB vfat rw 0 0\n"
        "tmpfs /run/user/0 tmpfs rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n";
    EXPECT_EQ(fs::parseMountRoots(mounts),
              (QStringList{"/", "/home/", "/mnt/sql data/", "/run/media/sa/USB/"}));
    EXPECT_EQ(fs::parseMountRoots(QByteArray()), QStringList{"/"});
}

TEST(Roots, RootOfAPathIsTheLongestThatHoldsIt) {
    const QStringList posix{"/", "/home/", "/home/sa/disk/"};
    EXPECT_EQ(fs::rootOf(QStringLiteral("/home/sa/disk"), posix, PathStyle::Posix),
              QStringLiteral("/home/sa/disk/"));
    EXPECT_EQ(fs::rootOf(QStringLiteral("/home/sa/diskette"), posix, PathStyle::Posix),
              QStringLiteral("/home/"));
    EXPECT_EQ(fs::rootOf(QStringLiteral("/etc"), posix, PathStyle::Posix), QStringLiteral("/"));
    const QStringList windows{"C:\\", "D:\\"};
    EXPECT_EQ(fs::rootOf(QStringLiteral("d:\\sql"), windows, PathStyle::Windows),
              QStringLiteral("D:\\"));
    EXPECT_EQ(fs::rootOf(QStringLiteral("E:\\"), windows, PathStyle::Windows), QString());
}

TEST(FolderList, AncestorsFromTheRootDown) {
    EXPECT_EQ(search::FolderList::ancestors(QStringLiteral("/home/sa"), PathStyle::Posix),
              (QStringList{"/", "/home", "/home/sa"}));
    EXPECT_EQ(search::FolderList::ancestors(QStringLiteral("/"), PathStyle::Posix),
              QStringList{"/"});
    EXPECT_EQ(search::FolderList::ancestors(QStringLiteral("C:\\SQL\\Data"), PathStyle::Windows),
              (QStringList{"C:\\", "C:\\SQL", "C:\\SQL\\Data"}));
}
