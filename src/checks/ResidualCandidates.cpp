#include "checks/ResidualCandidates.h"

#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Profile.h"

namespace svod::checks {

namespace {

// The check rounds a residual value to four decimals before it compares it with the threshold (a
// multiple of a ten-thousandth): only a value at least half a ten-thousandth below it can fail.
constexpr double HalfUnit = 0.00005;
// This pass sums in long double, the server in double: the two differ by at most a few rounding
// errors of the amounts involved, each under 2^-52 of them. The slack is far above that bound.
constexpr double Slack = 0.00001;
constexpr double RoundingPerTerm = 4.0 / 4503599627370496.0; // 4 * 2^-52

bool isNumber(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

bool isText(const QVariant& value) {
    return value.metaType().id() == QMetaType::QString;
}

// The plane digit 1 to 4 of a stored TYP, 0 for any other value.
int planeOf(const QVariant& typ) {
    if (!isText(typ))
        return 0;
    const QString& text = *static_cast<const QString*>(typ.constData());
    return text.size() == 1 && text[0] >= u'1' && text[0] <= u'4' ? text[0].unicode() - u'0' : 0;
}

} // namespace

void ResidualCandidates::setColumns(const QStringList& columns) {
    const auto at = [&columns](const char16_t* name) {
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (columns[i].compare(QStringView(name), Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    };
    id_ = at(u"ID");
    dd_ = at(u"DD");
    typ_ = at(u"TYP");
    saldo_ = at(u"SALDO");
    delta_ = at(u"DELTA");
    if (id_ < 0 || dd_ < 0 || typ_ < 0 || saldo_ < 0 || delta_ < 0)
        disable();
}

void ResidualCandidates::disable() {
    usable_ = false;
    items_.clear();
    dates_.clear();
    turnovers_ = {};
    depreciation_ = {};
    lastItem_ = {};
    lastDate_ = {};
}

int ResidualCandidates::numberOf(QHash<QString, int>& numbers, LastText& last, const QVariant& value) {
    // Rows of one item follow each other and share their dates: the last text is compared first.
    const QString& text = *static_cast<const QString*>(value.constData());
    if (last.number >= 0 && text == last.text)
        return last.number;
    auto known = numbers.constFind(text);
    if (known == numbers.cend())
        known = numbers.insert(text, int(numbers.size()));
    last = {text, *known};
    return *known;
}

void ResidualCandidates::addRow(const QVariant* values) {
    if (!usable_)
        return;
    if (rows_ == std::numeric_limits<std::int32_t>::max())
        return disable();
    const std::int32_t row = ++rows_;
    const QVariant& id = values[id_];
    const QVariant& dd = values[dd_];
    const int plane = planeOf(values[typ_]);
    // Rows without an item or a date take part in no sum and are never reported.
    if (plane == 0 || db::isNullValue(id) || db::isNullValue(dd))
        return;
    // SQLite keeps texts for both and compares them as texts; anything else is left to the server.
    if (!isText(id) || !isText(dd))
        return disable();
    const QVariant& amount = values[plane % 2 == 1 ? delta_ : saldo_];
    const bool noAmount = db::isNullValue(amount);
    if (!noAmount && !isNumber(amount))
        return disable();
    const std::int32_t itemFamily = numberOf(items_, lastItem_, id) * 2 + (plane > 2 ? 1 : 0);
    if (plane % 2 == 1) {
        if (!noAmount) // SUM passes over NULL
            turnovers_.push_back({itemFamily, numberOf(dates_, lastDate_, dd), amount.toDouble()});
    } else {
        depreciation_.push_back(
            {row, itemFamily, numberOf(dates_, lastDate_, dd), noAmount ? 0.0 : amount.toDouble()});
    }
}

std::vector<std::int32_t> ResidualCandidates::candidateRows(const std::vector<double>& openings,
                                                            double threshold) {
    // Dates ranked as the server orders the texts.
    std::vector<std::pair<QString, int>> texts;
    texts.reserve(std::size_t(dates_.size()));
    for (auto it = dates_.cbegin(); it != dates_.cend(); ++it)
        texts.emplace_back(it.key(), it.value());
    std::sort(texts.begin(), texts.end());
    std::vector<std::int32_t> rank(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        rank[std::size_t(texts[i].second)] = std::int32_t(i);
    for (Turnover& t : turnovers_)
        t.date = rank[std::size_t(t.date)];
    for (Depreciation& d : depreciation_)
        d.date = rank[std::size_t(d.date)];

    const auto byItemAndDate = [](const auto& a, const auto& b) {
        return a.itemFamily != b.itemFamily ? a.itemFamily < b.itemFamily : a.date < b.date;
    };
    std::sort(turnovers_.begin(), turnovers_.end(), byItemAndDate);
    std::sort(depreciation_.begin(), depreciation_.end(), byItemAndDate);

    // One walk over both: the turnovers of an item and family up to each depreciation row's date.
    std::vector<std::int32_t> rows;
    std::size_t t = 0;
    std::int32_t group = -1;
    long double sum = 0;
    long double magnitude = 0;
    std::size_t terms = 0;
    for (const Depreciation& d : depreciation_) {
        if (d.itemFamily != group) {
            group = d.itemFamily;
            sum = magnitude = 0;
            terms = 0;
            while (t < turnovers_.size() && turnovers_[t].itemFamily < group)
                ++t;
        }
        for (; t < turnovers_.size() && turnovers_[t].itemFamily == group && turnovers_[t].date <= d.date;
             ++t) {
            sum += turnovers_[t].delta;
            magnitude += std::fabs(turnovers_[t].delta);
            ++terms;
        }
        const double opening = openings[std::size_t(d.itemFamily)];
        // NaN: an item missing from TEMP1, whose rows the check never reports.
        if (std::isnan(opening))
            continue;
        const long double error = RoundingPerTerm * (long double)(terms + 4) *
                                  (magnitude + std::fabs(opening) + std::fabs(d.saldo));
        if (opening + sum - d.saldo < threshold - HalfUnit + Slack + error)
            rows.push_back(d.row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool ResidualCandidates::store(db::Connection& connection, const DateValue& currencyFrom,
                               const DateValue& roublesFrom, double threshold) {
    if (!usable_ || connection.backend() != db::Backend::SQLite)
        return false;
    const db::ProfilePhase phase(QStringLiteral("residual value candidates"));
    const db::Dialect& d = connection.dialect();
    // The row ids of TEMP2 must be the positions in which the rows were seen.
    const QVariant last =
        connection.scalar(QStringLiteral("select max(rowid) from ") + d.tempTable(QStringLiteral("TEMP2")));
    if ((rows_ == 0 && !last.isNull()) || (rows_ > 0 && last.toLongLong() != rows_))
        return false;

    // The accepted balance before each family's period, as the check looks it up, for every item of TEMP1.
    std::vector<double> openings(std::size_t(items_.size()) * 2, std::numeric_limits<double>::quiet_NaN());
    {
        QSqlQuery query = connection.query(
            QStringLiteral("select I.ID,") + d.ostat(QStringLiteral("I.ID"), currencyFrom, 1) + u',' +
            d.ostat(QStringLiteral("I.ID"), roublesFrom, 3) +
            QStringLiteral(" from (select distinct ID from ") + d.tempTable(QStringLiteral("TEMP1")) +
            QStringLiteral(" where ID is not null) I"));
        while (query.next()) {
            const auto item = items_.constFind(query.value(0).toString());
            if (item == items_.cend())
                continue;
            openings[std::size_t(*item) * 2] = query.value(1).toDouble();
            openings[std::size_t(*item) * 2 + 1] = query.value(2).toDouble();
        }
    }
    const std::vector<std::int32_t> rows = candidateRows(openings, threshold);

    const QString table = d.tempTable(ResidualCandidatesTable);
    connection.execute(QStringLiteral("create temp table ") + ResidualCandidatesTable +
                       QStringLiteral(" (RID INTEGER PRIMARY KEY)"));
    const std::unique_ptr<db::BulkInsert> inserter =
        db::makeBulkInsert(connection, table, {QStringLiteral("RID")});
    for (const std::int32_t row : rows) {
        inserter->add(QVariant(qint64(row)));
        inserter->endRow();
    }
    inserter->finish();
    disable(); // the memory goes back before the checks run
    return true;
}

} // namespace svod::checks
