#include "reception/DbCopy.h"

#include <QHash>
#include <cmath>
#include <optional>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Profile.h"
#include "dbf/DbfTable.h"
#include "reception/Interaction.h"

namespace svod::reception {

int copyProgressMaximum(qint64 rows) {
    return int(std::nearbyint(double(rows) / 1000.0)); // the default rounding mode goes to even
}

namespace {

struct ColumnMap {
    int sourceField;
    bool branchCode; // the KOD_F of a test reception
    // Packets repeat few dates, in no order: each one is converted for the server once (the
    // conversion goes through the local time zone and costs microseconds).
    QHash<qint64, QVariant> dates;
};

// Distinct dates kept per column; a packet of many years stays far below.
constexpr qsizetype MaxCachedDates = 1 << 16;

void copyRows(dbf::DbfTable& source, QList<ColumnMap>& map, const db::Dialect& dialect,
              db::BulkInsert& inserter, Interaction& interaction, const std::function<void()>& checkAbort) {
    int count = 0;
    while (!source.eof()) {
        for (ColumnMap& column : map) {
            const dbf::DbfField& field = source.field(column.sourceField);
            if (column.branchCode && field.asText() != u"**") {
                inserter.add(QStringLiteral("99"));
                continue;
            }
            QVariant value = field.asValue();
            if (value.metaType().id() == QMetaType::QDate && !value.isNull()) {
                const qint64 day = value.toDate().toJulianDay();
                auto known = column.dates.constFind(day);
                if (known == column.dates.cend()) {
                    if (column.dates.size() >= MaxCachedDates)
                        column.dates.clear();
                    known = column.dates.insert(day, dialect.toDbValue(value));
                }
                inserter.add(*known);
                continue;
            }
            inserter.add(value);
        }
        inserter.endRow();
        source.next();
        if (++count > 1000) {
            inserter.flush();
            count = 0;
            interaction.SetProgress(Interaction::Position, interaction.position() + 1);
            if (checkAbort)
                checkAbort();
        }
    }
    inserter.finish();
}

} // namespace

void DBCopy(dbf::DbfTable& source, db::Connection& connection, const QString& targetTable,
            const QStringList& targetColumns, const QString& acceptCode, Interaction& interaction,
            const std::function<void()>& checkAbort) {
    const db::ProfilePhase phase(QStringLiteral("copy into ") + targetTable);
    interaction.SetProgress(Interaction::Position, 0);
    interaction.SetProgress(Interaction::Maximum, copyProgressMaximum(source.recordCount()));
    source.first();

    // Which source field fills which target column; a later source field of the same name wins.
    QStringList columns;
    QList<ColumnMap> map;
    const bool testBranch = acceptCode == u"99";
    for (int i = 0; i < source.fieldCount(); ++i) {
        const QString& name = source.field(i).name();
        qsizetype target = -1;
        for (qsizetype t = 0; t < targetColumns.size(); ++t)
            if (targetColumns[t].compare(name, Qt::CaseInsensitive) == 0)
                target = t;
        if (target < 0)
            continue;
        const ColumnMap entry{i, testBranch && name == u"KOD_F", {}};
        const qsizetype existing = columns.indexOf(targetColumns[target]);
        if (existing >= 0) {
            map[existing] = entry;
        } else {
            columns.append(targetColumns[target]);
            map.append(entry);
        }
    }

    const db::Dialect& dialect = connection.dialect();
    // The batches go to the server one by one inside one transaction on the temporary table, so
    // that no batch pays for a commit of its own; a cancel rolls all of them back.
    const bool own = !connection.inTransaction();
    std::optional<db::Transaction> transaction;
    if (own)
        transaction.emplace(connection);
    {
        const std::unique_ptr<db::BulkInsert> inserter = db::makeBulkInsert(connection, targetTable, columns);
        copyRows(source, map, dialect, *inserter, interaction, checkAbort);
    }
    if (transaction)
        transaction->commit();
}

} // namespace svod::reception
