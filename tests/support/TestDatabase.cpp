#include "support/TestDatabase.h"

#include <QUuid>
#include <gtest/gtest.h>

#include "db/Schema.h"

namespace svod::test {

QString postgresTestUrl() {
    return qEnvironmentVariable("SVOD_TEST_PG");
}

std::vector<db::Backend> testBackends() {
    return {db::Backend::SQLite, db::Backend::PostgreSQL};
}

std::string backendLabel(db::Backend backend) {
    return backend == db::Backend::SQLite       ? "SQLite"
           : backend == db::Backend::PostgreSQL ? "PostgreSQL"
                                                : "SqlServer";
}

TestDatabase::TestDatabase(db::Backend backend) : backend_(backend) {
    connection_ = std::make_unique<db::Connection>();
    if (backend == db::Backend::SQLite) {
        connectionString_ = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("test.db"));
        connection_->open(connectionString_);
        return;
    }
    // A schema of its own per test keeps tests independent on one server.
    schema_ = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    const QString base = postgresTestUrl();
    connection_->open(base);
    connection_->execute(QStringLiteral("create schema ") + schema_);
    connection_->execute(QStringLiteral("set search_path to ") + schema_);
    const QString separator = base.contains(u'?') ? QStringLiteral("&") : QStringLiteral("?");
    connectionString_ = base + separator + QStringLiteral("options=-csearch_path%3D") + schema_;
}

TestDatabase::~TestDatabase() {
    if (!schema_.isEmpty()) {
        try {
            connection_->close();
            db::Connection admin;
            admin.open(postgresTestUrl());
            admin.execute(QStringLiteral("set client_min_messages to warning"));
            admin.execute(QStringLiteral("drop schema if exists ") + schema_ + QStringLiteral(" cascade"));
        } catch (const std::exception& e) {
            ADD_FAILURE() << "dropping the test schema failed: " << e.what();
        }
    }
}

std::unique_ptr<db::Connection> TestDatabase::openSecond() const {
    auto second = std::make_unique<db::Connection>();
    second->open(connectionString_);
    return second;
}

void TestDatabase::createSchema() {
    db::createSchema(*connection_);
}

} // namespace svod::test
