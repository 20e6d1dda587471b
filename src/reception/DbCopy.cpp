#include "reception/DbCopy.h"

#include <QHash>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Profile.h"
#include "dbf/DbfTable.h"
#include "reception/Interaction.h"
#include "reception/ReceptionErrors.h"

namespace svod::reception {

int copyProgressMaximum(qint64 rows) {
    return int(std::nearbyint(double(rows) / 1000.0)); // the default rounding mode goes to even
}

namespace {

struct ColumnMap {
    int sourceField;
    bool branchCode; // the KOD_F of a test reception
    bool tallied;    // the KOD_F whose foreign codes are counted
    // Packets repeat few dates, in no order: each one is converted for the server once (the
    // conversion goes through the local time zone and costs microseconds).
    QHash<qint64, QVariant> dates;
};

// Distinct dates kept per column; a packet of many years stays far below.
constexpr qsizetype MaxCachedDates = 1 << 16;

// Counts a row whose branch code is neither the header code nor the branch's own.
void tally(OtherBranchRows& other, const QVariant& code) {
    const QString text = code.toString();
    if (text == u"**" || text == other.ownCode)
        return;
    ++other.counts[text];
}

// One row's values as the target columns keep them.
void readRow(dbf::DbfTable& source, QList<ColumnMap>& map, const db::Dialect& dialect,
             std::vector<QVariant>& values, OtherBranchRows* other) {
    for (ColumnMap& column : map) {
        const dbf::DbfField& field = source.field(column.sourceField);
        if (column.branchCode && field.asText() != u"**") {
            values.emplace_back(QStringLiteral("99"));
            continue;
        }
        QVariant value;
        try {
            value = field.asValue();
        } catch (const dbf::InvalidDateError& e) {
            throw badValueError(source, field.name(), e.message());
        }
        if (column.tallied && other)
            tally(*other, value);
        if (value.metaType().id() == QMetaType::QDate && !value.isNull()) {
            const qint64 day = value.toDate().toJulianDay();
            auto known = column.dates.constFind(day);
            if (known == column.dates.cend()) {
                if (column.dates.size() >= MaxCachedDates)
                    column.dates.clear();
                known = column.dates.insert(day, dialect.toDbValue(value));
            }
            values.push_back(*known);
            continue;
        }
        values.push_back(std::move(value));
    }
}

// Reads the rows a batch ahead on a second thread while this one stores the previous batch:
// decoding a DBF row costs about as much as storing it. Only the reading thread touches the
// source and the column map until the reader is destroyed.
class ReadAhead {
public:
    struct Batch {
        std::vector<QVariant> values; // row after row
        int rows = 0;
    };

    ReadAhead(dbf::DbfTable& source, QList<ColumnMap>& map, const db::Dialect& dialect, int batchRows,
              OtherBranchRows* other)
        : source_(source), map_(map), dialect_(dialect), batchRows_(batchRows), other_(other),
          worker_([this] { run(); }) {}

    ~ReadAhead() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next batch; no rows at the end. A reading error surfaces here.
    Batch next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
        if (!ready_.empty()) {
            Batch batch = std::move(ready_.front());
            ready_.pop_front();
            changed_.notify_all();
            return batch;
        }
        if (error_)
            std::rethrow_exception(error_);
        return {};
    }

    // Hands a stored batch's buffer back for a later batch (spares an allocation per batch).
    void recycle(Batch&& batch) {
        batch.values.clear();
        const std::lock_guard lock(mutex_);
        if (spare_.size() < MaxReady)
            spare_.push_back(std::move(batch.values));
    }

private:
    std::vector<QVariant> takeSpare() {
        const std::lock_guard lock(mutex_);
        if (spare_.empty())
            return {};
        std::vector<QVariant> values = std::move(spare_.back());
        spare_.pop_back();
        return values;
    }

    // Batches decoded and waiting, at most: enough to keep both threads busy.
    static constexpr std::size_t MaxReady = 3;

    void run() {
        try {
            while (!source_.eof()) {
                Batch batch;
                batch.values = takeSpare();
                batch.values.reserve(std::size_t(batchRows_) * std::size_t(map_.size()));
                for (; batch.rows < batchRows_ && !source_.eof(); ++batch.rows) {
                    readRow(source_, map_, dialect_, batch.values, other_);
                    source_.next();
                }
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return ready_.size() < MaxReady || stop_; });
                if (stop_)
                    return;
                ready_.push_back(std::move(batch));
                changed_.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(mutex_);
            error_ = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
    }

    dbf::DbfTable& source_;
    QList<ColumnMap>& map_;
    const db::Dialect& dialect_;
    const int batchRows_;
    OtherBranchRows* other_; // touched by the reading thread only, until it is joined
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    std::vector<std::vector<QVariant>> spare_;
    bool finished_ = false;
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread worker_; // last: starts once everything above exists
};

// Rows per batch between progress steps and cancel checks.
constexpr int BatchRows = 1001;

void copyRows(dbf::DbfTable& source, QList<ColumnMap>& map, const db::Dialect& dialect,
              db::BulkInsert& inserter, Interaction& interaction, const std::function<void()>& checkAbort,
              OtherBranchRows* other, const RowTap* tap) {
    const std::size_t columns = std::size_t(map.size());
    int count = 0;
    {
        ReadAhead reader(source, map, dialect, BatchRows, other);
        for (ReadAhead::Batch batch = reader.next(); batch.rows > 0;
             reader.recycle(std::move(batch)), batch = reader.next()) {
            for (int row = 0; row < batch.rows; ++row) {
                const QVariant* values = batch.values.data() + std::size_t(row) * columns;
                for (std::size_t c = 0; c < columns; ++c)
                    inserter.add(values[c]);
                inserter.endRow();
                if (tap)
                    tap->row(values);
                if (++count >= BatchRows) {
                    inserter.flush();
                    count = 0;
                    interaction.setProgress(Interaction::Position, interaction.position() + 1);
                    if (checkAbort)
                        checkAbort();
                }
            }
        }
    }
    inserter.finish();
}

} // namespace

void DBCopy(dbf::DbfTable& source, db::Connection& connection, const QString& targetTable,
            const QStringList& targetColumns, const QString& acceptCode, Interaction& interaction,
            const std::function<void()>& checkAbort, OtherBranchRows* otherBranchRows, const RowTap* tap) {
    const db::ProfilePhase phase(QStringLiteral("copy into ") + targetTable);
    interaction.setProgress(Interaction::Position, 0);
    interaction.setProgress(Interaction::Maximum, copyProgressMaximum(source.recordCount()));
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
        const ColumnMap entry{i, testBranch && name == u"KOD_F", name == u"KOD_F", {}};
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
        if (tap)
            tap->columns(columns, source.recordCount());
        copyRows(source, map, dialect, *inserter, interaction, checkAbort, otherBranchRows, tap);
    }
    if (transaction)
        transaction->commit();
}

} // namespace svod::reception
