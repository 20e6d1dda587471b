#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "engine/Model.h"

namespace svod::engine::editing {

// One thing that would stop or spoil a run, with where it is.
struct Finding {
    enum class Kind { Expression, Field, Dataset, Variable, Script };
    Kind kind = Kind::Expression;
    QString message;
    int band = -1;   // the band it concerns, or -1
    int object = -1; // the object in that band, or -1
    bool operator==(const Finding&) const = default;
};

// The fields of a dataset (any case), or nothing when they are not known (no connection, a query
// that failed): its fields are then not checked.
using FieldLookup = std::function<std::optional<QStringList>(const DatasetSpec& dataset)>;

// Checks a template before a run: expressions and the script compile, fields named in expressions
// exist in the datasets, data bands and masters name existing datasets. `extraDatasets` are
// datasets given to the run in memory.
QList<Finding> checkTemplate(const ReportTemplate& t, const FieldLookup& fields,
                             const QStringList& extraDatasets = {});

// The script engine's message for an expression or a script that does not compile; empty when it does.
QString expressionSyntaxError(const QString& expression);
QString scriptSyntaxError(const QString& script);

} // namespace svod::engine::editing
