// Create and attach taken step by step: a plan is made and checked without touching the disk,
// and only its commit makes files and lists the database.

#include <filesystem>

#include "EngineTestSupport.h"
#include "Instance.h"
#include "Parser.h"
#include "Sessions.h"
#include "statements/Attach.h"
#include "statements/AttachPlanner.h"
#include "statements/CreatePlanner.h"
#include "statements/Detach.h"

namespace standin::test {
namespace {

namespace fs = std::filesystem;

CreateDatabaseStatement createStatement(const std::string& sql) {
    ParseResult p = Parser::parseBatch(sql);
    EXPECT_FALSE(p.failure) << sql;
    return std::get<CreateDatabaseStatement>(p.statements.at(0).body);
}

std::vector<int> numbers(const OpResult& r) {
    std::vector<int> out;
    for (const Message& m : r.messages) out.push_back(m.number);
    return out;
}

class Planner : public ::testing::Test {
protected:
    std::string file(const std::string& name) { return dir_.file(name); }
    ScratchDir dir_;
    Instance instance_{dir_.path() / "data"};
};

TEST_F(Planner, CreatePlanLaysOutTheFilesAndOnlyTheCommitMakesThem) {
    CreatePlan plan;
    OpResult r = CreatePlanner(instance_).plan(
        createStatement("CREATE DATABASE shop ON (NAME = d1, FILENAME = '" + file("d1.mdf") +
                        "'), (NAME = d2, FILENAME = '" + file("d2.ndf") + "', SIZE = 100KB) " +
                        "LOG ON (NAME = l1, FILENAME = '" + file("l1.ldf") + "'), (NAME = l2)"),
        plan);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(plan.table.size(), 4u);
    // Primary, first log, further data files, further logs; ids follow that order.
    EXPECT_EQ(plan.table[0].logicalName, "d1");
    EXPECT_EQ(plan.table[1].kind, FileKind::Log);
    EXPECT_EQ(plan.table[2].fileId, 3);
    EXPECT_EQ(plan.table[2].sizePages, Instance::kMinimumFilePages);  // raised to 512 KB
    EXPECT_EQ(plan.table[3].fileId, 4);
    EXPECT_EQ(plan.table[3].physicalPath, (instance_.dataDir() / "l2.ldf").string());
    for (const FileTableEntry& e : plan.table) EXPECT_FALSE(fs::exists(e.physicalPath));
    EXPECT_EQ(instance_.find("shop"), nullptr);

    ASSERT_TRUE(CreateDatabase::commit(instance_, plan).ok);
    ASSERT_NE(instance_.find("shop"), nullptr);
    for (const FileTableEntry& e : plan.table) EXPECT_TRUE(fs::exists(e.physicalPath));

    // The same plan again is refused by its plan step, before any file is made.
    CreatePlan again;
    EXPECT_EQ(numbers(CreatePlanner(instance_).plan(createStatement("CREATE DATABASE other ON "
                                                                    "(NAME = x, FILENAME = '" +
                                                                    file("d1.mdf") + "')"),
                                                    again)),
              (std::vector<int>{5170, 1802}));
    EXPECT_EQ(numbers(instance_.checkNewName("SHOP")), (std::vector<int>{1801}));
}

TEST_F(Planner, AttachPlanFindsTheFilesAndPlansALogWithoutMakingIt) {
    ASSERT_TRUE(CreateDatabase::create(
                    instance_,
                    createStatement("CREATE DATABASE shop ON (NAME = shop, FILENAME = '" +
                                    file("shop.mdf") + "') LOG ON (NAME = shop_log, FILENAME = '" +
                                    file("shop.ldf") + "')"))
                    .ok);
    ASSERT_TRUE(Detach::detach(instance_, Sessions(), "shop").ok);

    AttachPlan found;
    ASSERT_TRUE(AttachPlanner(instance_).plan("shop", {file("shop.mdf")}, found).ok);
    EXPECT_EQ(found.chosen.size(), 2u);  // the log at its recorded path
    EXPECT_TRUE(found.newLogPath.empty());

    fs::remove(file("shop.ldf"));
    AttachPlan rebuilt;
    ASSERT_TRUE(AttachPlanner(instance_).plan("copy", {file("shop.mdf")}, rebuilt).ok);
    EXPECT_EQ(rebuilt.missingLogs, (std::vector<std::string>{file("shop.ldf")}));
    EXPECT_EQ(rebuilt.newLogPath, file("copy_log.LDF"));
    EXPECT_FALSE(fs::exists(rebuilt.newLogPath));

    AttachPlan refused;
    EXPECT_EQ(numbers(AttachPlanner(instance_).plan("x", {file("none.mdf")}, refused)),
              (std::vector<int>{5105, 1813}));

    OpResult done = Attach::commit(instance_, rebuilt);
    ASSERT_TRUE(done.ok);
    EXPECT_EQ(numbers(done), (std::vector<int>{5105, 5182}));
    EXPECT_TRUE(fs::exists(rebuilt.newLogPath));
    EXPECT_NE(instance_.find("copy"), nullptr);
}

}  // namespace
}  // namespace standin::test
