#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

namespace svod::test {

// One row of a packet's A file.
struct ItemRow {
    QString id;
    QString kod = QStringLiteral("01");
    QVariant begDate = QDate(2004, 3, 1);
    QVariant endDate;
    QString name = QStringLiteral("Станок");
    QString group1 = QStringLiteral("1");
    QString amkod = QStringLiteral("A1");
    QString typem = QStringLiteral("1");
    QString kard = QStringLiteral("10");
    QString inv = QStringLiteral("20");
};

// One row of a packet's B file; kod "**" makes a header row.
struct BalanceRow {
    QString id;
    QString kod = QStringLiteral("01");
    QDate dd;
    QString typ;
    double saldo = 0;
    double delta = 0;
};

inline BalanceRow header(const QString& plane, const QDate& from) {
    return {QString(), QStringLiteral("**"), from, plane, 0, 0};
}

// Writes the A file (with one column INV does not have, EXTRA) and the B file.
void writeItems(const QString& path, const QList<ItemRow>& rows, bool withKod = true);
void writeBalances(const QString& path, const QList<BalanceRow>& rows, bool withDd = true);

// A small valid packet of branch "01": items I1..In, plane 1 and 3 headers from 01.01.2005 and
// one balance row per item and plane 1..4 dated 31.01.2005 (turnover 10; balance 100.5, depreciation 10).
struct SamplePacket {
    QList<ItemRow> items;
    QList<BalanceRow> balances;
};
SamplePacket samplePacket(int items, const QString& kod = QStringLiteral("01"));
void writePacket(const QString& a, const QString& b, const SamplePacket& packet);

} // namespace svod::test
