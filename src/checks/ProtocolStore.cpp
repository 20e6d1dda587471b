#include "checks/ProtocolStore.h"

#include <QSqlField>
#include <QSqlRecord>
#include <array>

#include "db/DateValue.h"
#include "db/Formats.h"

namespace svod::checks {

namespace {

struct ColumnSetup {
    const char* field;
    const char16_t* title;
    int position;
    int width;
};

// The protocol column table, applied in this order.
constexpr std::array<ColumnSetup, 15> ColumnTable = {{
    {"ID", u"id", 0, 14},
    {"TYPEM", u"Кат.", 1, 3},
    {"KARD_NUM", u"Карточка", 2, 5},
    {"INV_NUM", u"Инв.номер", 3, 5},
    {"NAME", u"Наименование", 4, 40},
    {"BEG_DATE", u"Дата ввода", 5, 9},
    {"END_DATE", u"Дата списания", 6, 10},
    {"TYP", u"Тип остатка", 7, 8},
    {"TYP2", u"Пл.", 7, 3},
    {"DD", u"Дата", 14, 12},
    {"SALDO", u"Остаток", 15, 16},
    {"DELTA", u"Оборот", 16, 16},
    {"BST", u"Балансовая стоимость", 17, 17},
    {"NAKOPL", u"Накопленный износ", 18, 17},
    {"OST", u"Остаточная стоимость", 19, 17},
}};

enum class Shown { Text, Date, Amount, Plane, Plane2 };

struct Column {
    int source = 0;
    engine::TableColumn display;
    Shown shown = Shown::Text;
};

bool isDateField(const QString& name) {
    static const QStringList dates = {QStringLiteral("BEG_DATE"),   QStringLiteral("END_DATE"),
                                      QStringLiteral("DD"),         QStringLiteral("SROK_DATE"),
                                      QStringLiteral("SROK_DATE2"), QStringLiteral("FACT_DATE")};
    return dates.contains(name, Qt::CaseInsensitive);
}

bool isAmountField(const QString& name) {
    static const QStringList amounts = {
        QStringLiteral("SALDO"),  QStringLiteral("DELTA"), QStringLiteral("BST"),
        QStringLiteral("NAKOPL"), QStringLiteral("OST"),   QStringLiteral("PRICEVAL"),
        QStringLiteral("LOSS"),   QStringLiteral("NDS"),   QStringLiteral("S_NALOG")};
    return amounts.contains(name, Qt::CaseInsensitive);
}

// Text of a value the way the field shows it, blanks and control characters at both ends removed.
QString displayText(const QVariant& value, Shown shown) {
    if (value.isNull())
        return {};
    switch (shown) {
    case Shown::Date:
        return formatDateTime(DateValue::fromVariant(value)).trimmed();
    case Shown::Amount: {
        bool ok = false;
        const double number = value.toString().toDouble(&ok);
        return ok ? formatFixed(number, 2) : value.toString().trimmed();
    }
    case Shown::Plane:
        return TypOnGetText(value.toString().trimmed());
    case Shown::Plane2:
        return TypOnGetText2(value.toString().trimmed());
    case Shown::Text:
        break;
    }
    return value.toString().trimmed();
}

} // namespace

QString protocolTitle(bool first, const ProtocolHeader& header, const QString& title) {
    if (first)
        return QStringLiteral("Данные не приняты\r\nФилиал: ") + header.FilialName + QStringLiteral("\r\n") +
               header.PacketInfo + QStringLiteral("\r\n") + title + QStringLiteral("\r\n ");
    return title + QStringLiteral("\r\n ");
}

QString TypOnGetText(const QString& plane) {
    if (plane == u"1")
        return QStringLiteral("Бал.ст($)");
    if (plane == u"2")
        return QStringLiteral("Износ ($)");
    if (plane == u"3")
        return QStringLiteral("Бал.ст(р)");
    if (plane == u"4")
        return QStringLiteral("Износ (р)");
    return {};
}

QString TypOnGetText2(const QString& plane) {
    if (plane == u"1" || plane == u"2")
        return QStringLiteral("МСФО");
    if (plane == u"3" || plane == u"4")
        return QStringLiteral("РСБУ");
    return {};
}

engine::TableData makeProtocol(const QString& title, QSqlQuery& result) {
    const QSqlRecord record = result.record();
    QList<Column> columns;
    for (int i = 0; i < record.count(); ++i) {
        Column column;
        column.source = i;
        column.display.field = record.fieldName(i);
        column.display.title = record.fieldName(i);
        columns.append(column);
    }
    // SetFCap for each row of the column table: label, width, format, and a move to its position.
    for (const ColumnSetup& setup : ColumnTable) {
        const QString name = QString::fromLatin1(setup.field);
        qsizetype at = -1;
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (columns[i].display.field.compare(name, Qt::CaseInsensitive) == 0)
                at = i;
        if (at < 0)
            continue;
        Column column = columns.takeAt(at);
        column.display.title = QString::fromUtf16(setup.title);
        column.display.widthChars = setup.width;
        if (name == u"TYP")
            column.shown = Shown::Plane;
        else if (name == u"TYP2") {
            column.shown = Shown::Plane2;
            column.display.numeric = true;
        } else if (isDateField(name))
            column.shown = Shown::Date;
        else if (isAmountField(name)) {
            column.shown = Shown::Amount;
            column.display.numeric = true;
        }
        columns.insert(std::min<qsizetype>(setup.position, columns.size()), column);
    }
    for (Column& column : columns) {
        if (column.shown != Shown::Text)
            continue;
        if (isDateField(column.display.field))
            column.shown = Shown::Date;
        else if (isAmountField(column.display.field)) {
            column.shown = Shown::Amount;
            column.display.numeric = true;
        }
    }

    engine::TableData data;
    data.title = title;
    for (const Column& column : columns)
        data.columns.append(column.display);
    // A result already on its first row starts there.
    for (bool more = result.isValid() || result.next(); more; more = result.next()) {
        QStringList row;
        row.reserve(columns.size());
        for (const Column& column : columns)
            row.append(displayText(result.value(column.source), column.shown));
        data.rows.append(row);
    }
    return data;
}

void NewShowErr(ProtocolStore& store, const ProtocolHeader& header, const QString& title, QSqlQuery& result) {
    store.add(makeProtocol(protocolTitle(store.count() == 0, header, title), result));
}

engine::TableData immediateProtocol(const ProtocolStore& store, const ProtocolHeader& header,
                                    const QString& title) {
    engine::TableData data;
    data.title = protocolTitle(store.count() == 0, header, title);
    return data;
}

} // namespace svod::checks
