#include "directory/BranchList.h"

#include "db/Connection.h"
#include "db/Error.h"

namespace svod::directory {

ViewColumns filialsColumns() {
    return {{QStringLiteral("KOD"), QStringLiteral("Код"), 4},
            {QStringLiteral("NAZVANIE"), QStringLiteral("Наименование"), 50},
            {QStringLiteral("D_BEG"), QStringLiteral("Дата начала работы")},
            {QStringLiteral("D_END"), QStringLiteral("Дата окончания работы")},
            {QStringLiteral("D_MIN_VAL"), QStringLiteral("Минимальная дата приема по валюте")},
            {QStringLiteral("D_MIN_RUB"), QStringLiteral("Минимальная дата приема по рублям")},
            {QStringLiteral("CHECK_TYPE"), QStringLiteral("Проверка ост. стоимости")}};
}

void openFilials(EditableTable& table) {
    table.open(QStringLiteral("KOD"));
    for (const char* required : {"KOD", "NAZVANIE", "D_BEG"})
        table.fieldByName(QString::fromLatin1(required));
}

std::unique_ptr<EditableTable> makeFilialsTable(db::Connection& connection) {
    return std::make_unique<EditableTable>(connection, QStringLiteral("FILIALS"),
                                           QStringList{QStringLiteral("KOD")});
}

ViewColumns cltColumns() {
    return {{QStringLiteral("ID"), QString(), 0, true},
            {QStringLiteral("LABEL"), QStringLiteral("Код"), 19},
            {QStringLiteral("NAME"), QStringLiteral("Наименование"), 29},
            {QStringLiteral("DD"), QStringLiteral("Дата ввода"), 16},
            {QStringLiteral("VARVALUE"), QStringLiteral("Значение(строка)"), 20},
            {QStringLiteral("DVARVALUE"), QStringLiteral("Значение(дата)"), 20},
            {QStringLiteral("NVARVALUE"), QStringLiteral("Значение(число)"), 20}};
}

void openClt(EditableTable& table) {
    table.open(QStringLiteral("LABEL"));
    for (const ViewColumn& column : cltColumns())
        table.fieldByName(column.name);
}

std::unique_ptr<EditableTable> makeCltTable(db::Connection& connection) {
    auto table = std::make_unique<EditableTable>(connection, QStringLiteral("CLT"),
                                                 QStringList{QStringLiteral("ID")}, QStringLiteral("ID"));
    table->setAfterPost([&connection](EditableTable& t, int row) { CLTChange2(connection, t, row); });
    return table;
}

QString setFilialsMinDateStatement(const db::Dialect& dialect, const QString& column, const DateValue& date) {
    return QStringLiteral("update FILIALS set ") + column + QStringLiteral(" = ") + dialect.dateLiteral(date);
}

void SetFilialsMinDate(db::Connection& connection, const QString& column, const DateValue& date) {
    db::Transaction transaction(connection);
    connection.execute(setFilialsMinDateStatement(connection.dialect(), column, date));
    transaction.commit();
}

void CLTChange2(db::Connection& connection, const EditableTable& table, int row) {
    const int label = table.columnIndex(QStringLiteral("LABEL"));
    const int date = table.columnIndex(QStringLiteral("DVARVALUE"));
    if (label < 0 || date < 0)
        return;
    const QString text = table.value(row, label).toString();
    // An empty date is day zero, 30.12.1899, as the date field reads it.
    const DateValue value =
        table.value(row, date).isNull() ? DateValue(0.0) : DateValue::fromVariant(table.value(row, date));
    if (text == MinDateDollarsLabel)
        SetFilialsMinDate(connection, QStringLiteral("D_MIN_VAL"), value);
    else if (text == MinDateRoublesLabel)
        SetFilialsMinDate(connection, QStringLiteral("D_MIN_RUB"), value);
}

VariableResult setVariable(db::Connection& connection, const VariableChange& change) {
    if (change.label.isEmpty())
        throw Error(QStringLiteral("Не указан код переменной"));
    auto table = makeCltTable(connection);
    openClt(*table);
    const int label = table->fieldByName(QStringLiteral("LABEL"));
    const int dd = table->fieldByName(QStringLiteral("DD"));
    int row = -1;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->value(r, label).toString() != change.label)
            continue;
        if (row < 0 ||
            DateValue::fromVariant(table->value(r, dd)) >= DateValue::fromVariant(table->value(row, dd)))
            row = r;
    }
    VariableResult result;
    if (row < 0) {
        row = table->appendRow();
        table->setText(row, QStringLiteral("LABEL"), change.label);
        table->setCell(row, QStringLiteral("DD"), QDateTime(QDate::currentDate(), QTime(0, 0)));
        result.appended = true;
    }
    const QString column = change.kind == VariableKind::Date     ? QStringLiteral("DVARVALUE")
                           : change.kind == VariableKind::Number ? QStringLiteral("NVARVALUE")
                                                                 : QStringLiteral("VARVALUE");
    table->setText(row, column, change.value);
    table->post(row);
    result.id = table->value(row, QStringLiteral("ID"));
    return result;
}

} // namespace svod::directory
