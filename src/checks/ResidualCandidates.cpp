#include "checks/ResidualCandidates.h"

#include <QDateTime>
#include <QSqlQuery>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Profile.h"

namespace svod::checks {

namespace {

// SQLite: the check rounds a residual value to four decimals before it compares it with the
// threshold (a multiple of a ten-thousandth): only a value at least half a ten-thousandth below it
// can fail. This pass sums in long double, the server in double: the two differ by at most a few
// rounding errors of the amounts involved, each under 2^-52 of them. The slack is far above that.
constexpr double HalfUnit = 0.00005;
constexpr double Slack = 0.00001;
constexpr double RoundingPerTerm = 4.0 / 4503599627370496.0; // 4 * 2^-52
// PostgreSQL: amounts in ten-thousandths, exact as integers in a double up to 2^53.
constexpr double Units = 10000.0;
constexpr double LargestExact = 9007199254740992.0;

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

// The ten-thousandths of a decimal text with at most four decimals ("-12.5", "3"); false otherwise.
bool tenThousandths(const char* text, const char* end, double& units) {
    bool negative = false;
    if (text < end && (*text == '-' || *text == '+'))
        negative = *text++ == '-';
    double whole = 0;
    int decimals = -1;
    double fraction = 0;
    for (; text < end; ++text) {
        if (*text == '.' && decimals < 0) {
            decimals = 0;
        } else if (*text >= '0' && *text <= '9') {
            if (decimals < 0)
                whole = whole * 10 + (*text - '0');
            else if (++decimals > 4)
                return false;
            else
                fraction = fraction * 10 + (*text - '0');
        } else {
            return false;
        }
    }
    for (int d = std::max(decimals, 0); d < 4; ++d)
        fraction *= 10;
    units = whole * Units + fraction;
    if (units >= LargestExact)
        return false;
    units = negative ? -units : units;
    return true;
}

} // namespace

void ResidualCandidates::setColumns(const QStringList& columns, qint64 rows) {
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
        return disable();
    // Sized once: grown by doubling, they may hold twice what they need (three times while moving).
    const auto half = std::size_t(std::clamp<qint64>(rows / 2 + 1, 0, 1 << 26));
    turnovers_.reserve(half);
    depreciation_.reserve(half);
}

void ResidualCandidates::disable() {
    usable_ = false;
    items_.clear();
    dates_.clear();
    turnovers_ = {};
    depreciation_ = {};
    inexact_ = {};
    lastItem_ = {};
    lastDate_ = {};
    lastDateValue_ = {};
}

int ResidualCandidates::numberOf(QHash<QString, int>& numbers, LastText& last, const QString& text) {
    // Rows of one item follow each other and share their dates: the last text is compared first.
    if (last.number >= 0 && text == last.text)
        return last.number;
    auto known = numbers.constFind(text);
    if (known == numbers.cend())
        known = numbers.insert(text, int(numbers.size()));
    last = {text, *known};
    return *known;
}

bool ResidualCandidates::dateKey(const QVariant& date, QString& key) {
    // SQLite keeps dates as texts and compares them as texts.
    if (!exact_) {
        if (!isText(date))
            return false;
        key = *static_cast<const QString*>(date.constData());
        return true;
    }
    // PostgreSQL: the wall-clock time a timestamp keeps, as fixed-width digits.
    if (lastDate_.number >= 0 && date == lastDateValue_) {
        key = lastDate_.text;
        return true;
    }
    qint64 msecs = 0;
    if (date.metaType().id() == QMetaType::QDate) {
        msecs = date.toDate().toJulianDay() * 86400000;
    } else if (date.metaType().id() == QMetaType::QDateTime) {
        const QDateTime value = date.toDateTime();
        msecs = value.date().toJulianDay() * 86400000 + value.time().msecsSinceStartOfDay();
    } else {
        return false;
    }
    if (msecs < 0)
        return false;
    key = QString::number(msecs).rightJustified(18, u'0');
    lastDateValue_ = date;
    return true;
}

bool ResidualCandidates::amountOf(const QVariant& value, std::int32_t itemFamily, double& amount) {
    const int type = value.metaType().id();
    if (type != QMetaType::Double && type != QMetaType::Int && type != QMetaType::LongLong)
        return false;
    amount = value.toDouble();
    if (!exact_)
        return true;
    // What numeric(19,4) keeps of the digits the value is sent with.
    char text[32];
    const char* end = type == QMetaType::Double
                          ? std::to_chars(text, text + sizeof text, amount).ptr
                          : std::to_chars(text, text + sizeof text, value.toLongLong()).ptr;
    if (!tenThousandths(text, end, amount)) {
        if (inexact_.size() <= std::size_t(itemFamily))
            inexact_.resize(std::size_t(itemFamily) + 1);
        inexact_[std::size_t(itemFamily)] = true;
        amount = 0;
    }
    return true;
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
    QString date;
    if (!isText(id) || !dateKey(dd, date))
        return disable(); // compared otherwise by the server
    const std::int32_t itemFamily =
        numberOf(items_, lastItem_, *static_cast<const QString*>(id.constData())) * 2 + (plane > 2 ? 1 : 0);
    const QVariant& value = values[plane % 2 == 1 ? delta_ : saldo_];
    const bool noAmount = db::isNullValue(value);
    double amount = 0;
    if (!noAmount && !amountOf(value, itemFamily, amount))
        return disable();
    if (plane % 2 == 1) {
        if (!noAmount) // SUM passes over NULL
            turnovers_.push_back({itemFamily, numberOf(dates_, lastDate_, date), amount});
    } else {
        depreciation_.push_back({row, itemFamily, numberOf(dates_, lastDate_, date), amount});
    }
}

std::vector<std::int32_t> ResidualCandidates::candidateRows(const std::vector<double>& openings,
                                                            double threshold) {
    // Dates ranked as the server orders them.
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
    const long double limit = exact_ ? threshold * Units : threshold - HalfUnit + Slack;
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
        const bool inexact =
            std::size_t(d.itemFamily) < inexact_.size() && inexact_[std::size_t(d.itemFamily)];
        const long double error = exact_ ? 0.0L
                                         : RoundingPerTerm * (long double)(terms + 4) *
                                               (magnitude + std::fabs(opening) + std::fabs(d.saldo));
        if (inexact || opening + sum - d.saldo < limit + error)
            rows.push_back(d.row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<double> ResidualCandidates::openings(db::Connection& connection, const DateValue& currencyFrom,
                                                 const DateValue& roublesFrom) {
    // The accepted balance before each family's period, as the check looks it up, for every item
    // of TEMP1; NaN for the others. PostgreSQL's in ten-thousandths, -inf where that is not exact.
    std::vector<double> result(std::size_t(items_.size()) * 2, std::numeric_limits<double>::quiet_NaN());
    const db::Dialect& d = connection.dialect();
    QSqlQuery query = connection.query(
        QStringLiteral("select I.ID,") + d.ostat(QStringLiteral("I.ID"), currencyFrom, 1) + u',' +
        d.ostat(QStringLiteral("I.ID"), roublesFrom, 3) + QStringLiteral(" from (select distinct ID from ") +
        d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" where ID is not null) I"));
    while (query.next()) {
        const auto item = items_.constFind(query.value(0).toString());
        if (item == items_.cend())
            continue;
        for (int family = 0; family < 2; ++family) {
            double& opening = result[std::size_t(*item) * 2 + std::size_t(family)];
            if (!exact_) {
                opening = query.value(1 + family).toDouble();
                continue;
            }
            const QByteArray text = query.value(1 + family).toString().toLatin1();
            if (!tenThousandths(text.constData(), text.constData() + text.size(), opening))
                opening = -std::numeric_limits<double>::infinity();
        }
    }
    return result;
}

void ResidualCandidates::storeCandidates(db::Connection& connection, const std::vector<std::int32_t>& rows) {
    const db::Dialect& d = connection.dialect();
    const QString table = d.tempTable(ResidualCandidatesTable);
    connection.execute(
        QStringLiteral("create temp table ") + ResidualCandidatesTable +
        (exact_ ? QStringLiteral(" (ID VARCHAR(50))") : QStringLiteral(" (RID INTEGER PRIMARY KEY)")));
    const std::unique_ptr<db::BulkInsert> inserter =
        db::makeBulkInsert(connection, table, {exact_ ? QStringLiteral("ID") : QStringLiteral("RID")});
    if (exact_) {
        // The items of the rows, each once.
        std::vector<QString> ids(std::size_t(items_.size()));
        for (auto it = items_.cbegin(); it != items_.cend(); ++it)
            ids[std::size_t(it.value())] = it.key();
        std::vector<bool> named(ids.size());
        for (const Depreciation& dep : depreciation_)
            if (std::binary_search(rows.begin(), rows.end(), dep.row) &&
                !named[std::size_t(dep.itemFamily / 2)]) {
                named[std::size_t(dep.itemFamily / 2)] = true;
                inserter->add(ids[std::size_t(dep.itemFamily / 2)]);
                inserter->endRow();
                ++stored_;
            }
    } else {
        for (const std::int32_t row : rows) {
            inserter->add(QVariant(qint64(row)));
            inserter->endRow();
        }
        stored_ = rows.size();
    }
    inserter->finish();
}

bool ResidualCandidates::store(db::Connection& connection, const DateValue& currencyFrom,
                               const DateValue& roublesFrom, double threshold) {
    const db::Backend backend = connection.backend();
    if (!usable_ || backend != (exact_ ? db::Backend::PostgreSQL : db::Backend::SQLite))
        return false;
    const db::ProfilePhase phase(QStringLiteral("residual value candidates"));
    if (!exact_) {
        // The row ids of TEMP2 must be the positions in which the rows were seen.
        const QVariant last = connection.scalar(QStringLiteral("select max(rowid) from ") +
                                                connection.dialect().tempTable(QStringLiteral("TEMP2")));
        if ((rows_ == 0 && !last.isNull()) || (rows_ > 0 && last.toLongLong() != rows_))
            return false;
    }
    const std::vector<double> opening = openings(connection, currencyFrom, roublesFrom);
    storeCandidates(connection, candidateRows(opening, threshold));
    disable(); // the memory goes back before the checks run
    return true;
}

} // namespace svod::checks
