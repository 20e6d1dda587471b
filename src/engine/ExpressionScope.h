#pragma once

#include <QHash>
#include <QJSEngine>
#include <QJSValue>
#include <QMap>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace svod::engine {

class DatasetCursors;

// One [expression] of a template, compiled once and evaluated for every row it prints in.
struct CompiledExpression {
    enum class Kind { Unresolved, Field, Variable, Counter, Script };
    QString source;       // as written, without its display format
    QString owner;        // the object it belongs to, for messages
    QString format;       // its own display format: "[SUM(N) #\"#,##0.00\"]"
    QString scriptSource; // aggregates replaced by their slots
    Kind kind = Kind::Unresolved;
    QString dataset; // Field: upper-case dataset name
    int field = -1;
    bool qualified = false; // Field: written with its dataset's name
    QString variable;
    const int* counter = nullptr; // Counter: the page number, the page count or the line
    QJSValue function;
};

// Walks an expression's text, telling the brackets that nest from those inside quoted texts.
class NestingScanner {
public:
    enum class Kind { Open, Close, Plain, Quoted }; // Quoted: a quoted text with its quotes
    explicit NestingScanner(int depth = 0) : depth_(depth) {}
    Kind step(QChar c) {
        if (!quote_.isNull()) {
            if (c == quote_)
                quote_ = QChar();
            return Kind::Quoted;
        }
        if (c == u'\'' || c == u'"') {
            quote_ = c;
            return Kind::Quoted;
        }
        if (c == u'(' || c == u'[') {
            ++depth_;
            return Kind::Open;
        }
        if (c == u')' || c == u']') {
            --depth_;
            return Kind::Close;
        }
        return Kind::Plain;
    }
    int depth() const { return depth_; }

private:
    QChar quote_;
    int depth_;
};

// Splits "expr #format" into the expression and its display format (quotes around the format go).
void splitDisplayFormat(const QString& text, QString& expression, QString& format);

// Where expressions are evaluated: the report's variables (one value each, whoever sets it: the
// dictionary, the script or an expression), the current rows of the open datasets, the page
// counters and the aggregates' values.
class ExpressionScope {
public:
    // Replaces the aggregate calls of an expression by slots "__aN" (see Aggregates).
    using AggregateExtractor = std::function<QString(const QString& source, const QString& owner, int band)>;
    using AggregateValues = std::function<QVariant(int slot)>;

    explicit ExpressionScope(const DatasetCursors& cursors);

    // The script engine, started when first needed: a report of fields alone never starts it.
    QJSEngine& engine();
    void setAggregates(AggregateExtractor extractor, AggregateValues values, const int* count);

    // Engine-wide variables first; the dictionary's only where no engine-wide one has the name.
    void defineVariables(const QVariantMap& engineWide, const QMap<QString, QString>& dictionary);
    // Runs the template's script with NoteStrings readable and writable.
    void runScript(const QString& script, QStringList* noteStrings);
    // A variable's value now (name compared without case); false when there is none.
    bool variable(const QString& name, QVariant& value) const;

    void setPage(int page, int totalPages) {
        page_ = page;
        totalPages_ = totalPages;
    }
    // The number of the current row of the data band being printed.
    void setLine(int line) { line_ = line; }
    int line() const { return line_; }

    // Compiles an expression of band `band` (-1: outside any band, no aggregates allowed).
    CompiledExpression* compile(const QString& text, const QString& owner, int band);
    QVariant evaluate(CompiledExpression& expression);

private:
    void resolve(CompiledExpression& e);
    QVariant fieldValue(const CompiledExpression& e) const;
    void fillScope();
    void setGlobal(const QString& name, const QVariant& value);

    std::unique_ptr<QJSEngine> engine_; // first: the values below belong to it
    QJSValue scope_;
    QStringList noteStrings_; // given to the engine when it starts
    const DatasetCursors& cursors_;
    AggregateExtractor extractAggregates_;
    AggregateValues aggregateValue_;
    const int* aggregateCount_ = nullptr;
    // Upper-case name -> the name as defined, and the value as it was set from outside the script,
    // returned unchanged (a date stays a date) while the script has not replaced it.
    QHash<QString, QString> variableNames_;
    QHash<QString, std::pair<QVariant, QJSValue>> setValues_;
    std::vector<std::unique_ptr<CompiledExpression>> expressions_;
    quint64 filledVersion_ = ~quint64(0);
    int page_ = 0, totalPages_ = 0, line_ = 0;
};

// A value returned by the script engine as the engine keeps values.
QVariant fromScriptValue(const QJSValue& value);

} // namespace svod::engine
