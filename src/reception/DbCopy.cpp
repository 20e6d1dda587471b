#include "reception/DbCopy.h"

#include <QSqlQuery>
#include <cmath>
#include <optional>

#include "db/Connection.h"
#include "dbf/DbfTable.h"
#include "reception/Interaction.h"

namespace svod::reception {

int copyProgressMaximum(qint64 rows) {
    return int(std::nearbyint(double(rows) / 1000.0)); // the default rounding mode goes to even
}

namespace {

// Bound values per statement stay below every backend's parameter limit.
constexpr int MaxParameters = 900;

struct ColumnMap {
    int sourceField;
    bool branchCode; // the KOD_F of a test reception
    // Packets repeat few dates: the last one converted for the server is kept.
    QDate lastDate;
    QVariant lastDateValue;
};

class BatchInserter {
public:
    BatchInserter(db::Connection& connection, const QString& table, const QStringList& columns)
        : connection_(connection), table_(table), columns_(columns),
          rowsPerStatement_(columns.isEmpty() ? 1 : std::max<int>(1, MaxParameters / int(columns.size()))) {}

    void add(QVariantList row) { pending_.append(std::move(row)); }
    qsizetype pending() const { return pending_.size(); }

    // Sends the pending rows in one transaction.
    void flush() {
        if (pending_.isEmpty())
            return;
        const bool own = !connection_.inTransaction();
        if (own)
            connection_.begin();
        try {
            qsizetype at = 0;
            while (pending_.size() - at >= rowsPerStatement_) {
                if (!multiRow_)
                    multiRow_ =
                        std::make_unique<QSqlQuery>(connection_.prepare(insertSql(rowsPerStatement_)));
                execute(*multiRow_, at, rowsPerStatement_);
                at += rowsPerStatement_;
            }
            while (at < pending_.size()) {
                if (!singleRow_)
                    singleRow_ = std::make_unique<QSqlQuery>(connection_.prepare(insertSql(1)));
                execute(*singleRow_, at, 1);
                ++at;
            }
            if (own)
                connection_.commit();
        } catch (...) {
            if (own) {
                try {
                    connection_.rollback();
                } catch (...) {
                    // The first error is the one to report.
                }
            }
            throw;
        }
        pending_.clear();
    }

private:
    QString insertSql(int rows) const {
        if (columns_.isEmpty())
            return QStringLiteral("insert into ") + table_ + QStringLiteral(" default values");
        QString values = u'(' + QString(QStringLiteral("?,")).repeated(columns_.size()).chopped(1) + u')';
        QString sql = QStringLiteral("insert into ") + table_ + QStringLiteral(" (") + columns_.join(u',') +
                      QStringLiteral(") values ");
        for (int i = 0; i < rows; ++i)
            sql += (i ? QStringLiteral(",") : QString()) + values;
        return sql;
    }

    void execute(QSqlQuery& query, qsizetype from, int rows) {
        values_.clear();
        for (qsizetype r = from; r < from + rows; ++r)
            values_.append(pending_[r]);
        connection_.execPrepared(query, values_);
    }

    db::Connection& connection_;
    QString table_;
    QStringList columns_;
    int rowsPerStatement_;
    QList<QVariantList> pending_;
    QVariantList values_;
    std::unique_ptr<QSqlQuery> multiRow_;
    std::unique_ptr<QSqlQuery> singleRow_;
};

} // namespace

void DBCopy(dbf::DbfTable& source, db::Connection& connection, const QString& targetTable,
            const QStringList& targetColumns, const QString& acceptCode, Interaction& interaction,
            const std::function<void()>& checkAbort) {
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
        const ColumnMap entry{i, testBranch && name == u"KOD_F", {}, {}};
        const qsizetype existing = columns.indexOf(targetColumns[target]);
        if (existing >= 0) {
            map[existing] = entry;
        } else {
            columns.append(targetColumns[target]);
            map.append(entry);
        }
    }

    const db::Dialect& dialect = connection.dialect();
    BatchInserter inserter(connection, targetTable, columns);
    // The batches go to the server one by one inside one transaction on the temporary table, so
    // that no batch pays for a commit of its own; a cancel rolls all of them back.
    const bool own = !connection.inTransaction();
    std::optional<db::Transaction> transaction;
    if (own)
        transaction.emplace(connection);
    int count = 0;
    while (!source.eof()) {
        QVariantList row;
        row.reserve(map.size());
        for (ColumnMap& column : map) {
            const dbf::DbfField& field = source.field(column.sourceField);
            if (column.branchCode && field.asText() != u"**") {
                row.append(QStringLiteral("99"));
                continue;
            }
            QVariant value = field.asValue();
            if (value.metaType().id() == QMetaType::QDate && !value.isNull()) {
                const QDate date = value.toDate();
                if (date != column.lastDate) {
                    column.lastDate = date;
                    column.lastDateValue = dialect.toDbValue(value);
                }
                value = column.lastDateValue;
            }
            row.append(std::move(value));
        }
        inserter.add(std::move(row));
        source.next();
        if (++count > 1000) {
            inserter.flush();
            count = 0;
            interaction.SetProgress(Interaction::Position, interaction.position() + 1);
            if (checkAbort)
                checkAbort();
        }
    }
    inserter.flush();
    if (transaction)
        transaction->commit();
}

} // namespace svod::reception
