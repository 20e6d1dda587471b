#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "db/Connection.h"

namespace svod::test {

// The backends a database test runs on. PostgreSQL needs SVOD_TEST_PG (a connection string),
// which scripts/test.sh sets after starting its own server.
std::vector<db::Backend> testBackends();
std::string backendLabel(db::Backend backend);
// The PostgreSQL connection string of the test server, or empty.
QString postgresTestUrl();

// A fresh empty database for one test: a SQLite file in a temporary folder, or a schema of its
// own on the PostgreSQL test server (dropped at the end).
class TestDatabase {
public:
    explicit TestDatabase(db::Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    db::Connection& connection() { return *connection_; }
    // Another connection to the same database (for privacy and crash tests).
    std::unique_ptr<db::Connection> openSecond() const;
    // The string svod-cli --db takes for this database (PostgreSQL: with the schema in options).
    QString connectionString() const { return connectionString_; }
    db::Backend backend() const { return backend_; }
    // Creates the central tables.
    void createSchema();

private:
    db::Backend backend_;
    QTemporaryDir dir_;
    QString connectionString_;
    QString schema_;
    std::unique_ptr<db::Connection> connection_;
};

// Skips the current test with a visible reason when the backend is not available.
#define SVOD_REQUIRE_BACKEND(backend)                                                                        \
    do {                                                                                                     \
        if ((backend) == ::svod::db::Backend::PostgreSQL && ::svod::test::postgresTestUrl().isEmpty())       \
            GTEST_SKIP() << "PostgreSQL test server not started (SVOD_TEST_PG unset)";                       \
    } while (0)

} // namespace svod::test
