#pragma once
// Helpers for engine tests: a scratch data directory and readers for reply tokens.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Engine.h"
#include "Reply.h"

namespace standin::test {

// A fresh directory removed at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("standin-engine-" + std::to_string(rd()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static std::atomic<int>& counter() {
        static std::atomic<int> c{0};
        return c;
    }
    std::filesystem::path path_;
};

inline std::vector<Message> messages(const Reply& r) {
    std::vector<Message> out;
    for (const Token& t : r) {
        if (auto* m = std::get_if<Message>(&t)) out.push_back(*m);
    }
    return out;
}

inline std::vector<int> messageNumbers(const Reply& r) {
    std::vector<int> out;
    for (const Message& m : messages(r)) out.push_back(m.number);
    return out;
}

inline std::vector<ResultSet> results(const Reply& r) {
    std::vector<ResultSet> out;
    for (const Token& t : r) {
        if (auto* s = std::get_if<ResultSet>(&t)) out.push_back(*s);
    }
    return out;
}

inline std::vector<Done> dones(const Reply& r) {
    std::vector<Done> out;
    for (const Token& t : r) {
        if (auto* d = std::get_if<Done>(&t)) out.push_back(*d);
    }
    return out;
}

inline bool hasError(const Reply& r) {
    for (const Message& m : messages(r)) {
        if (m.severity > 10) return true;
    }
    return false;
}

// The texts of one column of a result set, trailing blanks removed.
inline std::vector<std::string> column(const ResultSet& rs, size_t index) {
    std::vector<std::string> out;
    for (const auto& row : rs.rows) {
        const Value& v = row.at(index);
        std::string s = v.kind == Value::Kind::Int ? std::to_string(v.i) : v.text;
        while (!s.empty() && s.back() == ' ') s.pop_back();
        out.push_back(s);
    }
    return out;
}

// Checks the shape every reply must have: it ends in a Done or DoneProc without DoneMore, and
// every earlier Done / DoneProc carries DoneMore.
inline void expectWellFormed(const Reply& r) {
    ASSERT_FALSE(r.empty());
    const Token& last = r.back();
    const Done* d = std::get_if<Done>(&last);
    ASSERT_NE(d, nullptr) << "reply does not end in a DONE";
    EXPECT_NE(d->kind, Done::Kind::DoneInProc);
    EXPECT_EQ(d->status & DoneMore, 0);
    for (size_t i = 0; i + 1 < r.size(); ++i) {
        if (auto* e = std::get_if<Done>(&r[i])) {
            EXPECT_NE(e->status & DoneMore, 0) << "DONE " << i << " lacks MORE";
        }
    }
}

// An engine over a scratch directory with one logged-in session.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    void open() {
        engine_ = std::make_unique<Engine>(dir_.path() / "data", "secret", options_);
        session_ = Session{};
        LoginOutcome o = engine_->login("sa", "secret", "", session_);
        ASSERT_TRUE(o.accepted);
    }
    // Simulates a restart of the server over the same data directory.
    void restart() {
        engine_.reset();
        open();
    }
    Reply run(const std::string& sql) {
        Reply r = engine_->executeBatch(session_, sql);
        expectWellFormed(r);
        return r;
    }
    std::vector<std::string> databaseNames() {
        Reply r = run("select name  from sysdatabases ORDER BY name");
        auto rs = results(r);
        if (rs.empty()) return {};
        return column(rs[0], 0);
    }

    ScratchDir dir_;
    ServerOptions options_;  // set before open() or restart() to play another server
    std::unique_ptr<Engine> engine_;
    Session session_;
};

}  // namespace standin::test
