#include "engine/Preparer.h"

#include <QDateTime>
#include <QHash>
#include <QJSEngine>
#include <QRegularExpression>
#include <QTextDocument>
#include <cmath>
#include <memory>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/FunctionLibrary.h"
#include "engine/TextLayout.h"

namespace svod::engine {

QStringList splitExpressions(const QString& text) {
    QStringList parts;
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'[') {
            literal += text[i++];
            continue;
        }
        int depth = 0;
        qsizetype j = i;
        QChar quote;
        for (; j < text.size(); ++j) {
            const QChar c = text[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'\'' || c == u'"') {
                quote = c;
            } else if (c == u'[') {
                ++depth;
            } else if (c == u']' && --depth == 0) {
                break;
            }
        }
        if (j >= text.size()) { // no closing bracket: the rest is literal
            literal += text.mid(i);
            break;
        }
        parts << literal << text.mid(i + 1, j - i - 1);
        literal.clear();
        i = j + 1;
    }
    parts << literal;
    return parts;
}

namespace {

enum class AggFunc { Sum, Count, Avg, Min, Max };
enum class AggScope { Band, Group, Page, Report };

struct Expr {
    QString source;
    QString owner;
    enum class Kind { Unresolved, Field, Variable, Js } kind = Kind::Unresolved;
    QString setName;
    int field = -1;
    QString variable;
    QJSValue fn;
    QString jsSource; // after the aggregates were taken out
};

struct Aggregate {
    AggFunc func = AggFunc::Sum;
    AggScope scope = AggScope::Report;
    std::unique_ptr<Expr> arg; // null: COUNT()
    int dataBand = -1;
    int groupSection = -1, groupLevel = -1;
    double sum = 0, min = 0, max = 0;
    qint64 count = 0;
    void reset() { sum = min = max = 0, count = 0; }
    QVariant value() const {
        switch (func) {
        case AggFunc::Sum:
            return sum;
        case AggFunc::Count:
            return double(count);
        case AggFunc::Avg:
            return count ? sum / double(count) : 0.0;
        case AggFunc::Min:
            return count ? QVariant(min) : QVariant();
        case AggFunc::Max:
            return count ? QVariant(max) : QVariant();
        }
        return {};
    }
};

struct OpenSet {
    RowSet rows;
    int current = -1;
};

struct CompiledText {
    QStringList literals;
    QList<Expr*> exprs;
};

struct Item {
    PreparedObject obj;
    QStringList lines; // stretched text: its wrapped lines
};

struct Laid {
    const Band* band = nullptr;
    double height = 0;
    QList<Item> items;
};

struct Section {
    QList<int> headers;
    int master = -1;
    QList<int> details;
    QList<int> footers;
};

const QRegularExpression& fieldPattern() {
    static const QRegularExpression re(QStringLiteral("^(?:([\\w]+)\\.)?\"?([\\w]+)\"?$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

QVariant fromJs(const QJSValue& v) {
    if (v.isNull() || v.isUndefined())
        return {};
    if (v.isDate())
        return v.toDateTime();
    if (v.isNumber())
        return v.toNumber();
    if (v.isBool())
        return v.toBool();
    return v.toString();
}

class Preparer {
public:
    Preparer(const PrepareInput& in, PreparedPages& out, int totalPages)
        : in_(in), t_(*in.report), out_(out), totalPages_(totalPages) {
        installFunctionLibrary(js_);
        scope_ = js_.newObject();
        const QSizeF size = t_.page.orientedSize();
        pageHeight_ = size.height();
        contentWidth_ = size.width() - t_.page.marginLeft - t_.page.marginRight;
        buildSections();
    }

    bool run();
    bool usesTotalPages() const {
        for (const auto& b : t_.bands)
            for (const auto& o : b.objects)
                if (o.text.contains(QStringLiteral("TOTALPAGES")))
                    return true;
        return false;
    }

private:
    void buildSections();
    void setupVariables();
    bool lookupVariable(const QString& name, QVariant& value) const;
    OpenSet& openSet(const QString& name, const QString& masterName);

    Expr* compile(const QString& source, const QString& owner, int band);
    QString extractAggregates(const QString& source, const QString& owner, int band);
    QVariant evaluate(Expr& e);
    void fillScope();
    const CompiledText& compileText(const TemplateObject& o, int band);
    QString evaluateText(const TemplateObject& o, int band, PreparedObject& p);

    Laid layoutBand(int index);
    void output(Laid laid);
    void place(const Laid& laid);
    bool canSplit(const Laid& laid, double avail) const;
    std::pair<Laid, Laid> split(const Laid& laid, double avail) const;
    void printBand(int index);
    void printKind(BandKind kind);

    void startPage();
    void endPage();
    double bottomLimit() const;
    double kindHeight(BandKind kind);

    void runSection(const Section& s, int sectionIndex);
    void printDetails(const Section& s);
    void accumulate(int dataBand);
    void resetAggregates(AggScope scope, int section = -1, int level = -1, int dataBand = -1);

    const PrepareInput& in_;
    const ReportTemplate& t_;
    PreparedPages& out_;
    int totalPages_;
    QJSEngine js_;
    QJSValue scope_;
    QMap<QString, OpenSet> sets_;
    QStringList setOrder_;
    QVariantMap dictionary_;
    QList<Section> sections_;
    QHash<const TemplateObject*, CompiledText> texts_;
    std::vector<std::unique_ptr<Expr>> exprs_;
    std::vector<Aggregate> aggs_;
    QHash<int, std::pair<int, int>> bandGroup_; // group band -> (section, level)
    PreparedPage page_;
    bool pageOpen_ = false;
    bool inData_ = false;
    bool cancelled_ = false;
    double y_ = 0;
    double pageTop_ = 0;
    double pageHeight_ = 0;
    double contentWidth_ = 0;
    int pageNo_ = 0;
    int line_ = 0;
};

void Preparer::buildSections() {
    QList<int> pending;
    Section* current = nullptr;
    for (int i = 0; i < t_.bands.size(); ++i) {
        switch (t_.bands[i].kind) {
        case BandKind::GroupHeader:
            if (current && !current->footers.isEmpty())
                current = nullptr;
            pending << i;
            break;
        case BandKind::MasterData:
            sections_.append(Section{pending, i, {}, {}});
            current = &sections_.last();
            pending.clear();
            break;
        case BandKind::DetailData:
            if (current)
                current->details << i;
            break;
        case BandKind::GroupFooter:
            if (current)
                current->footers << i;
            break;
        default:
            break;
        }
    }
    for (int s = 0; s < sections_.size(); ++s) {
        const auto& sec = sections_[s];
        for (int l = 0; l < sec.headers.size(); ++l)
            bandGroup_.insert(sec.headers[l], {s, l});
        for (int f = 0; f < sec.footers.size(); ++f)
            bandGroup_.insert(sec.footers[f], {s, std::max(0, int(sec.headers.size()) - 1 - f)});
    }
}

bool Preparer::lookupVariable(const QString& name, QVariant& value) const {
    for (auto it = in_.engineVariables.cbegin(); it != in_.engineVariables.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            value = it.value();
            return true;
        }
    for (auto it = dictionary_.cbegin(); it != dictionary_.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            value = it.value();
            return true;
        }
    return false;
}

void Preparer::setupVariables() {
    QJSValue global = js_.globalObject();
    for (auto it = in_.engineVariables.cbegin(); it != in_.engineVariables.cend(); ++it)
        global.setProperty(it.key(), js_.toScriptValue(it.value()));
    for (auto it = t_.variables.cbegin(); it != t_.variables.cend(); ++it) {
        QVariant ignored;
        if (lookupVariable(it.key(), ignored))
            continue;
        QVariant value;
        if (!it.value().trimmed().isEmpty()) {
            const QJSValue v = js_.evaluate(it.value());
            if (v.isError())
                throw Error(QStringLiteral("Ошибка в значении переменной %1: %2: %3")
                                .arg(it.key(), it.value(), v.toString()));
            value = fromJs(v);
        }
        dictionary_.insert(it.key(), value);
        global.setProperty(it.key(), js_.toScriptValue(value));
    }
    QJSValue notes = js_.newArray();
    if (in_.noteStrings)
        for (int i = 0; i < in_.noteStrings->size(); ++i)
            notes.setProperty(quint32(i), in_.noteStrings->at(i));
    global.setProperty(QStringLiteral("NoteStrings"), notes);
    if (!t_.script.trimmed().isEmpty()) {
        const QJSValue r = js_.evaluate(t_.script, QStringLiteral("script"));
        if (r.isError())
            throw Error(QStringLiteral("Ошибка в сценарии отчета (строка %1): %2")
                            .arg(r.property(QStringLiteral("lineNumber")).toInt())
                            .arg(r.toString()));
    }
    if (in_.noteStrings) {
        const QJSValue after = global.property(QStringLiteral("NoteStrings"));
        QStringList list;
        const int n = after.property(QStringLiteral("length")).toInt();
        for (int i = 0; i < n; ++i)
            list << after.property(quint32(i)).toString();
        *in_.noteStrings = list;
    }
}

OpenSet& Preparer::openSet(const QString& name, const QString& masterName) {
    const QString key = name.toUpper();
    OpenSet set;
    if (in_.memoryDatasets.contains(key)) {
        set.rows = in_.memoryDatasets.value(key);
    } else {
        const DatasetSpec* definition = nullptr;
        for (const auto& d : t_.datasets)
            if (d.name.compare(name, Qt::CaseInsensitive) == 0)
                definition = &d;
        if (!definition)
            throw Error(QStringLiteral("Набор данных не найден: ") + name);
        if (!in_.connection)
            throw Error(QStringLiteral("Нет соединения с базой данных для набора данных ") + name);
        const QString master = definition->master.isEmpty() ? masterName : definition->master;
        set.rows = runSqlDataset(*in_.connection, definition->sql, [&](const QString& p, QVariant& v) {
            if (!master.isEmpty() && sets_.contains(master.toUpper())) {
                const OpenSet& m = sets_[master.toUpper()];
                const int f = m.rows.fieldIndex(p);
                if (f >= 0 && m.current >= 0 && m.current < m.rows.rows.size()) {
                    v = m.rows.rows[m.current][f];
                    return true;
                }
            }
            return lookupVariable(p, v);
        });
    }
    if (!sets_.contains(key))
        setOrder_.prepend(key); // the newest set is searched first
    sets_[key] = std::move(set);
    return sets_[key];
}

QString Preparer::extractAggregates(const QString& source, const QString& owner, int band) {
    static const QRegularExpression re(QStringLiteral("\\b(SUM|COUNT|AVG|MIN|MAX)\\s*\\("));
    QString out;
    qsizetype pos = 0;
    auto m = re.match(source, pos);
    while (m.hasMatch()) {
        out += source.mid(pos, m.capturedStart() - pos);
        // The argument list up to the matching parenthesis.
        qsizetype j = m.capturedEnd();
        int depth = 1;
        QChar quote;
        QList<qsizetype> commas;
        for (; j < source.size(); ++j) {
            const QChar c = source[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'\'' || c == u'"') {
                quote = c;
            } else if (c == u'(' || c == u'[') {
                ++depth;
            } else if (c == u')' || c == u']') {
                if (--depth == 0)
                    break;
            } else if (c == u',' && depth == 1) {
                commas << j;
            }
        }
        if (j >= source.size())
            throw Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: нет закрывающей скобки")
                            .arg(owner, source));
        const qsizetype argStart = m.capturedEnd();
        const QString first = source.mid(argStart, (commas.isEmpty() ? j : commas[0]) - argStart).trimmed();
        QString scopeText;
        if (!commas.isEmpty())
            scopeText =
                source.mid(commas[0] + 1, j - commas[0] - 1).trimmed().remove(u'"').remove(u'\'').toLower();
        Aggregate a;
        const QString f = m.captured(1);
        a.func = f == u"SUM"     ? AggFunc::Sum
                 : f == u"COUNT" ? AggFunc::Count
                 : f == u"AVG"   ? AggFunc::Avg
                 : f == u"MIN"   ? AggFunc::Min
                                 : AggFunc::Max;
        const BandKind kind = t_.bands[band].kind;
        if (scopeText == u"band")
            a.scope = AggScope::Band;
        else if (scopeText == u"group")
            a.scope = AggScope::Group;
        else if (scopeText == u"page")
            a.scope = AggScope::Page;
        else if (scopeText == u"report")
            a.scope = AggScope::Report;
        else if (!scopeText.isEmpty())
            throw Error(
                QStringLiteral("Ошибка в выражении объекта %1: [%2]: неизвестная область итога \"%3\"")
                    .arg(owner, source, scopeText));
        else
            a.scope = (kind == BandKind::GroupFooter || kind == BandKind::GroupHeader) ? AggScope::Group
                      : (kind == BandKind::PageFooter || kind == BandKind::ColumnFooter ||
                         kind == BandKind::PageHeader)
                          ? AggScope::Page
                      : (kind == BandKind::MasterData || kind == BandKind::DetailData) ? AggScope::Band
                                                                                       : AggScope::Report;
        // The nearest data band before the aggregate's band (the first data band otherwise).
        for (int b = band; b >= 0 && a.dataBand < 0; --b)
            if (t_.bands[b].kind == BandKind::MasterData || t_.bands[b].kind == BandKind::DetailData)
                a.dataBand = b;
        for (int b = 0; b < t_.bands.size() && a.dataBand < 0; ++b)
            if (t_.bands[b].kind == BandKind::MasterData)
                a.dataBand = b;
        if (bandGroup_.contains(band)) {
            a.groupSection = bandGroup_[band].first;
            a.groupLevel = bandGroup_[band].second;
        }
        if (!first.isEmpty()) {
            QString argSource = first;
            if (argSource.startsWith(u'[') && argSource.endsWith(u']'))
                argSource = argSource.mid(1, argSource.size() - 2);
            a.arg = std::make_unique<Expr>();
            a.arg->source = argSource;
            a.arg->jsSource = argSource;
            a.arg->owner = owner;
        }
        out += QStringLiteral("__a%1").arg(aggs_.size());
        aggs_.push_back(std::move(a));
        pos = j + 1;
        m = re.match(source, pos);
    }
    out += source.mid(pos);
    return out;
}

Expr* Preparer::compile(const QString& source, const QString& owner, int band) {
    auto e = std::make_unique<Expr>();
    e->source = source.trimmed();
    e->owner = owner;
    // "[FIELD]" inside an expression names a field, as in the text.
    QString js = e->source;
    static const QRegularExpression inner(QStringLiteral("\\[([\\w.\"]+)\\]"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    js.replace(inner, QStringLiteral("\\1"));
    e->jsSource = extractAggregates(js, owner, band);
    exprs_.push_back(std::move(e));
    return exprs_.back().get();
}

void Preparer::fillScope() {
    for (auto it = setOrder_.crbegin(); it != setOrder_.crend(); ++it) {
        const OpenSet& set = sets_[*it];
        if (set.current < 0 || set.current >= set.rows.rows.size())
            continue;
        QJSValue object = js_.newObject();
        const QVariantList& row = set.rows.rows[set.current];
        for (int f = 0; f < set.rows.fields.size(); ++f) {
            const QJSValue v = js_.toScriptValue(row[f]);
            scope_.setProperty(set.rows.fields[f], v);
            object.setProperty(set.rows.fields[f], v);
        }
        scope_.setProperty(*it, object);
    }
    scope_.setProperty(QStringLiteral("PAGE"), pageNo_);
    scope_.setProperty(QStringLiteral("TOTALPAGES"), totalPages_);
    scope_.setProperty(QStringLiteral("LINE"), line_);
    scope_.setProperty(QStringLiteral("DATE"),
                       js_.toScriptValue(QDateTime(QDate::currentDate(), QTime(0, 0))));
    for (size_t i = 0; i < aggs_.size(); ++i)
        scope_.setProperty(QStringLiteral("__a%1").arg(i), js_.toScriptValue(aggs_[i].value()));
}

QVariant Preparer::evaluate(Expr& e) {
    if (e.kind == Expr::Kind::Unresolved) {
        const auto m = fieldPattern().match(e.jsSource);
        if (m.hasMatch() && !e.jsSource.startsWith(QStringLiteral("__a"))) {
            const QString setName = m.captured(1).toUpper();
            const QString field = m.captured(2);
            if (!setName.isEmpty()) {
                if (sets_.contains(setName) && sets_[setName].rows.fieldIndex(field) >= 0) {
                    e.kind = Expr::Kind::Field;
                    e.setName = setName;
                    e.field = sets_[setName].rows.fieldIndex(field);
                }
            } else {
                for (const auto& name : setOrder_)
                    if (sets_[name].rows.fieldIndex(field) >= 0) {
                        e.kind = Expr::Kind::Field;
                        e.setName = name;
                        e.field = sets_[name].rows.fieldIndex(field);
                        break;
                    }
                QVariant v;
                if (e.kind == Expr::Kind::Unresolved && field == m.captured(0) && lookupVariable(field, v)) {
                    e.kind = Expr::Kind::Variable;
                    e.variable = field;
                }
            }
        }
        if (e.kind == Expr::Kind::Unresolved) {
            e.kind = Expr::Kind::Js;
            e.fn = js_.evaluate(QStringLiteral("(function(__s){ with(__s) { return (\n") + e.jsSource +
                                QStringLiteral("\n); } })"));
            if (e.fn.isError())
                throw Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: %3")
                                .arg(e.owner, e.source, e.fn.toString()));
        }
    }
    switch (e.kind) {
    case Expr::Kind::Field: {
        const OpenSet& set = sets_[e.setName];
        if (set.current < 0 || set.current >= set.rows.rows.size())
            return {};
        return set.rows.rows[set.current][e.field];
    }
    case Expr::Kind::Variable: {
        QVariant v;
        lookupVariable(e.variable, v);
        return v;
    }
    default: {
        fillScope();
        const QJSValue r = e.fn.call({scope_});
        if (r.isError())
            throw Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: %3")
                            .arg(e.owner, e.source, r.toString()));
        return fromJs(r);
    }
    }
}

const CompiledText& Preparer::compileText(const TemplateObject& o, int band) {
    auto it = texts_.find(&o);
    if (it == texts_.end()) {
        CompiledText c;
        const QStringList parts = splitExpressions(o.text);
        const QString owner = o.name.isEmpty() ? objectKindName(o.kind) : o.name;
        for (int i = 0; i < parts.size(); ++i) {
            if (i % 2 == 0)
                c.literals << parts[i];
            else
                c.exprs << compile(parts[i], owner, band);
        }
        it = texts_.insert(&o, c);
    }
    return *it;
}

QString Preparer::evaluateText(const TemplateObject& o, int band, PreparedObject& p) {
    const CompiledText& c = compileText(o, band);
    if (c.exprs.isEmpty())
        return c.literals.value(0);
    const bool richText = o.kind == ObjectKind::RichText;
    QString text = c.literals[0];
    for (int i = 0; i < c.exprs.size(); ++i) {
        const QVariant v = evaluate(*c.exprs[i]);
        const QString shown = displayText(v, o.displayFormat);
        text += richText ? shown.toHtmlEscaped() : shown;
        text += c.literals[i + 1];
        if (c.exprs.size() == 1 && c.literals[0].isEmpty() && c.literals[1].isEmpty() && !v.isNull()) {
            const int type = v.metaType().id();
            if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong) {
                p.valueKind = ValueKind::Number;
                p.number = v.toDouble();
            } else if (type == QMetaType::QDate || type == QMetaType::QDateTime) {
                p.valueKind = ValueKind::Date;
                p.number = DateValue::fromVariant(v).days();
            }
        }
    }
    return text;
}

Laid Preparer::layoutBand(int index) {
    const Band& band = t_.bands[index];
    Laid laid;
    laid.band = &band;
    laid.height = band.height;
    laid.items.reserve(band.objects.size());
    for (const auto& o : band.objects) {
        Item item;
        PreparedObject& p = item.obj;
        p.kind = o.kind;
        p.rect = o.rect;
        p.font = o.font;
        p.frame = o.frame;
        p.fill = o.fill;
        p.alignment = o.alignment;
        p.wordWrap = o.wordWrap;
        p.radius = o.radius;
        switch (o.kind) {
        case ObjectKind::Text:
        case ObjectKind::RichText:
            p.text = evaluateText(o, index, p);
            break;
        case ObjectKind::CheckBox: {
            PreparedObject ignored;
            const QString value = evaluateText(o, index, ignored).trimmed();
            p.checked =
                !(value.isEmpty() || value == u"0" || value == u"false" || value == QStringLiteral("Нет"));
            break;
        }
        case ObjectKind::Picture:
            p.picture = o.picture;
            break;
        default:
            break;
        }
        if (o.stretch && o.kind == ObjectKind::Text) {
            item.lines = layoutLines(p.text, o.font, o.rect.width(), o.wordWrap);
            p.text = item.lines.join(u'\n');
            p.wordWrap = false;
            p.rect.setHeight(std::max(o.rect.height(), textHeight(int(item.lines.size()), o.font)));
        } else if (o.stretch && o.kind == ObjectKind::RichText) {
            QTextDocument doc;
            doc.setDefaultFont(qfontFor(o.font, 72));
            doc.setHtml(p.text);
            doc.setTextWidth(o.rect.width());
            p.rect.setHeight(std::max(o.rect.height(), doc.size().height()));
        }
        if (o.stretch)
            laid.height = std::max(laid.height, p.rect.bottom());
        laid.items.append(std::move(item));
    }
    return laid;
}

double Preparer::bottomLimit() const {
    double limit = pageHeight_ - t_.page.marginBottom;
    for (const auto& b : t_.bands)
        if (b.kind == BandKind::PageFooter || (inData_ && b.kind == BandKind::ColumnFooter))
            limit -= b.height;
    return limit;
}

void Preparer::place(const Laid& laid) {
    for (const auto& item : laid.items) {
        PreparedObject o = item.obj;
        o.rect.translate(t_.page.marginLeft, y_);
        page_.objects.append(std::move(o));
    }
    y_ += laid.height;
}

bool Preparer::canSplit(const Laid& laid, double avail) const {
    if (!laid.band->allowSplit)
        return false;
    for (const auto& item : laid.items)
        if (item.lines.size() > 1) {
            const double lineH = metricsFor(item.obj.font).lineSpacing();
            if (avail - item.obj.rect.top() - 2 * TextPadding >= lineH)
                return true;
        }
    return false;
}

std::pair<Laid, Laid> Preparer::split(const Laid& laid, double avail) const {
    Laid first{laid.band, avail, {}};
    Laid rest{laid.band, 0, {}};
    for (const auto& item : laid.items) {
        if (item.lines.size() <= 1 || item.obj.rect.bottom() <= avail) {
            first.items << item;
            continue;
        }
        const double lineH = metricsFor(item.obj.font).lineSpacing();
        const int fit = std::clamp(int((avail - item.obj.rect.top() - 2 * TextPadding) / lineH), 0,
                                   int(item.lines.size()));
        Item head = item;
        head.lines = item.lines.mid(0, fit);
        head.obj.text = head.lines.join(u'\n');
        head.obj.rect.setHeight(avail - item.obj.rect.top());
        if (fit > 0)
            first.items << head;
        Item tail = item;
        tail.lines = item.lines.mid(fit);
        tail.obj.text = tail.lines.join(u'\n');
        tail.obj.rect = QRectF(item.obj.rect.left(), 0, item.obj.rect.width(),
                               textHeight(int(tail.lines.size()), item.obj.font));
        rest.height = std::max(rest.height, tail.obj.rect.bottom());
        rest.items << tail;
    }
    return {first, rest};
}

void Preparer::output(Laid laid) {
    if (!pageOpen_)
        startPage();
    for (;;) {
        const double avail = bottomLimit() - y_;
        if (laid.height <= avail + 0.01) {
            place(laid);
            return;
        }
        if (canSplit(laid, avail)) {
            auto [first, rest] = split(laid, avail);
            place(first);
            endPage();
            startPage();
            laid = std::move(rest);
            continue;
        }
        if (page_.objects.isEmpty() || y_ <= pageTop_ + 0.01) {
            place(laid); // taller than a page: printed clipped rather than looping
            return;
        }
        endPage();
        startPage();
    }
}

void Preparer::printBand(int index) {
    if (cancelled_)
        return;
    const Band& band = t_.bands[index];
    output(layoutBand(index));
    if (!band.child.isEmpty())
        for (int i = 0; i < t_.bands.size(); ++i)
            if (t_.bands[i].kind == BandKind::Child && t_.bands[i].name == band.child) {
                printBand(i);
                break;
            }
    if (band.newPageAfter) {
        endPage();
        startPage();
    }
}

void Preparer::printKind(BandKind kind) {
    for (int i = 0; i < t_.bands.size(); ++i)
        if (t_.bands[i].kind == kind)
            printBand(i);
}

void Preparer::startPage() {
    page_ = PreparedPage{};
    page_.size = t_.page.size;
    page_.landscape = t_.page.landscape;
    pageOpen_ = true;
    ++pageNo_;
    resetAggregates(AggScope::Page);
    y_ = t_.page.marginTop;
    for (int i = 0; i < t_.bands.size(); ++i)
        if (t_.bands[i].kind == BandKind::PageHeader)
            place(layoutBand(i));
    if (inData_)
        for (int i = 0; i < t_.bands.size(); ++i)
            if (t_.bands[i].kind == BandKind::ColumnHeader)
                place(layoutBand(i));
    pageTop_ = y_;
}

void Preparer::endPage() {
    if (!pageOpen_)
        return;
    if (inData_)
        for (int i = 0; i < t_.bands.size(); ++i)
            if (t_.bands[i].kind == BandKind::ColumnFooter)
                place(layoutBand(i));
    double footer = 0;
    for (const auto& b : t_.bands)
        if (b.kind == BandKind::PageFooter)
            footer += b.height;
    y_ = pageHeight_ - t_.page.marginBottom - footer;
    for (int i = 0; i < t_.bands.size(); ++i)
        if (t_.bands[i].kind == BandKind::PageFooter)
            place(layoutBand(i));
    if (in_.finishObject)
        for (auto& o : page_.objects)
            in_.finishObject(o);
    out_.addPage(std::move(page_));
    page_ = PreparedPage{};
    pageOpen_ = false;
    if (in_.progress && !in_.progress(out_.count()))
        cancelled_ = true;
}

void Preparer::resetAggregates(AggScope scope, int section, int level, int dataBand) {
    for (auto& a : aggs_) {
        if (a.scope != scope)
            continue;
        if (scope == AggScope::Group && (a.groupSection != section || a.groupLevel < level))
            continue;
        if (scope == AggScope::Band && a.dataBand != dataBand)
            continue;
        a.reset();
    }
}

void Preparer::accumulate(int dataBand) {
    for (auto& a : aggs_) {
        if (a.dataBand != dataBand)
            continue;
        double v = 0;
        if (a.arg) {
            const QVariant value = evaluate(*a.arg);
            if (value.isNull() || !value.isValid())
                continue;
            if (value.metaType().id() == QMetaType::QString) {
                if (a.func != AggFunc::Count && !parseDisplayNumber(value.toString(), v))
                    continue;
            } else {
                v = value.toDouble();
            }
        }
        if (a.count == 0)
            a.min = a.max = v;
        a.min = std::min(a.min, v);
        a.max = std::max(a.max, v);
        a.sum += v;
        ++a.count;
    }
}

void Preparer::printDetails(const Section& s) {
    const QString master = t_.bands[s.master].dataset;
    for (int d : s.details) {
        const Band& band = t_.bands[d];
        resetAggregates(AggScope::Band, -1, -1, d);
        if (band.dataset.isEmpty()) {
            printBand(d);
            continue;
        }
        OpenSet& set = openSet(band.dataset, master);
        for (int r = 0; r < set.rows.rows.size() && !cancelled_; ++r) {
            sets_[band.dataset.toUpper()].current = r;
            printBand(d);
            accumulate(d);
        }
    }
}

void Preparer::runSection(const Section& s, int sectionIndex) {
    const Band& master = t_.bands[s.master];
    inData_ = true;
    if (!pageOpen_)
        startPage();
    else
        for (int i = 0; i < t_.bands.size(); ++i)
            if (t_.bands[i].kind == BandKind::ColumnHeader)
                output(layoutBand(i));
    if (master.dataset.isEmpty()) {
        printBand(s.master);
        printDetails(s);
        inData_ = false;
        return;
    }
    const QString key = master.dataset.toUpper();
    openSet(master.dataset, {});
    const int rows = int(sets_[key].rows.rows.size());
    const int levels = int(s.headers.size());
    QList<Expr*> conditions;
    for (int h : s.headers)
        conditions << compile(t_.bands[h].condition, t_.bands[h].name, h);
    auto printFooters = [&](int from) {
        for (int level = levels - 1; level >= from; --level) {
            const int f = levels - 1 - level;
            if (f < s.footers.size())
                printBand(s.footers[f]);
        }
    };
    QStringList previous;
    for (int r = 0; r < rows && !cancelled_; ++r) {
        sets_[key].current = r;
        line_ = r + 1;
        QStringList keys;
        for (auto* c : conditions)
            keys << (c->source.isEmpty() ? QString() : evaluate(*c).toString());
        int changed = levels;
        for (int l = 0; l < levels; ++l)
            if (r == 0 || keys[l] != previous[l]) {
                changed = l;
                break;
            }
        if (r > 0 && changed < levels) {
            sets_[key].current = r - 1;
            printFooters(changed);
            sets_[key].current = r;
        }
        for (int l = changed; l < levels; ++l) {
            resetAggregates(AggScope::Group, sectionIndex, l);
            printBand(s.headers[l]);
        }
        previous = keys;
        // Counted once placed, so a row that moved to the next page is not in the footers before it.
        printBand(s.master);
        accumulate(s.master);
        printDetails(s);
    }
    if (rows > 0 && !cancelled_)
        printFooters(0);
    inData_ = false;
    if (pageOpen_)
        for (int i = 0; i < t_.bands.size(); ++i)
            if (t_.bands[i].kind == BandKind::ColumnFooter)
                place(layoutBand(i));
}

bool Preparer::run() {
    setupVariables();
    // Every aggregate must exist before the first row is counted.
    for (int b = 0; b < t_.bands.size(); ++b)
        for (const auto& o : t_.bands[b].objects)
            if (o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText ||
                o.kind == ObjectKind::CheckBox)
                compileText(o, b);
    startPage();
    printKind(BandKind::ReportTitle);
    for (int s = 0; s < sections_.size() && !cancelled_; ++s)
        runSection(sections_[s], s);
    if (!cancelled_)
        printKind(BandKind::ReportSummary);
    if (pageOpen_)
        endPage();
    return !cancelled_;
}

} // namespace

bool prepareReport(const PrepareInput& input, PreparedPages& out) {
    if (!input.report)
        throw Error(QStringLiteral("Шаблон отчета не задан"));
    PreparedPages pages;
    int total = 0;
    const QStringList notesBefore = input.noteStrings ? *input.noteStrings : QStringList();
    {
        Preparer first(input, pages, 0);
        const bool twoPasses = first.usesTotalPages();
        if (!first.run())
            return false;
        if (!twoPasses) {
            out = std::move(pages);
            return true;
        }
        total = pages.count();
    }
    PreparedPages second;
    if (input.noteStrings)
        *input.noteStrings = notesBefore; // the script runs again on the second pass
    Preparer again(input, second, total);
    if (!again.run())
        return false;
    out = std::move(second);
    return true;
}

} // namespace svod::engine
