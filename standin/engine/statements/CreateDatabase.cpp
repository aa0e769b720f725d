#include "statements/CreateDatabase.h"

#include <cstdlib>
#include <filesystem>
#include <limits>

#include "Instance.h"
#include "Messages.h"
#include "Parser.h"
#include "statements/Attach.h"
#include "statements/CreatePlanner.h"
#include "statements/StatementContext.h"

namespace standin {

CreateDatabaseStatement CreateDatabase::read(Parser& p) {
    TokenCursor& c = p.cursor();
    c.skip();
    c.expectWord("DATABASE");
    CreateDatabaseStatement s;
    s.name = c.name();
    if (c.acceptWord("ON")) {
        int group = 1;
        c.acceptWord("PRIMARY");
        do {
            if (c.acceptWord("FILEGROUP")) {
                c.name();
                ++group;
            }
            FileSpec f = fileSpec(p);
            f.groupId = group;
            s.dataFiles.push_back(std::move(f));
        } while (c.acceptSymbol(","));
    }
    if (c.acceptWord("LOG")) {
        c.expectWord("ON");
        do {
            FileSpec f = fileSpec(p);
            f.groupId = 0;
            s.logFiles.push_back(std::move(f));
        } while (c.acceptSymbol(","));
    }
    if (c.acceptWord("COLLATE")) c.name();
    if (c.acceptWord("FOR")) {
        c.expectWord("ATTACH");
        s.forAttach = true;
    }
    return s;
}

Outcome CreateDatabase::run(const CreateDatabaseStatement& s, StatementContext& c) {
    return c.reply(create(c.instance, s));
}

OpResult CreateDatabase::create(Instance& instance, const CreateDatabaseStatement& c) {
    OpResult r = instance.checkNewName(c.name);
    if (!r.ok) return r;
    if (c.forAttach) {
        if (c.dataFiles.empty() || !c.dataFiles[0].hasFileName) {
            // FOR ATTACH needs at least the primary's FILENAME.
            return OpResult::failure(
                Messages::error(102, 15, 1, "Incorrect syntax near 'ATTACH'."));
        }
        std::vector<std::string> paths;
        for (const FileSpec& f : c.dataFiles) paths.push_back(f.fileName);
        for (const FileSpec& f : c.logFiles) paths.push_back(f.fileName);
        return Attach::attach(instance, c.name, paths);
    }
    CreatePlan plan;
    r = CreatePlanner(instance).plan(c, plan);
    if (!r.ok) return r;
    return commit(instance, plan);
}

OpResult CreateDatabase::commit(Instance& instance, const CreatePlan& plan) {
    auto db = std::make_unique<Database>();
    std::vector<std::string> created;
    auto undo = [&]() {
        db->files.clear();
        for (const std::string& p : created) {
            std::error_code ec;
            std::filesystem::remove(p, ec);
        }
    };
    // Secondary and log files first: the primary, written last, is what makes them a database.
    std::vector<size_t> order;
    for (size_t i = 1; i < plan.table.size(); ++i) order.push_back(i);
    order.push_back(0);
    std::vector<std::unique_ptr<DataFile>> handles(plan.table.size());
    for (size_t i : order) {
        const FileTableEntry& e = plan.table[i];
        FileHeader fh = plan.header;
        fh.kind = e.kind;
        fh.fileId = e.fileId;
        fh.usedPages = e.usedPages;
        if (e.kind == FileKind::Primary) fh.fileTable = plan.table;
        if (e.kind != FileKind::Primary) fh.recovery = RecoveryModel::Unset;
        std::string err;
        handles[i] = instance.files().create(e.physicalPath, fh, e.sizePages, err);
        if (!handles[i]) {
            handles.clear();
            undo();
            return OpResult::failure(Messages::createFileError(e.physicalPath, err),
                                     Messages::createFailed(instance.version()));
        }
        created.push_back(e.physicalPath);
    }
    for (auto& hdl : handles) db->files.push_back(std::move(hdl));
    std::string err;
    db = instance.registerDatabase(std::move(db), plan.name, plan.table[0].physicalPath, err);
    if (!db) return {};
    undo();
    return OpResult::failure(Messages::createFileError(instance.catalogFile().string(), err),
                             Messages::createFailed(instance.version()));
}

FileSpec CreateDatabase::fileSpec(Parser& p) {
    TokenCursor& c = p.cursor();
    c.expectSymbol("(");
    FileSpec f;
    do {
        const SqlToken& key = c.peek();
        const bool known = key.isWord("NAME") || key.isWord("FILENAME") || key.isWord("SIZE") ||
                           key.isWord("MAXSIZE") || key.isWord("FILEGROWTH");
        if (!known) c.failHere();
        c.skip();
        c.expectSymbol("=");
        if (key.isWord("NAME")) {
            const SqlToken& v = c.peek();
            if (v.kind == SqlToken::Kind::String || v.kind == SqlToken::Kind::NString)
                f.logicalName = c.next().value;
            else
                f.logicalName = c.name();
            f.hasName = true;
        } else if (key.isWord("FILENAME")) {
            const SqlToken& v = c.next();
            if (v.kind != SqlToken::Kind::String && v.kind != SqlToken::Kind::NString) c.failAt(v);
            f.fileName = v.value;
            f.hasFileName = true;
        } else if (key.isWord("SIZE")) {
            f.sizeKb = sizeValue(p, false, nullptr);
        } else if (key.isWord("MAXSIZE")) {
            if (c.acceptWord("UNLIMITED"))
                f.maxSizeKb = -1;
            else
                f.maxSizeKb = sizeValue(p, false, nullptr);
        } else {
            f.growth = sizeValue(p, true, &f.growthPercent);
        }
    } while (c.acceptSymbol(","));
    c.expectSymbol(")");
    return f;
}

int64_t CreateDatabase::sizeValue(Parser& p, bool allowPercent, bool* percent) {
    TokenCursor& c = p.cursor();
    const SqlToken& n = c.next();
    if (n.kind != SqlToken::Kind::Number ||
        n.text.find_first_not_of("0123456789") != std::string::npos || n.text.size() > 12)
        c.failAt(n);
    int64_t v = std::strtoll(n.text.c_str(), nullptr, 10);
    int64_t factor = 1024;
    if (c.acceptWord("KB")) {
        factor = 1;
    } else if (c.acceptWord("MB")) {
        factor = 1024;
    } else if (c.acceptWord("GB")) {
        factor = 1024 * 1024;
    } else if (c.acceptWord("TB")) {
        factor = int64_t{1024} * 1024 * 1024;
    } else if (allowPercent && c.acceptSymbol("%")) {
        *percent = true;
        return v;
    }
    if (v > std::numeric_limits<int64_t>::max() / factor) c.failAt(n);
    return v * factor;
}

}  // namespace standin
