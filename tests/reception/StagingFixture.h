#pragma once

#include <QSqlQuery>

#include "support/PacketFixture.h"
#include "ReceptionFixture.h"
#include "reception/DirectReception.h"
#include "reception/InflationReception.h"

namespace svod::test {

// Fills the server staging tables the way the outside process does.
class StagingFixture : public ReceptionFixture {
protected:
    void createStaging(const QString& table, const QString& model) {
        c().execute(c().dialect().selectTop0Into(table, model));
    }
    void stageItems(const QList<ItemRow>& rows) {
        createStaging(reception::StagingItems, QStringLiteral("INV"));
        QSqlQuery q =
            c().prepare(QStringLiteral("insert into ") + reception::StagingItems +
                        QStringLiteral(" (ID, KOD_F, TYPEM, KARD_NUM, INV_NUM, BEG_DATE, END_DATE, NAME, "
                                       "GROUP1, AMKOD) values (?,?,?,?,?,?,?,?,?,?)"));
        for (const ItemRow& r : rows)
            c().execPrepared(q, {r.id, r.kod, r.typem, r.kard, r.inv, dateTime(r.begDate),
                                 dateTime(r.endDate), r.name, r.group1, r.amkod});
    }
    void stageBalances(const QString& table, const QList<BalanceRow>& rows, const QTime& headerTime = {}) {
        createStaging(table, QStringLiteral("INV_OST"));
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + table +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        for (const BalanceRow& r : rows) {
            const QTime time = r.kod == u"**" && headerTime.isValid() ? headerTime : QTime(0, 0);
            c().execPrepared(q, {r.id.isEmpty() ? QVariant(QStringLiteral(" ")) : QVariant(r.id), r.kod,
                                 QDateTime(r.dd, time), r.typ, r.saldo, r.delta});
        }
    }
    void stagePacket(const SamplePacket& packet) {
        stageItems(packet.items);
        stageBalances(reception::StagingMovements, packet.balances);
    }
    bool stagingExists(const QString& table) {
        return c().scalar(reception::statements::stagingExists(c().dialect(), QString(), table)).toInt() == 1;
    }
    static QVariant dateTime(const QVariant& date) {
        return date.isValid() && !date.isNull() ? QVariant(QDateTime(date.toDate(), QTime(0, 0)))
                                                : QVariant(QMetaType::fromType<QDateTime>());
    }
};

} // namespace svod::test
