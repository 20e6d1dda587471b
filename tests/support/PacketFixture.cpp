#include "support/PacketFixture.h"

#include "demo/DbfWriter.h"

namespace svod::test {

using demo::DbfWriter;
using demo::FieldSpec;

void writeItems(const QString& path, const QList<ItemRow>& rows, bool withKod) {
    std::vector<FieldSpec> fields = {
        {QStringLiteral("ID"), 'C', 20},       {QStringLiteral("TYPEM"), 'C', 3},
        {QStringLiteral("KARD_NUM"), 'C', 10}, {QStringLiteral("INV_NUM"), 'C', 10},
        {QStringLiteral("BEG_DATE"), 'D', 8},  {QStringLiteral("END_DATE"), 'D', 8},
        {QStringLiteral("NAME"), 'C', 40},     {QStringLiteral("GROUP1"), 'C', 5},
        {QStringLiteral("AMKOD"), 'C', 5},     {QStringLiteral("EXTRA"), 'C', 5}};
    if (withKod)
        fields.insert(fields.begin() + 1, {QStringLiteral("KOD_F"), 'C', 2});
    DbfWriter writer(path, 0x03, fields);
    for (const ItemRow& r : rows) {
        QVariantList values = {r.id,      r.typem, r.kard,   r.inv,   r.begDate,
                               r.endDate, r.name,  r.group1, r.amkod, QStringLiteral("x")};
        if (withKod)
            values.insert(1, r.kod);
        writer.addRow(values);
    }
    writer.finish();
}

void writeBalances(const QString& path, const QList<BalanceRow>& rows, bool withDd) {
    std::vector<FieldSpec> fields = {{QStringLiteral("ID"), 'C', 20},
                                     {QStringLiteral("KOD_F"), 'C', 2},
                                     {QStringLiteral("TYP"), 'C', 1},
                                     {QStringLiteral("SALDO"), 'N', 15, 2},
                                     {QStringLiteral("DELTA"), 'N', 15, 2}};
    if (withDd)
        fields.insert(fields.begin() + 2, {QStringLiteral("DD"), 'D', 8});
    DbfWriter writer(path, 0x03, fields);
    for (const BalanceRow& r : rows) {
        QVariantList values = {r.id, r.kod, r.typ, r.saldo, r.delta};
        if (withDd)
            values.insert(2, r.dd.isValid() ? QVariant(r.dd) : QVariant());
        writer.addRow(values);
    }
    writer.finish();
}

SamplePacket samplePacket(int items, const QString& kod) {
    SamplePacket packet;
    const QDate from(2005, 1, 1);
    packet.balances << header(QStringLiteral("1"), from) << header(QStringLiteral("3"), from);
    for (int i = 1; i <= items; ++i) {
        ItemRow item;
        item.id = QStringLiteral("01%1").arg(i, 5, 10, QLatin1Char('0'));
        item.kod = kod;
        packet.items << item;
        // Depreciation no larger than the balance value, so that the residual value is not negative.
        for (const char* plane : {"1", "2", "3", "4"}) {
            const bool depreciation = plane[0] == '2' || plane[0] == '4';
            packet.balances << BalanceRow{
                item.id, kod, QDate(2005, 1, 31), QString::fromLatin1(plane), depreciation ? 10 : 100.5, 10};
        }
    }
    return packet;
}

void writePacket(const QString& a, const QString& b, const SamplePacket& packet) {
    writeItems(a, packet.items);
    writeBalances(b, packet.balances);
}

} // namespace svod::test
