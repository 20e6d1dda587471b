#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "engine/Datasets.h"
#include "engine/Model.h"

namespace svod::db {
class Connection;
}

namespace svod::engine {

// The rows every query of a run returned, by dataset and parameter values: a second pass (page N
// of M) lays its pages out from them instead of asking the server again.
class QueryCache {
public:
    const RowSet* find(const QString& key) const;
    void insert(const QString& key, const RowSet& rows) {
        if (keeping_)
            rows_.insert(key, rows);
    }
    // Rows are kept only for a run that lays its pages out twice.
    void setKeeping(bool keep) { keeping_ = keep; }
    int queriesRun() const { return queriesRun_; }
    void countQuery() { ++queriesRun_; }

private:
    QHash<QString, RowSet> rows_;
    int queriesRun_ = 0;
    bool keeping_ = false;
};

// One open dataset and its current row.
struct DatasetCursor {
    RowSet rows;
    int current = -1;
    bool onRow() const { return current >= 0 && current < rows.count(); }
};

// Where a run's datasets come from and which of their rows are current.
struct DatasetSources {
    const ReportTemplate* report = nullptr;
    db::Connection* connection = nullptr;
    const QMap<QString, RowSet>* memoryDatasets = nullptr; // by upper-case name
    QString reportName;                                    // for messages
    QueryCache* cache = nullptr;
};

// The open datasets of a run; a field name without a dataset is looked up in the newest first.
class DatasetCursors {
public:
    explicit DatasetCursors(DatasetSources sources) : sources_(std::move(sources)) {}

    // Opens (again) the dataset `name`; ":NAME" parameters come from the current row of its master
    // (the template's, else `masterName`), then from `variables`. A server error names the report
    // and the dataset.
    DatasetCursor& open(const QString& name, const QString& masterName, const ParameterLookup& variables);
    // The rows `open` would give, without opening a cursor (a chart reads a whole dataset).
    RowSet rows(const QString& name, const QString& masterName, const ParameterLookup& variables);
    DatasetCursor* find(const QString& upperName);
    const DatasetCursor* find(const QString& upperName) const;
    void moveTo(const QString& upperName, int row);
    // Upper-case names, newest first.
    const QStringList& order() const { return order_; }
    // Bumped whenever a current row changes, so evaluation knows when to read the rows again.
    quint64 version() const { return version_; }

private:
    RowSet query(const DatasetSpec& definition, const QString& master, const ParameterLookup& variables);

    DatasetSources sources_;
    QMap<QString, DatasetCursor> cursors_;
    QStringList order_;
    quint64 version_ = 0;
};

} // namespace svod::engine
