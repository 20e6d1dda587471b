#include "demo/PacketGenerator.h"

#include <QDate>
#include <QDir>
#include <array>
#include <cstring>
#include <random>

#include "db/CodePages.h"
#include "db/Error.h"
#include "demo/DbfWriter.h"

namespace svod::demo {

namespace {

std::vector<FieldSpec> itemFields() {
    return {
        {"ID", 'C', 12},         {"KOD_F", 'C', 2},        {"TYPEM", 'C', 2},    {"KARD_NUM", 'C', 10},
        {"INV_NUM", 'C', 15},    {"VNESH_NUM", 'C', 15},   {"BEG_DATE", 'D', 8}, {"END_DATE", 'D', 8},
        {"NAME", 'C', 60},       {"PRICEVAL", 'N', 15, 2}, {"LOSS", 'N', 15, 2}, {"NDS", 'N', 15, 2},
        {"S_NALOG", 'N', 15, 2}, {"AMKOD", 'C', 6},        {"NORM_KOD", 'C', 6}, {"REMARK", 'C', 40},
        {"N_A", 'N', 8, 2},      {"KOD_OKOF", 'C', 12},    {"GROUP1", 'C', 5},   {"GROUP2", 'C', 5},
        {"GROUP3", 'C', 5},      {"GROUP4", 'C', 5},       {"GROUP5", 'C', 5},   {"SROK_DATE", 'D', 8},
        {"POLUCH", 'C', 30},     {"VIBIV", 'C', 30},       {"BSN", 'C', 10},     {"FACT_DATE", 'D', 8},
        {"SROK_DATE2", 'D', 8},
    };
}

const std::array<const char16_t*, 10> Names = {
    u"Станок токарный",    u"Компьютер персональный", u"Автомобиль ГАЗ-3110", u"Здание склада",
    u"Стол письменный",    u"Принтер лазерный",       u"Насос центробежный",  u"Кондиционер",
    u"Шкаф металлический", u"Трансформатор силовой",
};
const std::array<const char16_t*, 4> Receivers = {u"Цех №1", u"Бухгалтерия", u"Склад", u"Гараж"};

// Amounts are kept in kopecks/cents so that sums add up exactly.
QByteArray money(qint64 cents) {
    const bool negative = cents < 0;
    const qint64 v = negative ? -cents : cents;
    return (negative ? "-" : "") + QByteArray::number(v / 100) + '.' +
           QByteArray::number(v % 100).rightJustified(2, '0');
}

struct Item {
    QByteArray id;
    bool noDepreciation = false; // group "9"
    int writeOffMonth = 0;       // 1..12, 0 when in service all year
    qint64 price = 0;            // plane 1, in cents
    int lifeMonths = 60;
    int ageMonths = 0; // months in service before the year
};

// One B record written straight into its bytes: this runs millions of times.
class BalanceRecords {
public:
    explicit BalanceRecords(DbfWriter& writer) : writer_(writer), record_(writer.recordLength(), ' ') {}
    void add(const QByteArray& id, const QByteArray& branch, const QDate& dd, char plane, qint64 saldo,
             qint64 delta) {
        std::memset(record_.data(), ' ', size_t(record_.size()));
        put(1, 12, id, false);
        put(13, 2, branch, false);
        put(15, 8, dd.toString(QStringLiteral("yyyyMMdd")).toLatin1(), false);
        record_[23] = plane;
        put(24, 17, money(saldo), true);
        put(41, 17, money(delta), true);
        writer_.addRawRecord(record_);
    }

private:
    void put(int offset, int length, const QByteArray& bytes, bool right) {
        const qsizetype n = std::min<qsizetype>(length, bytes.size());
        std::memcpy(record_.data() + offset + (right ? length - n : 0), bytes.constData(), size_t(n));
    }
    DbfWriter& writer_;
    QByteArray record_;
};

} // namespace

namespace {

// The seeded dice of one packet: the same seed draws the same packet.
class Dice {
public:
    explicit Dice(unsigned seed) : random_(seed) {}
    int operator()(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

private:
    std::mt19937 random_;
};

// The item's age, price and write-off, drawn in this order.
Item drawItem(Dice& dice, const QByteArray& branch, size_t index) {
    Item item;
    item.id = branch + '0' + QByteArray::number(qulonglong(index + 1)).rightJustified(7, '0');
    item.noDepreciation = dice(0, 19) == 0;
    item.writeOffMonth = dice(0, 9) == 0 ? dice(1, 12) : 0;
    item.price = qint64(dice(1000, 5000000)) * 10;
    item.lifeMonths = dice(24, 240);
    item.ageMonths = dice(0, 120);
    return item;
}

// The A record of an item, in the order of itemFields(); its remaining draws come last.
QVariantList itemRow(const Item& item, size_t index, const PacketOptions& options, Dice& dice) {
    const QDate begin = QDate(options.year, 1, 1).addMonths(-item.ageMonths - 1);
    const QString group = item.noDepreciation ? QStringLiteral("9") : QString::number(dice(1, 8));
    const QString name = QString::fromUtf16(Names[index % Names.size()]) + u' ' + QString::number(index + 1);
    const QVariant endDate =
        item.writeOffMonth ? QVariant(QDate(options.year, item.writeOffMonth, 1).addMonths(1).addDays(-1))
                           : QVariant();
    return {QString::fromLatin1(item.id),
            options.branch,
            QStringLiteral("ОС"),
            QString::number(index + 1),
            QStringLiteral("ИНВ-%1").arg(index + 1, 7, 10, QChar(u'0')),
            QVariant(),
            begin,
            endDate,
            name,
            double(item.price) / 100.0,
            0.0,
            double(item.price / 6) / 100.0,
            0.0,
            item.noDepreciation ? QString() : QStringLiteral("%1").arg(10000 + dice(0, 999)),
            QStringLiteral("А%1").arg(dice(1, 9)),
            item.writeOffMonth ? QStringLiteral("Списано") : QString(),
            item.noDepreciation ? 0.0 : 1200.0 / item.lifeMonths,
            QStringLiteral("14%1").arg(dice(100000, 999999)),
            group,
            QStringLiteral("2"),
            QString(),
            QString(),
            QString(),
            begin.addMonths(item.lifeMonths),
            QString::fromUtf16(Receivers[index % Receivers.size()]),
            item.writeOffMonth ? QStringLiteral("Продажа") : QString(),
            QString(),
            begin,
            QVariant()};
}

std::vector<Item> writeItems(const QString& path, const PacketOptions& options, Dice& dice) {
    const QByteArray branch = options.branch.toLatin1();
    std::vector<Item> items(size_t(std::max(0, options.items)));
    DbfWriter a(path, 0x03, itemFields());
    for (size_t i = 0; i < items.size(); ++i) {
        items[i] = drawItem(dice, branch, i);
        a.addRow(itemRow(items[i], i, options, dice));
    }
    return items;
}

// The two opening rows, then twelve month ends of four planes for every item.
void writeBalances(const QString& path, const std::vector<Item>& items, const PacketOptions& options) {
    DbfWriter b(path, 0x03,
                {{"ID", 'C', 12},
                 {"KOD_F", 'C', 2},
                 {"DD", 'D', 8},
                 {"TYP", 'C', 1},
                 {"SALDO", 'N', 17, 2},
                 {"DELTA", 'N', 17, 2}});
    const QByteArray branch = options.branch.toLatin1();
    BalanceRecords rows(b);
    rows.add(QByteArray(), "**", QDate(options.year, 1, 1), '1', 0, 0);
    rows.add(QByteArray(), "**", QDate(options.year, 1, 1), '3', 0, 0);
    const qint64 rate = 30; // roubles per dollar, for the rouble planes
    for (const Item& item : items) {
        std::array<qint64, 4> previous{0, 0, 0, 0};
        for (int month = 1; month <= 12; ++month) {
            const QDate dd = QDate(options.year, month, 1).addMonths(1).addDays(-1);
            const bool gone = item.writeOffMonth && month >= item.writeOffMonth;
            const int age = item.ageMonths + month;
            const qint64 depreciation =
                item.noDepreciation ? 0 : std::min(item.price, item.price * age / item.lifeMonths);
            const std::array<qint64, 4> saldo =
                gone
                    ? std::array<qint64, 4>{0, 0, 0, 0}
                    : std::array<qint64, 4>{item.price, depreciation, item.price * rate, depreciation * rate};
            for (int plane = 0; plane < 4; ++plane) {
                rows.add(item.id, branch, dd, char('1' + plane), saldo[size_t(plane)],
                         saldo[size_t(plane)] - previous[size_t(plane)]);
                previous[size_t(plane)] = saldo[size_t(plane)];
            }
        }
    }
    b.finish();
}

} // namespace

PacketFiles generatePacket(const PacketOptions& options) {
    if (options.branch.size() != 2)
        throw Error(QStringLiteral("Код филиала должен состоять из двух символов: ") + options.branch);
    if (!QDir().mkpath(options.dir))
        throw Error(QStringLiteral("Не удалось создать каталог ") + options.dir);
    const QString stem = options.branch + QStringLiteral("01") +
                         QString::number(options.year % 100).rightJustified(2, u'0') + QStringLiteral(".dbf");
    PacketFiles files;
    files.a = QDir(options.dir).filePath(u'A' + stem);
    files.b = QDir(options.dir).filePath(u'B' + stem);
    Dice dice(options.seed);
    const std::vector<Item> items = writeItems(files.a, options, dice);
    files.aRows = qint64(items.size());
    writeBalances(files.b, items, options);
    files.bRows = 2 + qint64(items.size()) * 48;
    return files;
}

QStringList writeDemoPackets(const QString& dir) {
    QStringList written;
    const struct {
        const char* branch;
        int items;
        int year;
    } demo[] = {{"01", 40, 2005}, {"02", 25, 2005}, {"03", 15, 2006}};
    unsigned seed = 7;
    for (const auto& d : demo) {
        const PacketFiles files =
            generatePacket({dir, QString::fromLatin1(d.branch), d.items, d.year, seed++});
        written << files.a << files.b;
    }
    return written;
}

} // namespace svod::demo
