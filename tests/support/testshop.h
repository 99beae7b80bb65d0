#pragma once
// A shop database for one test, on either backend: SQLite in a temporary folder, or a
// schema of its own in the PostgreSQL server named by VOREL_TEST_PG (a throwaway cluster
// that scripts/with-test-postgres starts). Dropped when the test ends.

#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "sqlengine/backend.h"

namespace vorel::sql {
// Test names and failure messages show the backend by name.
inline void PrintTo(BackendKind kind, std::ostream *os)
{
    *os << (kind == BackendKind::SQLite ? "SQLite" : "PostgreSQL");
}
} // namespace vorel::sql

namespace vorel::test {

// The PostgreSQL server for tests, empty when none was given.
QString pgTestServer();

// Skips the current test (GTEST_SKIP) when it needs PostgreSQL and none is available.
#define VOREL_REQUIRE_BACKEND(kind)                                                        \
    do {                                                                                   \
        if ((kind) == ::vorel::sql::BackendKind::PostgreSQL && ::vorel::test::pgTestServer().isEmpty()) \
            GTEST_SKIP() << "VOREL_TEST_PG is not set (make test starts a server)";        \
    } while (0)

// A PostgreSQL location with a server setting ("search_path=x") applied at connect time, so
// a reconnect keeps it.
QString withServerSetting(const QString &location, const QString &setting);

// The repository's data folder (schema and demo shop).
QString dataDir();
// The tests' own files: tests/data (the schema files of version 1 in schema-v1/).
QString fixtureDir();

class TestShop {
public:
    // DemoVersionOne: the demo shop on the schema of version 1 (tests/data/schema-v1).
    enum class Content { Empty, Schema, Demo, DemoVersionOne };
    // `today` fills the demo's dates (the open accounting period contains it).
    TestShop(sql::BackendKind kind, Content content, const QDate &today = QDate::currentDate());
    ~TestShop();
    TestShop(const TestShop &) = delete;
    TestShop &operator=(const TestShop &) = delete;

    sql::BackendKind kind() const { return kind_; }
    // Where a backend (or vorel-server --db) opens this shop.
    QString location() const { return location_; }
    std::unique_ptr<sql::Backend> open() const;

private:
    sql::BackendKind kind_;
    QTemporaryDir dir_;
    QString location_;
    QString pgSchema_;
};

// The schema script of a backend, and the demo shop with its dates filled for `today`.
QString schemaScript(sql::BackendKind kind);
QString demoScript(const QDate &today);

} // namespace vorel::test
