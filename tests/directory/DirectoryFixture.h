#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <memory>

#include "support/TestDatabase.h"

namespace svod::test {

// A fresh database with the central tables, two branches ("01", "02") and the two minimum
// reception date variables, on each backend.
class DirectoryTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override;
    db::Connection& connection() { return db_->connection(); }
    QVariant scalar(const QString& sql) { return connection().scalar(sql); }
    qint64 count(const QString& sql) { return scalar(sql).toLongLong(); }
    // The date part of a date column read back, as yyyy-MM-dd (empty for NULL).
    QString dateOf(const QString& sql);
    // A balance row of any of the balance tables.
    void balance(const QString& table, const QString& id, const QString& branch, const QString& date,
                 const QString& typ);
    void logRow(const QString& dateTime, const QVariant& status, const QString& branch,
                const QString& message);
    // Makes every statement on `table` of kind `event` (delete, update) fail.
    void failOn(const QString& table, const QString& event);

    std::unique_ptr<TestDatabase> db_;
};

std::string backendName(const ::testing::TestParamInfo<db::Backend>& info);

} // namespace svod::test
