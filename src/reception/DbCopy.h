#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace svod::dbf {
class DbfTable;
}
namespace svod::db {
class Connection;
}

namespace svod::reception {

class Interaction;

// The rows of a copy whose KOD_F is neither "**" nor the branch's own code, by code.
struct OtherBranchRows {
    QString ownCode;
    QMap<QString, qint64> counts;
    qint64 total() const {
        qint64 sum = 0;
        for (const qint64 n : counts)
            sum += n;
        return sum;
    }
};

// Sees the copy: first the copied columns and the number of rows to come, then every row's values
// as they are stored, in order.
struct RowTap {
    std::function<void(const QStringList&, qint64)> columns;
    std::function<void(const QVariant*)> row;
};

// Rows sent to the server per batch, and the progress unit of a copy.
inline constexpr int CopyBatchRows = 1001;

// The progress maximum of a copy: rows / 1000 rounded to the nearest integer, a half to the even one.
int copyProgressMaximum(qint64 rows);

// Copies every row of the source into the target table (columns matched by name without regard
// to case; source columns without a target are skipped). With acceptCode "99" every KOD_F but
// the header code "**" becomes "99". Rows travel in batches of 1001 inside one transaction, through
// the backend's bulk path (db::BulkInsert); after each batch the progress advances and `checkAbort` runs.
// A date that cannot be read stops the copy with a PacketError naming the row. With
// `otherBranchRows`, the stored KOD_F values foreign to its ownCode are counted; `tap` sees the rows.
void DBCopy(dbf::DbfTable& source, db::Connection& connection, const QString& targetTable,
            const QStringList& targetColumns, const QString& acceptCode, Interaction& interaction,
            const std::function<void()>& checkAbort, OtherBranchRows* otherBranchRows = nullptr,
            const RowTap* tap = nullptr);

} // namespace svod::reception
