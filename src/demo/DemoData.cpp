#include "demo/DemoData.h"

#include <QVariant>

#include "db/Connection.h"
#include "db/DateValue.h"

namespace svod::demo {

using db::Connection;
using db::Transaction;

namespace {
struct DemoBranch {
    const char* code;
    const char* name;
    int checkType;
};

constexpr DemoBranch Branches[] = {
    {"01", "Центральный офис (Москва)", 0},     {"02", "Филиал «Северо-Запад» (Санкт-Петербург)", 0},
    {"03", "Филиал «Сибирь» (Новосибирск)", 1}, {"04", "Филиал «Урал» (Екатеринбург)", 0},
    {"05", "Филиал «Юг» (Ростов-на-Дону)", 0},
};
} // namespace

void insertDemoData(Connection& connection) {
    Transaction transaction(connection);
    const DateValue start = DateValue::fromYmd(2000, 1, 1);
    QSqlQuery exists = connection.prepare(QStringLiteral("select count(*) from FILIALS where KOD = ?"));
    QSqlQuery insertBranch = connection.prepare(
        QStringLiteral("insert into FILIALS (KOD, NAZVANIE, D_BEG, D_END, D_MIN_VAL, D_MIN_RUB, CHECK_TYPE) "
                       "values (?, ?, ?, NULL, NULL, NULL, ?)"));
    for (const DemoBranch& b : Branches) {
        connection.execPrepared(exists, {QString::fromUtf8(b.code)});
        exists.next();
        const bool present = exists.value(0).toInt() > 0;
        exists.finish();
        if (present)
            continue;
        connection.execPrepared(insertBranch, {QString::fromUtf8(b.code), QString::fromUtf8(b.name),
                                               start.dateTime(), b.checkType});
    }

    QSqlQuery varExists = connection.prepare(QStringLiteral("select count(*) from CLT where LABEL = ?"));
    QSqlQuery insertVar = connection.prepare(QStringLiteral(
        "insert into CLT (LABEL, NAME, DD, VARVALUE, DVARVALUE, NVARVALUE) values (?, ?, ?, ?, ?, ?)"));
    const QVariant noText(QMetaType::fromType<QString>());
    const QVariant noDate(QMetaType::fromType<QDateTime>());
    const QVariant noNumber(QMetaType::fromType<double>());
    struct Var {
        QString label, name;
        QVariant date, number;
    };
    const Var vars[] = {
        {QStringLiteral("MIN_DATE_CAN_LOAD_DOL"), QStringLiteral("Минимальная дата приема данных в долларах"),
         DateValue::fromYmd(2004, 1, 1).dateTime(), noNumber},
        {QStringLiteral("MIN_DATE_CAN_LOAD_RUB"), QStringLiteral("Минимальная дата приема данных в рублях"),
         DateValue::fromYmd(2004, 1, 1).dateTime(), noNumber},
        // Off in the demo: its database starts without history, so every item put into service
        // before the sample packets' period would have no accepted balance value.
        {QStringLiteral("CHECK_ZERO_BST"),
         QStringLiteral("Проверка нулевой балансовой стоимости (1 - включена)"), noDate, 0.0},
    };
    for (const Var& v : vars) {
        connection.execPrepared(varExists, {v.label});
        varExists.next();
        const bool present = varExists.value(0).toInt() > 0;
        varExists.finish();
        if (present)
            continue;
        connection.execPrepared(insertVar, {v.label, v.name, start.dateTime(), noText, v.date, v.number});
    }
    transaction.commit();
}

} // namespace svod::demo
