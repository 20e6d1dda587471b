#pragma once

#include <QMap>
#include <QVariant>
#include <functional>

#include "engine/Datasets.h"
#include "engine/Model.h"
#include "engine/PreparedPages.h"

namespace svod::db {
class Connection;
}

namespace svod::engine {

class QueryCache;

// What a preparation runs with.
struct PrepareInput {
    const ReportTemplate* report = nullptr;
    db::Connection* connection = nullptr;    // for the template's SQL datasets
    QMap<QString, RowSet> memoryDatasets;    // datasets given in memory, by name (upper case)
    QVariantMap engineVariables;             // engine-wide variables; they win over the dictionary's
    QStringList* noteStrings = nullptr;      // the report's NoteStrings, readable by the script
    std::function<bool(int pages)> progress; // called per page; false cancels
    std::function<void(PreparedObject&)> finishObject; // per object, before its page is stored
    QString reportName;                                // names the report in error messages
    QStringList* warnings = nullptr;                   // what the run notes without stopping
    QueryCache* queries = nullptr;                     // counts the queries run (optional)
};

// Builds the prepared pages of a template; throws svod::Error naming the object and expression of a
// script error. Returns false when the progress callback cancelled.
bool prepareReport(const PrepareInput& input, PreparedPages& out);

// True when some text of the template shows the number of pages, which takes two passes.
bool usesTotalPages(const ReportTemplate& report);

// Splits a text object's text into literal and [expression] parts: even indexes are literals.
QStringList splitExpressions(const QString& text);

} // namespace svod::engine
