#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "db/Connection.h"
#include "reception/ReceptionService.h"
#include "support/PacketFixture.h"
#include "support/RecordingInteraction.h"
#include "support/TestDatabase.h"

namespace svod::test {

// A fresh database with the central tables, a packet folder, a recording Interaction and the
// reception service over them; parametrised over the backends.
class ReceptionFixture : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->createSchema();
        ASSERT_TRUE(dir_.isValid());
        service_ = std::make_unique<reception::ReceptionService>(db_->connection(), ui_);
        c().execute(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Филиал один')"));
    }
    db::Connection& c() { return db_->connection(); }
    reception::ReceptionService& service() { return *service_; }
    QString path(const QString& name) const { return dir_.filePath(name); }
    int count(const QString& sql) { return c().scalar(sql).toInt(); }
    // Writes the packet as A0105X.DBF / B0105X.DBF and picks its A file.
    void pickPacket(const SamplePacket& packet) {
        writePacket(path(QStringLiteral("A0105X.DBF")), path(QStringLiteral("B0105X.DBF")), packet);
        ui_.fileToChoose = path(QStringLiteral("A0105X.DBF"));
    }
    // The message of the error the command ended with, or empty.
    QString runCommand(reception::ReceptionOutcome* outcome = nullptr) {
        try {
            const auto result = service().receive();
            if (outcome)
                *outcome = result;
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }
    void insertItem(const QString& id, const QString& kod, const QVariant& endDate = {}) {
        QSqlQuery q = c().prepare(
            QStringLiteral("insert into INV (ID, KOD_F, BEG_DATE, END_DATE, NAME) values (?,?,?,?,?)"));
        c().execPrepared(q, {id, kod, QDate(2003, 1, 1), endDate, QStringLiteral("old")});
    }
    void insertBalance(const QString& table, const QString& id, const QString& kod, const QDate& dd,
                       const QString& typ, double saldo) {
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + table +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        c().execPrepared(q, {id, kod, QDateTime(dd, QTime(0, 0)), typ, saldo, 0.0});
    }

    QTemporaryDir dir_;
    std::unique_ptr<TestDatabase> db_;
    RecordingInteraction ui_;
    std::unique_ptr<reception::ReceptionService> service_;
};

inline std::string backendName(const ::testing::TestParamInfo<db::Backend>& info) {
    return backendLabel(info.param);
}

} // namespace svod::test
