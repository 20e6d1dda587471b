#include "engine/ExpressionScope.h"

#include <QDateTime>
#include <QRegularExpression>

#include "db/Error.h"
#include "engine/DatasetCursors.h"
#include "engine/FunctionLibrary.h"

namespace svod::engine {

namespace {

// "FIELD", "DATASET.FIELD" or "DATASET.\"FIELD\"": read straight from the row, without the script
// engine.
const QRegularExpression& fieldPattern() {
    static const QRegularExpression re(QStringLiteral("^(?:([\\w]+)\\.)?\"?([\\w]+)\"?$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

Error expressionError(const CompiledExpression& e, const QString& what) {
    return Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: %3").arg(e.owner, e.source, what));
}

} // namespace

QVariant fromScriptValue(const QJSValue& v) {
    if (v.isNull() || v.isUndefined())
        return {};
    if (v.isDate())
        return v.toDateTime();
    if (v.isQObject()) // a dialog control
        return QVariant::fromValue(v.toQObject());
    if (v.isArray())
        return v.toVariant();
    if (v.isNumber())
        return v.toNumber();
    if (v.isBool())
        return v.toBool();
    return v.toString();
}

void splitDisplayFormat(const QString& text, QString& expression, QString& format) {
    NestingScanner scanner;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (scanner.step(text[i]) == NestingScanner::Kind::Plain && text[i] == u'#' && scanner.depth() == 0 &&
            i > 0 && text[i - 1].isSpace()) {
            expression = text.left(i).trimmed();
            format = text.mid(i + 1).trimmed();
            if (format.size() >= 2 && (format.front() == u'"' || format.front() == u'\'') &&
                format.back() == format.front())
                format = format.mid(1, format.size() - 2);
            return;
        }
    }
    expression = text.trimmed();
    format.clear();
}

ExpressionScope::ExpressionScope(const DatasetCursors& cursors) : cursors_(cursors) {}

QJSEngine& ExpressionScope::engine() {
    if (engine_)
        return *engine_;
    engine_ = std::make_unique<QJSEngine>();
    installFunctionLibrary(*engine_);
    scope_ = engine_->newObject();
    QJSValue global = engine_->globalObject();
    for (auto it = setValues_.begin(); it != setValues_.end(); ++it) {
        it->second = engine_->toScriptValue(it->first);
        global.setProperty(variableNames_.value(it.key()), it->second);
    }
    QJSValue notes = engine_->newArray();
    for (int i = 0; i < noteStrings_.size(); ++i)
        notes.setProperty(quint32(i), noteStrings_.at(i));
    global.setProperty(QStringLiteral("NoteStrings"), notes);
    return *engine_;
}

void ExpressionScope::setAggregates(AggregateExtractor extractor, AggregateValues values, const int* count) {
    extractAggregates_ = std::move(extractor);
    aggregateValue_ = std::move(values);
    aggregateCount_ = count;
}

void ExpressionScope::setGlobal(const QString& name, const QVariant& value) {
    QJSValue js;
    if (engine_) {
        js = engine_->toScriptValue(value);
        engine_->globalObject().setProperty(name, js);
    }
    variableNames_.insert(name.toUpper(), name);
    setValues_.insert(name.toUpper(), {value, js});
}

void ExpressionScope::defineVariables(const QVariantMap& engineWide,
                                      const QMap<QString, QString>& dictionary) {
    for (auto it = engineWide.cbegin(); it != engineWide.cend(); ++it)
        setGlobal(it.key(), it.value());
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        if (variableNames_.contains(it.key().toUpper()))
            continue;
        QVariant value;
        if (!it.value().trimmed().isEmpty()) {
            const QJSValue v = engine().evaluate(it.value());
            if (v.isError())
                throw Error(QStringLiteral("Ошибка в значении переменной %1: %2: %3")
                                .arg(it.key(), it.value(), v.toString()));
            value = fromScriptValue(v);
        }
        setGlobal(it.key(), value);
    }
}

void ExpressionScope::runScript(const QString& script, QStringList* noteStrings) {
    noteStrings_ = noteStrings ? *noteStrings : QStringList();
    if (script.trimmed().isEmpty() && !engine_)
        return; // nothing to run, and the notes go to the engine when it starts
    QJSValue global = engine().globalObject();
    QJSValue notes = engine_->newArray();
    for (int i = 0; i < noteStrings_.size(); ++i)
        notes.setProperty(quint32(i), noteStrings_.at(i));
    global.setProperty(QStringLiteral("NoteStrings"), notes);
    if (!script.trimmed().isEmpty()) {
        const QJSValue r = engine_->evaluate(script, QStringLiteral("script"));
        if (r.isError())
            throw Error(QStringLiteral("Ошибка в сценарии отчета (строка %1): %2")
                            .arg(r.property(QStringLiteral("lineNumber")).toInt())
                            .arg(r.toString()));
    }
    if (noteStrings) {
        const QJSValue after = global.property(QStringLiteral("NoteStrings"));
        QStringList list;
        const int n = after.property(QStringLiteral("length")).toInt();
        for (int i = 0; i < n; ++i)
            list << after.property(quint32(i)).toString();
        *noteStrings = list;
    }
}

bool ExpressionScope::variable(const QString& name, QVariant& value) const {
    const QString upper = name.toUpper();
    const auto it = variableNames_.constFind(upper);
    if (it == variableNames_.cend())
        return false;
    const auto set = setValues_.constFind(upper);
    if (!engine_) { // no script has run: the value as set
        value = set->first;
        return true;
    }
    // The script engine holds the value; what was set from outside comes back in its own type.
    const QJSValue now = engine_->globalObject().property(*it);
    value = set != setValues_.cend() && now.strictlyEquals(set->second) ? set->first : fromScriptValue(now);
    return true;
}

CompiledExpression* ExpressionScope::compile(const QString& text, const QString& owner, int band) {
    auto e = std::make_unique<CompiledExpression>();
    splitDisplayFormat(text, e->source, e->format);
    e->owner = owner;
    // "[FIELD]" inside an expression names a field, as in the text.
    static const QRegularExpression inner(QStringLiteral("\\[([\\w.\"]+)\\]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    QString script = e->source;
    script.replace(inner, QStringLiteral("\\1"));
    e->scriptSource = band >= 0 && extractAggregates_ ? extractAggregates_(script, owner, band) : script;
    expressions_.push_back(std::move(e));
    return expressions_.back().get();
}

void ExpressionScope::resolve(CompiledExpression& e) {
    const auto m = fieldPattern().match(e.scriptSource);
    if (m.hasMatch() && !e.scriptSource.startsWith(QStringLiteral("__a"))) {
        const QString setName = m.captured(1).toUpper();
        const QString field = m.captured(2);
        const QStringList candidates = setName.isEmpty() ? cursors_.order() : QStringList{setName};
        for (const auto& name : candidates) {
            const DatasetCursor* cursor = cursors_.find(name);
            const int index = cursor ? cursor->rows.fieldIndex(field) : -1;
            if (index >= 0) {
                e.kind = CompiledExpression::Kind::Field;
                e.dataset = name;
                e.field = index;
                e.qualified = !setName.isEmpty();
                return;
            }
        }
        QVariant ignored;
        if (setName.isEmpty() && field == m.captured(0) && variable(field, ignored)) {
            e.kind = CompiledExpression::Kind::Variable;
            e.variable = field;
            return;
        }
        // What the script would read from the scope, without starting it.
        if (setName.isEmpty() && field == m.captured(0)) {
            e.counter = field == u"PAGE"         ? &page_
                        : field == u"TOTALPAGES" ? &totalPages_
                        : field == u"LINE"       ? &line_
                                                 : nullptr;
            if (e.counter) {
                e.kind = CompiledExpression::Kind::Counter;
                return;
            }
        }
    }
    e.kind = CompiledExpression::Kind::Script;
    e.function = engine().evaluate(QStringLiteral("(function(__s){ with(__s) { return (\n") + e.scriptSource +
                                   QStringLiteral("\n); } })"));
    if (e.function.isError())
        throw expressionError(e, e.function.toString());
}

void ExpressionScope::fillScope() {
    if (filledVersion_ != cursors_.version()) {
        filledVersion_ = cursors_.version();
        const QStringList& order = cursors_.order();
        for (auto it = order.crbegin(); it != order.crend(); ++it) {
            const DatasetCursor* cursor = cursors_.find(*it);
            if (!cursor->onRow())
                continue;
            QJSValue object = engine_->newObject();
            for (int f = 0; f < cursor->rows.fields.size(); ++f) {
                const QJSValue v = engine_->toScriptValue(cursor->rows.value(cursor->current, f));
                scope_.setProperty(cursor->rows.fields[f], v);
                object.setProperty(cursor->rows.fields[f], v);
            }
            scope_.setProperty(*it, object);
        }
    }
    scope_.setProperty(QStringLiteral("PAGE"), page_);
    scope_.setProperty(QStringLiteral("TOTALPAGES"), totalPages_);
    scope_.setProperty(QStringLiteral("LINE"), line_);
    scope_.setProperty(QStringLiteral("DATE"),
                       engine_->toScriptValue(QDateTime(QDate::currentDate(), QTime(0, 0))));
    if (aggregateCount_)
        for (int i = 0; i < *aggregateCount_; ++i)
            scope_.setProperty(QStringLiteral("__a%1").arg(i), engine_->toScriptValue(aggregateValue_(i)));
}

QVariant ExpressionScope::fieldValue(const CompiledExpression& e) const {
    const DatasetCursor* cursor = cursors_.find(e.dataset);
    if (cursor && cursor->onRow())
        return cursor->rows.value(cursor->current, e.field);
    if (e.qualified)
        return {};
    // A detail header shows the master's field of that name while the details have no row yet.
    const QString& field = cursor ? cursor->rows.fields[e.field] : QString();
    for (const auto& name : cursors_.order())
        if (const DatasetCursor* other = cursors_.find(name); other && other->onRow())
            if (const int index = other->rows.fieldIndex(field); index >= 0)
                return other->rows.value(other->current, index);
    return {};
}

QVariant ExpressionScope::evaluate(CompiledExpression& e) {
    if (e.kind == CompiledExpression::Kind::Unresolved)
        resolve(e);
    switch (e.kind) {
    case CompiledExpression::Kind::Field:
        return fieldValue(e);
    case CompiledExpression::Kind::Variable: {
        QVariant v;
        variable(e.variable, v);
        return parameterValue(v);
    }
    case CompiledExpression::Kind::Counter:
        return double(*e.counter); // a number, as the script gives it
    default: {
        fillScope();
        const QJSValue r = e.function.call({scope_});
        if (r.isError())
            throw expressionError(e, r.toString());
        return fromScriptValue(r);
    }
    }
}

} // namespace svod::engine
