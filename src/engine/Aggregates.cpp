#include "engine/Aggregates.h"

#include <QRegularExpression>

#include "db/Error.h"
#include "engine/ExpressionScope.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

bool isDataBand(BandKind kind) {
    return kind == BandKind::MasterData || kind == BandKind::DetailData;
}

AggregateFunction functionNamed(const QString& name) {
    return name == u"SUM"     ? AggregateFunction::Sum
           : name == u"COUNT" ? AggregateFunction::Count
           : name == u"AVG"   ? AggregateFunction::Avg
           : name == u"MIN"   ? AggregateFunction::Min
                              : AggregateFunction::Max;
}

// What resets an aggregate that does not say: where it is printed decides.
AggregateReset defaultReset(BandKind kind) {
    switch (kind) {
    case BandKind::GroupHeader:
    case BandKind::GroupFooter:
        return AggregateReset::Group;
    case BandKind::PageHeader:
    case BandKind::PageFooter:
    case BandKind::ColumnHeader:
    case BandKind::ColumnFooter:
        return AggregateReset::Page;
    case BandKind::MasterData:
    case BandKind::DetailData:
    case BandKind::MasterHeader:
    case BandKind::MasterFooter:
    case BandKind::DetailHeader:
    case BandKind::DetailFooter:
        return AggregateReset::Band;
    default:
        return AggregateReset::Report;
    }
}

bool resetNamed(const QString& name, AggregateReset& reset) {
    static const QList<std::pair<QString, AggregateReset>> names = {
        {QStringLiteral("band"), AggregateReset::Band},
        {QStringLiteral("group"), AggregateReset::Group},
        {QStringLiteral("page"), AggregateReset::Page},
        {QStringLiteral("report"), AggregateReset::Report}};
    for (const auto& [n, r] : names)
        if (name.compare(n, Qt::CaseInsensitive) == 0) {
            reset = r;
            return true;
        }
    return false;
}

QString unquoted(QString text) {
    text = text.trimmed();
    if (text.size() >= 2 && (text.front() == u'\'' || text.front() == u'"') && text.back() == text.front())
        return text.mid(1, text.size() - 2);
    return text;
}

// The position of the parenthesis closing the one before `from`, and the top-level commas on the way.
qsizetype closingParenthesis(const QString& source, qsizetype from, QList<qsizetype>& commas) {
    NestingScanner scanner(1);
    for (qsizetype j = from; j < source.size(); ++j) {
        const NestingScanner::Kind kind = scanner.step(source[j]);
        if (kind == NestingScanner::Kind::Close && scanner.depth() == 0)
            return j;
        if (kind == NestingScanner::Kind::Plain && source[j] == u',' && scanner.depth() == 1)
            commas << j;
    }
    return -1;
}

} // namespace

void Accumulator::add(double value) {
    if (count == 0)
        min = max = value;
    min = std::min(min, value);
    max = std::max(max, value);
    sum += value;
    ++count;
}

void Accumulator::merge(const Accumulator& other) {
    if (other.count == 0)
        return;
    if (count == 0) {
        *this = other;
        return;
    }
    min = std::min(min, other.min);
    max = std::max(max, other.max);
    sum += other.sum;
    count += other.count;
}

QVariant Aggregate::value(bool withStaged) const {
    Accumulator a = committed;
    if (withStaged && hasStaged)
        a.merge(staged);
    switch (function) {
    case AggregateFunction::Sum:
        return a.sum;
    case AggregateFunction::Count:
        return double(a.count);
    case AggregateFunction::Avg:
        return a.count ? a.sum / double(a.count) : 0.0;
    case AggregateFunction::Min:
        return a.count ? QVariant(a.min) : QVariant();
    case AggregateFunction::Max:
        return a.count ? QVariant(a.max) : QVariant();
    }
    return {};
}

int Aggregates::ownDataBand(int band, int counted) const {
    for (const auto& s : sections_) {
        if (band == s.master || band == s.masterHeader || band == s.masterFooter)
            return s.master;
        for (const auto& d : s.details)
            if (band == d.data || band == d.header || band == d.footer)
                return d.data;
    }
    return counted;
}

int Aggregates::sectionOf(int band) const {
    for (int s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        if (section.master == band)
            return s;
        for (const auto& d : section.details)
            if (d.data == band)
                return s;
    }
    return -1;
}

void Aggregates::place(Aggregate& a, int band, const QString& bandName, const QString& resetName,
                       const QString& owner, const QString& source) {
    const auto fail = [&](const QString& what) {
        return Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: %3").arg(owner, source, what));
    };
    if (!bandName.isEmpty()) {
        for (int b = 0; b < template_.bands.size() && a.dataBand < 0; ++b)
            if (isDataBand(template_.bands[b].kind) &&
                template_.bands[b].name.compare(bandName, Qt::CaseInsensitive) == 0)
                a.dataBand = b;
        if (a.dataBand < 0)
            throw fail(QStringLiteral("нет полосы данных \"%1\"").arg(bandName));
    }
    // Otherwise the nearest data band before the aggregate's band (the first master band if none).
    for (int b = band; b >= 0 && a.dataBand < 0; --b)
        if (isDataBand(template_.bands[b].kind))
            a.dataBand = b;
    for (int b = 0; b < template_.bands.size() && a.dataBand < 0; ++b)
        if (template_.bands[b].kind == BandKind::MasterData)
            a.dataBand = b;
    a.reset = defaultReset(template_.bands[band].kind);
    a.restartBand = ownDataBand(band, a.dataBand);
    if (!resetName.isEmpty() && !resetNamed(resetName, a.reset))
        throw fail(QStringLiteral("неизвестная область итога \"%1\"").arg(resetName));
    if (a.reset != AggregateReset::Group)
        return;
    for (int s = 0; s < sections_.size(); ++s)
        if (int level = -1; sections_[s].groupOf(band, level)) {
            a.groupSection = s;
            a.groupLevel = level;
            return;
        }
    // Elsewhere "group" means the innermost group around the counted rows.
    a.groupSection = sectionOf(a.dataBand);
    if (a.groupSection >= 0)
        a.groupLevel = int(sections_[a.groupSection].groupHeaders.size()) - 1;
}

QString Aggregates::extract(const QString& source, const QString& owner, int band) {
    static const QRegularExpression re(QStringLiteral("\\b(SUM|COUNT|AVG|MIN|MAX)\\s*\\("));
    QString out;
    qsizetype pos = 0;
    for (auto m = re.match(source, pos); m.hasMatch(); m = re.match(source, pos)) {
        out += source.mid(pos, m.capturedStart() - pos);
        QList<qsizetype> commas;
        const qsizetype end = closingParenthesis(source, m.capturedEnd(), commas);
        if (end < 0)
            throw Error(QStringLiteral("Ошибка в выражении объекта %1: [%2]: нет закрывающей скобки")
                            .arg(owner, source));
        commas << end;
        QStringList args;
        for (qsizetype start = m.capturedEnd(); const qsizetype comma : commas) {
            args << source.mid(start, comma - start).trimmed();
            start = comma + 1;
        }
        // The second argument names a data band or the reset, the third the reset.
        QString bandName, resetName;
        if (args.size() > 1) {
            AggregateReset ignored;
            const QString second = unquoted(args[1]);
            (resetNamed(second, ignored) && args.size() == 2 ? resetName : bandName) = second;
        }
        if (args.size() > 2)
            resetName = unquoted(args[2]);
        Aggregate a;
        a.function = functionNamed(m.captured(1));
        place(a, band, bandName, resetName, owner, source);
        if (!args[0].isEmpty()) {
            QString argument = args[0];
            if (argument.startsWith(u'[') && argument.endsWith(u']'))
                argument = argument.mid(1, argument.size() - 2);
            a.argument = scope_.compile(argument, owner, -1);
        }
        out += QStringLiteral("__a%1").arg(aggregates_.size());
        aggregates_.push_back(a);
        count_ = int(aggregates_.size());
        pos = end + 1;
    }
    out += source.mid(pos);
    return out;
}

void Aggregates::stage(int dataBand) {
    for (auto& a : aggregates_) {
        if (a.dataBand != dataBand)
            continue;
        a.staged = {};
        a.hasStaged = false;
        double v = 0;
        if (a.argument) {
            const QVariant value = scope_.evaluate(*a.argument);
            if (value.isNull() || !value.isValid())
                continue;
            if (value.metaType().id() == QMetaType::QString) {
                if (a.function != AggregateFunction::Count && !parseDisplayNumber(value.toString(), v))
                    continue;
            } else {
                v = value.toDouble();
            }
        }
        a.staged.add(v);
        a.hasStaged = true;
    }
}

void Aggregates::commit() {
    for (auto& a : aggregates_)
        if (a.hasStaged) {
            a.committed.merge(a.staged);
            a.staged = {};
            a.hasStaged = false;
        }
}

void Aggregates::resetBand(int dataBand) {
    for (auto& a : aggregates_)
        if (a.reset == AggregateReset::Band && a.restartBand == dataBand)
            a.committed = {};
}

void Aggregates::resetGroups(int section, int fromLevel) {
    for (auto& a : aggregates_)
        if (a.reset == AggregateReset::Group && a.groupSection == section && a.groupLevel >= fromLevel)
            a.committed = {};
}

void Aggregates::resetSection(int section) {
    for (auto& a : aggregates_)
        if (a.reset == AggregateReset::Group && a.groupSection == section)
            a.committed = {};
}

void Aggregates::resetPage() {
    for (auto& a : aggregates_)
        if (a.reset == AggregateReset::Page)
            a.committed = {};
}

} // namespace svod::engine
