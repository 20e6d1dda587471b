#include "db/BulkInsert.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <libpq-fe.h>

#include "db/Connection.h"
#include "db/Error.h"
#include "db/PostgresCopy.h"
#include "db/SqliteBulkInsert.h"

namespace svod::db {

namespace {

// Bound values per statement stay below every backend's parameter limit.
constexpr int MaxParameters = 900;

// Multi-row inserts with bound values through Qt SQL, for backends without a faster path.
class StatementBulkInsert final : public BulkInsert {
public:
    StatementBulkInsert(Connection& connection, const QString& table, const QStringList& columns)
        : connection_(connection), table_(table), columns_(columns),
          rowsPerStatement_(columns.isEmpty() ? 1 : std::max<int>(1, MaxParameters / int(columns.size()))) {}

    Method method() const override { return Method::Statements; }
    void add(const QVariant& value) override { row_.append(value); }
    void endRow() override {
        if (row_.size() != columns_.size())
            throw Error(QStringLiteral("Неполная строка вставки"));
        pending_.append(row_);
        row_.clear();
    }

    void flush() override {
        qsizetype at = 0;
        try {
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
        } catch (...) {
            pending_.clear();
            throw;
        }
        pending_.clear();
    }

private:
    QString insertSql(int rows) const {
        if (columns_.isEmpty())
            return QStringLiteral("insert into ") + table_ + QStringLiteral(" default values");
        const QString values =
            u'(' + QString(QStringLiteral("?,")).repeated(columns_.size()).chopped(1) + u')';
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

    Connection& connection_;
    QString table_;
    QStringList columns_;
    int rowsPerStatement_;
    QVariantList row_;
    QList<QVariantList> pending_;
    QVariantList values_;
    std::unique_ptr<QSqlQuery> multiRow_;
    std::unique_ptr<QSqlQuery> singleRow_;
};

} // namespace

bool isNullValue(const QVariant& value) {
    if (value.isNull())
        return true;
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString*>(value.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(value.constData())->isNull();
    case QMetaType::QDate:
        return static_cast<const QDate*>(value.constData())->isNull();
    case QMetaType::QTime:
        return static_cast<const QTime*>(value.constData())->isNull();
    case QMetaType::QDateTime:
        return !static_cast<const QDateTime*>(value.constData())->isValid();
    case QMetaType::QUuid:
        return static_cast<const QUuid*>(value.constData())->isNull();
    default:
        return false;
    }
}

std::unique_ptr<BulkInsert> makeBulkInsert(Connection& connection, const QString& table,
                                           const QStringList& columns) {
    if (!connection.isOpen())
        throw DbError(QStringLiteral("Нет соединения с базой данных"));
    if (!columns.isEmpty()) {
        switch (connection.backend()) {
        case Backend::SQLite:
            if (auto* handle = connection.nativeHandle<sqlite3>({"sqlite3*"}))
                return std::make_unique<SqliteBulkInsert>(handle, table, columns);
            break;
        case Backend::PostgreSQL:
            // COPY needs the connection to itself: no result of another statement still pending.
            if (auto* handle = connection.nativeHandle<PGconn>({"pg_conn*", "PGconn*"})) {
                const PGTransactionStatusType status = PQtransactionStatus(handle);
                if (status == PQTRANS_IDLE || status == PQTRANS_INTRANS)
                    return std::make_unique<PostgresCopy>(handle, table, columns);
            }
            break;
        case Backend::SqlServer:
            break;
        }
    }
    return std::make_unique<StatementBulkInsert>(connection, table, columns);
}

} // namespace svod::db
