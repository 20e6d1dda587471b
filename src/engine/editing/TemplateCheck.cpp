#include "engine/editing/TemplateCheck.h"

#include <QJSEngine>
#include <QRegularExpression>
#include <QSet>

#include "engine/FunctionLibrary.h"
#include "engine/Preparer.h"
#include "engine/editing/ObjectProperties.h"

namespace svod::engine::editing {

namespace {

// One engine per check, with the function library, so its global names count as known.
class SyntaxChecker {
public:
    SyntaxChecker() { installFunctionLibrary(scriptEngine_); }

    QString compileError(const QString& source, bool statements) {
        const QString wrapped =
            statements ? QStringLiteral("(function(){\n") + source + QStringLiteral("\n})")
                       : QStringLiteral("(function(){ return (\n") + source + QStringLiteral("\n); })");
        const QJSValue r = scriptEngine_.evaluate(wrapped);
        if (!r.isError())
            return {};
        const int line = r.property(QStringLiteral("lineNumber")).toInt() - 1;
        return line > 0 && statements ? QStringLiteral("строка %1: %2").arg(line).arg(r.toString())
                                      : r.toString();
    }
    bool isGlobal(const QString& name) { return scriptEngine_.globalObject().hasProperty(name); }

private:
    QJSEngine scriptEngine_;
};

// "[FIELD]" inside an expression names a field, as the preparation reads it.
QString jsSource(const QString& expression) {
    static const QRegularExpression inner(QStringLiteral("\\[([\\w.\"]+)\\]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    QString js = expression.trimmed();
    js.replace(inner, QStringLiteral("\\1"));
    return js;
}

// Identifiers outside string literals, with the identifier before a "." when there is one.
struct Name {
    QString qualifier;
    QString name;
};

QList<Name> namesIn(const QString& js) {
    QList<Name> names;
    QChar quote;
    QString previous;
    bool afterDot = false;
    for (qsizetype i = 0; i < js.size();) {
        const QChar c = js[i];
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
            ++i;
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`') {
            quote = c;
            afterDot = false;
            ++i;
            continue;
        }
        if (c.isLetter() || c == u'_' || c == u'$') {
            qsizetype j = i;
            while (j < js.size() && (js[j].isLetterOrNumber() || js[j] == u'_' || js[j] == u'$'))
                ++j;
            const QString word = js.mid(i, j - i);
            names << Name{afterDot ? previous : QString(), word};
            previous = word;
            afterDot = false;
            i = j;
            continue;
        }
        if (c.isDigit()) {
            while (i < js.size() && (js[i].isLetterOrNumber() || js[i] == u'.'))
                ++i;
            afterDot = false;
            continue;
        }
        if (c == u'.')
            afterDot = true;
        else if (!c.isSpace())
            afterDot = false, previous.clear();
        ++i;
    }
    return names;
}

const QSet<QString>& keywords() {
    static const QSet<QString> words = {
        QStringLiteral("new"),
        QStringLiteral("typeof"),
        QStringLiteral("instanceof"),
        QStringLiteral("in"),
        QStringLiteral("true"),
        QStringLiteral("false"),
        QStringLiteral("null"),
        QStringLiteral("undefined"),
        QStringLiteral("this"),
        QStringLiteral("function"),
        QStringLiteral("return"),
        QStringLiteral("var"),
        QStringLiteral("let"),
        QStringLiteral("const"),
        QStringLiteral("if"),
        QStringLiteral("else"),
        QStringLiteral("void"),
        QStringLiteral("delete"),
        // engine names
        QStringLiteral("PAGE"),
        QStringLiteral("TOTALPAGES"),
        QStringLiteral("LINE"),
        QStringLiteral("DATE"),
        QStringLiteral("NoteStrings"),
        QStringLiteral("SUM"),
        QStringLiteral("COUNT"),
        QStringLiteral("AVG"),
        QStringLiteral("MIN"),
        QStringLiteral("MAX"),
        QStringLiteral("band"),
        QStringLiteral("group"),
        QStringLiteral("page"),
        QStringLiteral("report"),
    };
    return words;
}

class Checker {
public:
    Checker(const ReportTemplate& t, const FieldLookup& lookup, const QStringList& extra) : t_(t) {
        for (const auto& d : t.datasets)
            datasets_.insert(d.name.toUpper());
        for (const auto& d : extra)
            datasets_.insert(d.toUpper());
        allFieldsKnown_ = extra.isEmpty();
        for (const auto& d : t.datasets) {
            const auto f = lookup ? lookup(d) : std::nullopt;
            if (!f) {
                allFieldsKnown_ = false;
                continue;
            }
            QSet<QString>& set = fields_[d.name.toUpper()];
            for (const auto& name : *f) {
                set.insert(name.toUpper());
                anyField_.insert(name.toUpper());
            }
        }
        for (auto it = t.variables.cbegin(); it != t.variables.cend(); ++it)
            known_.insert(it.key().toUpper());
        // Names the script declares are globals for the expressions.
        static const QRegularExpression declared(QStringLiteral("\\b(?:var|let|const|function)\\s+([\\w$]+)"),
                                                 QRegularExpression::UseUnicodePropertiesOption);
        for (auto m = declared.globalMatch(t.script); m.hasNext();)
            known_.insert(m.next().captured(1).toUpper());
    }

    QList<Finding> run() {
        if (!t_.script.trimmed().isEmpty()) {
            const QString e = scriptEngine_.compileError(t_.script, true);
            if (!e.isEmpty())
                add(Finding::Kind::Script, QStringLiteral("Сценарий отчета: ") + e);
        }
        for (auto it = t_.variables.cbegin(); it != t_.variables.cend(); ++it) {
            if (it.value().trimmed().isEmpty())
                continue;
            const QString e = scriptEngine_.compileError(it.value(), false);
            if (!e.isEmpty())
                add(Finding::Kind::Variable,
                    QStringLiteral("Переменная %1: [%2]: %3").arg(it.key(), it.value(), e));
        }
        for (const auto& d : t_.datasets)
            if (!d.master.isEmpty() && !datasets_.contains(d.master.toUpper()))
                add(Finding::Kind::Dataset,
                    QStringLiteral("Набор данных %1: нет главного набора %2").arg(d.name, d.master));
        for (int b = 0; b < t_.bands.size(); ++b)
            checkBand(b);
        return findings_;
    }

private:
    void add(Finding::Kind kind, const QString& message, int band = -1, int object = -1) {
        findings_ << Finding{kind, message, band, object};
    }

    QString bandTitle(int b) const {
        const Band& band = t_.bands[b];
        return QStringLiteral("Полоса %1 \"%2\"")
            .arg(b + 1)
            .arg(band.name.isEmpty() ? bandKindCaption(band.kind) : band.name);
    }

    void checkBand(int b) {
        const Band& band = t_.bands[b];
        if (isDataBand(band.kind)) {
            if (band.dataset.trimmed().isEmpty())
                add(Finding::Kind::Dataset, bandTitle(b) + QStringLiteral(": не указан набор данных"), b);
            else if (!datasets_.contains(band.dataset.toUpper()))
                add(Finding::Kind::Dataset,
                    bandTitle(b) + QStringLiteral(": нет набора данных %1").arg(band.dataset), b);
        }
        if (!band.condition.trimmed().isEmpty())
            checkExpression(band.condition, bandTitle(b) + QStringLiteral(", условие группы"), b, -1);
        for (int i = 0; i < band.objects.size(); ++i) {
            const TemplateObject& o = band.objects[i];
            if (o.kind == ObjectKind::Chart)
                checkChart(o, b, i);
            if (o.kind != ObjectKind::Text && o.kind != ObjectKind::RichText &&
                o.kind != ObjectKind::CheckBox)
                continue;
            const QString owner = o.name.isEmpty()
                                      ? QStringLiteral("%1, объект %2").arg(bandTitle(b)).arg(i + 1)
                                      : QStringLiteral("Объект %1").arg(o.name);
            const QStringList parts = splitExpressions(o.text);
            for (int p = 1; p < parts.size(); p += 2)
                checkExpression(parts[p], owner, b, i);
        }
    }

    // A chart reads its dataset whole: the dataset and its fields must exist, or the run stops.
    void checkChart(const TemplateObject& o, int band, int object) {
        const ChartSettings& c = o.chart;
        const QString owner = QStringLiteral("Диаграмма %1").arg(o.name);
        if (c.dataset.isEmpty())
            return; // not bound yet: draws empty
        const QString set = c.dataset.toUpper();
        if (!datasets_.contains(set)) {
            add(Finding::Kind::Dataset, QStringLiteral("%1: нет набора данных %2").arg(owner, c.dataset),
                band, object);
            return;
        }
        if (!fields_.contains(set))
            return;
        QStringList named = c.valueFields;
        if (!c.categoryField.isEmpty())
            named.prepend(c.categoryField);
        if (!c.seriesField.isEmpty())
            named << c.seriesField;
        for (const auto& f : named)
            if (!fields_[set].contains(f.toUpper()))
                add(Finding::Kind::Field,
                    QStringLiteral("%1: в наборе данных %2 нет поля %3").arg(owner, c.dataset, f), band,
                    object);
    }

    void checkExpression(const QString& expression, const QString& owner, int band, int object) {
        const QString js = jsSource(expression);
        if (js.isEmpty())
            return;
        static const QRegularExpression fieldRef(QStringLiteral("^(?:([\\w]+)\\.)?\"?([\\w]+)\"?$"),
                                                 QRegularExpression::UseUnicodePropertiesOption);
        const auto m = fieldRef.match(js);
        if (m.hasMatch() && !m.captured(1).isEmpty()) { // DATASET.FIELD, quoted or not
            checkNames({Name{m.captured(1), m.captured(2)}}, expression, owner, band, object);
            return;
        }
        const QString e = scriptEngine_.compileError(js, false);
        if (!e.isEmpty()) {
            add(Finding::Kind::Expression, QStringLiteral("%1: [%2]: %3").arg(owner, expression, e), band,
                object);
            return;
        }
        checkNames(namesIn(js), expression, owner, band, object);
    }

    void checkNames(const QList<Name>& names, const QString& expression, const QString& owner, int band,
                    int object) {
        for (const auto& n : names) {
            const QString upper = n.name.toUpper();
            if (!n.qualifier.isEmpty()) {
                const QString set = n.qualifier.toUpper();
                if (fields_.contains(set) && !fields_[set].contains(upper))
                    add(Finding::Kind::Field,
                        QStringLiteral("%1: [%2]: в наборе данных %3 нет поля %4")
                            .arg(owner, expression, n.qualifier, n.name),
                        band, object);
                continue;
            }
            if (!allFieldsKnown_ || anyField_.contains(upper) || datasets_.contains(upper) ||
                known_.contains(upper) || keywords().contains(n.name) || scriptEngine_.isGlobal(n.name))
                continue;
            add(Finding::Kind::Field,
                QStringLiteral("%1: [%2]: нет поля или переменной %3").arg(owner, expression, n.name), band,
                object);
        }
    }

    const ReportTemplate& t_;
    SyntaxChecker scriptEngine_;
    QSet<QString> datasets_;
    QMap<QString, QSet<QString>> fields_;
    QSet<QString> anyField_;
    QSet<QString> known_;
    bool allFieldsKnown_ = true;
    QList<Finding> findings_;
};

} // namespace

QList<Finding> checkTemplate(const ReportTemplate& t, const FieldLookup& fields,
                             const QStringList& extraDatasets) {
    return Checker(t, fields, extraDatasets).run();
}

QString expressionSyntaxError(const QString& expression) {
    SyntaxChecker js;
    return js.compileError(jsSource(expression), false);
}

QString scriptSyntaxError(const QString& script) {
    SyntaxChecker js;
    return js.compileError(script, true);
}

} // namespace svod::engine::editing
